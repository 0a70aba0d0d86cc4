// Objectives of weighted terms that keep the low flows: the flow-duration curve's segment
// biases, the weights as the calibration file and the command line give them, the loss and
// the trace's names of every term.
#include <gtest/gtest.h>

#include <cmath>

#include "ProbeSupport.h"
#include "TestSupport.h"
#include "TinyWorkspace.h"
#include "calibration/CalibrationFile.h"
#include "calibration/Objective.h"
#include "calibration/Sensitivity.h"
#include "calibration/Summary.h"
#include "inputs/TextFile.h"
#include "model/Errors.h"
#include "parameters/ParaDialog.h"
#include "results/GoodnessOfFit.h"

namespace tarnwell {
namespace {

// 99 observed days of 99 down to 1 m3/s, with one day unobserved: rank i (1-based) stands
// at exceedance i / 100, so the high segment (<= 2 %) holds 99 and 98, the low one (> 70 %)
// 30 down to 1.
std::vector<double> Observed() {
  std::vector<double> obs;
  for (int v = 99; v >= 1; --v) obs.push_back(v);
  obs.insert(obs.begin() + 50, -1.0);
  return obs;
}

TEST(FlowDurationCurve, SegmentBiasesOfFloodsSlopeAndRecessionTail) {
  const std::vector<double> obs = Observed();
  std::vector<double> sim = obs;
  sim[50] = 1e6;  // the unobserved day counts for nothing
  const FlowDurationBiases same = FlowDurationCurveBiases(obs, sim);
  EXPECT_EQ(same.high, 0);
  EXPECT_EQ(same.mid, 0);
  EXPECT_EQ(same.low, 0);

  // Floods twice as high: the high segment's volume doubles, the rest stays.
  std::vector<double> floods = sim;
  floods[0] = 198, floods[1] = 196;
  const FlowDurationBiases high = FlowDurationCurveBiases(obs, floods);
  EXPECT_DOUBLE_EQ(high.high, 100);
  EXPECT_EQ(high.mid, 0);
  EXPECT_EQ(high.low, 0);

  // A recession tail flat at its lowest value holds none of the low segment's volume above
  // its minimum: 100 % too little.
  std::vector<double> flat = sim;
  for (std::size_t i = 0; i < flat.size(); ++i)
    if (obs[i] >= 1 && obs[i] <= 30) flat[i] = 1;
  const FlowDurationBiases low = FlowDurationCurveBiases(obs, flat);
  EXPECT_DOUBLE_EQ(low.low, 100);
  EXPECT_EQ(low.high, 0);

  // A river that falls faster from wet to dry than observed has a steeper middle segment.
  std::vector<double> steep = sim, gentle = sim;
  for (std::size_t i = 0; i < obs.size(); ++i)
    if (obs[i] > 0) steep[i] = obs[i] * obs[i] / 99, gentle[i] = std::sqrt(obs[i] * 99);
  EXPECT_GT(FlowDurationCurveBiases(obs, steep).mid, 0);
  EXPECT_LT(FlowDurationCurveBiases(obs, gentle).mid, 0);
  const std::vector<double> one = {1.0, -1.0}, two = {1.0, 1.0};
  EXPECT_TRUE(std::isnan(FlowDurationCurveBiases(one, two).high));  // one observed day
}

TEST(ObjectiveTerms, WeightsFromTheFileAndTheCommandLineMakeTheLoss) {
  ParameterSet current;
  current.SaturatedWaterContent = 0.45, current.WiltingPoint = 0.12;
  const auto read = [&](const std::string& line) {
    TextReader reader = TextReader::FromString(line + "\ncalibration 1991\nFieldCapacity 0.2 0.35\n", "cal.txt");
    return ReadCalibrationFile(reader, current);
  };
  const CalibrationConfig c = read("objective kge 0.3 fdc-low 0.7");
  ASSERT_EQ(c.objective.terms.size(), 2u);
  EXPECT_EQ(c.objective.terms[1], (ObjectiveTerm{ObjectiveKind::FdcLow, 0.7}));
  EXPECT_EQ(ObjectiveText(c.objective), "kge 0.3 fdc-low 0.7");
  EXPECT_EQ(read("objective fdc-mid").objective, ObjectiveKind::FdcMid);
  for (const auto& [line, message] : std::vector<std::pair<std::string, std::string>>{
           {"objective kge 0.5 lognse", "cal.txt line 1: \"lognse\" (token 3) needs a weight after it"},
           {"objective kge 0 lognse 1", "cal.txt line 1: \"0\" (token 2) is not a weight above 0"},
           {"objective kge 1 kge 1", "cal.txt line 1: \"kge\" (token 3) is named twice in the objective"},
           {"objective fdc-top", "cal.txt line 1: \"fdc-top\" (token 1) is not an objective"}}) {
    try {
      read(line);
      ADD_FAILURE() << line;
    } catch (const TarnwellError& e) {
      EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
    }
  }
  CalibrationConfig overridden = c;
  CalibrationOverrides o;
  o.objective = "nse 2 lognse 1";
  ApplyOverrides(overridden, o);
  EXPECT_EQ(ObjectiveText(overridden.objective), "nse 2 lognse 1");
  o.objective = "nse 2 lognse";
  EXPECT_THROW(ApplyOverrides(overridden, o), std::invalid_argument);
  EXPECT_EQ(ObjectiveProblem("kge 0.5 lognse x"), "\"x\" is not a weight above 0");

  // The loss weighs each term; the metrics and the trace's names carry every term.
  const std::vector<double> obs = Observed();
  std::vector<double> sim = obs;
  for (double& v : sim) v = v > 0 && v <= 30 ? 1 : v * 1.2;
  const BasinYear year{1991, sim, obs, {}, {}};
  const ObjectiveSettings settings{c.objective, 0, {1991}};
  const EvaluationResult r = ScoreBasinYears({year}, settings);
  const std::vector<std::string> names = MetricNames(settings);
  ASSERT_EQ(names, (std::vector<std::string>{"KGE", "NSE", "logNSE", "PBIAS", "FLV"}));
  ASSERT_EQ(r.metrics.size(), names.size());
  EXPECT_DOUBLE_EQ(r.metrics[4], 100);
  EXPECT_DOUBLE_EQ(r.loss, 0.3 * (1 - r.metrics[0]) + 0.7 * 1.0);
  EXPECT_EQ(LossName(settings), "0.3*(1-KGE)+0.7*(|FLV|/100) 1991");
  // As a term |PBIAS| counts in hundreds; alone it keeps its percent, as traces hold it.
  const ObjectiveSettings bias{Objective(ObjectiveKind::Pbias), 0, {1991}};
  Objective halves;
  halves.terms = {{ObjectiveKind::Pbias, 0.5}, {ObjectiveKind::Kge, 0.5}};
  const EvaluationResult alone = ScoreBasinYears({year}, bias);
  EXPECT_DOUBLE_EQ(alone.loss, std::fabs(alone.metrics[3]));
  EXPECT_DOUBLE_EQ(ScoreBasinYears({year}, {halves, 0, {1991}}).loss,
                   0.5 * std::fabs(alone.metrics[3]) / 100 + 0.5 * (1 - alone.metrics[0]));
}

// The periods set on the command line replace the file's, and stay apart.
TEST(CalibrationPeriods, OptionsReplaceTheFilesYears) {
  ParameterSet current;
  current.SaturatedWaterContent = 0.45, current.WiltingPoint = 0.12;
  TextReader reader = TextReader::FromString(
      "warmup 1990\ncalibration 1991-1992\nvalidation 1993\nFieldCapacity 0.2 0.35\n", "cal.txt");
  const CalibrationConfig file = ReadCalibrationFile(reader, current);
  // A value of the parameter file outside its range is said, not clamped in silence.
  current.FieldCapacity = 0.38;
  EXPECT_EQ(StartsOutsideTheirRanges(file, current),
            std::vector<std::string>{"cal.txt line 4: the parameter file's FieldCapacity 0.38 lies outside its range "
                                     "0.2 to 0.35: the search starts from 0.35 and cannot return to it (widen the "
                                     "range to keep it within reach)"});
  current.FieldCapacity = 0.3;
  EXPECT_TRUE(StartsOutsideTheirRanges(file, current).empty());
  CalibrationConfig c = file;
  CalibrationOverrides o;
  o.calibration = "1992,1990";
  o.warmup = "";
  o.validation = "1991 1993";
  ApplyOverrides(c, o);
  EXPECT_EQ(c.calibrationYears, (std::vector<int>{1990, 1992}));
  EXPECT_TRUE(c.warmupYears.empty());
  EXPECT_EQ(c.validationYears, (std::vector<int>{1991, 1993}));
  try {
    c.RequireYearsWithin(1990, 1992, "the data");
    ADD_FAILURE();
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ(e.what(),
                 "--validation 1991 1993 names the validation year 1993, outside the years 1990 to 1992 that the "
                 "data cover");
  }
  for (const auto& [calibration, message] : std::vector<std::pair<std::string, std::string>>{
           {"1990", "the year 1990 is both a warmup and a calibration year, as the command line sets them"},
           {"199x", "--calibration 199x: \"199x\" is not a year or a range of years such as 1991-1993"}}) {
    CalibrationConfig d = file;
    CalibrationOverrides bad;
    bad.calibration = calibration;
    try {
      ApplyOverrides(d, bad);
      ADD_FAILURE() << calibration;
    } catch (const std::invalid_argument& e) {
      EXPECT_EQ(e.what(), message);
    }
  }
}

// The reaches' routing searched by name; a range whose corner would route below 0 is refused.
TEST(CalibrationFile, RoutingOfEachReachKeepsItsCoefficientsAboveZero) {
  ParameterSet current;
  current.SaturatedWaterContent = 0.45, current.WiltingPoint = 0.12, current.FieldCapacity = 0.3;
  current.RoutingK = {0, 24};
  current.RoutingX = {0, 0.2};
  const auto read = [&](const std::string& lines) {
    TextReader reader = TextReader::FromString("calibration 1991\n" + lines, "cal.txt");
    return ReadCalibrationFile(reader, current);
  };
  const CalibrationConfig ok = read("MuskingumK[1] 20 48\nMuskingumX[1] 0 0.25\n");
  EXPECT_EQ(CalibratedValues(ok, current), (std::vector<double>{24, 0.2}));
  ParameterSet best = current;
  SetCalibratedValues(ok, {40, 0.1}, best);
  EXPECT_EQ(best.RoutingK, (std::vector<double>{0, 40}));
  EXPECT_EQ(best.RoutingX, (std::vector<double>{0, 0.1}));
  for (const auto& [lines, message] : std::vector<std::pair<std::string, std::string>>{
           {"MuskingumK[1] 12 48\nMuskingumX[1] 0 0.3\n",
            "cal.txt line 2: \"12\" (token 1) with K = 12 h and x = 0.3 gives the routing coefficient C2 = -0.18 "
            "below 0"},
           {"MuskingumK[1] 6 24\n", "cal.txt line 2: \"6\" (token 1) with K = 6 h and x = 0.2 gives the routing"},
           {"MuskingumX[2] 0 0.3\n",
            "cal.txt line 2: \"MuskingumX[2]\" (token 0) names a sub-basin the workspace "
            "does not have (it has 1)"},
           {"MuskingumX[1] 0 0.6\n", "is outside what the model can take"}}) {
    try {
      read(lines);
      ADD_FAILURE() << lines;
    } catch (const TarnwellError& e) {
      EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
    }
  }
}

// A parameter that ends on or near a bound of its range is flagged, in the space searched.
TEST(ParameterTable, FlagsValuesOnOrNearABound) {
  const std::string golden = test::ReadBytes(std::string(TARNWELL_TEST_DATA) +
                                             "/golden/calibration/parameters_bounds.txt");
  EXPECT_TRUE(test::SameBytes(golden, FormatParameterTable({{"FieldCapacity", 0.2, 0.38, false},
                                                            {"SnowMeltRate", 1, 6, false},
                                                            {"DeepLeakageCoef", 0.001, 1, true}},
                                                           {0.3, 3, 0.1}, {0.3799, 1.12, 0.0123457})));
  // In a log range the middle of the logarithms is no bound; 0.0011 of 0.001..1 is near one.
  EXPECT_EQ(BoundFlag({"DeepLeakageCoef", 0.001, 1, true}, 0.0011), "  near the lower bound (1.4 %)");
  EXPECT_EQ(BoundFlag({"DeepLeakageCoef", 0.001, 1, false}, 0.0011), "  on the lower bound");
}

// Morris's design and effects on functions whose effects are known: a linear one has the
// same effect everywhere (sigma 0), a product's effects vary with the other factor.
TEST(Morris, TrajectoriesAndTheEffectsOfKnownFunctions) {
  const std::vector<std::vector<double>> points = MorrisPoints(3, 30, 4, 7);
  ASSERT_EQ(points.size(), 30u * 4);
  for (std::size_t t = 0; t < 30; ++t)
    for (std::size_t s = 0; s < 3; ++s) {
      int moved = 0;
      for (std::size_t i = 0; i < 3; ++i) {
        const double step = points[t * 4 + s + 1][i] - points[t * 4 + s][i];
        if (step == 0) continue;
        ++moved;
        EXPECT_NEAR(std::fabs(step), 2.0 / 3, 1e-12);
      }
      EXPECT_EQ(moved, 1);  // one parameter a step, each once a trajectory
    }
  std::vector<double> linear, product;
  for (const auto& x : points) {
    linear.push_back(3 * x[0] - 2 * x[1] + 5);
    product.push_back(x[0] * x[1]);
  }
  const std::vector<MorrisIndex> l = MorrisIndices(points, linear, 3, 1);
  EXPECT_NEAR(l[0].muStar, 3, 1e-12);
  EXPECT_NEAR(l[0].mu, 3, 1e-12);
  EXPECT_NEAR(l[1].muStar, 2, 1e-12);
  EXPECT_NEAR(l[1].mu, -2, 1e-12);
  EXPECT_NEAR(l[0].sigma, 0, 1e-12);
  EXPECT_EQ(l[2].muStar, 0);
  EXPECT_EQ(l[0].effects, 30);
  EXPECT_NEAR(l[0].muStarLow, 3, 1e-12);
  const std::vector<MorrisIndex> p = MorrisIndices(points, product, 3, 1);
  EXPECT_GT(p[0].sigma, 0.1);
  EXPECT_EQ(p[2].muStar, 0);
  EXPECT_LE(p[0].muStarLow, p[0].muStar);
  EXPECT_GE(p[0].muStarHigh, p[0].muStar);
  // A point that could not be scored leaves out the two effects it takes part in.
  std::vector<double> holed = linear;
  holed[5] = std::nan("");
  const std::vector<MorrisIndex> h = MorrisIndices(points, holed, 3, 1);
  EXPECT_EQ(h[0].effects + h[1].effects + h[2].effects, 3 * 30 - 2);
  EXPECT_NEAR(h[0].muStar, 3, 1e-12);
}

// tarnwell sensitivity on a small workspace: the table of effects for the loss and every
// metric, the same for one worker and two.
TEST(Morris, SensitivityCommandWritesItsTableForAnyNumberOfWorkers) {
  test::TempDir dir;
  std::string csv[2];
  for (int workers : {1, 2}) {
    const std::string root = dir / ("w" + std::to_string(workers));
    test::TinyWorkspace w;
    w.simYears = 2;
    w.subBasins[0].rows = w.subBasins[0].cols = 3;
    w.subBasins[0].years.resize(2);
    w.subBasins[0].years[1].year = 2001;
    w.subBasins[0].years[0].precip = w.subBasins[0].years[1].precip = [](int d) { return d % 7 == 0 ? 20.0 : 0.5; };
    w.outletFlow = [](int d) { return 0.5 + (d % 9) * 0.25; };
    test::WriteTinyWorkspace(root, w);
    test::WriteBytes(root + "/Parameters/calibration.txt",
                     "warmup 2000\ncalibration 2001\nFieldCapacity 0.2 0.38\nSnowMeltRate 1.5 6\n"
                     "GroundwaterRecessionCoef 0.9 0.99\n");
    const test::ProbeExit r = test::RunProcess({TARNWELL_CLI, "sensitivity", "--workspace", root, "--method", "morris",
                                                "--trajectories", "3", "--workers", std::to_string(workers)},
                                               dir / "log");
    ASSERT_EQ(r.status, 0) << r.log;
    EXPECT_NE(r.log.find("Elementary effects on 1-KGE 2001"), std::string::npos) << r.log;
    csv[workers - 1] = test::ReadBytes(root + "/Output/sensitivity/morris.csv");
  }
  EXPECT_EQ(csv[0], csv[1]);
  EXPECT_EQ(csv[0].substr(0, csv[0].find('\n')), "output,parameter,mu_star,mu_star_low,mu_star_high,mu,sigma,effects");
  EXPECT_NE(csv[0].find("\nlogNSE,SnowMeltRate,"), std::string::npos);
}

}  // namespace
}  // namespace tarnwell
