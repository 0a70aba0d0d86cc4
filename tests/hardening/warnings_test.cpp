// What a run can do but should not be asked to: check and run warn, naming the sub-basin,
// of Muskingum K and x that give a negative routing coefficient, and check of a terrain
// cell towering over its neighbours; the run goes on.
#include <gtest/gtest.h>

#include <sstream>

#include "HardeningSupport.h"
#include "app/Check.h"
#include "app/Session.h"
#include "app/Startup.h"
#include "results/Statistic.h"

namespace tarnwell {
namespace {

std::string CheckReport(const test::TinyWorkspace& w, const test::TempDir& dir) {
  test::WriteTinyWorkspace(dir.Path(), w);
  Session session(dir.Path());
  StartUpWorkspace(session);
  std::ostringstream out;
  RunCheck(session, out);
  return out.str();
}

int Count(const std::string& text, const std::string& part) {
  int n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(RoutingWarnings, EachNegativeCoefficientNamedByItsSubBasin) {
  // C2 < 0 when (1 - x) K is below 12 h (A), C0 < 0 when K x is above 12 h (C).
  test::TempDir dir;
  test::TinyWorkspace w;
  w.subBasins.assign(3, test::TinySubBasin{});
  for (std::size_t k = 0; k < 3; ++k) w.subBasins[k].name = std::string(1, static_cast<char>('A' + k));
  w.subBasins[0].K = 6, w.subBasins[1].K = 24, w.subBasins[2].K = 100;
  for (auto& b : w.subBasins) b.x = 0.2;
  const std::string report = CheckReport(w, dir);
  const std::string negative = " h and x = 0.2 give a negative routing coefficient ";
  EXPECT_TRUE(test::Has(report, "warning: sub-basin 1 (A): Muskingum K = 6" + negative + "C2 = -0.43")) << report;
  EXPECT_TRUE(test::Has(report, "warning: sub-basin 3 (C): Muskingum K = 100" + negative + "C0 = -0.09")) << report;
  EXPECT_EQ(Count(report, "warning:"), 2) << report;
  // The run warns the same on standard error, and runs.
  const test::CliResult run = test::RunCli({"run", "--workspace", dir.Path()}, dir.Path());
  EXPECT_TRUE(test::Ends(run, 0, "C2 = -0.43"));
  EXPECT_EQ(Count(run.err, "warning: sub-basin"), 2) << run.err;
}

TEST(TerrainWarnings, ACellFarAboveAllItsNeighboursInsideTheBasin) {
  test::TempDir dir;
  test::TinyWorkspace w;
  test::TinySubBasin& b = w.subBasins[0];
  b.rows = 4, b.cols = 5, b.xMax = 400, b.yMax = 500;
  // (2, 3): a 16-bit no-data value amid 500 m; (4, 1): 3600 m in a corner, above its two
  // neighbours; (1, 5): 3400 m beside an outside cell and a 3500 m neighbour: no spike;
  // (4, 5): 3499 m, within 3000 m of its neighbours.
  b.elevation = [](int r, int c) {
    const std::map<std::pair<int, int>, double> at{{{2, 3}, 32767}, {{4, 1}, 3600}, {{1, 5}, 3400},
                                                   {{1, 4}, -9999}, {{2, 5}, 3500}, {{4, 5}, 3499}};
    return at.count({r, c}) ? at.at({r, c}) : 500.0;
  };
  const std::string report = CheckReport(w, dir);
  EXPECT_TRUE(test::Has(report,
                        "warning: sub-basin 1 (甲): input/甲/dem.grd line 7 (row 2, column 3): the terrain of 32767 m "
                        "lies more than 3000 m above all its neighbours inside the basin"))
      << report;
  EXPECT_TRUE(test::Has(report, "dem.grd line 9 (row 4, column 1): the terrain of 3600 m")) << report;
  EXPECT_EQ(Count(report, "warning:"), 2) << report;
}

}  // namespace
}  // namespace tarnwell
