#!/usr/bin/env bash
# Whole-program benchmarks, measured side by side in one call: temp1d as
# built from this tree, its bare-arithmetic twin (no records written), and a
# reference program (by default the program as of commit d02fa45, before the
# system matrix was eliminated once per run), on the shipped benchmark
# parameter files.  The programs take turns run by run; the script prints
# median wall times, ns per step, peak resident memory, the ratio of this
# tree's program to the reference, then the microbenchmarks.
#
# Usage: bench/run_benchmarks.sh [runs] [reference-program]
#   runs               runs per program and file (default 5)
#   reference-program  an already built program to compare with; without it
#                      the script builds commit d02fa45 in a temporary
#                      worktree outside this tree (needs the git history)
#
# Every output file is checked against the sha256 kept in
# bench/data/*/expected.sha256 before any figure is printed.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
reference=${2:-}
reference_commit=d02fa45

cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTEMP1D_BUILD_BENCHMARKS=ON -DTEMP1D_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench >/dev/null

work=$(mktemp -d)
reference_tree=
cleanup() {
  if [ -n "$reference_tree" ]; then git worktree remove --force "$reference_tree" >/dev/null 2>&1 || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

if [ -z "$reference" ]; then
  if git rev-parse --verify -q "$reference_commit^{commit}" >/dev/null; then
    reference_tree=$work/reference-tree
    git worktree add --detach -q "$reference_tree" "$reference_commit"
    cmake -S "$reference_tree" -B "$work/reference-build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DTEMP1D_BUILD_TESTS=OFF >/dev/null
    cmake --build "$work/reference-build" --target temp1d >/dev/null
    reference=$work/reference-build/temp1d
  else
    echo "commit $reference_commit is not in this clone: no reference program, no ratios" >&2
  fi
fi

programs=("$PWD/build-bench/temp1d" "$PWD/build-bench/bench/temp1d_bare")
labels=(temp1d temp1d_bare)
if [ -n "$reference" ]; then
  programs+=("$(realpath "$reference")")
  labels+=(reference)
fi

# Runs "$1" in "$2" once; prints the wall time in microseconds (process start
# included).  A run that fails stops the benchmark with a message.
wall_us() {
  local t0 t1 status=0
  t0=$(date +%s%N)
  (cd "$2" && "$1" >/dev/null) || status=$?
  t1=$(date +%s%N)
  if [ "$status" -ne 0 ]; then
    echo "$(basename "$1") failed with status $status in $2" >&2
    return 1
  fi
  echo $(( (t1 - t0) / 1000 ))
}
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
peak_kib() {
  local out
  out=$( { cd "$2" && /usr/bin/time -f '%M' "$1" >/dev/null; } 2>&1) || {
    echo "$(basename "$1") failed under /usr/bin/time in $2" >&2
    return 1
  }
  tail -1 <<<"$out"
}
steps_of() { awk 'NR > 2 && length($0) == 54 && !/^ \*/ {n++} END {print n+0}' "$1"; }

# What starting any process costs on this machine, for reading the short run.
mkdir -p "$work/empty"
times=()
for _ in $(seq "$runs"); do
  sample=$(wall_us /bin/true "$work/empty") || exit 1
  times+=("$sample")
done
echo "starting a process (/bin/true): $(printf '%s\n' "${times[@]}" | median) us (median of $runs)"
echo

printf '%-18s %-12s %10s %10s %9s %9s %9s\n' case program steps "wall s" "ns/step" "peak KiB" "ratio"
for case in bench/data/*/; do
  name=$(basename "$case")
  expected=$(cut -d' ' -f1 "$case/expected.sha256")
  declare -A samples=()
  for i in "${!programs[@]}"; do
    mkdir -p "$work/$name-$i"
    cp "$case/DataInpTemp1d.txt" "$work/$name-$i/"
    samples[$i]=""
  done
  # The programs take turns, so that a slow minute of the machine hits all.
  for _ in $(seq "$runs"); do
    for i in "${!programs[@]}"; do
      sample=$(wall_us "${programs[$i]}" "$work/$name-$i") || exit 1
      samples[$i]+="$sample "
    done
  done
  for i in "${!programs[@]}"; do
    [ "${labels[$i]}" = temp1d_bare ] && continue
    got=$(sha256sum < "$work/$name-$i/temperat.txt" | cut -d' ' -f1)
    if [ "$got" != "$expected" ]; then
      echo "$name: ${labels[$i]} wrote a temperat.txt that differs from the kept sha256" >&2
      exit 1
    fi
  done
  steps=$(steps_of "$work/$name-0/temperat.txt")
  declare -A med=()
  for i in "${!programs[@]}"; do med[$i]=$(tr ' ' '\n' <<<"${samples[$i]}" | grep . | median); done
  for i in "${!programs[@]}"; do
    rss=$(peak_kib "${programs[$i]}" "$work/$name-$i") || exit 1
    ratio=-
    if [ -n "$reference" ] && [ "${labels[$i]}" != reference ]; then
      ratio=$(awk -v a="${med[$i]}" -v b="${med[$((${#programs[@]} - 1))]}" 'BEGIN { printf "%.3f", a / b }')
    fi
    awk -v n="$name" -v p="${labels[$i]}" -v s="$steps" -v w="${med[$i]}" -v r="$rss" -v q="$ratio" \
      'BEGIN { printf "%-18s %-12s %10d %10.4f %9.0f %9s %9s\n", n, p, s, w / 1e6, w * 1e3 / s, r, q }'
  done
  unset samples med
done

echo
./build-bench/bench/temp1d_benchmarks --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
