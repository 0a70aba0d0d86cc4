// `tarnwell calibrate` on small generated workspaces: a twin experiment (the observed
// discharge made by the model with known parameters, recovered from the default file's
// ranges), the same trace for 1, 2 and 3 workers and for 2 MPI ranks, a resume after a kill
// that ends as an uninterrupted calibration, and what it writes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "ProbeSupport.h"
#include "TinyWorkspace.h"
#include "inputs/TextFile.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;

// Two sub-basins of 4 x 4 cells over 2000-2002: warm-up 2000, calibration 2001,
// validation 2002 in the default calibration file.
test::TinyWorkspace Basin() {
  test::TinyWorkspace w;
  w.simYears = 3;
  // An outlet discharge that varies: a constant one leaves every fit undefined.
  w.outletFlow = [](int d) { return 0.5 + (d % 9) * 0.25; };
  w.subBasins.clear();
  for (int k = 0; k < 2; ++k) {
    test::TinySubBasin b;
    b.name = k == 0 ? "甲" : "乙";
    b.K = 12;
    b.x = 0.2;
    b.rows = b.cols = 4;
    b.elevation = [k](int r, int c) { return 400.0 + 12 * r + 5 * c + 3 * k; };
    b.landUse = [](int r, int c) { return (r + c) % 3 == 0 ? 31.0 : 21.0; };
    b.years.clear();
    for (int y = 0; y < 3; ++y) {
      test::TinyYear t;
      t.year = 2000 + y;
      t.precip = [y, k](int d) { return (d * 7 + y + k) % 9 == 0 ? 30.0 : ((d + y) % 4 == 0 ? 4.0 : 0.0); };
      t.temp = [](int d) { return -3.0 + 24.0 * (d < 200 ? d : 400 - d) / 200.0; };
      b.years.push_back(t);
    }
    w.subBasins.push_back(b);
  }
  return w;
}

test::ProbeExit Tarnwell(const test::TempDir& dir, std::vector<std::string> args, const std::string& log,
                         const std::string& trace = "", long killAtLines = 0) {
  args.insert(args.begin(), TARNWELL_CLI);
  return test::RunProcess(std::move(args), dir / log, trace, killAtLines);
}

// The whole-basin discharge of a finished run, as RiverDaily.in holds observations.
std::string OutletSeriesOf(const std::string& root) {
  std::string river;
  int year = 0;
  for (const std::string& line : [&] {
         std::vector<std::string> lines;
         TextReader r(root + "/Output/全流域/Daily.out", "Daily.out");
         while (!r.AtEnd()) lines.push_back(r.ReadLine());
         return lines;
       }()) {
    const std::vector<std::string> t = SplitFields(line);
    if (t.size() == 1) {
      year = std::stoi(t[0]);
      river += "outlet " + std::to_string(year) + "\n";
    } else if (t.size() == 15 && t[0].size() == 10) {
      river += t[0] + " " + t[11] + " 0\n";
    }
  }
  return river;
}

// The trace's parameter values and losses, without the seconds of each evaluation.
std::vector<std::string> Trace(const std::string& root) {
  return test::TraceWithoutSeconds(root + "/Output/calibration/trace.csv");
}

TEST(Calibrate, TwinExperimentRecoversTheDischargeOfKnownParameters) {
  test::TempDir dir;
  // The truth: a parameter file unlike the default's, within the default file's ranges.
  test::TinyWorkspace truth = Basin();
  truth.parameterLines = {{"蒸发折算系数", "蒸发折算系数 1.25"},
                          {"土壤蓄水Wm分布曲线指数", "土壤蓄水Wm分布曲线指数 0.55"},
                          {"自由水出流系数", "自由水出流系数 0.5 0.3 0.03"},
                          {"壤中流调蓄系数", "壤中流调蓄系数 0.65"},
                          {"地下水调蓄系数", "地下水调蓄系数 0.97"}};
  const std::string truthRoot = dir / "truth", twinRoot = dir / "twin";
  test::WriteTinyWorkspace(truthRoot, truth);
  ASSERT_EQ(Tarnwell(dir, {"run", "--workspace", truthRoot}, "truth.log").status, 0);
  test::WriteTinyWorkspace(twinRoot, Basin());
  test::WriteGbkLines(twinRoot + "/input/RiverDaily.in", OutletSeriesOf(truthRoot));

  ASSERT_EQ(Tarnwell(dir, {"calibrate", "--workspace", twinRoot, "--init"}, "init.log").status, 0);
  const test::ProbeExit c =
      Tarnwell(dir, {"calibrate", "--workspace", twinRoot, "--evaluations", "3000", "--workers", "2"}, "twin.log");
  ASSERT_TRUE(c.exited && c.status == 0) << c.log;
  // The summary's row of the calibration year, KGE after.
  const std::size_t at = c.log.find("2001       calibration");
  ASSERT_NE(at, std::string::npos) << c.log;
  const std::vector<std::string> row = SplitFields(c.log.substr(at, c.log.find('\n', at) - at));
  const double kgeAfter = std::stod(row.at(3));
  std::printf("  twin: KGE %s before, %.4f after\n", row.at(2).c_str(), kgeAfter);
  EXPECT_GE(kgeAfter, 0.99) << c.log;
  // What the calibration leaves: the trace, the best set as a parameter file the model loads,
  // the charts, the summary, and the files of a normal run with the best set, in its own
  // directory: the workspace's results are those of its parameter files (here: none).
  for (const char* file : {"trace.csv", "best-parameters.txt", "convergence.svg", "summary.txt",
                           "dotty-WmCurveExponent.svg"})
    EXPECT_TRUE(fs::exists(twinRoot + "/Output/calibration/" + file)) << file;
  EXPECT_EQ(Trace(twinRoot).size(), 3001u);
  EXPECT_TRUE(fs::exists(twinRoot + "/Output/calibration/全流域/Daily.out"));
  EXPECT_TRUE(fs::exists(twinRoot + "/Output/calibration/流域1/Daily.out"));
  EXPECT_FALSE(fs::exists(twinRoot + "/Output/全流域"));
}

