#!/usr/bin/env bash
# Builds the fuzz targets with clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs each for a bounded time, starting from
# its seed corpus in fuzz/corpus/<target>/.
#
#   FUZZ_SECONDS   seconds per target (default 30)
#   FUZZ_TARGETS   targets to run (default: all four)
#   FUZZ_BUILD_DIR build directory (default: build-fuzz)
#   FUZZ_JOBS      parallel fuzzing processes per target (default 1); more
#                  than 1 runs libFuzzer's fork mode
#
# New inputs found during a run go to $FUZZ_BUILD_DIR/corpus/<target>/ (the
# committed seeds are never changed); a failing input is saved as
# $FUZZ_BUILD_DIR/artifacts/<target>-crash-... and the script exits non-zero.
# Rerun one input with:  $FUZZ_BUILD_DIR/fuzz/<target> <file>
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-30}
build=${FUZZ_BUILD_DIR:-build-fuzz}
jobs=${FUZZ_JOBS:-1}
targets=${FUZZ_TARGETS:-fuzz_parameter_reader fuzz_field_editing fuzz_error_messages fuzz_heat_model}

CC=${CC:-clang-14} CXX=${CXX:-clang++-14} cmake -S . -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTEMP1D_FUZZ=ON -DTEMP1D_SANITIZE=ON -DTEMP1D_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target fuzz_targets

# Longest input per target: the model reads 88 bytes, a field 14.
max_len() {
  case "$1" in
    fuzz_field_editing) echo 16 ;;
    fuzz_heat_model) echo 96 ;;
    *) echo 4096 ;;
  esac
}

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

mkdir -p "$build/artifacts"
status=0
summary=()
for target in $targets; do
  work="$build/corpus/$target"
  mkdir -p "$work"
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="$(max_len "$target")"
           -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-")
  [ -f "fuzz/$target.dict" ] && options+=(-dict="fuzz/$target.dict")
  [ "$jobs" -gt 1 ] && options+=(-fork="$jobs")
  echo "== $target: ${seconds}s"
  log="$build/$target.log"
  if "$build/fuzz/$target" "${options[@]}" "$work" "fuzz/corpus/$target" >"$log" 2>&1; then
    result=ok
  else
    result=FAILED
    status=1
    tail -n 60 "$log"
  fi
  runs=$(grep -a 'stat::number_of_executed_units' "$log" | tail -n 1 | awk '{print $2}' || true)
  [ -n "$runs" ] || runs=$(grep -aoE '^#[0-9]+' "$log" | tail -n 1 | tr -d '#' || true)
  summary+=("$target: $result, ${runs:-?} executions")
done

echo "== fuzzing summary"
printf '%s\n' "${summary[@]}"
exit $status
