// What a calibration scores and hands back: objectives and their names, flow-duration biases,
// the summary tables (hand-written goldens), charts, progress lines, a synthetic basin calibrated.
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
#include "charts/XYChart.h"
#include "inputs/TextFile.h"
#include "model/ModelState.h"

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

// 99 observed days of 99 down to 1 m3/s, with one day unobserved: rank i (1-based) stands
// at exceedance i / 100, so the high segment (<= 2 %) holds 99 and 98, the low one (> 70 %)
// 30 down to 1.
std::vector<double> Observed() {
  std::vector<double> obs;
  for (int v = 99; v >= 1; --v) obs.push_back(v);
  obs.insert(obs.begin() + 50, -1.0);
  return obs;
}

TEST(Objective, EachKindAndWeightOverTheScoredYears) {
  // Concentration observed 1, 2, 3, 4 kg/m3 and simulated 2, 2, 2, 6 in a discharge simulated
  // perfectly, with a day of no observed load and a day dry in both, left out.
  const std::vector<double> flow = {10, 20, 30, 40, 5, 0};
  BasinYear sediment{2000, flow, flow, Loads(flow, {2, 2, 2, 6, 1, 1}), Loads(flow, {1, 2, 3, 4, 1, 1})};
  sediment.obsSediment[4] = -999;
  BasinYear muddy = sediment;  // the discharge twice too high on the first day, its concentration right
  muddy.simFlow[0] = 20, muddy.simSediment[0] *= 2;
  // Low flows flat at 1 (the low segment's volume missed), the rest 20 % too high.
  std::vector<double> flat = Observed();
  for (double& v : flat) v = v > 0 && v <= 30 ? 1 : v * 1.2;
  const BasinYear lows{1991, flat, Observed(), {}, {}};
  const std::vector<BasinYear> years = {{1991, {2, 2, 2, 6}, {1, 2, 3, 4}, {}, {}},
                                        {1992, {9, 9}, {1, 1}, {}, {}},               // not scored
                                        {1993, {50, 2, 2}, {-999, 2, 2}, {}, {}},     // a missing day, a perfect pair
                                        {1994, {1, 2, 3, 4}, {2, 2, 2, 6}, {}, {}}};  // too little water
  const double lowsKge = ScoreBasinYears({lows}, {ObjectiveKind::Kge, 0, {1991}}).metrics[0];
  const double lowsBias = ScoreBasinYears({lows}, {ObjectiveKind::Pbias, 0, {1991}}).metrics[3];
  Objective kgeFlv, biasKge;
  kgeFlv.terms = {{ObjectiveKind::Kge, 0.3}, {ObjectiveKind::FdcLow, 0.7}};
  biasKge.terms = {{ObjectiveKind::Pbias, 0.5}, {ObjectiveKind::Kge, 0.5}};
  const struct {
    std::vector<BasinYear> years;
    ObjectiveSettings settings;
    double loss;
    const char* name;
  } cases[] = {
      {years, {ObjectiveKind::Kge, 0, {1991}}, 1 - kExampleKge, "1-KGE 1991"},
      {years, {ObjectiveKind::Nse, 0, {1991}}, 1.2, "1-NSE 1991"},
      // Observed 1 2 3 4 2 2, simulated 2 2 2 6 2 2: sums 14 and 16.
      {years, {ObjectiveKind::Pbias, 0, {1991, 1993}}, 100 * 2.0 / 14, "|PBIAS| 1991+1993"},
      {years, {ObjectiveKind::Pbias, 0, {1994}}, 100 * 2.0 / 12, "|PBIAS| 1994"},
      {{sediment}, {ObjectiveKind::Kge, 0.5, {2000}}, 0.5 * (1 - kExampleKge), "0.5*(1-KGE)+0.5*(1-KGE_conc) 2000"},
      {{sediment}, {ObjectiveKind::Pbias, 1, {2000}}, 20, "|PBIAS_conc| 2000"},
      // NSE of the discharge: 1 - 10^2 / (7.5^2 + 2.5^2 + 12.5^2 + 22.5^2 + 12.5^2 + 17.5^2).
      {{muddy},
       {ObjectiveKind::Nse, 0.25, {2000}},
       0.75 * 100 / 1187.5 + 0.25 * 1.2,
       "0.75*(1-NSE)+0.25*(1-NSE_conc) 2000"},
      // Weighted terms; as a term |PBIAS| counts in hundreds, alone it keeps its percent.
      {{lows}, {kgeFlv, 0, {1991}}, 0.3 * (1 - lowsKge) + 0.7 * 1.0, "0.3*(1-KGE)+0.7*(|FLV|/100) 1991"},
      {{lows}, {biasKge, 0, {1991}}, 0.5 * std::fabs(lowsBias) / 100 + 0.5 * (1 - lowsKge), ""},
      {{lows}, {ObjectiveKind::Pbias, 0, {1991}}, std::fabs(lowsBias), "|PBIAS| 1991"},
  };
  for (const auto& c : cases) {
    EXPECT_NEAR(ScoreBasinYears(c.years, c.settings).loss, c.loss, 1e-14) << LossName(c.settings);
    EXPECT_TRUE(!*c.name || LossName(c.settings) == c.name) << LossName(c.settings);
  }
  // The metrics beside the loss: the discharge's, the flow-duration segments weighed, the concentration's.
  const EvaluationResult kge = ScoreBasinYears(years, cases[0].settings);
  EXPECT_EQ(MetricNames(cases[0].settings), (std::vector<std::string>{"KGE", "NSE", "logNSE", "PBIAS"}));
  EXPECT_DOUBLE_EQ(kge.metrics[1] + kge.metrics[3], -0.2 + 20);
  EXPECT_DOUBLE_EQ(ScoreBasinYears(years, {ObjectiveKind::LogNse, 0, {1991}}).loss, 1 - kge.metrics[2]);
  EXPECT_EQ(MetricNames(cases[7].settings).back(), "FLV");
  EXPECT_EQ(MetricNames(cases[4].settings).back(), "PBIAS_conc");
  EXPECT_NEAR(ScoreBasinYears({sediment}, cases[4].settings).metrics.at(4), kExampleKge, 1e-14);
  EXPECT_EQ(SimulatedConcentration({0, 2}, {5, 86.4 * 2 * 3})[0], 0);  // a dry day carries no sediment
  EXPECT_EQ(LossName({ObjectiveKind::Kge, 0, {1991, 1992, 1993, 1995, 1997, 1998}}), "1-KGE 1991-1993+1995+1997-1998");
  // A gauge inside the basin: sub-basin 1's outflow scored by the same terms against its weather
  // table's discharge, or against a nested gauge's file when it names one.
  BasinYear gauged{1991, {1, 2, 3, 4}, {1, 2, 3, 4}, {}, {}};
  gauged.subBasinSimFlow = {{2, 2, 2, 6}, {9, 9, 9, 9}};
  gauged.subBasinObsFlow = {{1, 2, 3, 4}, {1, 2, 3, 4}};
  GaugeTerm atOne{1, 0.3, "", 2, {}};
  ObjectiveSettings gauge{ObjectiveKind::Kge, 0, {1991}, {atOne}};
  const EvaluationResult g = ScoreBasinYears({gauged}, gauge);
  EXPECT_NEAR(g.loss, 0.3 * (1 - kExampleKge), 1e-14);
  EXPECT_EQ(LossName(gauge), "1-KGE+0.3*(1-KGE[1]) 1991");
  EXPECT_EQ(MetricNames(gauge).size(), 8u);
  EXPECT_EQ(MetricNames(gauge)[4], "KGE[1]");
  EXPECT_NEAR(g.metrics.at(4), kExampleKge, 1e-14);
  gauge.gauges[0].file = "input/nested.in", gauge.gauges[0].observed[1991] = {2, 2, 2, 6};
  EXPECT_EQ(ScoreBasinYears({gauged}, gauge).loss, 0);
  // A gauge never observed leaves every fit undefined, and the check says which.
  gauged.subBasinObsFlow[0].assign(4, -999);
  gauge.gauges[0].file.clear();
  EXPECT_NE(UndefinedFit({gauged}, gauge).find("the gauge at sub-basin 1 (its weather table)"), std::string::npos);
  const ObjectiveSettings missing{ObjectiveKind::Kge, 0, {1991, 1995}};
  EXPECT_EQ(test::ThrownMessage([&] { ScoreBasinYears(years, missing); }), "the simulation gave no year 1995 to score");
}

