#!/usr/bin/env bash
# Fuzzing stage: builds the fuzz targets with clang and libFuzzer and runs
# each for a bounded time from its seed corpus (FUZZ_SECONDS, 30 by
# default).  Installs clang and its sanitizer runtimes when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(clang-14 libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

FUZZ_SECONDS=${FUZZ_SECONDS:-30} bash fuzz/run.sh
