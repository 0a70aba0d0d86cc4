#!/usr/bin/env bash
# The sanitizer log judge: a report fails the run and is printed, whatever lies beside it;
# an empty log, or one holding only the leak check's note on a killed run, is named with its
# pid and passes.
# Usage: sanitizer_logs_test.sh JUDGE
set -uo pipefail
judge=${1:?usage: sanitizer_logs_test.sh JUDGE}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# check NAME EXPECTED-STATUS: runs the judge on $work/logs; its messages are in $work/out.
check() {
  local name=$1 expected=$2 status=0
  "$judge" "$work/logs" >"$work/out" 2>&1 || status=$?
  if [ "$status" != "$expected" ]; then
    echo "FAIL $name: status $status, expected $expected; it said:" && cat "$work/out"
    failures=$((failures + 1))
  fi
}
says() {
  local name=$1 text=$2
  if ! grep -qF -- "$text" "$work/out"; then
    echo "FAIL $name: no \"$text\" in:" && cat "$work/out"
    failures=$((failures + 1))
  fi
}
fresh() { rm -rf "$work/logs" && mkdir -p "$work/logs"; }

fresh
check "no logs" 0

fresh
: >"$work/logs/asan.4242"
check "empty log" 0
says "empty log" "process 4242"
[ "$(wc -l <"$work/out")" = 1 ] || { echo "FAIL empty log: more than one line"; failures=$((failures + 1)); }

fresh
printf '==8139==Unable to get registers from thread 7989.\n' >"$work/logs/asan.7989"
check "note of a killed run" 0
says "note of a killed run" "process 7989"

fresh
: >"$work/logs/asan.4242"
cat >"$work/logs/asan.5150" <<'LOG'
=================================================================
==5150==ERROR: AddressSanitizer: heap-buffer-overflow on address 0x602000000014
READ of size 4 at 0x602000000014 thread T0
SUMMARY: AddressSanitizer: heap-buffer-overflow Grid.cpp:41 in tarnwell::Grid::At
LOG
check "report beside an empty log" 1
says "report beside an empty log" "heap-buffer-overflow on address"
says "report beside an empty log" "process 5150"
says "report beside an empty log" "process 4242"

# The note does not hide what follows it in the same log.
fresh
cat >"$work/logs/asan.6001" <<'LOG'
==6002==Running thread 6001 was not suspended. False leaks are possible.
==6001==ERROR: LeakSanitizer: detected memory leaks
SUMMARY: AddressSanitizer: 64 byte(s) leaked in 1 allocation(s).
LOG
check "leak after a note" 1
says "leak after a note" "detected memory leaks"

fresh
printf 'Soil.cpp:88:17: runtime error: signed integer overflow\n' >"$work/logs/ubsan.7100"
check "undefined behaviour" 1
says "undefined behaviour" "signed integer overflow"

# A runtime failure that is neither an error nor a summary line is still a report.
fresh
printf '==7200==LeakSanitizer has encountered a fatal error.\n' >"$work/logs/asan.7200"
check "fatal error of the leak check" 1

[ "$failures" = 0 ] && echo "all cases pass"
exit $((failures > 0))
