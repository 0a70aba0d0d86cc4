#!/usr/bin/env bash
# Load test (not part of CI): builds two workspaces under /tmp and runs each to the end
# with /usr/bin/time -v, printing elapsed time and peak memory.
#   A: 50 sub-basins of 20 x 20 cells, 20 years (1990-2009)
#   B: one sub-basin of 2000 x 2000 cells, one year
# Usage: scripts/load-test.sh [build-dir]   (default: build; the tarnwell program is built)
# Environment: LOAD_DIR (default /tmp/tarnwell-load), LOAD_ONLY=A|B, LOAD_THREADS=N (default:
# every hardware thread).
set -euo pipefail
cd "$(dirname "$0")/.."
src=$PWD
build=${1:-build}
root=${LOAD_DIR:-/tmp/tarnwell-load}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" --target tarnwell >/dev/null
tarnwell=$src/$build/tarnwell
export LC_ALL=C

# grid FILE ROWS COLS KIND: a DSAA grid with CR LF lines (dem, lu or slope values).
grid() {
  awk -v rows="$2" -v cols="$3" -v kind="$4" 'BEGIN {
    printf "DSAA\r\n%d %d\r\n0 %d\r\n0 %d\r\n0 10000\r\n", cols, rows, rows * 500, cols * 500
    for (r = 1; r <= rows; r++) {
      line = ""
      for (c = 1; c <= cols; c++) {
        if (kind == "dem") v = 200 + (r * 7 + c * 3) % 400 + r * 0.01
        else if (kind == "lu") { k = (r + 2 * c) % 4; v = k == 0 ? 11 : k == 1 ? 21 : k == 2 ? 31 : 61 }
        else v = 1 + (r * c) % 25
        line = line (c > 1 ? " " : "") v
      }
      printf "%s\r\n", line
    }
  }' > "$1"
}

# met FILE FIRSTYEAR YEARS SEED: yearly blocks of the meteorological file.
met() {
  awk -v first="$2" -v years="$3" -v seed="$4" 'BEGIN {
    srand(seed)
    for (y = first; y < first + years; y++) {
      leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0
      n = leap ? 366 : 365
      printf "%d 12 1 1 300\r\n", y
      for (d = 1; d <= n; d++) {
        p = rand() < 0.3 ? rand() * 30 : 0
        t = 10 - 12 * cos(6.2832 * (d - 15) / n) + rand() * 4 - 2
        printf "%d 0 %d 0 %.2f %.2f %.3f %.4f\r\n", y, d, p, t, 5 + rand() * 20, rand() * 0.05
      }
    }
  }' > "$1"
}

# river FILE FIRSTYEAR YEARS
river() {
  awk -v first="$2" -v years="$3" 'BEGIN {
    srand(7)
    for (y = first; y < first + years; y++) {
      leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0
      n = leap ? 366 : 365
      printf "%d outlet\r\n", y
      for (d = 1; d <= n; d++) printf "%d-%03d %.3f %.4f\r\n", y, d, 50 + rand() * 200, rand() * 0.1
    }
  }' > "$1"
}

# workspace DIR SUBBASINS ROWS COLS YEARS
workspace() {
  local dir=$1 n=$2 rows=$3 cols=$4 years=$5
  rm -rf "$dir"
  mkdir -p "$dir/input" "$dir/Parameters" "$dir/Output"
  printf 'dem.grd\r\nlu.grd\r\nmet.in\r\nseason.txt\r\nslope.grd\r\n' > "$dir/Parameters/缺省路径文件.txt"
  cp "$dir/Parameters/缺省路径文件.txt" "$dir/Parameters/当前路径文件.txt"
  # The demo basin's parameters with the number of years set (line 3).
  awk -v years="$years" 'NR == 3 { sub(/[0-9]+/, years) } { print }' \
    "$src/examples/demo/Parameters/缺省参数文件.txt" > "$dir/Parameters/缺省参数文件.txt"
  cp "$dir/Parameters/缺省参数文件.txt" "$dir/Parameters/当前参数文件.txt"
  cp "$src/examples/demo/Parameters/season.txt" "$dir/Parameters/season.txt"
  printf '%d\r\n' "$n" > "$dir/input/子流域.in"
  for k in $(seq 1 "$n"); do
    local name
    name=$(printf 'B%02d' "$k")
    printf '%s %d 0.2\r\n' "$name" $((6 + k % 20)) >> "$dir/input/子流域.in"
    mkdir -p "$dir/input/$name"
    if [ "$k" = 1 ]; then
      grid "$dir/input/$name/dem.grd" "$rows" "$cols" dem
      grid "$dir/input/$name/lu.grd" "$rows" "$cols" lu
      grid "$dir/input/$name/slope.grd" "$rows" "$cols" slope
    else
      for f in dem.grd lu.grd slope.grd; do cp "$dir/input/B01/$f" "$dir/input/$name/$f"; done
    fi
    met "$dir/input/$name/met.in" 1990 "$years" "$k"
  done
  river "$dir/input/RiverDaily.in" 1990 "$years"
}

run() {
  local label=$1 dir=$2
  echo "== $label, ${LOAD_THREADS:-every} thread(s): $dir"
  /usr/bin/time -v "$tarnwell" run ${LOAD_THREADS:+--threads "$LOAD_THREADS"} --workspace "$dir" >"$dir.out" 2>"$dir.time" || {
    echo "run failed:"; tail -20 "$dir.time"; return 1; }
  grep -E "Elapsed \(wall clock\)|Maximum resident set size" "$dir.time"
  echo "output: $(du -sh "$dir/Output" | cut -f1), $(find "$dir/Output" -type f | wc -l) files"
}

if [ "${LOAD_ONLY:-A}" != B ]; then
  workspace "$root/fifty" 50 20 20 20
  run "50 sub-basins x 20 years, 20 x 20 cells" "$root/fifty"
fi
if [ "${LOAD_ONLY:-B}" != A ]; then
  workspace "$root/large" 1 2000 2000 1
  run "1 sub-basin of 2000 x 2000 cells, 1 year" "$root/large"
fi
