// `tarnwell calibrate` and `tarnwell sensitivity` on a small generated workspace: a resume
// after a kill ends as an uninterrupted calibration, the year boundary belongs to the trace,
// and Morris's table is the same for any number of workers.
#include <gtest/gtest.h>

#include "ProbeSupport.h"
#include "TinyWorkspace.h"

namespace tarnwell {
namespace {

// Two sub-basins of 4 x 4 cells over 2000-2002, the second routed: warm-up 2000, calibration
// 2001, validation 2002 in the default calibration file.
test::TinyWorkspace Basin() {
  test::TinyWorkspace w;
  w.simYears = 3;
  w.outletFlow = [](int d) { return 0.5 + (d % 9) * 0.25; };  // a constant one leaves every fit undefined
  test::TinySubBasin& b = w.subBasins[0];
  b.rows = b.cols = 4;
  b.elevation = [](int r, int c) { return 400.0 + 12 * r + 5 * c; };
  b.landUse = [](int r, int c) { return (r + c) % 3 == 0 ? 31.0 : 21.0; };
  b.years.clear();
  for (int y = 0; y < 3; ++y)
    b.years.push_back({.year = 2000 + y,
                       .precip = [y](int d) { return (d * 7 + y) % 9 == 0 ? 30.0 : ((d + y) % 4 == 0) * 4.0; },
                       .temp = [](int d) { return -3.0 + 24.0 * (d < 200 ? d : 400 - d) / 200.0; }});
  w.subBasins.push_back(b);
  w.subBasins[1].name = "乙", w.subBasins[1].K = 12, w.subBasins[1].x = 0.2;
  return w;
}

// `tarnwell <command> --workspace root` with args, its output in dir/log.
test::ProbeExit Cli(const test::TempDir& dir, const std::string& root, std::vector<std::string> args,
                    long killAtLines = 0, const char* command = "calibrate") {
  args.insert(args.begin(), {TARNWELL_CLI, command, "--workspace", root});
  return test::RunProcess(std::move(args), dir / "log", root + "/Output/calibration/trace.csv", killAtLines);
}

// The trace's parameter values and losses, without the seconds of each evaluation.
std::vector<std::string> Trace(const std::string& root) {
  return test::TraceWithoutSeconds(root + "/Output/calibration/trace.csv");
}

TEST(Calibrate, AResumeAfterAKillEndsAsAnUninterruptedCalibration) {
  test::TempDir dir;
  const std::string whole = dir / "whole", broken = dir / "broken", cells = dir / "cells";
  for (const std::string& root : {whole, broken, cells}) {
    test::WriteTinyWorkspace(root, Basin());
    ASSERT_EQ(Cli(dir, root, {"--init"}).status, 0);
  }
  std::vector<std::string> args = {"--evaluations", "30", "--workers", "2", "--algorithm", "sce"};
  ASSERT_EQ(Cli(dir, whole, args).status, 0);
  const test::ProbeExit killed = Cli(dir, broken, args, 12);
  EXPECT_FALSE(killed.exited) << killed.log;
  EXPECT_GE(Trace(broken).size(), 12u);
  EXPECT_LT(Trace(broken).size(), 31u);
  // Without --resume the trace of the killed run is kept, not overwritten; a resume with
  // another year boundary is refused, as its losses would follow from another model.
  std::vector<std::string> other = args;
  other.insert(other.end(), {"--resume", "--carry-over", "cells"});
  for (const auto& [refused, says] : {std::pair{args, "trace.csv"}, {other, "carry_over cells"}}) {
    const test::ProbeExit r = Cli(dir, broken, refused);
    EXPECT_TRUE(r.status == 1 && r.log.find(says) != std::string::npos) << r.log;
  }
  args.push_back("--resume");
  const test::ProbeExit resumed = Cli(dir, broken, args);
  ASSERT_EQ(resumed.status, 0) << resumed.log;
  EXPECT_EQ(Trace(broken), Trace(whole));
  EXPECT_EQ(test::ReadBytes(broken + "/Output/calibration/best-parameters.txt"),
            test::ReadBytes(whole + "/Output/calibration/best-parameters.txt"));
  // The year boundary reaches the evaluations: the same first point scores otherwise.
  Cli(dir, cells, {"--evaluations", "1", "--carry-over", "cells"}, 2);
  EXPECT_NE(Trace(cells).at(1), Trace(whole).at(1));
}

// A nested gauge's file in the outlet series' layout adds its sub-basin's term and columns;
// a fault in it is named by its file and line before any evaluation.
TEST(Calibrate, AGaugeInsideTheBasinIsScoredFromItsOwnFile) {
  test::TempDir dir;
  const std::string root = dir / "w";
  test::WriteTinyWorkspace(root, Basin());
  ASSERT_EQ(Cli(dir, root, {"--init"}).status, 0);
  std::string river = test::ReadBytes(root + "/input/RiverDaily.in");
  test::WriteBytes(root + "/input/nested.in", river);
  test::WriteBytes(root + "/Parameters/calibration.txt",
                   test::ReadBytes(root + "/Parameters/calibration.txt") + "gauge 2 0.5 input/nested.in\n");
  const test::ProbeExit scored = Cli(dir, root, {"--evaluations", "2"});
  ASSERT_EQ(scored.status, 0) << scored.log;
  EXPECT_NE(Trace(root).at(0).find("1-KGE+0.5*(1-KGE[2]) 2001,KGE,NSE,logNSE,PBIAS,KGE[2],NSE[2]"), std::string::npos)
      << Trace(root).at(0);
  const std::size_t third = river.find("\r\n", river.find("\r\n") + 2) + 2;
  river.replace(third, river.find(' ', third) - third, "2000-13-45");
  test::WriteBytes(root + "/input/nested.in", river.substr(0, third + 40));
  const test::ProbeExit refused = Cli(dir, root, {"--evaluations", "2"});
  EXPECT_EQ(refused.status, 1) << refused.log;
  EXPECT_NE(refused.log.find("input/nested.in line"), std::string::npos) << refused.log;
}

TEST(Sensitivity, MorrisWritesItsTableTheSameForAnyNumberOfWorkers) {
  test::TempDir dir;
  std::string csv[2];
  for (const char* workers : {"1", "2"}) {
    const std::string root = dir / workers;
    test::WriteTinyWorkspace(root, Basin());
    test::WriteBytes(root + "/Parameters/calibration.txt",
                     "warmup 2000\ncalibration 2001\nFieldCapacity 0.2 0.38\nSnowMeltRate 1.5 6\n"
                     "GroundwaterRecessionCoef 0.9 0.99\n");
    const test::ProbeExit r = Cli(dir, root, {"--method", "morris", "--trajectories", "3", "--workers", workers}, 0,
                                  "sensitivity");
    ASSERT_EQ(r.status, 0) << r.log;
    EXPECT_NE(r.log.find("Elementary effects on 1-KGE 2001"), std::string::npos) << r.log;
    csv[workers[0] - '1'] = test::ReadBytes(root + "/Output/sensitivity/morris.csv");
  }
  EXPECT_EQ(csv[0], csv[1]);
  EXPECT_EQ(csv[0].substr(0, csv[0].find('\n')), "output,parameter,mu_star,mu_star_low,mu_star_high,mu,sigma,effects");
  EXPECT_NE(csv[0].find("\nlogNSE,SnowMeltRate,"), std::string::npos);
}

}  // namespace
}  // namespace tarnwell