TEST(FlowDurationCurve, SegmentBiasesOfFloodsSlopeAndRecessionTail) {
  const std::vector<double> obs = Observed();
  const auto biases = [&](const std::function<double(double)>& sim) {
    std::vector<double> s;
    for (double v : obs) s.push_back(v > 0 ? sim(v) : 1e6);  // the unobserved day counts for nothing
    const FlowDurationBiases b = FlowDurationCurveBiases(obs, s);
    return std::vector<double>{b.high, b.mid, b.low};
  };
  EXPECT_EQ(biases([](double v) { return v; }), (std::vector<double>{0, 0, 0}));
  // Floods twice as high double the high segment's volume; a recession tail flat at its lowest
  // value holds none of the low segment's volume above its minimum; a river that falls faster
  // from wet to dry than observed has a steeper middle segment.
  EXPECT_EQ(biases([](double v) { return v >= 98 ? 2 * v : v; }), (std::vector<double>{100, 0, 0}));
  const std::vector<double> flat = biases([](double v) { return v <= 30 ? 1 : v; });
  EXPECT_EQ(std::pair(flat[0], flat[2]), std::pair(0.0, 100.0));
  EXPECT_GT(biases([](double v) { return v * v / 99; })[1], 0);
  EXPECT_LT(biases([](double v) { return std::sqrt(v * 99); })[1], 0);
  const std::vector<double> one{1.0, -1.0}, two{1.0, 1.0};
  EXPECT_TRUE(std::isnan(FlowDurationCurveBiases(one, two).high));  // one observed day
}

