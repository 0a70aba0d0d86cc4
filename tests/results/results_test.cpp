// Output layouts, period statistics, the daily reduction and the whole-basin year.
#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"
#include "app/Session.h"
#include "inputs/TextFile.h"
#include "model/Errors.h"
#include "parameters/ParaDialog.h"
#include "results/Format.h"
#include "results/Statistic.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;

YearFiles FilesIn(const test::TempDir& dir, const std::string& sub = "") {
  auto f = [&](const char* name) {
    std::string p = dir / (sub.empty() ? name : sub + "/" + name);
    fs::create_directories(fs::path(p).parent_path());
    return OutputFile{p, name};
  };
  return {f("Daily.out"), f("Daily_s.out"), f("Budget.out"), f("Budget_s.out"), f("Daily_f.out")};
}

TEST(Layout, HeaderLinesOfTheFiveFiles) {
  test::TempDir dir;
  ModelState s;
  s.CurYear = 2001;
  YearFiles files = FilesIn(dir);
  WriteSubBasinHeaders(s, files);
  for (const OutputFile* f : {&files.Daily, &files.DailyS, &files.DailyF, &files.Budget, &files.BudgetS})
    EXPECT_TRUE(test::SameAsGolden("results/headers_" + f->name, f->path)) << f->name;
}

TEST(Layout, RowsOfSubBasinAndWholeBasinFiles) {
  test::TempDir dir;
  const DailyValues day{1.5, 0.25, 2, 1.125, 30, 60.5, 120.25, 0.5, 0.125, 0.75, 1.25, 1.5, 0.875, -3};
  const FourValues four{-1.5, 0, 12345.678, 1234567.5};  // a negative and an over-wide value
  const BudgetValues b{2, 2, 0, 1.0 / 3, 0.99, 6, 6, 3, 1.5, 0.25, 0.5, 0.75};
  const SedBudgetValues t{1, 2, 1, 0.5, 0.99, 5, 10, 20};
  std::vector<std::string> lines{YearLine(2001),
                                 DailyRow(7, 15, 2001, day),
                                 FourValueRow(1, 5, 2001, four),
                                 BudgetMonthRow(7, 2001, 31, b),
                                 BudgetYearRow(2001, 365, b),
                                 SedBudgetMonthRow(2, 2001, 5, t),
                                 SedBudgetYearRow(2001, 365, t),
                                 BasinDailyRow("07-15-2001", day),
                                 BasinFourValueRow("01-05-2001", four),
                                 BasinBudgetRow("2001全年", 365, b),
                                 BasinBudgetRow("07-2001", 31, b),
                                 BasinSedBudgetRow("2001全年", 365, t)};
  AppendLines(dir / "rows.txt", "rows.txt", lines);
  EXPECT_TRUE(test::SameAsGolden("results/rows.txt", dir / "rows.txt"));
}

TEST(PeriodStatistics, WorkedExampleAndDegenerateCases) {
  DaySeries obs{}, sim{};
  obs[1] = 1, obs[2] = 2, obs[3] = 3;
  sim[1] = sim[2] = sim[3] = 2;
  DaySeries zero{};
  const double _ = -99;  // not asserted
  const struct {
    const char* what;
    PeriodStats p;
    double sumObs, meanDiff, sumDiff2, d, r;
  } cases[] = {
      {"a constant simulated series: R 0.99", ComputePeriodStats(obs, sim, 3, 3), 6, 0, 2, 2.0 / 6, 0.99},
      {"one day: no spread, D 0", ComputePeriodStats(obs, sim, 1, 2), _, _, _, 0, _},
      {"identical varying series: R 1", ComputePeriodStats(obs, obs, 3, 3), 6, 0, 0, 0, 1},
      {"zero observations: R 0.99", ComputePeriodStats(zero, obs, 3, 3), 0, _, _, _, 0.99},
  };
  for (const auto& c : cases) {
    const double got[] = {c.p.SumObs, c.p.MeanDiff, c.p.SumDiff2, c.p.D, c.p.R},
                 want[] = {c.sumObs, c.meanDiff, c.sumDiff2, c.d, c.r};
    for (int i = 0; i < 5; ++i)
      EXPECT_TRUE(want[i] == _ || std::abs(got[i] - want[i]) <= 1e-12) << c.what << ", value " << i << ": " << got[i];
  }

  test::TempDir dir;
  ModelState s;
  s.CurYear = 2001;
  s.CurMonth = 1;
  s.ObsFlow = obs;
  s.SimFlow = sim;
  s.MeanPrecip[1] = s.MeanPrecip[2] = s.MeanPrecip[3] = 1;
  s.MeanPrecip[4] = 100;                                            // outside the period
  s.MeanIntercep[1] = s.MeanIntercep[2] = s.MeanIntercep[3] = 0.5;  // each budget column its own value
  s.MeanSoilDrain[1] = s.MeanSoilDrain[2] = s.MeanSoilDrain[3] = 0.25;
  YearFiles files = FilesIn(dir);
  WritePeriodStatistics(s, files, 3, 3, 1);
  s.ObsFlow[3] = 5;  // N = 1 year row: lastDay 3, StartDay 3
  WritePeriodStatistics(s, files, 3, 3, 2);
  EXPECT_TRUE(test::SameAsGolden("results/period_Budget.out", files.Budget.path));
  EXPECT_TRUE(test::SameAsGolden("results/period_Budget_s.out", files.BudgetS.path));
}

