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
fail() { echo "FAIL $1" && cat "$work/out"; failures=$((failures + 1)); }

# check NAME STATUS 'TEXT|TEXT' [FILE=CONTENT]...: the judge, on logs holding just these files
# (CONTENT with \n escapes), ends with STATUS and says every TEXT.
check() {
  local name=$1 expected=$2 texts=$3 status=0 f t
  shift 3
  rm -rf "$work/logs" && mkdir -p "$work/logs"
  for f in "$@"; do printf '%b' "${f#*=}" >"$work/logs/${f%%=*}"; done
  "$judge" "$work/logs" >"$work/out" 2>&1 || status=$?
  [ "$status" = "$expected" ] || fail "$name: status $status, expected $expected; it said:"
  local IFS='|'
  for t in $texts; do grep -qF -- "$t" "$work/out" || fail "$name: no \"$t\" in:"; done
}

check "no logs" 0 ""
check "empty log" 0 "process 4242" asan.4242=
[ "$(wc -l <"$work/out")" = 1 ] || fail "empty log: more than one line:"
check "note of a killed run" 0 "process 7989" 'asan.7989===8139==Unable to get registers from thread 7989.\n'
check "report beside an empty log" 1 "heap-buffer-overflow on address|process 5150|process 4242" asan.4242= \
  'asan.5150=================================================================
==5150==ERROR: AddressSanitizer: heap-buffer-overflow on address 0x602000000014
READ of size 4 at 0x602000000014 thread T0
SUMMARY: AddressSanitizer: heap-buffer-overflow Grid.cpp:41 in tarnwell::Grid::At
'
# The note does not hide what follows it in the same log.
check "leak after a note" 1 "detected memory leaks" 'asan.6001===6002==Running thread 6001 was not suspended. False leaks are possible.
==6001==ERROR: LeakSanitizer: detected memory leaks
SUMMARY: AddressSanitizer: 64 byte(s) leaked in 1 allocation(s).
'
check "undefined behaviour" 1 "signed integer overflow" 'ubsan.7100=Soil.cpp:88:17: runtime error: signed integer overflow\n'
# A runtime failure that is neither an error nor a summary line is still a report.
check "fatal error of the leak check" 1 "" 'asan.7200===7200==LeakSanitizer has encountered a fatal error.\n'

[ "$failures" = 0 ] && echo "all cases pass"
exit $((failures > 0))
