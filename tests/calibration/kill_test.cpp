// A calibrating process killed with SIGKILL in the middle, then resumed, ends with the
// trace of an uninterrupted calibration (all but the seconds column).
#include <gtest/gtest.h>

#include "ProbeSupport.h"

namespace tarnwell {
namespace {

TEST(Resume, AKilledCalibrationResumesToTheUninterruptedResult) {
  test::TempDir dir;
  auto with = [](std::vector<std::string> more) {
    more.insert(more.begin(), {"--evaluations", "60", "--workers", "2", "--batch", "3"});
    return more;
  };
  const std::string whole = dir / "whole.csv", killed = dir / "killed.csv";
  const test::ProbeExit full = test::RunProbe(with({"--trace", whole}), dir / "whole.log");
  ASSERT_TRUE(full.exited && full.status == 0) << full.log;
  const std::vector<std::string> expected = test::TraceWithoutSeconds(whole);
  ASSERT_EQ(expected.size(), 61u);

  // Ten milliseconds per evaluation: killed with a batch in flight, about a third through.
  const test::ProbeExit kill =
      test::RunProbe(with({"--trace", killed, "--sleep-ms", "10"}), dir / "killed.log", killed, 21);
  EXPECT_FALSE(kill.exited);
  const std::vector<std::string> left = test::TraceWithoutSeconds(killed);
  ASSERT_GE(left.size(), 21u);
  ASSERT_LT(left.size(), 61u);
  EXPECT_EQ(left, std::vector<std::string>(expected.begin(), expected.begin() + static_cast<long>(left.size())));

  const test::ProbeExit resumed = test::RunProbe(with({"--trace", killed, "--resume"}), dir / "resumed.log");
  ASSERT_TRUE(resumed.exited && resumed.status == 0) << resumed.log;
  EXPECT_EQ(test::TraceWithoutSeconds(killed), expected);
  EXPECT_EQ(resumed.log, full.log);  // "best <evaluation> <loss>"
}

}  // namespace
}  // namespace tarnwell
