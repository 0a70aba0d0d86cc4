// Writes the small workspaces of the whole-run baseline under the given folder: several
// sub-basins with their own grids and reaches; common and leap years in one run, with gauges
// that miss some days; a first year that starts late. Their values vary from day to day and
// cell to cell, so that every process and every output column carries something.
#include <cmath>
#include <cstdio>

#include "TinyWorkspace.h"

using namespace tarnwell::test;

namespace {

TinyYear Year(int year, int phase, int startDay = 1) {
  const double p = phase;
  return {.year = year,
          .startDay = startDay,
          .precip = [p](int d) { return d % 7 == 0 ? 0.0 : 3 + 2.5 * std::sin(0.11 * d + p); },
          .temp = [p](int d) { return 9 - 13 * std::cos(6.2831853 * (d - 15 + p) / 365.0); },
          .flow = [p](int d) { return 0.6 + 0.4 * std::sin(0.05 * d + p); },
          .sedConc = [](int d) { return d % 3 == 0 ? 0.02 : 0.0; }};
}

TinySubBasin SubBasin(const char* name, int rows, int cols, double base, double K, double x) {
  static const double codes[] = {11, 21, 31, 41, 51, 61};
  return {.name = name,
          .K = K,
          .x = x,
          .rows = rows,
          .cols = cols,
          .xMax = 1000 * cols,
          .yMax = 1000 * rows,
          .elevation = [base](int r, int c) { return base + 12.5 * r + 7.0 * c + ((r * c) % 3); },
          .landUse = [](int r, int c) { return codes[(r + 2 * c) % 6]; },
          .slope = [](int r, int c) { return 2.0 + (r + c) % 5; },
          .stationElev = static_cast<int>(base)};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_workspaces DIR\n");
    return 2;
  }
  const std::string root = argv[1];

  TinyWorkspace multi;
  multi.subBasins = {SubBasin("上游", 5, 4, 620, 12, 0.2), SubBasin("中游", 3, 6, 480, 30, 0.3),
                     SubBasin("下游", 4, 4, 350, 0, 0)};
  for (std::size_t k = 0; k < multi.subBasins.size(); ++k) multi.subBasins[k].years = {Year(2003, static_cast<int>(k))};
  multi.outletFlow = [](int d) { return 2.0 + std::sin(0.04 * d); };
  multi.outletConc = [](int d) { return d % 5 == 0 ? 0.03 : 0.01; };
  WriteTinyWorkspace(root + "/multi", multi);

  TinyWorkspace leap;
  leap.subBasins = {SubBasin("北", 4, 3, 700, 18, 0.1), SubBasin("南", 3, 3, 560, 6, 0.25)};
  for (std::size_t k = 0; k < leap.subBasins.size(); ++k) {
    leap.subBasins[k].years.clear();
    for (int year : {1999, 2000, 2001}) leap.subBasins[k].years.push_back(Year(year, static_cast<int>(k) + year % 3));
  }
  // A gauge that misses some days: the no-observation mark.
  leap.outletFlow = [](int d) { return d % 50 == 0 ? -999.0 : 1.5 + 0.5 * std::cos(0.03 * d); };
  leap.subBasins[1].years[1].flow = [](int d) { return d <= 3 || d == 200 ? -999.0 : 0.8; };
  leap.simYears = 3;
  WriteTinyWorkspace(root + "/leap", leap);

  TinyWorkspace late;
  late.subBasins = {SubBasin("晚", 4, 5, 410, 24, 0.15)};
  late.subBasins[0].years = {Year(2001, 1, 32), Year(2002, 2)};
  late.simYears = 2;
  WriteTinyWorkspace(root + "/late", late);
  return 0;
}
