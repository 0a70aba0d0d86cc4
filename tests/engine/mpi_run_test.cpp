// `mpirun -np 2 tarnwell run`: the sub-basins spread over two ranks give every output file
// byte for byte that of a run in one process (short years and next-year steps included),
// and the same summary; a rank whose sub-basin fails ends the run with its message, and the
// files already written stay whole.
#include <gtest/gtest.h>

#include <sstream>

#include <cstdlib>
#include <filesystem>
#include <map>

#include "TinyWorkspace.h"
#include "calibration/ProbeSupport.h"
#include "hardening/HardeningSupport.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;

test::TinyWorkspace FourSubBasins() {
  test::TinyWorkspace w = test::SmallBasins(4, 3, 3, 3);
  for (int k = 0; k < 4; ++k) {
    test::TinySubBasin& b = w.subBasins[static_cast<std::size_t>(k)];
    b.rows = 2 + k;
    b.K = 8.0 * (k + 1);
    b.years[1].startDay = 30 + 7 * k;
    b.years[2].months = 10;
  }
  return w;
}

test::ProbeExit MpiRun(const test::TempDir& dir, const std::string& root, const std::string& log) {
  const char* asan = std::getenv("ASAN_OPTIONS");
  return test::RunProcess({TARNWELL_MPIRUN, "--oversubscribe", "--mca", "orte_tmpdir_base", dir.Path().string(), "-np",
                           "2", TARNWELL_CLI, "run", "--workspace", root, "--threads", "1"},
                          dir / log, "", 0, 300,
                          {{"OMPI_ALLOW_RUN_AS_ROOT", "1"},
                           {"OMPI_ALLOW_RUN_AS_ROOT_CONFIRM", "1"},
                           {"ASAN_OPTIONS", std::string(asan ? asan : "") + ":detect_leaks=0"}});
}

TEST(MpiRun, TwoRanksWriteEveryFileAsOneProcess) {
  test::TempDir dir;
  const std::string one = dir / "one", two = dir / "two";
  test::WriteTinyWorkspace(one, FourSubBasins());
  test::WriteTinyWorkspace(two, FourSubBasins());
  const test::CliResult alone = test::RunCli({"run", "--workspace", one, "--threads", "1"}, dir.Path().string());
  ASSERT_EQ(alone.status, 0) << alone.err;
  const test::ProbeExit ranks = MpiRun(dir, two, "two.log");
  ASSERT_TRUE(ranks.exited && ranks.status == 0) << ranks.log;
  const auto expected = test::OutputFiles(one), got = test::OutputFiles(two);
  ASSERT_EQ(expected.size(), 5u * 5 + 1);
  ASSERT_EQ(got.size(), expected.size());
  for (const auto& [name, bytes] : expected) EXPECT_TRUE(test::SameBytes(bytes, got.at(name))) << name;
  // The summary of rank 0 lists every sub-basin, as one process does. mpirun forwards the
  // ranks' standard output and error into one log, where a progress line may fall between two
  // summary lines: each summary line must stand there whole.
  std::istringstream summary(alone.out);
  for (std::string line; std::getline(summary, line);)
    EXPECT_NE(ranks.log.find(line + "\n"), std::string::npos) << line << "\n" << ranks.log;
}

TEST(MpiRun, ARankWhoseSubBasinFailsEndsTheRunWithItsMessage) {
  test::TempDir dir;
  const std::string root = dir / "ws";
  test::WriteTinyWorkspace(root, FourSubBasins());
  // Sub-basin 2 belongs to rank 1, and its output directory cannot be made: a plain file
  // stands there. The check of the inputs passes; rank 1 fails in the year.
  fs::create_directories(root + "/Output");
  test::WriteBytes(root + "/Output/流域2", "not a directory\r\n");
  const test::ProbeExit ranks = MpiRun(dir, root, "fail.log");
  EXPECT_TRUE(ranks.exited);
  EXPECT_EQ(ranks.status, 1) << ranks.log;
  EXPECT_NE(ranks.log.find("tarnwell: rank 1: Output/流域2: cannot create the directory"), std::string::npos)
      << ranks.log;
  EXPECT_TRUE(test::OutputFilesWhole(root + "/Output"));
  // Rank 0's sub-basins wrote their year; the whole basin's year was not formed.
  EXPECT_EQ(test::FileLines(root + "/Output/流域1/Daily.out").size(), 2u + 366u);
  EXPECT_FALSE(fs::exists(root + "/Output/全流域/Daily.out"));
}

}  // namespace
}  // namespace tarnwell
