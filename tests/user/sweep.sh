#!/bin/sh
# A small parameter sweep as the user guide shows it: one folder per run,
# run two at a time with xargs -P 2 and temp1d -C.  Every folder must end
# with the result file that a run of its own gives (the shipped examples
# keep theirs).
#
#   sweep.sh TEMP1D EXAMPLES_DIR SCRATCH_DIR
set -eu
program=$1
examples=$2
scratch=$3

rm -rf "$scratch"
mkdir -p "$scratch"
# Every example case (examples/python holds scripts, not a case).
for example in "$examples"/*/; do
    [ -e "$example/DataInpTemp1d.txt" ] || continue
    name=$(basename "$example")
    mkdir "$scratch/$name"
    cp "$example/DataInpTemp1d.txt" "$scratch/$name/"
done

# The sweep itself: one run per folder, two at a time.  xargs ends with a
# nonzero status when any run does.
find "$scratch" -mindepth 1 -maxdepth 1 -type d -print0 | xargs -0 -n 1 -P 2 "$program" --quiet -C

status=0
for example in "$examples"/*/; do
    [ -e "$example/DataInpTemp1d.txt" ] || continue
    name=$(basename "$example")
    if ! cmp -s "$example/temperat.txt" "$scratch/$name/temperat.txt"; then
        echo "sweep: $name: the result differs from examples/$name/temperat.txt" >&2
        status=1
    fi
done
[ "$status" -eq 0 ] && echo "sweep: $(ls "$scratch" | wc -l) runs, every result as expected"
exit "$status"
