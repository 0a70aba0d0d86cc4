// A day without a gauge reading: a negative observed discharge or concentration (the
// import's -999, or any other negative value of an older file). It must never be taken as
// a number: not by the reservoirs' start, the statistics, the files, their readers, the
// charts, the export or the calibration.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "HardeningSupport.h"
#include "charts/Graph.h"
#include "charts/RecordingCanvas.h"
#include "model/ModelState.h"
#include "model/Observation.h"
#include "parameters/ParaDialog.h"
#include "processes/Processes.h"
#include "results/Statistic.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;

// Sub-basin discharge of 2000: day 1 missing (-999), day 2 the first reading, day 5 another
// negative mark; day 3 has both readings negative (their product is positive), day 10 only
// its concentration missing. 2001 has no reading at all. The outlet misses days 1 and 4.
test::TinyWorkspace Gappy() {
  test::TinyWorkspace w = test::TwoYears();
  test::TinyYear& y = w.subBasins[0].years[0];
  y.flow = [](int d) { return d == 1 ? -999.0 : d == 3 ? -2.0 : d == 5 ? -0.5 : 3.0; };
  y.sedConc = [](int d) { return d == 3 ? -1.0 : d == 10 ? -999.0 : 0.5; };
  w.subBasins[0].years[1].flow = [](int) { return -999.0; };
  w.outletFlow = [](int d) { return d == 1 ? -999.0 : d == 4 ? -7.25 : 2.0; };
  w.outletConc = [](int d) { return d == 6 ? -3.0 : 0.25; };
  return w;
}

// The file's text with token `index` of the day row of `date` replaced by `text`.
std::string ReplaceToken(std::string bytes, const std::string& date, int index, const std::string& text) {
  std::size_t at = bytes.find(date);
  for (int k = 0; k < index; ++k) {
    at = bytes.find_first_not_of(' ', bytes.find(' ', at));
  }
  return bytes.replace(at, bytes.find(' ', at) - at, text);
}

// The measured tokens of the day rows (Re_flow, Re_chansha) by date, of one year block.
std::vector<std::pair<std::string, std::string>> Measured(const std::string& path, int token) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const std::string& line : test::FileLines(path)) {
    const std::vector<std::string> t = SplitFields(line);
    if (t.size() > static_cast<std::size_t>(token) && t[0].size() == 10 && t[0][2] == '-')
      out.emplace_back(t[0], t[static_cast<std::size_t>(token)]);
  }
  return out;
}

TEST(NoObservation, ReservoirsStartFromTheFirstObservedDischargeOrFromZero) {
  ModelState s;
  s.BasinArea = 86.4, s.YearIndex = 1;  // m3/s and mm/day are the same number
  ParameterSet p;
  MetBlock b;
  b.year = 2001, b.monthCount = 12;
  for (auto* v : {&b.precip, &b.temp, &b.flow, &b.sedConc, &b.extra}) v->assign(365, 0.0);
  b.flow[0] = -999, b.flow[1] = -3, b.flow[2] = 5;
  ApplyMeteorologicalYear(s, p, b);
  EXPECT_DOUBLE_EQ(s.RoutedInterflow, 2.0);
  EXPECT_DOUBLE_EQ(s.RoutedGwFlow, 3.0);
  EXPECT_TRUE(s.ObsFlow[1] == kNoObservation && s.ObsFlow[2] == kNoObservation);

  b.flow.assign(365, -999.0);
  ApplyMeteorologicalYear(s, p, b);
  EXPECT_TRUE(s.RoutedInterflow == 0 && s.RoutedGwFlow == 0);
  // Later years carry the reservoirs on.
  s.YearIndex = 2, s.RoutedGwFlow = 7, b.flow[0] = 9;
  ApplyMeteorologicalYear(s, p, b);
  EXPECT_EQ(s.RoutedGwFlow, 7.0);
}

