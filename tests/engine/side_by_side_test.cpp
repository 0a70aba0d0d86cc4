// Sub-basins side by side: every output file byte for byte that of one sub-basin after the
// other, for 2 and 3 threads, on workspaces of 1, 3 and 5 sub-basins of unlike sizes over leap
// and common years, a late first day and a short year, through the next-year steps; a
// sub-basin that fails in the middle of a year side by side names itself and leaves the
// files of the others whole.
#include <gtest/gtest.h>

#include "engine/WholeRuns.h"
#include "model/Errors.h"

namespace tarnwell {
namespace {

test::TinyWorkspace Workspace(int subBasins) {
  test::TinyWorkspace w = test::UnlikeSubBasins(subBasins, 3);
  for (test::TinySubBasin& b : w.subBasins) b.years[2].months = 9;
  return w;
}

// Both year boundaries: each lane takes its sub-basin's year end, its cells' stores included.
// Keeping every cell changes the later years, and nothing of a first year.
TEST(SideBySide, EveryFileAsOneAfterTheOther) {
  std::map<CarryOver, test::Files> threeSubBasins;
  for (CarryOver carry : {CarryOver::Mean, CarryOver::Cells})
    for (int n : {1, 3, 5}) {
      SCOPED_TRACE(std::to_string(n) + " sub-basins, carry-over " + CarryOverName(carry));
      const test::TinyWorkspace w = Workspace(n);
      const test::Files sequential = test::RunYears(w, {.carry = carry}).files;
      ASSERT_EQ(sequential.size(), 5u * (n + 1) + 1);  // five files each, the whole basin, the marker
      if (n == 3) threeSubBasins[carry] = sequential;
      for (int threads : {2, 3}) {
        const test::WholeRun sideBySide = test::RunYears(w, {.carry = carry, .sideBySide = threads});
        EXPECT_EQ(sideBySide.laneEngines, n == 1 ? 0 : std::min(n, threads)) << threads;  // one lane: the driver's
        test::ExpectSameFiles(sequential, sideBySide.files);
      }
    }
  EXPECT_NE(threeSubBasins[CarryOver::Mean].at("Output/流域1/Daily.out"),
            threeSubBasins[CarryOver::Cells].at("Output/流域1/Daily.out"));
  test::TinyWorkspace oneYear = Workspace(2);
  oneYear.simYears = 1;
  EXPECT_EQ(test::RunYears(oneYear).files, test::RunYears(oneYear, {.carry = CarryOver::Cells}).files);
}

// Days the season file leaves out keep the growth index an earlier year gave them. Here
// (full growth from day 401 to 500) a leap year sets day 35, a common year leaves it: a run
// of 2003 after a run that ended on 2004 inherits it. The second run, side by side in
// fresh lanes, must start from the same growth index as one after the other.
TEST(SideBySide, ALaterRunInheritsTheGrowthIndexOfTheLastOne) {
  test::TinyWorkspace w = test::SmallBasins(2, 2, 2, 3);
  for (test::TinySubBasin& b : w.subBasins)
    for (std::size_t y = 0; y < b.years.size(); ++y) b.years[y].year = 2003 + static_cast<int>(y);
  w.season = "season\n400 400 500 500\n";
  const test::WholeRun sideBySide = test::RunYears(w, {.sideBySide = 2, .runs = 2});
  EXPECT_EQ(sideBySide.laneEngines, 2);
  test::ExpectSameFiles(test::RunYears(w, {.runs = 2}).files, sideBySide.files);
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
  lu.at(6) = "21 x 21";
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
