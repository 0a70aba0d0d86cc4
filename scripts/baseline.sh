#!/usr/bin/env bash
# The whole-run baseline: the checksum of every output file of the demo and of three small
# workspaces, for both day engines at 1 and 2 threads. Every configuration must give the
# same files, and the files must match tests/baseline/checksums.txt.
#   scripts/baseline.sh TARNWELL MAKE_WORKSPACES            check (the suite runs this)
#   scripts/baseline.sh TARNWELL MAKE_WORKSPACES --update   store the current checksums
# (with the build's programs: build/tarnwell and build/tests/make_baseline_workspaces).
# A change that alters results on purpose updates the stored list in the same commit.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tarnwell=$(realpath "$1")
make_workspaces=$(realpath "$2")
mode=${3:-check}
stored=$root/tests/baseline/checksums.txt
work=$(mktemp -d "${TMPDIR:-/tmp}/tarnwell-baseline.XXXXXX")
trap 'rm -rf "$work"' EXIT

"$make_workspaces" "$work/ws"
cp -r "$root/examples/demo" "$work/ws/demo"
rm -rf "$work/ws/demo/Output" "$work/ws/demo/raw"

# Checksums of one run's Output/, by path relative to Output/, the lock file left out.
sums() { (cd "$1/Output" && find . -type f ! -name tarnwell.lock | LC_ALL=C sort | xargs sha256sum); }

status=0
: > "$work/current.txt"
for ws in demo multi leap late; do
  first=""
  for engine in fused reference; do
    for threads in 1 2; do
      rm -rf "$work/ws/$ws/Output"
      "$tarnwell" run --workspace "$work/ws/$ws" --engine "$engine" --threads "$threads" \
        > "$work/log" 2>&1 || { cat "$work/log"; echo "baseline: $ws $engine $threads failed"; exit 1; }
      sums "$work/ws/$ws" > "$work/$ws-$engine-$threads.txt"
      if [ -z "$first" ]; then
        first=$engine-$threads
        sed "s|  \./|  $ws/|" "$work/$ws-$first.txt" >> "$work/current.txt"
      elif ! cmp -s "$work/$ws-$first.txt" "$work/$ws-$engine-$threads.txt"; then
        echo "baseline: $ws: $engine at $threads threads differs from $first:"
        diff "$work/$ws-$first.txt" "$work/$ws-$engine-$threads.txt" || true
        status=1
      fi
    done
  done
done

if [ "$mode" = --update ]; then
  cp "$work/current.txt" "$stored"
  echo "baseline: stored $(wc -l < "$stored") checksums in $stored"
elif ! diff -u "$stored" "$work/current.txt"; then
  echo "baseline: output files differ from the stored baseline (tests/baseline/checksums.txt)"
  status=1
fi
exit $status
