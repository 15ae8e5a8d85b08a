#!/usr/bin/env bash
# Builds the benchmarks and runs them once: the script checks that the
# benchmark build writes exactly the kept result files before it times them.
set -euo pipefail
cd "$(dirname "$0")/.."
missing=()
for p in libbenchmark-dev time; do dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p"); done
[ ${#missing[@]} -eq 0 ] || {
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q && apt-get install -y -q --no-install-recommends "${missing[@]}"
}
bash bench/run_benchmarks.sh 1
