// `tarnwell calibrate` on a small generated workspace: a resume after a kill ends as an
// uninterrupted calibration; the year boundary belongs to the trace.
#include <gtest/gtest.h>

#include "ProbeSupport.h"
#include "TinyWorkspace.h"

namespace tarnwell {
namespace {

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
    b.name = k == 0 ? "甲" : "乙", b.K = 12, b.x = 0.2, b.rows = b.cols = 4;
    b.elevation = [k](int r, int c) { return 400.0 + 12 * r + 5 * c + 3 * k; };
    b.landUse = [](int r, int c) { return (r + c) % 3 == 0 ? 31.0 : 21.0; };
    b.years.clear();
    for (int y = 0; y < 3; ++y) {
      b.years.push_back({.year = 2000 + y,
                         .precip = [y, k](int d) { return (d * 7 + y + k) % 9 == 0 ? 30.0 : ((d + y) % 4 == 0) * 4.0; },
                         .temp = [](int d) { return -3.0 + 24.0 * (d < 200 ? d : 400 - d) / 200.0; }});
    }
    w.subBasins.push_back(b);
  }
  return w;
}

// `tarnwell calibrate --workspace root` with args, its output in dir/log.
test::ProbeExit Calibrate(const test::TempDir& dir, const std::string& root, std::vector<std::string> args,
                          const std::string& log, long killAtLines = 0) {
  args.insert(args.begin(), {TARNWELL_CLI, "calibrate", "--workspace", root});
  return test::RunProcess(std::move(args), dir / log, root + "/Output/calibration/trace.csv", killAtLines);
}

// Workspaces of Basin() under dir with the default calibration file.
void Workspaces(const test::TempDir& dir, std::initializer_list<std::string> roots) {
  for (const std::string& root : roots) {
    test::WriteTinyWorkspace(root, Basin());
    ASSERT_EQ(Calibrate(dir, root, {"--init"}, "init.log").status, 0);
  }
}

// The trace's parameter values and losses, without the seconds of each evaluation.
std::vector<std::string> Trace(const std::string& root) {
  return test::TraceWithoutSeconds(root + "/Output/calibration/trace.csv");
}

TEST(Calibrate, AResumeAfterAKillEndsAsAnUninterruptedCalibration) {
  test::TempDir dir;
  const std::string whole = dir / "whole", broken = dir / "broken";
  Workspaces(dir, {whole, broken});
  const std::vector<std::string> args = {"--evaluations", "40", "--workers", "2", "--algorithm", "sce"};
  ASSERT_EQ(Calibrate(dir, whole, args, "whole.log").status, 0);
  const test::ProbeExit killed = Calibrate(dir, broken, args, "killed.log", 15);
  EXPECT_FALSE(killed.exited) << killed.log;
  const std::size_t recorded = Trace(broken).size();
  EXPECT_GE(recorded, 15u);
  EXPECT_LT(recorded, 41u);
  // Without --resume the trace of the killed run is kept, not overwritten.
  const test::ProbeExit again = Calibrate(dir, broken, args, "again.log");
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.log.find("trace.csv"), std::string::npos) << again.log;
  std::vector<std::string> resume = args;
  resume.push_back("--resume");
  const test::ProbeExit resumed = Calibrate(dir, broken, resume, "resumed.log");
  ASSERT_EQ(resumed.status, 0) << resumed.log;
  EXPECT_EQ(Trace(broken), Trace(whole));
  EXPECT_EQ(test::ReadBytes(broken + "/Output/calibration/best-parameters.txt"),
            test::ReadBytes(whole + "/Output/calibration/best-parameters.txt"));
}

// The year boundary reaches every evaluation, and a trace resumes only with the one it was
// made with.
TEST(Calibrate, TheYearBoundaryIsPartOfTheTrace) {
  test::TempDir dir;
  const std::string mean = dir / "mean", cells = dir / "cells";
  Workspaces(dir, {mean, cells});
  auto calibrate = [&](const std::string& root, std::vector<std::string> more) {
    more.insert(more.begin(), {"--evaluations", "6", "--workers", "1"});
    return Calibrate(dir, root, more, "calibrate.log");
  };
  ASSERT_EQ(calibrate(mean, {}).status, 0);
  ASSERT_EQ(calibrate(cells, {"--carry-over", "cells"}).status, 0);
  EXPECT_NE(Trace(mean), Trace(cells));
  const test::ProbeExit other = calibrate(cells, {"--resume"});
  EXPECT_EQ(other.status, 1);
  EXPECT_NE(other.log.find("carry_over cells"), std::string::npos) << other.log;
  EXPECT_EQ(calibrate(cells, {"--resume", "--carry-over", "cells"}).status, 0);
}

}  // namespace
}  // namespace tarnwell
