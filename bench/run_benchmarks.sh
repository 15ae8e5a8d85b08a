#!/usr/bin/env bash
# Whole-program benchmarks: temp1d and its bare-arithmetic twin (no records
# written) on the shipped benchmark parameter files, several runs each.
# Prints wall time (median), ns per step and peak resident memory, then the
# microbenchmarks.  Usage: bench/run_benchmarks.sh [runs]   (default 5)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}

cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTEMP1D_BUILD_BENCHMARKS=ON -DTEMP1D_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs "$1" (a program) in "$2" (a directory) $runs times; prints the median
# wall time in seconds (process start included) and the peak RSS in KiB.
# A run that fails stops the benchmark with a message.
measure() {
  local program=$1 dir=$2 times=()
  for _ in $(seq "$runs"); do
    local t0 t1 status=0
    t0=$(date +%s%N)
    (cd "$dir" && "$program" >/dev/null) || status=$?
    t1=$(date +%s%N)
    if [ "$status" -ne 0 ]; then
      echo "$(basename "$program") failed with status $status in $dir" >&2
      return 1
    fi
    times+=("$(( (t1 - t0) / 1000 ))")
  done
  local median rss
  median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {printf "%.4f", a[int((NR+1)/2)] / 1e6}')
  rss=$( { cd "$dir" && /usr/bin/time -f '%M' "$program" >/dev/null; } 2>&1 | tail -1) || {
    echo "$(basename "$program") failed under /usr/bin/time in $dir" >&2
    return 1
  }
  echo "$median $rss"
}

steps_of() { awk 'NR > 2 && /^ +[-0-9.*N]/ && length($0) == 54 {n++} END {print n+0}' "$1"; }

# What starting any process costs on this machine, for reading the short run.
mkdir -p "$work/empty"
measured=$(measure /bin/true "$work/empty") || exit 1
read -r start_wall _ <<< "$measured"
echo "starting a process (/bin/true): $start_wall s"
echo

printf '%-18s %-12s %10s %12s %12s %10s\n' case program steps "wall s" "ns/step" "peak KiB"
for case in bench/data/*/; do
  name=$(basename "$case")
  mkdir -p "$work/$name"
  cp "$case/DataInpTemp1d.txt" "$work/$name/"
  for program in temp1d temp1d_bare; do
    binary=$PWD/build-bench/$program
    [ "$program" = temp1d_bare ] && binary=$PWD/build-bench/bench/temp1d_bare
    measured=$(measure "$binary" "$work/$name") || { echo "benchmark stopped: $name" >&2; exit 1; }
    read -r wall rss <<< "$measured"
    if [ "$program" = temp1d ]; then
      # The benchmark build must write exactly the kept result.
      if [ "$(sha256sum < "$work/$name/temperat.txt" | cut -d' ' -f1)" != "$(cat "$case/expected.sha256")" ]; then
        echo "$name: temperat.txt differs from the kept result" >&2
        exit 1
      fi
    fi
    steps=$(steps_of "$work/$name/temperat.txt")
    ns=$(awk -v w="$wall" -v s="$steps" 'BEGIN { if (s > 0) printf "%.0f", w * 1e9 / s; else print "-" }')
    printf '%-18s %-12s %10s %12s %12s %10s\n' "$name" "$program" "$steps" "$wall" "$ns" "$rss"
    [ "$program" = temp1d ] && with_output=$wall
  done
  awk -v a="$with_output" -v b="$wall" -v n="$name" 'BEGIN { printf "%-18s writing the records adds %.1f %%\n", n, (a / b - 1) * 100 }'
done

echo
./build-bench/bench/temp1d_benchmarks --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
