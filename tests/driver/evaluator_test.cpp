// The in-memory evaluator against a normal run: for the same parameter file its daily
// whole-basin series equal those of the whole-basin "Daily.out" and "Daily_s.out" within one
// unit of their last printed digit (so a fit computed from either agrees); on generated
// workspaces (several sub-basins, a late start, short years, leap years).
// Evaluations at the same time on several threads give the same bits.
#include <gtest/gtest.h>

#include <future>

#include "app/Evaluator.h"
#include "engine/WholeRuns.h"
#include "parameters/ParaDialog.h"

namespace tarnwell {
namespace {

// A whole-basin day row as the run printed it: outlet discharge simulated and observed
// (m3/s), sediment load simulated and observed (t/day).
struct PrintedDay {
  bool flow = false, sediment = false;  // which of the two files has the day
  double simFlow = 0, obsFlow = 0, simSediment = 0, obsSediment = 0;
};

int DayOfYear(const std::string& date) {
  const int m = std::stoi(date.substr(0, 2)), d = std::stoi(date.substr(3, 2)), y = std::stoi(date.substr(6));
  static const int before[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  return before[m - 1] + d + (m > 2 && test::DaysOf(y) == 366 ? 1 : 0);
}

// year -> day of the year -> what the whole-basin files hold.
std::map<int, std::map<int, PrintedDay>> ReadBasinFiles(const test::Files& files) {
  std::map<int, std::map<int, PrintedDay>> days;
  for (const char* file : {"Daily.out", "Daily_s.out"}) {
    TextReader r = TextReader::FromString(files.at(std::string("Output/全流域/") + file), file);
    while (!r.AtEnd()) {
      const FieldLine line = r.ReadFields();
      if (line.Count() < 5 || line.View(0).size() != 10) continue;
      const std::string date = line.Token(0);
      PrintedDay& d = days[std::stoi(date.substr(6))][DayOfYear(date)];
      if (std::string(file) == "Daily.out") {
        d.flow = true;
        d.simFlow = line.Real(11);
        d.obsFlow = line.Real(12);
      } else {
        d.sediment = true;
        d.obsSediment = line.Real(2);
        d.simSediment = line.Real(3);
      }
    }
  }
  return days;
}

// Runs the workspace as `tarnwell run` does, then evaluates its parameter file in memory and
// compares; returns how many days were compared.
int CompareWithRun(const test::TinyWorkspace& w) {
  test::TempDir dir;
  const std::unique_ptr<DayEngine> engine = MakeDayEngine("fused", 2);
  const auto printed = ReadBasinFiles(test::RunYears(w, {.engine = engine.get(), .root = dir.Path().string()}).files);
  Session session(dir.Path().string());
  StartUpWorkspace(session);
  ParameterSet params;
  LoadParameters(session.ws.Resolve(session.state.ParamFilePath), "p", params);
  const std::vector<BasinYear> evaluated = BasinEvaluator(session, w.simYears).Evaluate(params);
  EXPECT_EQ(static_cast<int>(evaluated.size()), w.simYears);
  int compared = 0;
  for (const BasinYear& y : evaluated) {
    const auto year = printed.find(y.year);
    if (year == printed.end()) {
      ADD_FAILURE() << "no rows of " << y.year << " in the whole-basin files";
      continue;
    }
    for (const auto& [doy, p] : year->second) {
      const auto i = static_cast<std::size_t>(doy - 1);
      // Printed with three decimals: within one unit of the last printed digit. The sediment
      // file has rows for the days before the first simulated day too.
      if (p.sediment) {
        EXPECT_NEAR(y.simSediment.at(i), p.simSediment, 1e-3) << y.year << " day " << doy;
        EXPECT_NEAR(y.obsSediment.at(i), p.obsSediment, 1e-3) << y.year << " day " << doy;
      }
      if (!p.flow) continue;
      EXPECT_NEAR(y.simFlow.at(i), p.simFlow, 1e-3) << y.year << " day " << doy;
      EXPECT_NEAR(y.obsFlow.at(i), p.obsFlow, 1e-3) << y.year << " day " << doy;
      ++compared;
    }
  }
  return compared;
}

TEST(Evaluator, EqualsTheWholeBasinFilesOfARun) {
  // Three sub-basins over a leap and two common years.
  EXPECT_EQ(CompareWithRun(test::SmallBasins(3, 3, 4, 3)), 366 + 365 + 365);
  // A late first day and a year of six months; a second sub-basin with its own routing.
  test::TinyWorkspace w = test::SmallBasins(2, 2, 3, 3);
  for (test::TinySubBasin& b : w.subBasins) {
    b.years[0].startDay = 100;
    b.years[1].months = 6;
  }
  w.subBasins[1].K = 30;
  w.subBasins[1].x = 0.4;
  EXPECT_EQ(CompareWithRun(w), 366 - 99 + 181);
}

TEST(Evaluator, ConcurrentEvaluationsGiveTheSameBits) {
  test::TempDir dir;
  test::WriteTinyWorkspace(dir.Path().string(), test::SmallBasins(2, 2, 5, 4));
  Session session(dir.Path().string());
  StartUpWorkspace(session);
  ParameterSet params;
  LoadParameters(session.ws.Resolve(session.state.ParamFilePath), "p", params);
  const BasinEvaluator evaluator(session, 2);
  const std::vector<BasinYear> alone = evaluator.Evaluate(params);
  ParameterSet other = params;
  other.FieldCapacity = 0.25;
  std::vector<std::future<std::vector<BasinYear>>> runs;
  for (int i = 0; i < 4; ++i)
    runs.push_back(std::async(std::launch::async, [&, i] { return evaluator.Evaluate(i % 2 ? other : params); }));
  for (int i = 0; i < 4; ++i) {
    const std::vector<BasinYear> got = runs[static_cast<std::size_t>(i)].get();
    if (i % 2) {
      EXPECT_NE(got[1].simFlow, alone[1].simFlow);  // the parameter matters
      continue;
    }
    ASSERT_EQ(got.size(), alone.size());
    for (std::size_t y = 0; y < got.size(); ++y) {
      EXPECT_EQ(got[y].simFlow, alone[y].simFlow);
      EXPECT_EQ(got[y].simSediment, alone[y].simSediment);
    }
  }
}

// A calibration that searches the reaches' routing carries it in the parameter set: the
// evaluation routes as a workspace whose sub-basin list held those values.
TEST(Evaluator, RoutingCarriedByTheParameterSetIsTheSubBasinLists) {
  const auto evaluate = [](double K, double x, const std::vector<double>* routing) {
    test::TempDir dir;
    test::TinyWorkspace w = test::SmallBasins(2, 2, 3, 2);
    w.subBasins[1].K = K;
    w.subBasins[1].x = x;
    test::WriteTinyWorkspace(dir.Path().string(), w);
    Session session(dir.Path().string());
    StartUpWorkspace(session);
    ParameterSet params;
    LoadParameters(session.ws.Resolve(session.state.ParamFilePath), "p", params);
    if (routing) {
      params.RoutingK = session.state.SubBasinK;
      params.RoutingX = session.state.SubBasinX;
      params.RoutingK[2] = (*routing)[0];
      params.RoutingX[2] = (*routing)[1];
    }
    return BasinEvaluator(session, 2).Evaluate(params)[1].simFlow;
  };
  const std::vector<double> listed = evaluate(48, 0.1, nullptr);
  const std::vector<double> searched{48, 0.1};
  EXPECT_EQ(evaluate(30, 0.4, &searched), listed);
  EXPECT_NE(evaluate(30, 0.4, nullptr), listed);
}

}  // namespace
}  // namespace tarnwell
