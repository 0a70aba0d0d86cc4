#!/usr/bin/env bash
# The whole-run baseline: the checksum of every output file of the demo and of three small
# workspaces, for both day engines at 1 and 2 threads, with either year boundary. Every
# configuration must give the same files, and the files must match
# tests/baseline/checksums.txt.
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
# One run of a workspace; its checksums in $work/NAME.txt.
run() {
  local ws=$1 name=$2
  shift 2
  rm -rf "$work/ws/$ws/Output"
  "$tarnwell" run --workspace "$work/ws/$ws" "$@" > "$work/log" 2>&1 ||
    { cat "$work/log"; echo "baseline: $ws $* failed"; exit 1; }
  sums "$work/ws/$ws" > "$work/$name.txt"
}
# Both year boundaries: the documented one (its files stored under the workspace's name) and
# every cell kept (under cells/); the latter with three of the four configurations.
for carry in mean cells; do
  prefix=""
  [ "$carry" = cells ] && prefix="cells/"
  for ws in demo multi leap late; do
    first=""
    for config in fused-1 fused-2 reference-1 reference-2; do
      [ "$carry" = cells ] && [ "$config" = reference-1 ] && continue
      name=$carry-$ws-$config
      run "$ws" "$name" --engine "${config%-*}" --threads "${config#*-}" --carry-over "$carry"
      if [ -z "$first" ]; then
        first=$name
        sed "s|  \./|  $prefix$ws/|" "$work/$first.txt" >> "$work/current.txt"
      elif ! cmp -s "$work/$first.txt" "$work/$name.txt"; then
        echo "baseline: $ws, carry-over $carry: $config differs from $first:"
        diff "$work/$first.txt" "$work/$name.txt" || true
        status=1
      fi
    done
  done
done

# Keeping every cell changes no file of a first year.
run demo year1-mean --years 1 --carry-over mean
run demo year1-cells --years 1 --carry-over cells
if ! cmp -s "$work/year1-mean.txt" "$work/year1-cells.txt"; then
  echo "baseline: demo: the first year differs with carry-over cells:"
  diff "$work/year1-mean.txt" "$work/year1-cells.txt" || true
  status=1
fi

if [ "$mode" = --update ]; then
  cp "$work/current.txt" "$stored"
  echo "baseline: stored $(wc -l < "$stored") checksums in $stored"
elif ! diff -u "$stored" "$work/current.txt"; then
  echo "baseline: output files differ from the stored baseline (tests/baseline/checksums.txt)"
  status=1
fi
exit $status