std::string Golden(const std::string& name) {
  return test::ReadBytes(std::string(TARNWELL_TEST_DATA) + "/golden/calibration/" + name);
}

TEST(Summary, FitPerYearAndPeriodAndParametersOnOrNearABound) {
  const std::vector<BasinYear> before = {{1991, {2, 2, 2, 6}, {1, 2, 3, 4}, {}, {}},
                                         {1992, {4, 4, 100, 4, 12}, {2, 4, -999, 6, 8}, {}, {}},
                                         {1993, {1, 1, 1, 1}, {1, 2, 3, 4}, {}, {}}};
  const std::vector<BasinYear> after = {{1991, {1, 2, 3, 4}, {1, 2, 3, 4}, {}, {}},
                                        {1992, {2, 5, 100, 6, 7}, {2, 4, -999, 6, 8}, {}, {}},
                                        {1993, {1, 2, 3, 5}, {1, 2, 3, 4}, {}, {}}};
  EXPECT_TRUE(test::SameBytes(Golden("summary.txt"), FormatCalibrationSummary(before, after, {1991, 1992}, {1993})));
  const SearchParameter field{"FieldCapacity", 0.2, 0.38, false}, leak{"DeepLeakageCoef", 0.001, 1, true};
  EXPECT_TRUE(test::SameBytes(Golden("parameters.txt"),
                              FormatParameterTable({field, leak}, {0.3, 0.1}, {0.31234567, 0.0123456789})));
  // Flagged in the space searched: the middle of the logarithms is no bound.
  EXPECT_TRUE(test::SameBytes(
      Golden("parameters_bounds.txt"),
      FormatParameterTable({field, {"SnowMeltRate", 1, 6, false}, leak}, {0.3, 3, 0.1}, {0.3799, 1.12, 0.0123457})));
  EXPECT_EQ(BoundFlag(leak, 0.0011), "  near the lower bound (1.4 %)");
  EXPECT_EQ(BoundFlag({"DeepLeakageCoef", 0.001, 1, false}, 0.0011), "  on the lower bound");
}

TEST(Charts, ConvergenceAndDottyPlots) {
  std::vector<TraceRecord> trace;
  const double losses[] = {5, INFINITY, 3, 4, 1, 2, 0.5, 7, 8, 9, 6, 0.7};
  for (int i = 0; i < 12; ++i) trace.push_back({i + 1, {0.1 * (i + 1), std::pow(10.0, i % 4 - 2)}, losses[i], {}, 0.1});
  const std::vector<CalibrationChart> charts = CalibrationCharts({{"a", 0, 2, false}, {"b", 0.01, 10, true}}, "1-KGE",
                                                                 trace);
  ASSERT_EQ(charts.size(), 3u);
  EXPECT_EQ(charts[0].name + " " + charts[1].name + " " + charts[2].name, "convergence dotty-a dotty-b");
  // The best so far, from the first best down to the lowest, widened to round ticks.
  EXPECT_EQ(charts[0].chart.series[1].y, (std::vector<double>{5, 5, 3, 3, 1, 1, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5}));
  EXPECT_EQ(std::pair(charts[0].chart.yMin, charts[0].chart.yMax), std::pair(0.0, 5.0));
  // The log parameter's dotty plot: a log axis over its range, the best (evaluation 7) marked,
  // the loss axis up to the 90th percentile, 8: two evaluations above, one unscored.
  const XYChart& b = charts[2].chart;
  EXPECT_EQ(std::tuple(b.logX, b.xMin, b.xMax, b.yMin, b.yMax), std::tuple(true, 0.01, 10.0, 0.0, 8.0));
  EXPECT_EQ(std::pair(b.series[1].x, b.series[1].colour), std::pair(std::vector<double>{1}, kRed));
  EXPECT_EQ(b.note, "2 of 12 evaluations lie above the chart");
}

