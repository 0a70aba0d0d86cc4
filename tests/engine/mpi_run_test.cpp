// `mpirun -np 2 tarnwell run`: the sub-basins spread over two ranks give every output file
// byte for byte that of a run in one process (short years and next-year steps included),
// and the same summary; a rank whose sub-basin fails ends the run with its message, and the
// files already written stay whole.
#include <gtest/gtest.h>

#include <sstream>

#include "engine/WholeRuns.h"

namespace tarnwell {
namespace {

test::TinyWorkspace FourSubBasins() {
  test::TinyWorkspace w = test::UnlikeSubBasins(4, 3);
  for (test::TinySubBasin& b : w.subBasins) b.years[2].months = 10;
  return w;
}

TEST(MpiRun, TwoRanksWriteEveryFileAsOneProcess) {
  test::TempDir dir;
  const std::string one = dir / "one", two = dir / "two";
  test::WriteTinyWorkspace(one, FourSubBasins());
  test::WriteTinyWorkspace(two, FourSubBasins());
  const test::CliResult alone = test::Tarnwell(dir, {"run", "--workspace", one, "--threads", "1"});
  ASSERT_EQ(alone.status, 0) << alone.err;
  const test::CliResult ranks = test::Tarnwell(dir, {"run", "--workspace", two, "--threads", "1"}, 2);
  ASSERT_TRUE(ranks.exited && ranks.status == 0) << ranks.out;
  const test::Files expected = test::OutputFiles(one);
  ASSERT_EQ(expected.size(), 5u * 5 + 1);
  test::ExpectSameFiles(expected, test::OutputFiles(two));
  // The summary of rank 0 lists every sub-basin, as one process does. mpirun forwards the
  // ranks' standard output and error into one log, where a progress line may fall between two
  // summary lines: each summary line must stand there whole.
  std::istringstream summary(alone.out);
  for (std::string line; std::getline(summary, line);)
    EXPECT_NE(ranks.out.find(line + "\n"), std::string::npos) << line << "\n" << ranks.out;
}

TEST(MpiRun, ARankWhoseSubBasinFailsEndsTheRunWithItsMessage) {
  test::TempDir dir;
  const std::string root = dir / "ws";
  test::WriteTinyWorkspace(root, FourSubBasins());
  // Sub-basin 2 belongs to rank 1, and its output directory cannot be made: a plain file
  // stands there. The check of the inputs passes; rank 1 fails in the year.
  test::WriteBytes(root + "/Output/流域2", "not a directory\r\n");
  const test::CliResult ranks = test::Tarnwell(dir, {"run", "--workspace", root, "--threads", "1"}, 2);
  EXPECT_TRUE(ranks.exited);
  EXPECT_EQ(ranks.status, 1) << ranks.out;
  EXPECT_NE(ranks.out.find("tarnwell: rank 1: Output/流域2: cannot create the directory"), std::string::npos)
      << ranks.out;
  EXPECT_TRUE(test::OutputFilesWhole(root + "/Output"));
  // Rank 0's sub-basins wrote their year; the whole basin's year was not formed.
  EXPECT_EQ(test::FileLines(root + "/Output/流域1/Daily.out").size(), 2u + 366u);
  EXPECT_FALSE(std::filesystem::exists(root + "/Output/全流域/Daily.out"));
}

}  // namespace
}  // namespace tarnwell
