// What a calibration hands back: the model's objective from the basin years, the summary
// tables (golden files), the charts and the progress lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <sstream>

#include "TestSupport.h"

#include "calibration/CalibrationCharts.h"
#include "calibration/ModelCalibration.h"
#include "calibration/Objective.h"
#include "calibration/Progress.h"
#include "calibration/Summary.h"
#include "calibration/ThreadPool.h"
#include "charts/RecordingCanvas.h"
#include "charts/XYChart.h"
#include "inputs/TextFile.h"
#include "model/ModelState.h"
#ifdef TARNWELL_PNG_CHARTS
#include "charts/image/ImageCanvas.h"
#endif

namespace tarnwell {
namespace {

// KGE of observed 1, 2, 3, 4 against simulated 2, 2, 2, 6 (worked out in the goodness-of-fit
// tests): 1 - sqrt(0.2254033307585166^2 + 0.5491933384829668^2 + 0.2^2).
constexpr double kExampleKge = 0.3735656582281749;

// Loads in t/day that make the concentration conc (kg/m3) in the flow (m3/s).
std::vector<double> Loads(const std::vector<double>& flow, const std::vector<double>& conc) {
  std::vector<double> load;
  for (std::size_t i = 0; i < flow.size(); ++i) load.push_back(kDepthToFlow * flow[i] * conc[i]);
  return load;
}

std::string Golden(const std::string& name) {
  return test::ReadBytes(std::string(TARNWELL_TEST_DATA) + "/golden/calibration/" + name);
}

TEST(Objective, DischargeOverTheCalibrationYearsOnly) {
  BasinYear y1991{1991, {2, 2, 2, 6}, {1, 2, 3, 4}, {}, {}};
  BasinYear y1992{1992, {9, 9}, {1, 1}, {}, {}};            // not scored
  BasinYear y1993{1993, {50, 2, 2}, {-999, 2, 2}, {}, {}};  // a missing day and a perfect pair
  const std::vector<BasinYear> years = {y1991, y1992, y1993};

  ObjectiveSettings kge{ObjectiveKind::Kge, 0, {1991}};
  const EvaluationResult r = ScoreBasinYears(years, kge);
  EXPECT_NEAR(r.loss, 1 - kExampleKge, 1e-15);
  ASSERT_EQ(r.metrics.size(), 4u);
  EXPECT_NEAR(r.metrics[0], kExampleKge, 1e-15);
  EXPECT_DOUBLE_EQ(r.metrics[1], -0.2);
  EXPECT_DOUBLE_EQ(r.metrics[3], 20);
  EXPECT_EQ(LossName(kge), "1-KGE 1991");
  EXPECT_EQ(LossName({ObjectiveKind::Kge, 0, {1991, 1992, 1993, 1995, 1997, 1998}}), "1-KGE 1991-1993+1995+1997-1998");
  EXPECT_EQ(MetricNames(kge), (std::vector<std::string>{"KGE", "NSE", "logNSE", "PBIAS"}));

  // 1991 and 1993 together: observed 1 2 3 4 2 2, simulated 2 2 2 6 2 2; sums 14 and 16.
  EXPECT_DOUBLE_EQ(ScoreBasinYears(years, {ObjectiveKind::Pbias, 0, {1991, 1993}}).loss, 100 * 2.0 / 14);
  EXPECT_DOUBLE_EQ(ScoreBasinYears(years, {ObjectiveKind::Nse, 0, {1991}}).loss, 1.2);
  EXPECT_DOUBLE_EQ(ScoreBasinYears({y1993}, {ObjectiveKind::Pbias, 0, {1993}}).loss, 0);
  // Too little water scores as badly as too much: 10 simulated of 12 observed.
  EXPECT_DOUBLE_EQ(
      ScoreBasinYears({{1991, {1, 2, 3, 4}, {2, 2, 2, 6}, {}, {}}}, {ObjectiveKind::Pbias, 0, {1991}}).loss,
      100 * 2.0 / 12);
  const EvaluationResult log = ScoreBasinYears(years, {ObjectiveKind::LogNse, 0, {1991}});
  EXPECT_DOUBLE_EQ(log.loss, 1 - log.metrics[2]);
  EXPECT_EQ(LossName({ObjectiveKind::Pbias, 0, {}}), "|PBIAS|");

  try {
    ScoreBasinYears(years, {ObjectiveKind::Kge, 0, {1991, 1995}});
    ADD_FAILURE();
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "the simulation gave no year 1995 to score");
  }
}

TEST(Objective, SedimentConcentrationWeighedIn) {
  // Discharge simulated perfectly; concentration observed 1, 2, 3, 4 kg/m3 and simulated
  // 2, 2, 2, 6, with a day of no observed load, a day of no observed flow and a dry
  // simulated day, all left out or counted as the rules say.
  const std::vector<double> flow = {10, 20, 30, 40, 5, 0};
  BasinYear y{2000, flow, flow, Loads(flow, {2, 2, 2, 6, 1, 1}), Loads(flow, {1, 2, 3, 4, 1, 1})};
  y.obsSediment[4] = -999;  // no sample that day
  y.simFlow[5] = 0;         // observed dry too: no concentration to compare
  const std::vector<double> c = ObservedConcentration(y.obsFlow, y.obsSediment);
  EXPECT_DOUBLE_EQ(c[2], 3);
  EXPECT_LT(c[4], 0);
  EXPECT_LT(c[5], 0);
  EXPECT_EQ(SimulatedConcentration({0, 2}, {5, 86.4 * 2 * 3})[0], 0);

  ObjectiveSettings half{ObjectiveKind::Kge, 0.5, {2000}};
  const EvaluationResult r = ScoreBasinYears({y}, half);
  EXPECT_NEAR(r.loss, 0.5 * (1 - kExampleKge), 1e-14);
  ASSERT_EQ(r.metrics.size(), 8u);
  EXPECT_DOUBLE_EQ(r.metrics[0], 1);
  EXPECT_NEAR(r.metrics[4], kExampleKge, 1e-14);
  EXPECT_EQ(LossName(half), "0.5*(1-KGE)+0.5*(1-KGE_conc) 2000");
  EXPECT_EQ(MetricNames(half).back(), "PBIAS_conc");
  EXPECT_NEAR(ScoreBasinYears({y}, {ObjectiveKind::Pbias, 1, {2000}}).loss, 20, 1e-12);
  EXPECT_EQ(LossName({ObjectiveKind::Pbias, 1, {}}), "|PBIAS_conc|");
  EXPECT_EQ(LossName({ObjectiveKind::Nse, 0.25, {}}), "0.75*(1-NSE)+0.25*(1-NSE_conc)");
}

TEST(Summary, FitBeforeAndAfterPerYearAndPeriod) {
  const std::vector<BasinYear> before = {{1991, {2, 2, 2, 6}, {1, 2, 3, 4}, {}, {}},
                                         {1992, {4, 4, 100, 4, 12}, {2, 4, -999, 6, 8}, {}, {}},
                                         {1993, {1, 1, 1, 1}, {1, 2, 3, 4}, {}, {}}};
  const std::vector<BasinYear> after = {{1991, {1, 2, 3, 4}, {1, 2, 3, 4}, {}, {}},
                                        {1992, {2, 5, 100, 6, 7}, {2, 4, -999, 6, 8}, {}, {}},
                                        {1993, {1, 2, 3, 5}, {1, 2, 3, 4}, {}, {}}};
  EXPECT_TRUE(test::SameBytes(Golden("summary.txt"), FormatCalibrationSummary(before, after, {1991, 1992}, {1993})));
  EXPECT_TRUE(test::SameBytes(Golden("parameters.txt"), FormatParameterTable({{"FieldCapacity", 0.2, 0.38, false},
                                                                              {"DeepLeakageCoef", 0.001, 1, true}},
                                                                             {0.3, 0.1}, {0.31234567, 0.0123456789})));
}

TEST(Charts, RoundTicksAndLabels) {
  EXPECT_EQ(RoundTicks(0.13, 0.87, 7), (std::vector<double>{0, 0.2, 0.4, 0.6000000000000001, 0.8, 1}));
  const std::vector<double> wide = RoundTicks(-3.2, 1017, 8);
  EXPECT_EQ(wide.front(), -200);
  EXPECT_EQ(wide.back(), 1200);
  EXPECT_EQ(wide.size(), 8u);
  EXPECT_EQ(RoundTicks(10, 11, 7).size(), 6u);  // 10, 10.2, ... 11
  EXPECT_EQ(LogTicks(0.001, 1), (std::vector<double>{0.001, 0.01, 0.1, 1}));
  EXPECT_EQ(LogTicks(0.5, 20), (std::vector<double>{0.5, 1, 2, 5, 10, 20}));
  EXPECT_EQ(TickLabel(0.6000000000000001, 0.2), "0.6");
  EXPECT_EQ(TickLabel(1000, 200), "1000");
  EXPECT_EQ(TickLabel(-0.0001, 0.05), "0.00");
  EXPECT_EQ(TickLabel(0.001, 0.001), "0.001");
  EXPECT_EQ(TickLabel(2e7, 5e6), "2e+07");
}

TEST(Charts, GeometryOfAnXYChart) {
  // Plot edges: 78 px from the left, 24 from the right, 46 from the top, 52 from the bottom.
  XYChart chart;
  chart.title = "t";
  chart.series = {{{0, 10}, {0, 10}, kRed, XYStyle::Line, 1},
                  {{5}, {5}, kGreen, XYStyle::Points, 2},
                  {{0, 5, 10}, {10, 4, 1}, kBlue, XYStyle::Steps, 1}};
  RecordingCanvas canvas(800, 500);
  DrawXYChart(canvas, chart);
  EXPECT_EQ(canvas.LinesIn(kRed), std::vector<std::string>{"78 448 776 46"});
  // A cross at the middle, (427, 247).
  EXPECT_EQ(canvas.LinesIn(kGreen), (std::vector<std::string>{"425 247 430 247", "427 245 427 250"}));
  EXPECT_EQ(canvas.LinesIn(kBlue),
            (std::vector<std::string>{"78 46 427 46", "427 46 427 287", "427 287 776 287", "776 287 776 408"}));
  const std::vector<std::string> texts = canvas.Texts();
  EXPECT_NE(std::find(texts.begin(), texts.end(), "78 10 t"), texts.end());
  EXPECT_TRUE(
      std::any_of(texts.begin(), texts.end(), [](const std::string& t) { return t.find(" 10") == t.size() - 3; }));
}

std::vector<TraceRecord> Trace() {
  std::vector<TraceRecord> records;
  const double losses[] = {5, INFINITY, 3, 4, 1, 2, 0.5, 7, 8, 9, 6, 0.7};
  for (int i = 0; i < 12; ++i)
    records.push_back({i + 1, {0.1 * (i + 1), std::pow(10.0, i % 4 - 2)}, losses[i], {}, 0.1});
  return records;
}

TEST(Charts, ConvergenceAndDottyPlots) {
  const std::vector<SearchParameter> parameters = {{"a", 0, 2, false}, {"b", 0.01, 10, true}};
  const std::vector<CalibrationChart> charts = CalibrationCharts(parameters, "1-KGE", Trace());
  ASSERT_EQ(charts.size(), 3u);
  EXPECT_EQ(charts[0].name + " " + charts[1].name + " " + charts[2].name, "convergence dotty-a dotty-b");
  const XYSeries& best = charts[0].chart.series[1];
  EXPECT_EQ(best.style, XYStyle::Steps);
  EXPECT_EQ(best.y, (std::vector<double>{5, 5, 3, 3, 1, 1, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5}));
  // From the first best down to the lowest, widened to round ticks.
  EXPECT_EQ(std::pair(charts[0].chart.yMin, charts[0].chart.yMax), std::pair(0.0, 5.0));
  // The dotty plot of the log parameter has a log axis over its range, the best marked.
  const XYChart& b = charts[2].chart;
  EXPECT_TRUE(b.logX);
  EXPECT_EQ(std::pair(b.xMin, b.xMax), std::pair(0.01, 10.0));
  EXPECT_EQ(b.series[1].x, std::vector<double>{1});  // evaluation 7: 10^(6 % 4 - 2)
  EXPECT_EQ(b.series[1].colour, kRed);
  // The loss axis ends at the 90th percentile, 8: two evaluations above, one unscored.
  EXPECT_EQ(std::pair(b.yMin, b.yMax), std::pair(0.0, 8.0));
  EXPECT_EQ(b.note, "2 of 12 evaluations lie above the chart");

  test::TempDir dir;
  WriteSvgCharts(dir.Path().string(), charts);
  for (const char* name : {"convergence.svg", "dotty-a.svg", "dotty-b.svg"}) {
    const std::string svg = test::ReadBytes(dir / name);
    EXPECT_TRUE(svg.find("<svg") != std::string::npos && svg.find("</svg>") != std::string::npos) << name;
  }
  EXPECT_NE(test::ReadBytes(dir / "dotty-b.svg").find(">0.01<"), std::string::npos);
#ifdef TARNWELL_PNG_CHARTS
  const std::string png = dir / "convergence.png";
  ASSERT_TRUE(DrawPng(
      kCalibrationChartWidth, kCalibrationChartHeight, [&](Canvas& c) { DrawXYChart(c, charts[0].chart); }, png));
  QImage image(QString::fromStdString(png));
  EXPECT_EQ(image.width(), kCalibrationChartWidth);
  EXPECT_EQ(image.height(), kCalibrationChartHeight);
  // The best-so-far line is blue where the chart has one.
  int blue = 0;
  for (int x = 0; x < image.width(); ++x)
    for (int y = 0; y < image.height(); ++y)
      if (image.pixel(x, y) == qRgb(0, 0, 255)) ++blue;
  EXPECT_GT(blue, 500);
#endif
}

TEST(ModelCalibration, FindsTheParametersOfASyntheticBasin) {
  // A basin whose discharge is a recession of its rain: the flow of a year is the observed
  // flow scaled by FieldCapacity / 0.3, shifted by 100 (DeepLeakageCoef - 0.1). The calibration
  // file, the plan, the evaluation and the runner must bring back 0.3 and 0.1.
  const std::string file =
      "evaluations 400\nseed 7\nbatch 4\nwarmup 2000\ncalibration 2001-2002\nvalidation 2003\n"
      "FieldCapacity 0.2 0.4\nDeepLeakageCoef 0.01 1 log\n";
  ParameterSet current;
  current.SaturatedWaterContent = 0.45, current.WiltingPoint = 0.1;
  current.FieldCapacity = 0.25, current.DeepLeakageCoef = 0.5;
  TextReader reader = TextReader::FromString(file, "cal.txt");
  const CalibrationConfig config = ReadCalibrationFile(reader, current);
  std::vector<double> observed(365);
  for (std::size_t d = 0; d < observed.size(); ++d) observed[d] = d == 100 ? -999 : 50 + 40 * std::sin(0.05 * d);
  std::atomic<int> simulations{0};
  const BasinSimulator simulate = [&](const ParameterSet& p) {
    ++simulations;
    std::vector<BasinYear> years;
    for (int y = 2000; y <= 2003; ++y) {
      BasinYear b{y, {}, observed, {}, {}};
      for (double q : observed) b.simFlow.push_back(q * p.FieldCapacity / 0.3 + (p.DeepLeakageCoef - 0.1) * 100);
      years.push_back(b);
    }
    return years;
  };
  test::TempDir dir;
  const CalibrationRun run = PlanCalibration(config, current, dir / "trace.csv", "trace.csv", false);
  EXPECT_EQ(run.start, (std::vector<double>{0.25, 0.5}));
  EXPECT_EQ(run.lossName, "1-KGE 2001-2002");
  ThreadEvaluatorPool pool(ModelEvaluation(config, current, simulate), 2);
  const CalibrationResult result = RunCalibration(run, pool);
  EXPECT_EQ(simulations, 400);
  EXPECT_NEAR(result.Best().values[0], 0.3, 0.01);
  EXPECT_NEAR(result.Best().values[1], 0.1, 0.01);
  EXPECT_LT(result.Best().loss, 0.01);

  // The best values written to a parameter file read back exactly.
  ParameterSet best = current, loaded;
  SetCalibratedValues(config, result.Best().values, best);
  WriteParameterFile(dir / "best.txt", "best.txt", best);
  LoadParameters(dir / "best.txt", "best.txt", loaded);
  EXPECT_EQ(std::vector<double>({loaded.FieldCapacity, loaded.DeepLeakageCoef}), result.Best().values);
}

TEST(Progress, PlainLinesAndTheBar) {
  double now = 100;
  auto clock = [&] { return now; };
  std::ostringstream plain;
  CalibrationProgress p(plain, false, "1-KGE", clock);
  TraceRecord r1{1, {}, 0.5, {}, 2}, r2{2, {}, 0.75, {}, 3};
  now = 104;
  p.Recorded(r1, r1, 5);
  now = 108;
  p.Recorded(r2, r1, 5);
  EXPECT_EQ(plain.str(),
            "evaluation 1/5: 1-KGE 0.5, best 0.5 (evaluation 1), 2.00 s, 0:16 left\n"
            "evaluation 2/5: 1-KGE 0.75, best 0.5 (evaluation 1), 3.00 s, 0:12 left\n");

  // Resumed after 10 evaluations: the time left comes from this session's own.
  std::ostringstream resumed;
  CalibrationProgress q(resumed, false, "f", clock);
  q.Resumed(10);
  now = 208;
  TraceRecord r11{11, {}, INFINITY, {}, 100};
  q.Recorded(r11, r1, 12);
  EXPECT_EQ(resumed.str(),
            "resumed: 10 evaluations taken from the trace\n"
            "evaluation 11/12: f n/a, best 0.5 (evaluation 1), 100.00 s, 1:40 left\n");

  // On a terminal: one bar, redrawn at most ten times a second and for the last.
  std::ostringstream bar;
  CalibrationProgress t(bar, true, "1-KGE", clock);
  t.Recorded(r1, r1, 2);
  t.Recorded(r2, r1, 2);
  t.Finish();
  EXPECT_EQ(bar.str(),
            "\r[###############               ] 1/2  best 1-KGE 0.5  0:00 left "
            "\r[##############################] 2/2  best 1-KGE 0.5  0:00 left \n");
  EXPECT_EQ(ClockTime(3725), "1:02:05");
}

}  // namespace
}  // namespace tarnwell
