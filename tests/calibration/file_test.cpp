// The calibration file: settings, objective, years and ranges read; every bad line refused
// naming the file, the line and the token; the command line's overrides; the file --init writes.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "app/Check.h"
#include "calibration/CalibrationFile.h"
#include "inputs/TextFile.h"
#include "model/Errors.h"
#include "parameters/ParaDialog.h"

namespace tarnwell {
namespace {

// The demo's soil (wilting point 0.12, field capacity 0.3, saturation 0.45) and a second
// reach routed with K = 24 h, x = 0.2.
ParameterSet Current() {
  ParameterSet p;
  p.SaturatedWaterContent = 0.45, p.FieldCapacity = 0.3, p.WiltingPoint = 0.12, p.DeepLeakageCoef = 0.1;
  p.LayerThickness1 = 100, p.LayerThickness2 = 250, p.LayerThickness3 = 450;
  p.RoutingK = {0, 24}, p.RoutingX = {0, 0.2};
  return p;
}

CalibrationConfig Read(const std::string& text, const std::string& name = "cal.txt") {
  TextReader reader = TextReader::FromString(text, name);
  return ReadCalibrationFile(reader, Current());
}

// Warm-up, calibration and validation years.
std::vector<std::vector<int>> Years(const CalibrationConfig& c) {
  return {c.warmupYears, c.calibrationYears, c.validationYears};
}

TEST(CalibrationFile, SettingsYearsAndRanges) {
  const CalibrationConfig c = Read(
      "# a comment line\nalgorithm sce\nevaluations 250   # trailing comment\nobjective kge 0.3 fdc-low 0.7\n"
      "sediment-weight 0.25\nwarmup 1990\ncalibration 1993-1994 1991\nvalidation 1995\nseed 18446744073709551615\n"
      "batch 3\ncomplexes 5\n\n\tFieldCapacity\t0.2  0.35\nDeepLeakageCoef 0.001 0.5 log\n"
      "MuskingumK[1] 20 48\nMuskingumX[1] 0 0.25\ngauge 1 0.3 input/nested.in\n");
  EXPECT_EQ(std::tuple(c.search.method, ObjectiveText(c.objective), c.sedimentWeight, c.search.seed),
            std::tuple(SearchMethod::Sce, "kge 0.3 fdc-low 0.7", 0.25, 18446744073709551615ULL));
  EXPECT_EQ(std::tuple(c.search.evaluations, c.search.batch, c.search.complexes), std::tuple(250, 3, 5));
  EXPECT_EQ(Years(c), (std::vector<std::vector<int>>{{1990}, {1991, 1993, 1994}, {1995}}));
  EXPECT_EQ(c.LastYear(), 1995);
  ASSERT_EQ(c.gauges.size(), 1u);
  EXPECT_EQ(std::tuple(c.gauges[0].subBasin, c.gauges[0].weight, c.gauges[0].file, c.gauges[0].line),
            std::tuple(1, 0.3, "input/nested.in", 17));
  ASSERT_EQ(c.ParameterNames(),
            (std::vector<std::string>{"FieldCapacity", "DeepLeakageCoef", "MuskingumK[1]", "MuskingumX[1]"}));
  EXPECT_EQ(std::tuple(c.parameters[0].line, c.parameters[0].log, c.parameters[1].lower, c.parameters[1].log),
            std::tuple(13, false, 0.001, true));
  // The values go to their own parameters and come back from them, the other reach untouched.
  ParameterSet best = Current();
  SetCalibratedValues(c, {0.25, 0.01, 40, 0.1}, best);
  EXPECT_EQ(CalibratedValues(c, best), (std::vector<double>{0.25, 0.01, 40, 0.1}));
  EXPECT_EQ(std::pair(best.RoutingK, best.RoutingX),
            std::pair(std::vector<double>{0, 40}, std::vector<double>{0, 0.1}));
}

TEST(CalibrationFile, BadLinesNameFileLineAndToken) {
  // The lines after "calibration 1991"; the line, token and token index named; part of the message.
  const std::tuple<const char*, long, const char*, int, const char*> cases[] = {
      {"FieldCapcity 0.2 0.3\n", 2, "FieldCapcity", 0, "did you mean FieldCapacity?"},
      {"SimYears 1 5\n", 2, "SimYears", 0, "not a parameter to calibrate"},
      {"FieldCapacity 0.3 0.2\n", 2, "0.2", 2, "above the lower bound 0.3"},
      {"LayerThickness1 0 100\n", 2, "0", 1, "LayerThickness1 must be above 0"},
      {"FieldCapacity 0.2 abc\n", 2, "abc", 2, "is not a number"},
      {"FieldCapacity 0.2\n", 2, "FieldCapacity", 0, "needs a lower and an upper bound"},
      {"DeepLeakageCoef 0 0.5 log\n", 2, "0", 1, "above 0 for a search in the logarithm"},
      {"DeepLeakageCoef 0.01 0.5 log 3\n", 2, "3", 4, "one value too many"},
      {"FieldCapacity 0.2 0.3\n# x\nFieldCapacity 0.1 0.2\n", 4, "FieldCapacity", 0,
       "calibrated twice (first on line 2)"},
      // Field capacity above the parameter file's saturation 0.45.
      {"FieldCapacity 0.3 0.5\n", 2, "0.5", 2, "below SaturatedWaterContent = 0.45 of the parameter file"},
      // Both calibrated: the boxes overlap.
      {"SaturatedWaterContent 0.4 0.5\nFieldCapacity 0.2 0.42\n", 3, "0.42", 2,
       "below the lower bound 0.4 of SaturatedWaterContent (line 2)"},
      {"validation 1992 1991-1992\n", 2, "1991-1992", 2, "names 1991, already a calibration year"},
      {"calibration 1995\n", 2, "calibration", 0, "set twice (first on line 1)"},
      {"objective kge 0.5 lognse\n", 2, "lognse", 3, "needs a weight after it"},
      {"objective kge 0 lognse 1\n", 2, "0", 2, "is not a weight above 0"},
      {"objective kge 1 kge 1\n", 2, "kge", 3, "is named twice in the objective"},
      {"objective fdc-top\n", 2, "fdc-top", 1, "is not an objective"},
      // Muskingum's coefficients stay at or above 0 at every corner of the ranges.
      {"MuskingumK[1] 12 48\nMuskingumX[1] 0 0.3\n", 2, "12", 1,
       "with K = 12 h and x = 0.3 gives the routing coefficient C2 = -0.18 below 0"},
      {"MuskingumK[1] 6 24\n", 2, "6", 1, "with K = 6 h and x = 0.2 gives the routing"},
      {"MuskingumX[2] 0 0.3\n", 2, "MuskingumX[2]", 0, "names a sub-basin the workspace does not have (it has 1)"},
      {"MuskingumX[1] 0 0.6\n", 2, "0.6", 2, "is outside what the model can take"},
      // A gauge is a sub-basin of the list, weighed above 0, named once.
      {"gauge 2 0.3\n", 2, "2", 1, "is not a sub-basin of the list (1 to 1)"},
      {"gauge 1 0\n", 2, "0", 2, "is not a weight above 0"},
      {"gauge 1\n", 2, "gauge", 0, "needs a sub-basin number and a weight"},
      {"gauge 1 0.2\ngauge 1 0.3\n", 3, "1", 1, "is a gauge twice (first on line 2)"},
  };
  for (const auto& [text, line, token, index, says] : cases) {
    SCOPED_TRACE(text);
    try {
      Read(std::string("calibration 1991\n") + text + "LayerThickness3 100 900\n");
      ADD_FAILURE() << "accepted";
    } catch (const TarnwellError& e) {
      EXPECT_EQ((std::tuple(e.File(), e.Line(), e.Token(), e.TokenIndex())),
                (std::tuple(std::string("cal.txt"), line, std::string(token), index)))
          << e.what();
      EXPECT_NE(std::string(e.what()).find(says), std::string::npos) << e.what();
      EXPECT_EQ(std::string(e.what()).rfind("cal.txt line " + std::to_string(line) + ": \"", 0), 0u) << e.what();
    }
  }
  // A file without parameters or without calibration years names the file.
  for (auto [text, says] :
       {std::pair{"calibration 1991\n# nothing\n",
                  "cal.txt: names no parameter to calibrate (a line such as \"FieldCapacity 0.2 0.36\")"},
        {"warmup 1990\nFieldCapacity 0.2 0.3\n",
         "cal.txt: has no calibration years (a line such as \"calibration 1991-1992\")"}})
    EXPECT_EQ(test::ThrownMessage([&] { Read(text); }), says);
}

TEST(CalibrationFile, CommandLineOverridesTheSettingsAndTheYears) {
  const CalibrationConfig file = Read(
      "algorithm sce\nevaluations 10\nwarmup 1990\ncalibration 1991-1992\nvalidation 1993\nFieldCapacity 0.2 0.35\n");
  CalibrationConfig c = file;
  CalibrationOverrides o;
  o.algorithm = "lhs", o.evaluations = "77", o.objective = "nse 2 lognse 1", o.seed = "42", o.workers = "3";
  o.calibration = "1992,1990", o.warmup = "", o.validation = "1991 1993";
  ApplyOverrides(c, o);
  ApplyOverrides(c, {});  // nothing given changes nothing
  EXPECT_EQ(
      std::tuple(c.search.method, c.search.evaluations, c.search.seed, c.WorkerCount(), ObjectiveText(c.objective)),
      std::tuple(SearchMethod::Lhs, 77, 42u, 3, "nse 2 lognse 1"));
  EXPECT_EQ(Years(c), (std::vector<std::vector<int>>{{}, {1990, 1992}, {1991, 1993}}));
  EXPECT_EQ(test::ThrownMessage([&] { c.RequireYearsWithin(1990, 1992, "the data"); }),
            "--validation 1991 1993 names the validation year 1993, outside the years 1990 to 1992 that the "
            "data cover");
  const std::tuple<std::optional<std::string> CalibrationOverrides::*, const char*, const char*> refused[] = {
      {&CalibrationOverrides::calibration, "1990",
       "the year 1990 is both a warmup and a calibration year, as the command line sets them"},
      {&CalibrationOverrides::calibration, "199x",
       "--calibration 199x: \"199x\" is not a year or a range of years such as 1991-1993"},
      {&CalibrationOverrides::objective, "nse 2 lognse",
       "--objective \"nse 2 lognse\": \"lognse\" needs a weight after it"},
  };
  for (const auto& [option, value, message] : refused) {
    CalibrationConfig d = file;
    CalibrationOverrides bad;
    bad.*option = value;
    EXPECT_EQ(test::ThrownMessage([&] { ApplyOverrides(d, bad); }), message);
  }
  // A value of the parameter file outside its range is said, not clamped in silence.
  ParameterSet outside = Current();
  outside.FieldCapacity = 0.38;
  EXPECT_EQ(StartsOutsideTheirRanges(file, outside),
            std::vector<std::string>{"cal.txt line 6: the parameter file's FieldCapacity 0.38 lies outside its range "
                                     "0.2 to 0.35: the search starts from 0.35 and cannot return to it (widen the "
                                     "range to keep it within reach)"});
  EXPECT_TRUE(StartsOutsideTheirRanges(file, Current()).empty());
}

TEST(CalibrationFile, InitFileLoadsAndSplitsTheYears) {
  const auto read = [](int first, int last) {
    std::string text;
    for (const std::string& line : DefaultCalibrationFile(first, last)) text += line + "\n";
    return Read(text, "calibration.txt");  // every range within what the model can take
  };
  const CalibrationConfig demo = read(1990, 1993);
  EXPECT_EQ(Years(demo), (std::vector<std::vector<int>>{{1990}, {1991, 1992}, {1993}}));
  EXPECT_EQ(std::tuple(demo.search.method, ObjectiveText(demo.objective)), std::tuple(SearchMethod::Dds, "kge"));
  EXPECT_EQ(Years(read(2000, 2000)), (std::vector<std::vector<int>>{{}, {2000}, {}}));
  // A small snowy mountain basin: faster reservoirs, a wider degree-day range, thinner soils,
  // and the figures that called for them stated in the file. Measured from its inputs, area-weighted.
  SubBasinCheck high, low;
  high.area = 120, low.area = 30;
  WorkspaceInputs inputs;
  inputs.subBasins.resize(2);
  inputs.subBasins[0].terrain.values = {1900, 2100, 0};  // 0: outside
  inputs.subBasins[1].terrain.values = {1000};
  for (auto [k, precip, temp] : {std::tuple(0, std::vector<double>{10, 30}, std::vector<double>{-4, 2}),
                                 std::tuple(1, std::vector<double>{10, 30}, std::vector<double>{6, 8})}) {
    MetBlock& b = inputs.subBasins[static_cast<std::size_t>(k)].years.emplace_back();
    b.precip = precip, b.temp = temp;
  }
  const BasinTraits basin = MeasureBasin({high, low}, inputs);
  EXPECT_EQ(std::tuple(basin.areaKm2, basin.meanElevation, basin.meanTemperature, basin.snowShare),
            std::tuple(150.0, 1800.0, 0.6, 0.2));
  std::string text;
  for (const std::string& line : DefaultCalibrationFile(1990, 1993, &basin)) text += line + "\n";
  const CalibrationConfig alpine = Read(text, "calibration.txt");
  const auto range = [&](const std::string& name) {
    for (const CalibratedParameter& p : alpine.parameters)
      if (p.name == name) return std::pair(p.lower, p.upper);
    return std::pair(0.0, 0.0);
  };
  EXPECT_EQ(range("InterflowRecessionCoef"), std::pair(0.2, 0.9197));  // 1.25 to 12.4 days
  EXPECT_EQ(range("GroundwaterRecessionCoef"), std::pair(0.920, 0.992));
  EXPECT_EQ(range("SnowMeltRate"), std::pair(2.0, 9.0));
  EXPECT_EQ(range("LayerThickness3"), std::pair(100.0, 800.0));
  EXPECT_NE(text.find("# This basin: 150 km2, mean elevation 1800 m, mean air temperature 0.6 degrees C, 20 %"),
            std::string::npos);
  EXPECT_EQ(Years(read(2001, 2010)),
            (std::vector<std::vector<int>>{{2001}, {2002, 2003, 2004, 2005, 2006, 2007}, {2008, 2009, 2010}}));
}

}  // namespace
}  // namespace tarnwell
