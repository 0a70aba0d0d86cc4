// The fused engine against the reference sweeps: the same output files, byte for byte, and
// the same state grids at the end of the run, for one to eight threads (1 and 2 for each, more where the blocks
// matter), on small workspaces that reach snow, frozen soil, saturated cells and a water table moving through the soil
// layers. A probe around the reference engine checks that each workspace really reaches the conditions it is meant to
// exercise.
#include <gtest/gtest.h>

#include <cmath>

#include "app/FusedEngine.h"
#include "engine/WholeRuns.h"

namespace tarnwell {
namespace {

// What the days of a run went through, seen in the reference engine's grids.
struct Reached {
  bool snow = false, frozen = false, saturated = false;
  bool tableInLayer[5] = {};  // 0: at or above the surface, 1..3: in that layer, 4: below
};

class ProbeEngine : public DayEngine {
 public:
  const char* Name() const override { return "probe"; }
  DayTotals RunDay(ModelState& s, const ParameterSet& p, int day) override {
    DayTotals t = reference.RunDay(s, p, day);
    const double t1 = p.LayerThickness1, t2 = p.LayerThickness2, t3 = p.LayerThickness3;
    for (std::size_t i = 0; i < s.CellCount(); ++i) {
      if (s.CellFlag[i] <= 0) continue;
      reached.snow |= s.SnowPack[i] > 0;
      reached.frozen |= s.Frozen[i] > 0;
      reached.saturated |= s.CellFlag[i] == 10;
      const double d = 1000 * (s.SurfElev[i] - s.WTElev[i]);
      reached.tableInLayer[d <= 0 ? 0 : d <= t1 ? 1 : d <= t1 + t2 ? 2 : d <= t1 + t2 + t3 ? 3 : 4] = true;
    }
    return t;
  }
  ReferenceDayEngine reference;
  Reached reached;
};

// The reference run (through the probe), then the fused engine on each number of threads:
// every file byte for byte, and the state grids of the last sub-basin's last year to the bit.
Reached ExpectSameAsReference(const test::TinyWorkspace& w, std::vector<int> threadCounts) {
  ProbeEngine probe;
  const test::WholeRun ref = test::RunYears(w, {.engine = &probe});
  EXPECT_GE(ref.files.size(), 10u);
  for (int threads : threadCounts) {
    SCOPED_TRACE("threads " + std::to_string(threads));
    FusedDayEngine fused(threads);
    const test::WholeRun run = test::RunYears(w, {.engine = &fused});
    test::ExpectSameFiles(ref.files, run.files);
    const ModelState &a = ref.state, &b = run.state;
    EXPECT_EQ(a.CellFlag, b.CellFlag);
    for (auto grid : {&ModelState::Uz1, &ModelState::Uz2, &ModelState::Uz3, &ModelState::SnowPack, &ModelState::Frozen,
                      &ModelState::CanopyStore, &ModelState::FreeWater, &ModelState::SatZoneET, &ModelState::WTElev,
                      &ModelState::WTPrev})
      EXPECT_TRUE(a.*grid == b.*grid);
    EXPECT_EQ(a.YearEndState, b.YearEndState);
  }
  return probe.reached;
}

// An irregular outline on a rows x cols grid: the corners and a notch lie outside (no
// terrain value), the rest slopes towards row 1 with a ridge along the middle column.
test::TinySubBasin Outline(int rows, int cols, double base) {
  test::TinySubBasin b;
  b.rows = rows;
  b.cols = cols;
  b.xMax = 900 * rows;
  b.yMax = 1000 * cols;
  b.elevation = [=](int r, int c) {
    if ((r == 1 || r == rows) && (c == 1 || c == cols)) return 0.0;
    if (r == rows / 2 && c == 2) return 3e30;
    return base + 7.0 * r + 2.5 * std::abs(c - cols / 2) + 0.3 * ((r * 7 + c * 3) % 5);
  };
  // Every land-use class, the round codes of no class, and an area code beyond 150.
  b.landUse = [](int r, int c) {
    static const double codes[] = {11, 25, 35, 45, 55, 65, 105, 20, 160, 28, 33};
    return codes[(r * 3 + c) % 11];
  };
  b.slope = [](int r, int c) { return (r + c) % 6 == 0 ? 0.0 : 2.0 + (r * c) % 17; };
  return b;
}

// Two years of the sub-basins with the same weather; the second may start late or end early.
test::TinyWorkspace TwoYearsOf(std::vector<test::TinySubBasin> subBasins, int year, std::function<double(int)> temp,
                               std::function<double(int)> precip, int secondStart = 1, int secondMonths = 12) {
  test::TinyWorkspace w;
  w.simYears = 2;
  test::TinyYear y;
  y.year = year;
  y.temp = std::move(temp);
  y.precip = std::move(precip);
  test::TinyYear next = y;
  next.year = year + 1;
  next.startDay = secondStart;
  next.months = secondMonths;
  for (test::TinySubBasin& b : subBasins) b.years = {y, next};
  w.subBasins = std::move(subBasins);
  return w;
}

TEST(FusedEngine, SameFilesAndGridsAsTheSweepsOnEveryShapeAndCondition) {
  // Snow and frozen soil over a common and a leap year.
  test::TinySubBasin cold = Outline(7, 6, 900);
  cold.stationElev = 700;
  const test::TinyWorkspace snowy = TwoYearsOf(
      {cold}, 1999, [](int d) { return -9.0 + 20.0 * std::sin(3.14159 * (d - 30) / 365.0) + (d % 5) - 2; },
      [](int d) { return (d % 4 == 0) ? 12.0 : (d % 7 == 0 ? 3.5 : 0.0); });
  // A wet basin: saturated cells and a rising table. Two sub-basins of different shapes, so
  // that the engine is set up anew in each; a second year of nine months from day 20.
  test::TinySubBasin a = Outline(6, 8, 300), b = Outline(9, 5, 200);
  b.name = "乙", b.K = 12, b.x = 0.2;
  test::TinyWorkspace wet = TwoYearsOf(
      {a, b}, 2003, [](int d) { return 8.0 + 6.0 * std::sin(d / 30.0); },
      [](int d) { return d < 200 ? 40.0 + (d % 3) * 15.0 : (d % 6 == 0 ? 20.0 : 1.0); }, 20, 9);
  wet.parameterLines = {{"包气带积水向地下水输送参数", "包气带积水向地下水输送参数 0.001 0.002 0.3"}};
  // The smallest shapes: one cell, no neighbours at all; one row, neighbours only within it;
  // more threads than rows.
  test::TinyWorkspace cell, row, wide;
  row.subBasins[0].cols = 5;
  row.subBasins[0].elevation = [](int, int c) { return 500.0 + 3 * c; };
  row.subBasins[0].years[0].temp = [](int d) { return -6.0 + 25.0 * d / 366; };
  wide.subBasins = {Outline(3, 9, 400)};
  // Tall enough that every thread's block has many rows, so the lateral exchange crosses many
  // block borders each day; a year that starts on day 361 and one that ends after ten months.
  test::TinyWorkspace tall = TwoYearsOf(
      {Outline(64, 23, 250)}, 2001, [](int d) { return -4.0 + 18.0 * std::sin(d / 58.0); },
      [](int d) { return d % 3 == 0 ? 25.0 : (d % 11 == 0 ? 60.0 : 0.0); }, 1, 10);
  tall.subBasins[0].years[0].startDay = 361;
  const struct {
    const char* name;
    const test::TinyWorkspace& w;
    std::vector<int> threads;
  } cases[] = {{"snowy", snowy, {1, 2}}, {"wet", wet, {1, 2}}, {"one cell", cell, {2}},
               {"one row", row, {1, 2}}, {"wide", wide, {8}},  {"tall", tall, {2, 3}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Reached r = ExpectSameAsReference(c.w, c.threads);
    // Each workspace really reaches the conditions it is meant to exercise.
    EXPECT_TRUE(&c.w != &snowy || (r.snow && r.frozen));
    if (&c.w == &wet) {
      EXPECT_TRUE(r.saturated);
      for (bool inLayer : r.tableInLayer) EXPECT_TRUE(inLayer);
    }
  }
}

}  // namespace
}  // namespace tarnwell
