#!/usr/bin/env bash
# Pictures of the desktop program on the demo basin, rendered by the real window under a
# virtual X display: the start-up page, every result page after a run, the maps and the
# parameter dialog. Usage: scripts/screenshots.sh [BUILD_DIR] [OUT_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
out=${2:-$here/docs/screenshots}
gui=$build/src/gui/tarnwell-gui
[ -x "$gui" ] || { echo "build the desktop program first: cmake --build $build --target tarnwell-gui" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The run writes into the workspace: work on a copy of the demo.
cp -r "$here/examples/demo/input" "$here/examples/demo/Parameters" "$work/"
mkdir -p "$out"
export LANG=C.UTF-8
# The yearly maps of every cell come from a command-line run with maps (when it is built).
if [ -x "$build/tarnwell" ]; then "$build/tarnwell" run --maps --workspace "$work" >/dev/null; fi
xvfb-run -a -s "-screen 0 1280x900x24" "$gui" --workspace "$work" --capture "$out"
