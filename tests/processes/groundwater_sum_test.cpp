// How the outlet's groundwater series counts each cell's outflow: twice (the documented sum)
// or once, what the cells lose. Under once the day's series is the mean of the cells' final
// outflows, and every engine and thread count gives the same bits.
#include <gtest/gtest.h>

#include "TinyWorkspace.h"
#include "app/Check.h"
#include "app/DayEngine.h"
#include "app/Driver.h"
#include "app/Progress.h"
#include "app/Session.h"
#include "app/Startup.h"

namespace tarnwell {
namespace {

// The day the year ends on, as each engine and sum leaves it.
struct LastDay {
  std::vector<DaySeries> flow;
  double gwFlow = 0, cellMean = 0;
};

LastDay RunOnce(const std::string& root, const std::string& engineName, int threads, GroundwaterSum sum,
                bool giveInputs = true) {
  Session session(root);
  StartUpWorkspace(session);
  auto inputs = std::make_shared<WorkspaceInputs>();
  CheckInputs(session, 1, inputs.get());
  ProgressObserver quiet;
  const auto engine = MakeDayEngine(engineName, threads);
  Driver driver(session, quiet, *engine);
  if (giveInputs) driver.UseInputs(inputs);
  driver.WriteNoFiles();
  driver.SetGroundwaterSum(sum);
  driver.Run();
  const ModelState& s = session.state;
  // The reference engine leaves the last day's outflow of every cell in its grid.
  double total = 0, n = 0;
  for (std::size_t i = 0; i < s.CellCount(); ++i)
    if (s.CellFlag[i] > 0) total += s.GroundwaterFlow[i], ++n;
  return {s.SubBasinFlow, s.GwFlow[s.DayCount], total / n};
}

TEST(GroundwaterSum, OnceIsWhatTheCellsLoseInEveryEngine) {
  test::TempDir dir;
  test::TinyWorkspace w;
  test::TinySubBasin& b = w.subBasins[0];
  b.rows = 4, b.cols = 5;
  // A sloping water table, so the lateral exchange moves water between cells.
  b.elevation = [](int r, int c) { return 300.0 + 25.0 * r + 9.0 * c; };
  b.years[0].precip = [](int d) { return d % 3 == 0 ? 25.0 : 0.5; };
  const std::string root = dir.Path().string();
  test::WriteTinyWorkspace(root, w);
  const LastDay twice = RunOnce(root, "reference", 1, GroundwaterSum::Twice);
  const LastDay once = RunOnce(root, "reference", 1, GroundwaterSum::Once);
  EXPECT_NEAR(once.gwFlow, once.cellMean, 1e-12 * std::abs(once.cellMean));
  // Twice adds the outflow before the exchange on top: more than what the cells lose.
  EXPECT_TRUE(once.cellMean > 0 && twice.gwFlow > twice.cellMean && twice.flow != once.flow);
  for (int threads : {1, 2}) {
    EXPECT_EQ(RunOnce(root, "fused", threads, GroundwaterSum::Once).flow, once.flow) << threads;
    EXPECT_EQ(RunOnce(root, "fused", threads, GroundwaterSum::Twice).flow, twice.flow) << threads;
  }
  // In memory without inputs given: the run keeps those its check reads.
  EXPECT_EQ(RunOnce(root, "reference", 1, GroundwaterSum::Once, false).flow, once.flow);
}

}  // namespace
}  // namespace tarnwell