TEST(Calibrate, TheSameTraceForAnyNumberOfWorkersAndRanks) {
  test::TempDir dir;
  std::vector<std::string> expected;
  for (const char* workers : {"1", "2", "3"}) {
    SCOPED_TRACE(workers);
    const std::string root = dir / (std::string("w") + workers);
    test::WriteTinyWorkspace(root, Basin());
    ASSERT_EQ(Tarnwell(dir, {"calibrate", "--workspace", root, "--init"}, "init.log").status, 0);
    const test::ProbeExit c = Tarnwell(
        dir, {"calibrate", "--workspace", root, "--evaluations", "20", "--workers", workers}, "w.log");
    ASSERT_EQ(c.status, 0) << c.log;
    if (expected.empty()) expected = Trace(root);
    EXPECT_EQ(Trace(root), expected);
  }
  ASSERT_EQ(expected.size(), 21u);
#ifdef TARNWELL_MPIRUN
  const std::string root = dir / "ranks";
  test::WriteTinyWorkspace(root, Basin());
  ASSERT_EQ(Tarnwell(dir, {"calibrate", "--workspace", root, "--init"}, "init.log").status, 0);
  const char* asan = std::getenv("ASAN_OPTIONS");
  const test::ProbeExit ranks = test::RunProcess(
      {TARNWELL_MPIRUN, "--oversubscribe", "--mca", "orte_tmpdir_base", dir.Path().string(), "-np", "2",
       TARNWELL_CLI, "calibrate", "--workspace", root, "--evaluations", "20", "--workers", "1"},
      dir / "ranks.log", "", 0, 300,
      {{"OMPI_ALLOW_RUN_AS_ROOT", "1"},
       {"OMPI_ALLOW_RUN_AS_ROOT_CONFIRM", "1"},
       {"ASAN_OPTIONS", std::string(asan ? asan : "") + ":detect_leaks=0"}});
  ASSERT_TRUE(ranks.exited && ranks.status == 0) << ranks.log;
  EXPECT_EQ(Trace(root), expected);
#endif
}

TEST(Calibrate, AResumeAfterAKillEndsAsAnUninterruptedCalibration) {
  test::TempDir dir;
  const std::string whole = dir / "whole", broken = dir / "broken";
  for (const std::string& root : {whole, broken}) {
    test::WriteTinyWorkspace(root, Basin());
    ASSERT_EQ(Tarnwell(dir, {"calibrate", "--workspace", root, "--init"}, "init.log").status, 0);
  }
  const std::vector<std::string> args = {"--evaluations", "40", "--workers", "2", "--algorithm", "sce"};
  auto with = [&](const std::string& root, std::vector<std::string> more) {
    std::vector<std::string> a = {"calibrate", "--workspace", root};
    a.insert(a.end(), args.begin(), args.end());
    a.insert(a.end(), more.begin(), more.end());
    return a;
  };
  ASSERT_EQ(Tarnwell(dir, with(whole, {}), "whole.log").status, 0);
  const test::ProbeExit killed =
      Tarnwell(dir, with(broken, {}), "killed.log", broken + "/Output/calibration/trace.csv", 15);
  EXPECT_FALSE(killed.exited) << killed.log;
  const std::size_t recorded = Trace(broken).size();
  EXPECT_GE(recorded, 15u);
  EXPECT_LT(recorded, 41u);
  // Without --resume the trace of the killed run is kept, not overwritten.
  const test::ProbeExit again = Tarnwell(dir, with(broken, {}), "again.log");
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.log.find("trace.csv"), std::string::npos) << again.log;
  const test::ProbeExit resumed = Tarnwell(dir, with(broken, {"--resume"}), "resumed.log");
  ASSERT_EQ(resumed.status, 0) << resumed.log;
  EXPECT_EQ(Trace(broken), Trace(whole));
  EXPECT_EQ(test::ReadBytes(broken + "/Output/calibration/best-parameters.txt"),
            test::ReadBytes(whole + "/Output/calibration/best-parameters.txt"));
}

}  // namespace
}  // namespace tarnwell