TEST(Progress, LinesOfEachEvaluationAndOfAResume) {
  double now = 100;
  const auto clock = [&] { return now; };
  std::ostringstream plain;
  CalibrationProgress p(plain, false, "1-KGE", clock);
  const TraceRecord r1{1, {}, 0.5, {}, 2}, r2{2, {}, 0.75, {}, 3}, r11{11, {}, INFINITY, {}, 100};
  now = 104, p.Recorded(r1, r1, 5);
  now = 108, p.Recorded(r2, r1, 5);
  // Resumed after 10 evaluations: the time left comes from this session's own.
  CalibrationProgress q(plain, false, "f", clock);
  q.Resumed(10);
  now = 208, q.Recorded(r11, r1, 12);
  EXPECT_EQ(plain.str(),
            "evaluation 1/5: 1-KGE 0.5, best 0.5 (evaluation 1), 2.00 s, 0:16 left\n"
            "evaluation 2/5: 1-KGE 0.75, best 0.5 (evaluation 1), 3.00 s, 0:12 left\n"
            "resumed: 10 evaluations taken from the trace\n"
            "evaluation 11/12: f n/a, best 0.5 (evaluation 1), 100.00 s, 1:40 left\n");
}

TEST(ModelCalibration, FindsTheParametersOfASyntheticBasin) {
  // A basin whose flow is the observed flow scaled by FieldCapacity / 0.3, shifted by 100
  // (DeepLeakageCoef - 0.1): the file, the plan, the evaluation and the runner bring back 0.3, 0.1.
  ParameterSet current;
  current.SaturatedWaterContent = 0.45, current.WiltingPoint = 0.1, current.FieldCapacity = 0.25;
  current.DeepLeakageCoef = 0.5;
  TextReader reader = TextReader::FromString(
      "evaluations 400\nseed 7\nbatch 4\nwarmup 2000\ncalibration 2001-2002\nvalidation 2003\n"
      "FieldCapacity 0.2 0.4\nDeepLeakageCoef 0.01 1 log\n",
      "cal.txt");
  const CalibrationConfig config = ReadCalibrationFile(reader, current);
  std::atomic<int> simulations{0};
  const BasinSimulator simulate = [&](const ParameterSet& p) {
    ++simulations;
    std::vector<BasinYear> years;
    for (int y = 2000; y <= 2003; ++y) {
      years.push_back({y, {}, {}, {}, {}});
      for (int d = 0; d < 365; ++d) {
        const double q = 50 + 40 * std::sin(0.05 * d);
        years.back().obsFlow.push_back(d == 100 ? -999 : q);
        years.back().simFlow.push_back(q * p.FieldCapacity / 0.3 + (p.DeepLeakageCoef - 0.1) * 100);
      }
    }
    return years;
  };
  test::TempDir dir;
  const CalibrationRun run = PlanCalibration(config, current, dir / "trace.csv", "trace.csv", false);
  EXPECT_EQ(run.start, (std::vector<double>{0.25, 0.5}));
  ThreadEvaluatorPool pool(ModelEvaluation(config, current, simulate), 2);
  const CalibrationResult result = RunCalibration(run, pool);
  EXPECT_EQ(simulations, 400);
  EXPECT_NEAR(result.Best().values[0], 0.3, 0.01);
  EXPECT_NEAR(result.Best().values[1], 0.1, 0.01);
  EXPECT_LT(result.Best().loss, 0.01);
}

}  // namespace
}  // namespace tarnwell
