#!/usr/bin/env bash
# The chart tool: its test needs xmllint to check the SVG it writes.  Installs
# xmllint when missing, configures a build tree of its own, builds the
# program (the tool takes the phases from "temp1d --check --json") and runs
# the test; the stage fails if the test does not run.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v xmllint >/dev/null 2>&1; then
  echo "installing: libxml2-utils"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends libxml2-utils
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake -S . -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/build" --target temp1d >/dev/null
ctest --test-dir "$work/build" -R '^user\.plot\.' --no-tests=error --output-on-failure