// A grid of rows x cols cells, all inside.
void Grid(ModelState& s, int rows, int cols) {
  s.AllocateGrids(rows, cols);
  std::fill(s.CellFlag.begin(), s.CellFlag.end(), 1);
}

// The cell sums of a day: one partial sum per grid row, from 0 with the cells in column
// order, the rows then added in row order. The order shows in the last bit, and the drainage
// of a thin unsaturated part turns such a bit into a printed difference within weeks, so it is
// part of the result: here a sum over the cells one by one would give 0, the row order 1.
TEST(DailyRecord, CellSumsArePartialSumsPerRowAddedInRowOrder) {
  ModelState s;
  Grid(s, 2, 2);
  const double values[4] = {0, 1, 1e16, -1e16};  // row 1: 0, 1; row 2: 1e16, -1e16
  for (std::size_t i = 0; i < 4; ++i) s.Uz1[i] = values[i];
  double oneByOne = 0;
  for (double v : values) oneByOne += v;
  ASSERT_EQ(oneByOne, 0.0);
  EXPECT_EQ(ReduceDay(s).Uz1, 1.0);
  // An outside cell takes no part, and an empty row adds its 0.
  s.CellFlag[s.Cell(1, 2)] = -1;
  EXPECT_EQ(ReduceDay(s).Uz1, 0.0);
}

TEST(DailyRecord, YearEndRowsAndMarker) {
  test::TempDir dir;
  ModelState s;
  s.MeanElev = 1400;
  s.StationElev = 1000;
  for (int d = 1; d <= 2; ++d) {
    s.DayYear[d] = 2001, s.DayMonth[d] = 1, s.DayOfMonth[d] = d;
    s.DailyTemp[d] = 5.0 * d;
    s.MeanSnowPack[d] = d;
    s.MeanFrozen[d] = 10.0 * d;
    s.GroundWaterLevel[d] = -3;
    s.SimErosion[d] = 1.25;
    s.ObsSediment[d] = 2;
    s.SimSediment[d] = 3;
    s.DailySedStore[d] = 100.0 + d;
  }
  YearFiles files = FilesIn(dir);
  OutputFile mark{dir / "Mark.out", "Mark.out"};  // missing: created
  s.YearIndex = 3;
  WriteFrozenDaily(s, files, 2);
  WriteSedimentDaily(s, files, mark, 2);
  EXPECT_TRUE(test::SameAsGolden("results/year_end_Daily_f.out", files.DailyF.path));
  EXPECT_TRUE(test::SameAsGolden("results/year_end_Daily_s.out", files.DailyS.path));
  EXPECT_EQ(test::ReadBytes(mark.path), " 3\r\n");
  EXPECT_EQ((std::vector<double>{s.YearEndValue.SedStore, s.YearEndValue.SnowPack, s.YearEndValue.Frozen}),
            (std::vector<double>{102, 2, 20}));
}

TEST(Muskingum, HalfWeightOneDayDelayAndZeroStorageIdentity) {
  ModelState s;
  for (int d = 1; d <= 366; ++d) s.SimFlow[d] = d % 7 + 0.5 * d;
  MuskingumRoute(s, 24, 0.5);
  EXPECT_EQ(s.RoutedFlow[1], s.SimFlow[1]);
  for (int t = 1; t < 366; ++t) ASSERT_EQ(s.RoutedFlow[t + 1], s.SimFlow[t]) << t;
  MuskingumRoute(s, 0, 0.2);
  for (int d = 1; d <= 366; ++d) ASSERT_EQ(s.RoutedFlow[d], s.SimFlow[d]) << d;
}

TEST(OutletObservations, FlowAndLoad) {
  ModelState s;
  s.DaysInYear = 3;
  s.BasinObsFlow[366] = 9;
  TextReader r = TextReader::FromString("2001\r\n1 10 2\r\n2,5,0\r\n3;1;1\r\n2002\r\n", "RiverDaily.in");
  ReadOutletObservations(s, r);
  EXPECT_EQ((std::vector<double>{s.BasinObsFlow[1], s.BasinObsSediment[1], s.BasinObsSediment[2], s.BasinObsFlow[366]}),
            (std::vector<double>{10, 1728, 0, 0}));
  EXPECT_EQ(r.ReadLine(), "2002");
  TextReader shortFile = TextReader::FromString("2001\r\n1 10\r\n", "RiverDaily.in");
  try {
    ReadOutletObservations(s, shortFile);
    FAIL();
  } catch (const ListIndexError& e) {
    EXPECT_EQ(e.File(), "RiverDaily.in");
    EXPECT_EQ(e.Line(), 2);
  }
}

}  // namespace
}  // namespace tarnwell
