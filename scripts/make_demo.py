#!/usr/bin/env python3
"""Rebuilds the demo workspace examples/demo/ from the Moselle data set.

The Moselle upstream of Perl is split into two sub-basins (converted/subbasins.asc:
1 = the area above the upper gauge, 2 = the rest down to Perl). For each sub-basin the
terrain, land-use and slope grids are clipped to its bounding box and written as DSAA
text grids; the daily weather comes from the area-weighted series of the data set and
the observed discharge at Perl is shared out by drainage area. Every model file is
written as the model reads its own files: GBK text with CR LF line ends.

Usage: python3 scripts/make_demo.py [--data DIR] [--out DIR]
  --data  the Moselle data folder (default: ../shared/data/moselle-mhm beside the project)
  --out   the workspace to write (default: examples/demo in the project)

Only the Python 3 standard library is used. The script rewrites input/ and Parameters/
of the workspace; it leaves Output/ and README.md alone.
"""

import argparse
import csv
import datetime
import os
import shutil
import sys

PROJECT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

YEARS = range(1990, 1994)            # weather and discharge overlap 1990-1993
CELL = 500                           # metres, the data set's cell size

# Sub-basin code in subbasins.asc, directory name, Muskingum K (hours) and x.
# The upstream sub-basin's outflow travels about 150 km of river to Perl (a day and a
# half); the downstream sub-basin already drains to Perl, so its K is short.
SUBBASINS = [
    (1, "上游", 36.0, 0.2),
    (2, "下游", 12.0, 0.2),
]

# The five lines of the path file: terrain, land use, weather, season (dropped by the
# model, which always takes ..\Parameters\season.txt), slope.
PATH_LINES = ["dem.grd", "landuse.grd", "weather.in", "season.txt", "slope.grd"]

# The ten land-cover classes of LAI_class mapped onto the model's land-use codes, which
# are grouped by tens: cultivated < 20, forest 21-29, grass 31-39, water 41-49,
# built-up 51-59.
LAND_USE_CODE = {
    1: 21,   # coniferous forest
    2: 22,   # deciduous forest
    3: 23,   # mixed forest
    4: 24,   # sparsely populated forest
    5: 51,   # sealed surfaces and water bodies (one class in the source)
    6: 11,   # viniculture
    7: 12,   # intensive orchards
    8: 31,   # pasture
    9: 13,   # fields
    10: 41,  # wetlands
}
OUTSIDE_TERRAIN = "-9999"   # not strictly between 0 and 2e30: outside the basin
OUTSIDE_LAND_USE = "255"    # 150 or more: not counted in the basin area
OUTSIDE_SLOPE = "-9999"     # negative: no usable slope

# Vegetation calendar: leaves come out from day 90 (end of March), full canopy from
# day 140 (May 20), senescence from day 260 (mid-September), bare from day 310
# (early November).
SEASON_DAYS = "90 140 260 310"

# The parameter file as the parameter dialog writes it: label, one blank, the values
# separated by single blanks; the two soil-type lines alternate name and value.
PARAMETERS = [
    ("纬度", "49.5"),
    ("蒸发折算系数", "1.3"),
    ("模拟年数", "4"),
    ("各层土壤蒸发权重", "0.5 0.3 0.2"),
    ("蒸散发可利用参数", "2.0"),
    ("大水面蒸发系数", "1.1"),
    ("土壤蒸发参数", "0.9"),
    ("蒸腾亏空系数", "0.5"),
    ("自由水出流系数", "0.3 0.2 0.02"),
    ("自由水出流阈值", "10 5"),
    ("土壤蓄水Wm分布曲线指数", "0.2"),
    ("壤中流调蓄系数", "0.8"),
    ("地下水调蓄系数", "0.95"),
    ("包气带积水向地下水输送参数", "0.1 0.02 0.5"),
    ("日正温融雪量", "3.0"),
    ("日积雪蒸发量", "0.1"),
    ("土壤优先流空隙率", "0.65"),
    ("日负温土壤水冻结量", "1.0"),
    ("降水积雪气温", "0.0"),
    ("土壤水冻结气温", "-2.0"),
    ("土壤饱和含水量", "0.45"),
    ("田间持水量", "0.3"),
    ("凋萎含水量", "0.12"),
    ("土壤层包气带厚度", "100 250 450"),
    ("上土层排水率", "0.05"),
    ("可侵蚀性", "0.25"),
    ("紫色土", "0.3 黄壤性土 0.3 黄棕壤 0.3 酸性棕壤 0.3"),
    ("暗棕壤", "0.3 中性粗骨土 0.3 高山草甸土 0.3 高山寒漠土 0.3"),
    ("泥沙库初始沙量", "0"),
    ("泥沙库冲刷指数", "0.1"),
    ("泥沙库沉降指数", "0.3"),
    ("临界沉积流速", "0.2"),
    ("临界冲刷流速", "0.5"),
    ("泥沙库固结系数", "0.01"),
]

