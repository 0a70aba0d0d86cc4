#!/usr/bin/env python3
"""Cost of each simulated year over a 20-year run of the demo basin (not part of CI).

The demo's four years of weather and discharge (1990-1993: common, common, leap, common)
are repeated five times as 1990-2009, which keeps every leap year in its place, into a
copy of the workspace under /tmp. The run prints each year's own seconds; this script
lists them and compares the mean of years 16-20 with that of years 2-6, so that a cost growing with the years
(reading earlier years again) shows.

Usage: scripts/year-cost.py [--tarnwell build/tarnwell] [--engine fused] [--threads N]
"""
import argparse
import os
import re
import shutil
import subprocess
import sys

PROJECT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
REPEATS = 5
FIRST, SPAN = 1990, 4


def tile(path, year_at_start):
    """Repeats the file's four year blocks REPEATS times with the years renumbered."""
    with open(path, "rb") as f:
        lines = f.read().decode("gbk").split("\r\n")
    if lines and lines[-1] == "":
        lines.pop()
    out = []
    for r in range(REPEATS):
        shift = r * SPAN
        for line in lines:
            out.append(year_at_start.sub(lambda m: str(int(m.group(1)) + shift), line, count=1))
    with open(path, "wb") as f:
        f.write(("\r\n".join(out) + "\r\n").encode("gbk"))


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--tarnwell", default=os.path.join(PROJECT, "build", "tarnwell"))
    ap.add_argument("--engine", default="fused")
    ap.add_argument("--threads", default=None)
    ap.add_argument("--out", default="/tmp/tarnwell-20-years")
    args = ap.parse_args()

    ws = args.out
    shutil.rmtree(ws, ignore_errors=True)
    shutil.copytree(os.path.join(PROJECT, "examples", "demo"), ws,
                    ignore=shutil.ignore_patterns("Output", "output"))
    year = re.compile(r"^(\d{4})")
    tile(os.path.join(ws, "input", "RiverDaily.in"), year)
    for sub in os.listdir(os.path.join(ws, "input")):
        met = os.path.join(ws, "input", sub, "weather.in")
        if os.path.isfile(met):
            tile(met, year)
    years = REPEATS * SPAN
    for name in ("当前参数文件.txt", "缺省参数文件.txt"):
        p = os.path.join(ws, "Parameters", name)
        with open(p, "rb") as f:
            text = f.read().decode("gbk")
        text = re.sub(r"模拟年数\s+\d+", "模拟年数 %d" % years, text)
        with open(p, "wb") as f:
            f.write(text.encode("gbk"))

    cmd = [args.tarnwell, "run", "--workspace", ws, "--years", str(years), "--engine", args.engine]
    if args.threads:
        cmd += ["--threads", args.threads]
    run = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    if run.returncode != 0:
        sys.stderr.write(run.stderr)
        return 1
    cost = {}
    for m in re.finditer(r"year (\d+)/\d+ \((\d+)\): whole basin done, ([0-9.]+) s", run.stderr):
        cost[int(m.group(1))] = (int(m.group(2)), float(m.group(3)))
    if len(cost) != years:
        sys.stderr.write("expected %d years, found %d\n" % (years, len(cost)))
        return 1
    for i in sorted(cost):
        print("year %2d (%d): %.3f s" % (i, cost[i][0], cost[i][1]))
    def mean(first, last):
        return sum(cost[i][1] for i in range(first, last + 1)) / (last - first + 1)
    early, late = mean(2, 6), mean(years - 4, years)
    print("years 2-6: %.3f s a year; years %d-%d: %.3f s a year; later/early = %.2f"
          % (early, years - 4, years, late, late / early))
    return 0


if __name__ == "__main__":
    sys.exit(main())