// Budget rows computed by hand: a month of four days whose days 2 and 4 have no reading,
// and a month without any (which shows as if every observation were 0).
TEST(NoObservation, PeriodStatisticsTakeTheObservedDaysOnly) {
  test::TempDir dir;
  ModelState s;
  s.CurYear = 2000, s.CurMonth = 1;
  const double obs[] = {1, kNoObservation, 3, -5}, sim[] = {2, 5, 1, 7};
  const double load[] = {5, -999, -0.001, 15};
  for (int d = 1; d <= 4; ++d) {
    s.ObsFlow[d] = obs[d - 1];
    s.SimFlow[d] = sim[d - 1];
    s.ObsSediment[d] = load[d - 1];
    s.ObsFlow[d + 4] = kNoObservation;
    s.SimFlow[d + 4] = d;
    s.ObsSediment[d + 4] = -1;
  }
  const YearFiles files{{}, {}, {dir / "Budget.out", "Budget.out"}, {dir / "Budget_s.out", "Budget_s.out"}, {}};
  WritePeriodStatistics(s, files, 4, 4, 1);
  s.CurMonth = 2;
  WritePeriodStatistics(s, files, 4, 8, 1);
  EXPECT_TRUE(test::SameAsGolden("results/no_observation_Budget.out", dir / "Budget.out"));
  EXPECT_TRUE(test::SameAsGolden("results/no_observation_Budget_s.out", dir / "Budget_s.out"));
}

// A whole run with gaps in the meteorological file and the outlet series, then its export.
TEST(NoObservation, NoFileShowsTheMarkAndTheExportLeavesTheDaysOut) {
  test::CliWorkspace ws(Gappy());
  ASSERT_TRUE(test::Ends(ws.Cli({"run"}), 0));
  // The mark is "nan" on the days without reading: in the sub-basin's files days 1, 3, 5 and
  // a day of 2001, and no load where a discharge or (day 10) its concentration is missing; in
  // the whole basin's, the outlet's own gaps. Each "file, token, day index, value".
  for (const char* mark :
       {"流域1/Daily.out 12 0 nan", "流域1/Daily.out 12 1 3.000", "流域1/Daily.out 12 2 nan",
        "流域1/Daily.out 12 466 nan", "流域1/Daily_s.out 2 4 nan", "流域1/Daily_s.out 2 9 nan",
        "全流域/Daily.out 12 3 nan", "全流域/Daily_s.out 2 1 43.200", "全流域/Daily_s.out 2 5 nan"}) {
    const std::vector<std::string> m = SplitFields(mark);
    EXPECT_EQ(Measured(ws.Out(m[0]), std::stoi(m[1])).at(std::stoul(m[2])).second, m[3]) << mark;
  }
  EXPECT_EQ(Measured(ws.Out("流域1/Daily.out"), 12).size(), 366u + 365u);
  EXPECT_NE(test::FileLines(ws.Out("流域1/Daily_s.out"))[2].find("          nan   "), std::string::npos) << "its width";
  // The whole-basin budget rows are the sub-basin rows (one sub-basin): the measured mean
  // of January 2000 over its 28 observed days, 3 mm each.
  // A year without any reading: measured 0, correlation 0.99.
  const std::vector<std::string> budget = test::FileLines(ws.Out("流域1/Budget.out"));
  EXPECT_EQ(SplitFields(budget[5])[2] + " " + SplitFields(budget[5])[7], "3.000 84.000");
  EXPECT_EQ(SplitFields(test::FileLines(ws.Out("全流域/Budget.out"))[5])[2], "3.000");
  EXPECT_EQ(SplitFields(budget[18 + 17])[2] + " " + SplitFields(budget[18 + 17])[6], "0.000 0.990");

  // An older file's negative value is a day without reading to the export.
  std::string bytes = ReplaceToken(test::ReadBytes(ws.Out("流域1/Daily.out")), "01-02-2000", 12, "-999.000");
  test::WriteBytes(ws.Out("流域1/Daily.out"), bytes);
  ASSERT_TRUE(test::Ends(ws.Cli({"export", "--format", "csv"}), 0));
  const std::vector<std::string> rows = test::FileLines(ws.Out("export/subbasin1_daily.csv"));
  ASSERT_GT(rows.size(), 6u);
  auto field = [](const std::string& row, int i) {
    std::size_t from = 0;
    for (int k = 0; k < i; ++k) from = row.find(',', from) + 1;
    return row.substr(from, row.find(',', from) - from);
  };
  // Re_flow of days 1 to 5, Re_chansha of day 10.
  EXPECT_EQ(field(rows[0], 12) + field(rows[1], 12) + field(rows[2], 12) + field(rows[3], 12) + field(rows[5], 12) +
                field(rows[10], 16),
            "Re_flow_mm");
  EXPECT_EQ(field(rows[4], 12), "3.000");
  EXPECT_EQ(field(test::FileLines(ws.Out("export/basin_daily.csv"))[4], 12), "");

  // "nan" where a simulated value stands is damage, named with its file.
  test::WriteBytes(ws.Out("流域1/Daily.out"), ReplaceToken(bytes, "01-05-2000", 1, "nan"));
  EXPECT_TRUE(test::Ends(ws.Cli({"export"}), 1, "Daily.out line"));
}