# Colour spectra of the three maps: position in percent of the grid's data range, then
# red, green, blue.
SLOPE_COLOURS = [
    (0, 255, 255, 229), (10, 255, 247, 188), (25, 254, 227, 145), (45, 254, 196, 79),
    (65, 254, 153, 41), (80, 236, 112, 20), (100, 153, 52, 4),
]
TERRAIN_COLOURS = [
    (0, 38, 115, 0), (12, 85, 160, 40), (25, 170, 205, 102), (40, 235, 230, 140),
    (60, 205, 170, 100), (80, 160, 110, 70), (100, 245, 245, 245),
]
# Land-use codes 11..51 span the range: 0-5 % cultivated (11-13), 25-32.5 % forest
# (21-24), 50 % grass (31), 75 % wetland (41), 100 % built-up and water (51).
LAND_USE_COLOURS = [
    (0, 230, 200, 90), (5, 250, 230, 120), (20, 120, 170, 60), (25, 20, 100, 30),
    (32.5, 60, 140, 50), (45, 150, 210, 110), (50, 170, 225, 120), (70, 90, 170, 200),
    (75, 60, 130, 210), (95, 200, 90, 90), (100, 200, 60, 60),
]


def write_model_text(path, lines):
    """Writes lines as the model's own text files are: GBK, each line ending in CR LF."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write("".join(line + "\r\n" for line in lines).encode("gbk"))


def read_ascii_grid(path):
    """An ESRI ASCII grid: its header (lower-case keys) and its rows of value texts,
    the first row being the northernmost."""
    with open(path, encoding="ascii") as f:
        header = {}
        for _ in range(6):
            key, value = f.readline().split()
            header[key.lower()] = value
        rows = [line.split() for line in f if line.strip()]
    ncols, nrows = int(header["ncols"]), int(header["nrows"])
    if len(rows) != nrows or any(len(r) != ncols for r in rows):
        sys.exit(f"{path}: expected {nrows} rows of {ncols} values")
    return header, rows


def compact_real(text, decimals):
    """A value with at most the given decimals, trailing zeros dropped ("5.70" -> "5.7")."""
    s = f"{float(text):.{decimals}f}".rstrip("0").rstrip(".")
    return "0" if s in ("", "-0") else s


def dsaa(cols, rows, xmin, ymin, zmin, zmax, values):
    """DSAA lines. The model takes the cell width as the x extent over the number of
    rows and the cell height as the y extent over the number of columns, so the header
    extents are written as 500 m x rows and 500 m x columns from the real lower-left
    corner: the cells then measure 500 m x 500 m and the basin area comes out right."""
    lines = ["DSAA", f"{cols} {rows}", f"{xmin} {xmin + CELL * rows}",
             f"{ymin} {ymin + CELL * cols}", f"{zmin} {zmax}"]
    lines += [" ".join(row) for row in values]
    return lines


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--data", default=os.path.join(os.path.dirname(PROJECT), "shared", "data",
                                                   "moselle-mhm"))
    ap.add_argument("--out", default=os.path.join(PROJECT, "examples", "demo"))
    args = ap.parse_args()
    data, out = args.data, args.out

    header, subbasin = read_ascii_grid(os.path.join(data, "converted", "subbasins.asc"))
    _, dem = read_ascii_grid(os.path.join(data, "grids", "dem.asc"))
    _, lai = read_ascii_grid(os.path.join(data, "grids", "LAI_class.asc"))
    _, slope = read_ascii_grid(os.path.join(data, "converted", "slope_deg.asc"))
    nrows, ncols = int(header["nrows"]), int(header["ncols"])
    xll, yll = int(header["xllcorner"]), int(header["yllcorner"])
    if int(header["cellsize"]) != CELL:
        sys.exit("the grids are expected at 500 m")

    # Daily weather (area-weighted sub-basin means) and the Perl discharge.
    daily = {}
    with open(os.path.join(data, "converted", "basin_daily.csv"), newline="") as f:
        for row in csv.DictReader(f):
            daily[row["date"]] = row
    perl = {}
    with open(os.path.join(data, "gauge", "00398.txt")) as f:
        for line in f.readlines()[5:]:
            t = line.split()
            if len(t) == 6:
                perl[datetime.date(int(t[0]), int(t[1]), int(t[2]))] = float(t[5])
    days = []
    d = datetime.date(YEARS[0], 1, 1)
    while d.year <= YEARS[-1]:
        days.append(d)
        d += datetime.timedelta(days=1)
    for d in days:
        if d not in perl or perl[d] < 0:
            sys.exit(f"no discharge at Perl on {d}")
        if d.isoformat() not in daily:
            sys.exit(f"no weather on {d}")

    for directory in ("input", "Parameters"):
        shutil.rmtree(os.path.join(out, directory), ignore_errors=True)
    inp = os.path.join(out, "input")
    par = os.path.join(out, "Parameters")

    total_cells = sum(1 for r in subbasin for v in r if v != "-9999")
    summary = []
    for code, name, k_hours, x in SUBBASINS:
        code_text = str(code)
        cells = [(r, c) for r in range(nrows) for c in range(ncols) if subbasin[r][c] == code_text]
        r0 = min(r for r, _ in cells)
        r1 = max(r for r, _ in cells)
        c0 = min(c for _, c in cells)
        c1 = max(c for _, c in cells)
        rows, cols = r1 - r0 + 1, c1 - c0 + 1
        xmin = xll + CELL * c0                       # west edge of the box
        ymin = yll + CELL * (nrows - 1 - r1)         # south edge of the box
        terrain, land_use, slopes = [], [], []
        elevations = []
        for r in range(r0, r1 + 1):
            t_row, l_row, s_row = [], [], []
            for c in range(c0, c1 + 1):
                if subbasin[r][c] != code_text:
                    t_row.append(OUTSIDE_TERRAIN)
                    l_row.append(OUTSIDE_LAND_USE)
                    s_row.append(OUTSIDE_SLOPE)
                    continue
                z = int(dem[r][c])
                if z <= 0 or lai[r][c] == "-9999" or float(slope[r][c]) < 0:
                    sys.exit(f"cell row {r} col {c} of sub-basin {code} lacks data")
                elevations.append(z)
                t_row.append(str(z))
                l_row.append(str(LAND_USE_CODE[int(lai[r][c])]))
                s_row.append(compact_real(slope[r][c], 2))
            terrain.append(t_row)
            land_use.append(l_row)
            slopes.append(s_row)
        zmin, zmax = min(elevations), max(elevations)
        mean_elev = round(sum(elevations) / len(elevations))
        inside_codes = [int(v) for row in land_use for v in row if v != OUTSIDE_LAND_USE]
        inside_slopes = [float(v) for row in slopes for v in row if v != OUTSIDE_SLOPE]
        sub = os.path.join(inp, name)
        # Terrain: the header's z maximum lies above the highest cell, since a cell at or
        # above it loses its groundwater conductivity.
        write_model_text(os.path.join(sub, PATH_LINES[0]),
                         dsaa(cols, rows, xmin, ymin, zmin, zmax + 1, terrain))
        write_model_text(os.path.join(sub, PATH_LINES[1]),
                         dsaa(cols, rows, xmin, ymin, min(inside_codes), max(inside_codes), land_use))
        write_model_text(os.path.join(sub, PATH_LINES[4]),
                         dsaa(cols, rows, xmin, ymin, int(min(inside_slopes)),
                              int(max(inside_slopes)) + 1, slopes))

        # Weather file: one block per year, header "year months startday col8flag
        # station-elevation"; the station stands at the sub-basin's mean elevation, as
        # the series are sub-basin means. The discharge column is Perl's discharge times
        # the sub-basin's share of the basin area; no sediment was measured.
        share = len(cells) / total_cells
        met = []
        for year in YEARS:
            met.append(f"{year} 12 1 1 {mean_elev}")
            for d in days:
                if d.year != year:
                    continue
                w = daily[d.isoformat()]
                p = float(w[f"P_sb{code}_mm"])
                t = float(w[f"T_sb{code}_C"])
                met.append(f"{year} {d.month} {d.day} 0 {p:.2f} {t:.2f} {perl[d] * share:.3f} 0")
        write_model_text(os.path.join(sub, PATH_LINES[2]), met)
        summary.append((code, name, k_hours, x, rows, cols, len(cells), mean_elev, share))

    write_model_text(os.path.join(inp, "子流域.in"),
                     [str(len(SUBBASINS))] +
                     [f"{name} {k_hours:g} {x:g}" for _, name, k_hours, x in SUBBASINS])

    # Observed discharge and sediment concentration at the basin outlet (Perl).
    river = []
    for year in YEARS:
        river.append(f"{year}年 日期 流量(m3/s) 含沙量(kg/m3)")
        for d in days:
            if d.year == year:
                river.append(f"{d.isoformat()} {perl[d]:.3f} 0")
    write_model_text(os.path.join(inp, "RiverDaily.in"), river)

    params = [f"{label} {values}" for label, values in PARAMETERS]
    assert len(params) == 34
    for name in ("当前参数文件.txt", "缺省参数文件.txt"):
        write_model_text(os.path.join(par, name), params)
    for name in ("当前路径文件.txt", "缺省路径文件.txt"):
        write_model_text(os.path.join(par, name), PATH_LINES)
    write_model_text(os.path.join(par, "season.txt"), ["生长季节 起 满 落 止", SEASON_DAYS])
    for name, nodes in (("slope.clr", SLOPE_COLOURS), ("land.clr", TERRAIN_COLOURS),
                        ("landuse.clr", LAND_USE_COLOURS)):
        write_model_text(os.path.join(par, name),
                         ["ColorMap 2 1"] + [f"{p:g} {r} {g} {b}" for p, r, g, b in nodes])

    for code, name, k_hours, x, rows, cols, n, elev, share in summary:
        print(f"sub-basin {code} {name}: {rows} rows x {cols} cols, {n} cells = "
              f"{n * CELL * CELL / 1e6:.2f} km2, mean elevation {elev} m, area share {share:.4f}, "
              f"K {k_hours:g} h, x {x:g}")
    print(f"written to {out}")


if __name__ == "__main__":
    main()
