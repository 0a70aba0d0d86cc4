#!/usr/bin/env bash
# Judges the sanitizer log folder of a test run (ASAN_OPTIONS/UBSAN_OPTIONS log_path=DIR/...):
# prints every report with the file that holds it and fails if there is one. A log that holds
# no report is named in one line with its process id and does not fail the run.
#
# A log without a report comes from a command-line run that the fault tests kill while its
# exit-time leak check runs. The check's tracer task (a clone of the run) then cannot read
# the dying run's registers and opens the run's log (named by the run's pid) for the note
# "Unable to get registers from thread N."; the run's death kills the tracer, mostly before
# the note is written, which leaves an empty file. Such a note, or the tracer's "was not
# suspended" note, is no finding by itself: whatever the check then finds is reported after
# it in the same log.
#
# Usage: sanitizer-logs.sh DIR
set -euo pipefail
dir=${1:?usage: sanitizer-logs.sh DIR}
note='^==[0-9]+==(Unable to get registers from thread [0-9]+\.|Running thread [0-9]+ was not suspended\. False leaks are possible\.)$'
reports=0
for log in "$dir"/*; do
  [ -f "$log" ] || continue
  pid=${log##*.}
  if [ ! -s "$log" ]; then
    echo "sanitizer log of process $pid is empty: no report" >&2
  elif ! grep -qvE "$note" "$log"; then
    echo "sanitizer log of process $pid holds only the leak check's note on a killed run: $(head -n 1 "$log")" >&2
  else
    reports=$((reports + 1))
    echo "sanitizer report of process $pid ($log):" >&2
    cat "$log" >&2
  fi
done
if [ "$reports" -gt 0 ]; then
  echo "sanitizer reports: $reports" >&2
  exit 1
fi
