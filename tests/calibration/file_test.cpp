// The calibration file: settings, years and ranges read; every bad line refused naming the
// file, the line and the token; the command line's overrides; the file written by --init.
#include <gtest/gtest.h>

#include "calibration/CalibrationFile.h"
#include "inputs/TextFile.h"
#include "model/Errors.h"
#include "parameters/ParaDialog.h"
#include "parameters/ParameterLimits.h"

namespace tarnwell {
namespace {

// The demo's soil: wilting point 0.12, field capacity 0.3, saturation 0.45.
ParameterSet Current() {
  ParameterSet p;
  p.SaturatedWaterContent = 0.45, p.FieldCapacity = 0.3, p.WiltingPoint = 0.12, p.DeepLeakageCoef = 0.1;
  p.LayerThickness1 = 100, p.LayerThickness2 = 250, p.LayerThickness3 = 450;
  return p;
}

CalibrationConfig Read(const std::string& text) {
  TextReader reader = TextReader::FromString(text, "cal.txt");
  return ReadCalibrationFile(reader, Current());
}

TEST(CalibrationFile, SettingsYearsAndRanges) {
  const CalibrationConfig c = Read(
      "# a comment line\n"
      "algorithm sce\n"
      "evaluations 250   # trailing comment\n"
      "objective lognse\n"
      "sediment-weight 0.25\n"
      "warmup 1990\n"
      "calibration 1993-1994 1991\n"
      "validation 1995\n"
      "seed 18446744073709551615\n"
      "batch 3\n"
      "complexes 5\n"
      "\n"
      "\tFieldCapacity\t0.2  0.35\n"
      "DeepLeakageCoef 0.001 0.5 log\n"
      "Erodibility[0] 0 2\n");
  EXPECT_EQ(c.file, "cal.txt");
  EXPECT_EQ(c.search.method, SearchMethod::Sce);
  EXPECT_EQ(c.objective, ObjectiveKind::LogNse);
  EXPECT_EQ(c.sedimentWeight, 0.25);
  EXPECT_EQ((std::vector<long>{c.search.evaluations, c.search.batch, c.search.complexes}),
            (std::vector<long>{250, 3, 5}));
  EXPECT_EQ(c.warmupYears, std::vector<int>{1990});
  EXPECT_EQ(c.calibrationYears, (std::vector<int>{1991, 1993, 1994}));
  EXPECT_EQ(c.validationYears, std::vector<int>{1995});
  EXPECT_EQ(c.LastYear(), 1995);
  EXPECT_EQ(c.search.seed, 18446744073709551615ULL);
  ASSERT_EQ(c.ParameterNames(), (std::vector<std::string>{"FieldCapacity", "DeepLeakageCoef", "Erodibility[0]"}));
  EXPECT_EQ(c.parameters[0].line, 13);
  EXPECT_EQ(c.parameters[1].lower, 0.001);
  EXPECT_EQ((std::vector<bool>{c.parameters[0].log, c.parameters[1].log, c.parameters[2].log}),
            (std::vector<bool>{false, true, false}));
}

struct BadFile {
  const char* text;
  long line;  // 0: the file as a whole
  const char* token;
  int index;
  const char* says;  // part of the message
};

TEST(CalibrationFile, BadLinesNameFileLineAndToken) {
  const std::string head = "calibration 1991\n";  // line 1
  const BadFile cases[] = {
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
  };
  for (const BadFile& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      Read(head + c.text + "LayerThickness3 100 900\n");
      ADD_FAILURE() << "accepted";
    } catch (const TarnwellError& e) {
      EXPECT_EQ(e.File(), "cal.txt");
      EXPECT_EQ(e.Line(), c.line) << e.what();
      EXPECT_EQ(e.Token(), c.token) << e.what();
      EXPECT_EQ(e.TokenIndex(), c.index) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
      EXPECT_EQ(std::string(e.what()).rfind("cal.txt line " + std::to_string(c.line) + ": \"", 0), 0u) << e.what();
    }
  }
  // A file without parameters or without calibration years names the file.
  for (auto [text, says] : {std::pair{"calibration 1991\n# nothing\n", "no parameter to calibrate"},
                            {"warmup 1990\nFieldCapacity 0.2 0.3\n", "no calibration years"}}) {
    try {
      Read(text);
      ADD_FAILURE() << text;
    } catch (const InputError& e) {
      EXPECT_EQ(e.File(), "cal.txt");
      EXPECT_NE(std::string(e.what()).find(says), std::string::npos) << e.what();
    }
  }
}

TEST(CalibrationFile, CommandLineOverridesTheSettings) {
  CalibrationConfig c = Read("algorithm sce\nevaluations 10\ncalibration 1991\nFieldCapacity 0.2 0.25\n");
  CalibrationOverrides o;
  o.algorithm = "lhs", o.evaluations = "77", o.objective = "pbias", o.seed = "42", o.workers = "3";
  ApplyOverrides(c, o);
  EXPECT_EQ(c.search.method, SearchMethod::Lhs);
  EXPECT_EQ(c.search.evaluations, 77);
  EXPECT_EQ(c.objective, ObjectiveKind::Pbias);
  EXPECT_EQ(c.search.seed, 42u);
  EXPECT_EQ(c.WorkerCount(), 3);
  // Nothing given changes nothing.
  ApplyOverrides(c, {});
  EXPECT_EQ(c.search.evaluations, 77);
  EXPECT_GE(Read("calibration 1991\nFieldCapacity 0.2 0.25\n").WorkerCount(), 1);
}

TEST(CalibrationFile, InitFileLoadsAndSplitsTheYears) {
  auto read = [](int first, int last) {
    std::string text;
    for (const std::string& line : DefaultCalibrationFile(first, last)) text += line + "\n";
    TextReader reader = TextReader::FromString(text, "calibration.txt");
    return ReadCalibrationFile(reader, Current());
  };
  auto split = [](const CalibrationConfig& c) {
    return std::vector<std::vector<int>>{c.warmupYears, c.calibrationYears, c.validationYears};
  };
  const CalibrationConfig demo = read(1990, 1993);
  EXPECT_EQ(split(demo), (std::vector<std::vector<int>>{{1990}, {1991, 1992}, {1993}}));
  EXPECT_EQ(demo.search.method, SearchMethod::Dds);
  EXPECT_EQ(demo.objective, ObjectiveKind::Kge);
  EXPECT_GE(demo.parameters.size(), 10u);
  for (const CalibratedParameter& p : demo.parameters) {
    const ParameterDomain* d = FindParameterDomain(p.name);
    ASSERT_NE(d, nullptr) << p.name;
    EXPECT_TRUE(d->Contains(p.lower) && d->Contains(p.upper)) << p.name;
  }
  EXPECT_EQ(split(read(2000, 2000)), (std::vector<std::vector<int>>{{}, {2000}, {}}));
  EXPECT_EQ(split(read(2001, 2010)),
            (std::vector<std::vector<int>>{{2001}, {2002, 2003, 2004, 2005, 2006, 2007}, {2008, 2009, 2010}}));
}

}  // namespace
}  // namespace tarnwell
