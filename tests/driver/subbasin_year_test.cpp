// One sub-basin's year called by hand, as a script or a coupler would call it: its start
// made from the year before's result, no driver, no files. Two years of two sub-basins must
// give, to the bit, what the driver's run and next year give, under either year boundary.
#include <gtest/gtest.h>

#include "TinyWorkspace.h"
#include "app/Check.h"
#include "app/DayEngine.h"
#include "app/Driver.h"
#include "app/InputSource.h"
#include "app/Progress.h"
#include "app/Session.h"
#include "app/Startup.h"
#include "app/SubBasinYear.h"

namespace tarnwell {
namespace {

test::TinyWorkspace TwoSubBasinsTwoYears() {
  test::TinyWorkspace w = test::TwoYears();
  w.subBasins.resize(2);
  w.subBasins[1].name = "乙";
  for (test::TinySubBasin& b : w.subBasins) {
    b.rows = 3;
    b.cols = 4;
    b.years.resize(2);
    b.years[1].year = 2001;
    // Cells of their own: the year boundary keeps them or takes their means.
    b.elevation = [](int r, int c) { return 400.0 + 37.0 * r + 11.0 * c * c; };
    b.years[0].precip = b.years[1].precip = [](int d) { return d % 5 == 0 ? 30.0 : 1.0; };
  }
  return w;
}

TEST(SubBasinYear, TwoYearsByHandAreTheDriversYears) {
  test::TempDir dir;
  test::WriteTinyWorkspace(dir.Path().string(), TwoSubBasinsTwoYears());
  for (CarryOver carry : {CarryOver::Mean, CarryOver::Cells}) {
    SCOPED_TRACE(CarryOverName(carry));
    // The driver, in memory.
    Session session(dir.Path().string());
    StartUpWorkspace(session);
    auto inputs = std::make_shared<WorkspaceInputs>();
    CheckInputs(session, 2, inputs.get());
    ProgressObserver quiet;
    const auto engine = MakeDayEngine("fused", 1);
    Driver driver(session, quiet, *engine);
    driver.UseInputs(inputs);
    driver.WriteNoFiles();
    driver.SetCarryOver(carry);
    driver.Run();
    const std::vector<DaySeries> firstFlow = session.state.SubBasinFlow;
    ASSERT_EQ(driver.NextYear(), Driver::StepResult::Simulated);
    const ModelState& s = session.state;

    // By hand: each year a function of its start, the inputs and the engine.
    Session lane(dir.Path().string());
    StartUpWorkspace(lane);
    CheckedInputs source;
    source.Use(inputs);
    YearSettings settings;
    settings.inputs = &source;
    settings.carryOver = carry;
    settings.writeFiles = false;
    const auto own = MakeDayEngine("reference", 1);
    Lane at{&lane, nullptr, own.get(), nullptr, &quiet, {}, {}};
    std::vector<SubBasinYear> first;
    lane.state.YearIndex = 1;
    for (int k = 1; k <= 2; ++k) first.push_back(SimulateSubBasinYear(k, YearStart{}, settings, at));
    lane.state.YearIndex = 2;
    lane.state.MetLinesRead = s.MetLinesRead - (s.DaysInYear + 1);
    for (int k = 1; k <= 2; ++k) {
      const SubBasinYear& before = first[static_cast<std::size_t>(k - 1)];
      EXPECT_EQ(before.flow, firstFlow[static_cast<std::size_t>(k)]) << "year 1, sub-basin " << k;
      YearStart start;
      start.laterYear = true;
      start.carried = before.end;
      start.cells = &before.cells;
      EXPECT_EQ(carry == CarryOver::Cells, !before.cells.Empty());
      const SubBasinYear next = SimulateSubBasinYear(k, std::move(start), settings, at);
      EXPECT_EQ(next.flow, s.SubBasinFlow[static_cast<std::size_t>(k)]) << "year 2, sub-basin " << k;
      EXPECT_EQ(next.sediment, s.SubBasinSediment[static_cast<std::size_t>(k)]);
      EXPECT_EQ(next.end, s.YearEndState[static_cast<std::size_t>(k)]);
      EXPECT_EQ(next.shown.year.CurYear, 2001);
    }
  }
}

}  // namespace
}  // namespace tarnwell
