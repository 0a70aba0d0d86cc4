#!/usr/bin/env bash
# Evaluations of the demo basin per hour: a calibration whose every evaluation simulates both
# sub-basins over all four years (1990 warm-up, 1991-1993 scored), with one worker, two
# workers, and two MPI ranks of one worker each. Prints the search's own pace of each.
#
#   scripts/calibration-throughput.sh [evaluations]   (default 40)
set -euo pipefail
cd "$(dirname "$0")/.."
evaluations=${1:-40}
build=${BUILD:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1

fresh() {
  rm -rf "$work/ws"
  mkdir -p "$work/ws"
  cp -r examples/demo/input examples/demo/Parameters "$work/ws/"
  "$build/tarnwell" calibrate --workspace "$work/ws" --init >/dev/null
  # Every evaluation simulates the four years: the last one is scored too.
  sed -i 's/^calibration .*/calibration 1991-1993/; /^validation /d' "$work/ws/Parameters/calibration.txt"
}

echo "demo basin: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
for mode in "1 worker" "2 workers" "2 ranks of 1 worker"; do
  fresh
  case "$mode" in
    "1 worker") cmd=("$build/tarnwell" calibrate --workers 1) ;;
    "2 workers") cmd=("$build/tarnwell" calibrate --workers 2) ;;
    *) cmd=(mpirun --oversubscribe -np 2 "$build/tarnwell" calibrate --workers 1) ;;
  esac
  line=$("${cmd[@]}" --workspace "$work/ws" --evaluations "$evaluations" 2>&1 >/dev/null | grep '^search:' || true)
  printf '%-22s %s\n' "$mode:" "${line:-failed}"
done
