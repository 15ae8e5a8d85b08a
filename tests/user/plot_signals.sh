#!/bin/sh
# The chart tool under INT, TERM and HUP while it waits for temp1d: it ends
# by the same signal with one line on standard error, leaves no temporary
# file or folder, and the chart it was to replace stays as it was.
#   plot_signals.sh TOOL RESULT_FILE PARAMETER_FILE SCRATCH_DIR
# The moment is chosen from what the tool has done: the stand-in for temp1d
# leaves a marker with its process number when the tool has started it,
# then waits.
set -u
tool=$1
result=$2
parameters=$3
scratch=$4

rm -rf "$scratch"
mkdir -p "$scratch/tmp" || exit 1
cd "$scratch" || exit 1
cp "$result" temperat.txt
cp "$parameters" DataInpTemp1d.txt
cat >stand-in <<'END'
#!/bin/sh
echo $$ >"$PLOT_TEST_MARKER.new"
mv "$PLOT_TEST_MARKER.new" "$PLOT_TEST_MARKER"
exec sleep 1000
END
chmod +x stand-in

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if ! "$tool" temperat.txt chart.svg 2>err; then
    fail "the chart to replace was not drawn: $(cat err)"
fi
cp chart.svg before.svg

for signal in INT TERM HUP; do
    rm -f started err
    # A background job of a script starts with INT ignored, and a script
    # cannot trap a signal ignored at its start: env gives INT back.
    PLOT_TEST_MARKER=$scratch/started TMPDIR=$scratch/tmp TEMP1D=$scratch/stand-in \
        env --default-signal=INT "$tool" temperat.txt chart.svg DataInpTemp1d.txt 2>err &
    pid=$!
    waited=0
    while [ ! -e started ] && [ "$waited" -lt 600 ]; do
        sleep 0.1
        waited=$((waited + 1))
    done
    [ -e started ] || fail "SIG$signal: the tool never started temp1d"
    stand_in=$(cat started 2>/dev/null)
    kill -s "$signal" "$pid"
    # A tool that does not end (a trap that waits for its child) fails the
    # test instead of holding it.
    waited=0
    while kill -0 "$pid" 2>/dev/null && [ "$waited" -lt 600 ]; do
        sleep 0.1
        waited=$((waited + 1))
    done
    if kill -0 "$pid" 2>/dev/null; then
        fail "SIG$signal: the tool did not end"
        kill -s KILL "$pid"
    fi
    wait "$pid"
    status=$?
    case $signal in
        INT) expected=130 ;;
        TERM) expected=143 ;;
        HUP) expected=129 ;;
    esac
    [ "$status" -eq "$expected" ] || fail "SIG$signal: status $status, not $expected"
    message=$(cat err)
    [ "$message" = "temp1d-plot: interrupted by SIG$signal; no chart written" ] ||
        fail "SIG$signal: standard error was: $message"
    [ "$(wc -l <err)" -eq 1 ] || fail "SIG$signal: not one line on standard error"
    if [ -n "$stand_in" ] && kill -0 "$stand_in" 2>/dev/null; then
        fail "SIG$signal: temp1d was left running"
        kill "$stand_in"
    fi
    cmp -s chart.svg before.svg || fail "SIG$signal: the chart was changed"
    leftovers=$(ls -A tmp)
    [ -z "$leftovers" ] || fail "SIG$signal: left in the temporary folder: $leftovers"
    hidden=$(ls -A | grep '^\.' || true)
    [ -z "$hidden" ] || fail "SIG$signal: left beside the chart: $hidden"
done

cd / && rm -rf "$scratch"
[ "$failures" -eq 0 ]
