// The fused engine against the reference sweeps: the same output files, byte for byte, and
// the same state grids at the end of the run, for one, two and three threads, on small
// workspaces that reach snow, frozen soil, saturated cells and a water table moving
// through the soil layers. A probe around the reference engine checks that each
// workspace really reaches the conditions it is meant to exercise.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>

#include "TestSupport.h"
#include "TinyWorkspace.h"
#include "app/DayEngine.h"
#include "app/Driver.h"
#include "app/FusedEngine.h"
#include "app/Progress.h"
#include "app/Session.h"
#include "app/Startup.h"
#include "parameters/ParaDialog.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;

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
      const int layer = d <= 0 ? 0 : d <= t1 ? 1 : d <= t1 + t2 ? 2 : d <= t1 + t2 + t3 ? 3 : 4;
      reached.tableInLayer[layer] = true;
    }
    return t;
  }
  ReferenceDayEngine reference;
  Reached reached;
};

// Every output file with its bytes, by path below the output directory.
std::map<std::string, std::string> Outputs(const test::TempDir& dir) {
  std::map<std::string, std::string> files;
  const fs::path root = dir.Path() / "Output";
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) files[fs::relative(e.path(), root).string()] = test::ReadBytes(e.path().string());
  return files;
}

struct RunResult {
  std::map<std::string, std::string> files;
  ModelState state;  // as the run left it
};

RunResult Simulate(const test::TinyWorkspace& w, DayEngine& engine) {
  test::TempDir dir;
  test::WriteTinyWorkspace(dir.Path().string(), w);
  Session session(dir.Path().string());
  StartUpWorkspace(session);
  ProgressObserver quiet;
  Driver driver(session, quiet, engine);
  driver.Run();
  while (session.state.YearIndex < w.simYears)
    if (driver.NextYear() != Driver::StepResult::Simulated) break;
  return RunResult{Outputs(dir), session.state};
}

// The reference run (through the probe), then the fused engine on 1, 2 and 3 threads.
Reached ExpectSameAsReference(const test::TinyWorkspace& w, std::initializer_list<int> threadCounts = {1, 2, 3}) {
  ProbeEngine probe;
  const RunResult ref = Simulate(w, probe);
  EXPECT_GE(ref.files.size(), 10u);
  for (int threads : threadCounts) {
    SCOPED_TRACE("threads " + std::to_string(threads));
    FusedDayEngine fused(threads);
    const RunResult run = Simulate(w, fused);
    EXPECT_EQ(run.files.size(), ref.files.size());
    for (const auto& [name, bytes] : ref.files) {
      auto it = run.files.find(name);
      if (it == run.files.end()) {
        ADD_FAILURE() << name << " missing";
        continue;
      }
      EXPECT_TRUE(it->second == bytes) << name << " differs";
    }
    // The state grids of the last sub-basin's last year, to the bit.
    const ModelState& a = ref.state;
    const ModelState& b = run.state;
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

TEST(FusedEngine, SnowAndFrozenSoilOverALeapYear) {
  test::TinyWorkspace w;
  w.simYears = 2;
  test::TinySubBasin b = Outline(7, 6, 900);
  b.stationElev = 700;
  test::TinyYear y;
  y.year = 1999;
  y.temp = [](int d) { return -9.0 + 20.0 * std::sin(3.14159 * (d - 30) / 365.0) + (d % 5) - 2; };
  y.precip = [](int d) { return (d % 4 == 0) ? 12.0 : (d % 7 == 0 ? 3.5 : 0.0); };
  test::TinyYear leap = y;
  leap.year = 2000;
  b.years = {y, leap};
  w.subBasins = {b};
  const Reached r = ExpectSameAsReference(w);
  EXPECT_TRUE(r.snow);
  EXPECT_TRUE(r.frozen);
}

TEST(FusedEngine, WetBasinWithSaturatedCellsAndARisingTable) {
  test::TinyWorkspace w;
  w.simYears = 2;
  w.parameterLines = {{"包气带积水向地下水输送参数", "包气带积水向地下水输送参数 0.001 0.002 0.3"}};
  // Two sub-basins of different shapes, so that the engine is set up anew in each.
  test::TinySubBasin a = Outline(6, 8, 300);
  a.name = "甲";
  test::TinySubBasin b = Outline(9, 5, 200);
  b.name = "乙";
  b.K = 12;
  b.x = 0.2;
  test::TinyYear y;
  y.year = 2003;
  y.temp = [](int d) { return 8.0 + 6.0 * std::sin(d / 30.0); };
  y.precip = [](int d) { return d < 200 ? 40.0 + (d % 3) * 15.0 : (d % 6 == 0 ? 20.0 : 1.0); };
  test::TinyYear next = y;
  next.year = 2004;
  next.startDay = 20;
  next.months = 9;
  a.years = {y, next};
  b.years = {y, next};
  w.subBasins = {a, b};
  const Reached r = ExpectSameAsReference(w);
  EXPECT_TRUE(r.saturated);
  EXPECT_TRUE(r.tableInLayer[0]);
  EXPECT_TRUE(r.tableInLayer[1]);
  EXPECT_TRUE(r.tableInLayer[2]);
  EXPECT_TRUE(r.tableInLayer[3]);
  EXPECT_TRUE(r.tableInLayer[4]);
}

TEST(FusedEngine, OneCellAndOneRowBasins) {
  // The smallest shapes: no neighbours at all, and neighbours only within the row.
  for (int cols : {1, 5}) {
    SCOPED_TRACE("cols " + std::to_string(cols));
    test::TinyWorkspace w;
    test::TinySubBasin b;
    b.cols = cols;
    b.elevation = [](int, int c) { return 500.0 + 3 * c; };
    b.years[0].temp = [](int d) { return -6.0 + 25.0 * d / 366; };
    w.subBasins = {b};
    ExpectSameAsReference(w);
  }
}

TEST(FusedEngine, BlocksOfManyRowsMeetAtTheirBorders) {
  // Tall enough that every thread's block has many rows, so the lateral exchange crosses
  // many block borders each day; a year that starts on day 361 and one that ends after
  // ten months.
  test::TinyWorkspace w;
  w.simYears = 2;
  test::TinySubBasin b = Outline(64, 23, 250);
  test::TinyYear y;
  y.year = 2001;
  y.startDay = 361;
  y.temp = [](int d) { return -4.0 + 18.0 * std::sin(d / 58.0); };
  y.precip = [](int d) { return d % 3 == 0 ? 25.0 : (d % 11 == 0 ? 60.0 : 0.0); };
  test::TinyYear next = y;
  next.year = 2002;
  next.startDay = 1;
  next.months = 10;
  b.years = {y, next};
  w.subBasins = {b};
  ExpectSameAsReference(w, {2, 3, 4});
}

TEST(FusedEngine, MoreThreadsThanRowsAndTheNameSelectsIt) {
  test::TinyWorkspace w;
  test::TinySubBasin b = Outline(3, 9, 400);
  w.subBasins = {b};
  ProbeEngine probe;
  const RunResult ref = Simulate(w, probe);
  FusedDayEngine fused(8);
  EXPECT_EQ(Simulate(w, fused).files, ref.files);

  std::unique_ptr<DayEngine> named = MakeDayEngine("fused", 2);
  EXPECT_STREQ(named->Name(), "fused");
  EXPECT_STREQ(MakeDayEngine("", 1)->Name(), "fused");
  EXPECT_STREQ(MakeDayEngine("reference", 1)->Name(), "reference");
  EXPECT_GE(FusedDayEngine(0).Threads(), 1);
}

}  // namespace
}  // namespace tarnwell
