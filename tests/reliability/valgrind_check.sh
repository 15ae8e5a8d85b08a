#!/usr/bin/env bash
# Runs temp1d under valgrind's memcheck on a normal run and on each way a run
# can fail, and fails on any memory error or leak.
#
#   valgrind_check.sh PROGRAM [PROGRAM...]
#
# Each PROGRAM is a build of temp1d.  A dynamically linked build gets the
# full check (undefined values, heap overruns, use after free, leaks): any
# error makes valgrind exit with status 1 and fails the case.
#
# The release program is linked statically, and there memcheck sees less:
# - it cannot put its own allocator into a static program, so it knows no
#   heap blocks: no heap overruns, no use after free, no leak check;
# - the static C library takes its thread-local storage from the program
#   break before memcheck can follow, and memcheck takes that memory for
#   undefined although the kernel hands it out zero-filled.  Every use of a
#   value from it (in the C library's own start-up and exit) is reported,
#   with the origin "_dl_early_allocate".  The C++ runtime keeps its
#   exception state there as well, so catching an exception is reported
#   the same way, with its origin traced to the start-up's stack
#   ("_dl_init_paths");
# - the static C library's allocator takes its memory from the program break
#   ("sysmalloc"), which memcheck takes for undefined as well, so its own
#   bookkeeping there is reported when it is first reused;
# - the C library's start-up before main (__libc_init_first) runs string
#   routines that read whole machine words past the end of a string, which
#   memcheck can only excuse where it can replace them, in a shared library.
# Those reports are dropped; any other report, an undefined value of another
# origin or an access to unmapped memory, fails the case.
# The test registered by CMake passes both builds.
#
# Every case must end with the program's own exit status and no error.
set -u

if ! command -v valgrind >/dev/null; then
  echo "valgrind not found" >&2
  exit 1
fi

# The runs change directory: name the programs by absolute path.
programs=()
for program in "$@"; do
  programs+=("$(realpath "$program")")
done

plain='title
0
0.05
5000
850
20 20
7800
460
45
6 6'
long_run='title
0
0.05
5000
850
20 20
7800
460
45
60 60'
singular='t
0
1e-150
100
20
20 20
1e-60
1e-60
0
100 100'

scratch=$(mktemp -d "${TMPDIR:-/tmp}/temp1d-valgrind-XXXXXX")
chmod 755 "$scratch"
trap 'chmod -R u+rwx "$scratch"; rm -rf "$scratch"' EXIT

failures=0
passes=0

# run_case PROGRAM NAME EXPECTED_STATUS AS_OTHER_USER SHELL_SETUP
# The working directory "$scratch/NAME" has been prepared by the caller.
run_case() {
  local program=$1 name=$2 expected=$3 other_user=$4 setup=$5
  local dir="$scratch/$name" log="$scratch/$name.memcheck"
  local runner=()
  if [ "$other_user" = yes ]; then
    if [ "$(id -u)" != 0 ]; then
      echo "skipped: $name (needs root to run as another user)"
      return
    fi
    runner=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  fi
  local checks=(--error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite,possible
                --show-leak-kinds=definite,possible)
  is_static "$program" && checks=()
  # memcheck writes to descriptor 9, opened before any limit applies.
  (cd "$dir" && eval "$setup" && exec "${runner[@]}" valgrind --tool=memcheck --vgdb=no -q \
      --track-origins=yes "${checks[@]}" --log-fd=9 "$program") \
      9>"$log" >"$dir.stdout" 2>"$dir.stderr"
  local status=$?
  local errors
  errors=$(real_errors "$log")
  if [ "$status" = "$expected" ] && [ "$errors" = 0 ]; then
    passes=$((passes + 1))
    echo "ok: $name ($(basename "$program")), status $status"
  else
    failures=$((failures + 1))
    echo "FAILED: $name ($(basename "$program")): status $status, expected $expected"
    cat "$log" "$dir.stderr"
  fi
}

# Whether PROGRAM is linked statically (has no program interpreter).
is_static() {
  ! LC_ALL=C readelf -l "$1" 2>/dev/null | grep -q 'program interpreter'
}

# The number of error reports in a memcheck log, not counting those of a
# static program whose undefined value comes from the C library's
# thread-local storage or that lie in the C library's start-up.
real_errors() {
  awk '
    /^==[0-9]+== [A-Z]/ && !in_error { in_error = 1; excused = 0; next }
    in_error && /Uninitialised value was created/ { origin_next = 1; next }
    origin_next { if ($0 ~ /_dl_early_allocate|_dl_init_paths/) excused = 1; origin_next = 0 }
    in_error && /by 0x[0-9A-F]+: sysmalloc / { excused = 1 }
    in_error && /(at|by) 0x[0-9A-F]+: __libc_init_first /{ excused = 1 }
    /^==[0-9]+== *$/ && in_error { if (!excused) count++; in_error = 0 }
    END { if (in_error && !excused) count++; print count + 0 }
  ' "$1"
}

# fresh NAME [PARAMETERS]: an empty working directory, with the parameter
# file when PARAMETERS is given.
fresh() {
  local dir="$scratch/$1"
  rm -rf "$dir"
  mkdir -p "$dir"
  chmod 777 "$dir"
  if [ $# -ge 2 ]; then
    printf '%s\n' "$2" >"$dir/DataInpTemp1d.txt"
  fi
}

for program in "${programs[@]}"; do
  fresh normal "$plain"
  run_case "$program" normal 0 no ""
  grep -q ' dTmax=' "$scratch/normal/temperat.txt" || { echo "FAILED: normal run wrote no closing line"; failures=$((failures + 1)); }

  fresh missing-parameter-file
  run_case "$program" missing-parameter-file 24 no ""

  fresh syntax-error "${plain/5000/abc}"
  run_case "$program" syntax-error 59 no ""

  fresh conversion-error "${plain/5000/1.0E999}"
  run_case "$program" conversion-error 64 no ""

  fresh read-only-result "$plain"
  printf 'old\r\n' >"$scratch/read-only-result/temperat.txt"
  chmod 444 "$scratch/read-only-result/temperat.txt"
  run_case "$program" read-only-result 47 yes ""

  fresh zero-pivot "$singular"
  run_case "$program" zero-pivot 4 no ""
  grep -q 'FATAL    ERROR 2 from DLSLTR' "$scratch/zero-pivot.stdout" || { echo "FAILED: zero pivot printed no report"; failures=$((failures + 1)); }

  fresh disk-full "$long_run"
  run_case "$program" disk-full 38 no "trap '' XFSZ; ulimit -f 16"

  fresh full-device "$plain"
  ln -s /dev/full "$scratch/full-device/temperat.txt"
  run_case "$program" full-device 38 no ""
done

echo "$passes passed, $failures failed"
[ "$failures" = 0 ]
