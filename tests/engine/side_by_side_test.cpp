// Sub-basins side by side: every output file byte for byte that of one sub-basin after the
// other, for 2 and 3 threads, on workspaces of 1 to 5 sub-basins of unlike sizes over leap
// and common years, a late first day and a short year, through the next-year steps; a
// sub-basin that fails in the middle of a year side by side names itself and leaves the
// files of the others whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "TestSupport.h"
#include "TinyWorkspace.h"
#include "app/DayEngine.h"
#include "app/Driver.h"
#include "app/Progress.h"
#include "app/Session.h"
#include "app/Startup.h"
#include "hardening/HardeningSupport.h"
#include "model/Errors.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;

test::TinyWorkspace Workspace(int subBasins) {
  test::TinyWorkspace w = test::SmallBasins(subBasins, 3, 2, 2);
  for (int k = 0; k < subBasins; ++k) {
    test::TinySubBasin& b = w.subBasins[static_cast<std::size_t>(k)];
    b.rows = 3 + 2 * k;  // unlike sizes: the largest goes first
    b.cols = 4 + k % 2;
    b.K = 6.0 * (k + 1);
    b.years[1].startDay = 40 + 10 * k;
    b.years[2].months = 9;
  }
  return w;
}

std::map<std::string, std::string> Files(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root / "Output"))
    if (e.is_regular_file()) files[fs::relative(e.path(), root).string()] = test::ReadBytes(e.path().string());
  return files;
}

// Runs every year; threads 0: one sub-basin after the other on one thread.
std::map<std::string, std::string> RunAll(const test::TinyWorkspace& w, int threads, int* lanes = nullptr,
                                          CarryOver carryOver = CarryOver::Mean) {
  test::TempDir dir;
  test::WriteTinyWorkspace(dir.Path().string(), w);
  Session session(dir.Path().string());
  StartUpWorkspace(session);
  ProgressObserver quiet;
  std::unique_ptr<DayEngine> engine = MakeDayEngine("fused", 1);
  Driver driver(session, quiet, *engine);
  driver.SetCarryOver(carryOver);
  if (threads > 0)
    driver.RunSideBySide(
        threads, [](int t) { return MakeDayEngine("fused", t); }, true);
  driver.Run();
  while (driver.NextYear() == Driver::StepResult::Simulated) {
  }
  if (lanes) *lanes = driver.LastLanes();
  return Files(dir.Path());
}

// Both year boundaries: each lane takes its sub-basin's year end, its cells' stores included.
TEST(SideBySide, EveryFileAsOneAfterTheOther) {
  for (CarryOver carry : {CarryOver::Mean, CarryOver::Cells}) {
    for (int n = 1; n <= 5; ++n) {
      SCOPED_TRACE(std::to_string(n) + " sub-basins, carry-over " + CarryOverName(carry));
      const test::TinyWorkspace w = Workspace(n);
      const auto sequential = RunAll(w, 0, nullptr, carry);
      ASSERT_EQ(sequential.size(), 5u * (n + 1) + 1);  // five files each, the whole basin, the marker
      for (int threads : {2, 3}) {
        SCOPED_TRACE(std::to_string(threads) + " threads");
        int lanes = 0;
        const auto sideBySide = RunAll(w, threads, &lanes, carry);
        EXPECT_EQ(lanes, std::min(n, threads));
        ASSERT_EQ(sideBySide.size(), sequential.size());
        for (const auto& [name, bytes] : sequential) EXPECT_TRUE(test::SameBytes(bytes, sideBySide.at(name))) << name;
      }
    }
  }
}

// Keeping every cell changes nothing of a first year, and the later years it must change.
TEST(SideBySide, CarryOverCellsKeepsTheFirstYearAndChangesTheLater) {
  test::TinyWorkspace w = Workspace(2);
  const auto mean = RunAll(w, 0), cells = RunAll(w, 0, nullptr, CarryOver::Cells);
  EXPECT_NE(mean.at("Output/流域1/Daily.out"), cells.at("Output/流域1/Daily.out"));
  w.simYears = 1;
  EXPECT_EQ(RunAll(w, 0), RunAll(w, 0, nullptr, CarryOver::Cells));
}

// Days the season file leaves out keep the growth index an earlier year gave them. Here
// (full growth from day 401 to 500) a leap year sets day 35, a common year leaves it: a run
// of 2003 after a run that ended on 2004 inherits it. The second run, side by side in
// fresh lanes, must start from the same growth index as one after the other.
TEST(SideBySide, ALaterRunInheritsTheGrowthIndexOfTheLastOne) {
  test::TinyWorkspace w = test::SmallBasins(2, 2, 2, 3);
  for (test::TinySubBasin& b : w.subBasins)
    for (std::size_t y = 0; y < b.years.size(); ++y) b.years[y].year = 2003 + static_cast<int>(y);
  auto twoRuns = [&](bool thenSideBySide) {
    test::TempDir dir;
    test::WriteTinyWorkspace(dir.Path().string(), w);
    test::WriteGbkLines(dir / "Parameters/season.txt", "season\n400 400 500 500\n");
    Session session(dir.Path().string());
    StartUpWorkspace(session);
    ProgressObserver quiet;
    std::unique_ptr<DayEngine> engine = MakeDayEngine("fused", 1);
    Driver driver(session, quiet, *engine);
    for (int run = 0; run < 2; ++run) {
      if (run == 1 && thenSideBySide)
        driver.RunSideBySide(
            2, [](int t) { return MakeDayEngine("fused", t); }, true);
      driver.Run();
      while (driver.NextYear() == Driver::StepResult::Simulated) {
      }
    }
    EXPECT_EQ(driver.LastLanes(), thenSideBySide ? 2 : 1);
    return Files(dir.Path());
  };
  const auto sequential = twoRuns(false);
  const auto sideBySide = twoRuns(true);
  ASSERT_EQ(sideBySide.size(), sequential.size());
  for (const auto& [name, bytes] : sequential) EXPECT_TRUE(test::SameBytes(bytes, sideBySide.at(name))) << name;
}

TEST(SideBySide, AFailingSubBasinNamesItselfAndTheOthersStayWhole) {
  test::TempDir dir;
  test::WriteTinyWorkspace(dir.Path().string(), Workspace(5));
  Session session(dir.Path().string());
  StartUpWorkspace(session);
  ProgressObserver quiet;
  std::unique_ptr<DayEngine> engine = MakeDayEngine("fused", 1);
  Driver driver(session, quiet, *engine);
  driver.RunSideBySide(
      2, [](int t) { return MakeDayEngine("fused", t); }, true);
  driver.Run();
  const std::string basin = test::ReadBytes(dir / "Output/全流域/Daily.out");
  // The third sub-basin's land-use grid damaged between two years.
  std::vector<std::string> lu = test::FileLines(dir / "input/丙/lu.grd");
  lu.at(6) = "21 x 21 21";
  std::string text;
  for (const std::string& l : lu) text += l + "\n";
  test::WriteGbkLines(dir / "input/丙/lu.grd", text);
  try {
    driver.NextYear();
    FAIL() << "the damaged grid was read";
  } catch (const ConversionError& e) {
    EXPECT_EQ(e.File(), "input/丙/lu.grd") << e.what();
  }
  EXPECT_TRUE(test::OutputFilesWhole(dir / "Output"));
  EXPECT_EQ(test::ReadBytes(dir / "Output/全流域/Daily.out"), basin);  // no whole-basin year 2
}

}  // namespace
}  // namespace tarnwell
