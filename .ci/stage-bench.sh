#!/usr/bin/env bash
# Builds the benchmarks and runs them once: the script checks that every
# program it times writes a result file with the kept sha256
# (bench/data/*/expected.sha256) before it prints a figure.
set -euo pipefail
cd "$(dirname "$0")/.."
missing=()
for p in libbenchmark-dev time; do dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p"); done
[ ${#missing[@]} -eq 0 ] || {
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q && apt-get install -y -q --no-install-recommends "${missing[@]}"
}
bash bench/run_benchmarks.sh 1