TEST(NoObservation, ChartsLeaveAGapAndScaleToTheReadings) {
  ModelState y;
  y.CurYear = 2001;
  y.DaysInYear = y.DayCount = 365;
  for (int d = 1; d <= 365; ++d) {
    y.ObsFlow[d] = d % 50 == 0 ? kNoObservation : 4.0;
    y.ObsSediment[d] = -1;
    y.SimFlow[d] = 1.0;
  }
  RecordingCanvas runoff(kChartWidth, kChartHeight), sediment = runoff, snow = runoff;
  DrawResultCharts(y, runoff, sediment, snow);
  const Colour green{0, 128, 0};
  int lines = 0;
  for (const auto& p : runoff.Polylines()) {
    if (!(p.colour == green)) continue;
    ++lines;
    for (const Point& q : p.points) EXPECT_LE(q.y, kChartHeight - 40) << "a dive below the axis";
  }
  EXPECT_EQ(lines, 8);  // the days 50, 100, ... 350 cut the line into eight runs
  for (const auto& p : sediment.Polylines()) EXPECT_FALSE(p.colour == green) << "a load without reading drawn";
  // The scale is that of the readings (raised to 10): the labels 0 .. 10, "Qf(mm)".
  for (const char* label : {" 10", " 1.7", " Qf(mm)"})
    EXPECT_TRUE(std::ranges::any_of(runoff.Texts(), [&](const std::string& t) { return t.ends_with(label); })) << label;
}

TEST(NoObservation, CalibrationWithoutAnyReadingIsRefusedBeforeItsFirstEvaluation) {
  test::TinyWorkspace w = test::TwoYears();
  w.outletFlow = [](int d) { return d % 2 ? 0.0 : -1.0; };  // 0 and a day without reading in turn
  test::CliWorkspace ws(w);
  ASSERT_EQ(ws.Cli({"calibrate", "--init"}).status, 0);
  const test::CliResult r = ws.Cli({"calibrate", "--evaluations", "4"});
  EXPECT_TRUE(test::Ends(r, 1, "RiverDaily.in: the observed discharge is 0 or missing on every day ("));
  EXPECT_TRUE(test::Has(r.err, ") in the calibration years 2001 (Parameters/calibration.txt)")) << r.err;
  EXPECT_FALSE(fs::exists(ws.Out("calibration/trace.csv")));
  EXPECT_FALSE(fs::exists(ws.Out("流域1/Daily.out")));
}

}  // namespace
}  // namespace tarnwell
