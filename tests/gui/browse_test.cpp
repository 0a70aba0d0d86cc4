// Stored results from the window, on a tiny workspace of two sub-basins and three years:
// the tables and charts year by year, browsing, and what a run changes in it.
#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "gui/ChartImage.h"
#include "inputs/TextFile.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;
using test::Child;

TEST(BrowseFromWindow, YearsAddThirteenRowsAndTheWholeBasinShowsItsOwnFiles) {
  test::TempDir dir;
  test::Window w(test::Tiny(dir, test::TwoBasinsThreeYears()));
  w.Click("Button3");
  ASSERT_TRUE(w.Quiet());
  EXPECT_EQ(w.Rows(), 14);
  EXPECT_EQ(w.Cell(0, 2), "实测平均流量");
  EXPECT_EQ(w.Cell(13, 0), "1990全年");
  EXPECT_EQ(Child<QTableWidget>(&w.form1, "StringGrid2")->columnCount(), 10);
  EXPECT_TRUE(Child<gui::ImageControl>(&w.form1, "Image1")->HasPicture());
  w.Click("Button7");
  w.Click("Button7");
  EXPECT_EQ(w.Rows(), 40);
  EXPECT_EQ(w.Cell(39, 0), "1992全年");
  w.Click("Button7");
  EXPECT_EQ(w.sink.notices, std::vector<std::string>{"have finished the simulation!"});
  EXPECT_EQ(w.session.state.YearIndex, 3);

  // "模拟结果图": year 1 of sub-basin 1, then one year per "下一年".
  w.Click("Button5");
  ASSERT_TRUE(w.Quiet());
  EXPECT_EQ(w.session.state.BrowseMode, 1);
  EXPECT_EQ(w.Rows(), 14);
  w.Click("Button7");
  EXPECT_EQ(w.Rows(), 27);
  EXPECT_EQ(w.Cell(26, 0), "1991全年");
  w.Click("Button7");
  w.Click("Button7");
  EXPECT_EQ(w.sink.notices.back(), "This is the last year!");
  EXPECT_EQ(w.session.state.YearIndex, 3);
  EXPECT_EQ(w.Rows(), 40);

  // The whole-basin entry shows the files of "全流域".
  w.DoubleClick(2);
  ASSERT_TRUE(w.Quiet());
  EXPECT_EQ(w.session.state.SelectedSubBasin, 3);
  TextReader budget(dir / "Output/全流域/Budget.out", "Budget.out");
  budget.SkipLines(5);
  EXPECT_EQ(w.Cell(1, 3).toStdString(), budget.ReadFields().Token(3));

  // A sub-basin without results: the error is shown and the tables keep what they showed.
  fs::remove_all(dir / "Output/流域2");
  const QString before = w.Cell(1, 3);
  w.DoubleClick(1);
  ASSERT_EQ(w.errors().size(), 1u);
  EXPECT_NE(w.errors()[0].find("流域2"), std::string::npos) << w.errors()[0];
  EXPECT_EQ(w.Cell(1, 3), before);
  EXPECT_EQ(w.Rows(), 40);
}

TEST(BrowseFromWindow, ARunEndsBrowsingSoNextYearSimulatesAgain) {
  test::TempDir dir;
  {
    test::Window w(test::Tiny(dir, test::TwoBasinsThreeYears()));
    w.Click("Button3");
    w.Click("Button5");  // browsing: the one stored year
    ASSERT_TRUE(w.Quiet());
    EXPECT_EQ(w.session.params.SimYears, 1);
    w.Click("Button3");
    EXPECT_EQ(w.session.state.BrowseMode, 0);
    EXPECT_EQ(w.session.params.SimYears, 3);  // the parameter file's years again
    w.Click("Button7");
    EXPECT_TRUE(w.sink.notices.empty()) << w.sink.notices[0];
    ASSERT_TRUE(w.Quiet());
    EXPECT_EQ(w.session.state.YearIndex, 2);
    EXPECT_EQ(w.Cell(26, 0), "1991全年");
  }
  // A later program run: browsing the results stored before, then a run and "下一年".
  test::Window later(dir);
  for (const char* button : {"Button5", "Button7", "Button3", "Button7"}) later.Click(button);
  ASSERT_TRUE(later.Quiet());
  EXPECT_TRUE(later.sink.notices.empty()) << later.sink.notices[0];
  EXPECT_EQ(later.session.state.YearIndex, 2);
  EXPECT_EQ(later.Cell(26, 0), "1991全年");
}

TEST(BrowseFromWindow, AWorkspaceWithoutResultsSaysARunMakesThem) {
  const std::string message = "No stored results yet: a run (模拟计算) makes them.";
  test::TempDir dir;
  test::Window w(test::Tiny(dir, test::TwoBasinsThreeYears()));  // start-up leaves an empty Mark.out
  w.Click("Button5");
  ASSERT_EQ(w.errors(), std::vector<std::string>{message});
  EXPECT_EQ(w.session.state.BrowseMode, 0);
  // A marker that says 0, or none at all, is the same.
  test::WriteGbkLines(dir / "Output/Mark.out", " 0\n");
  w.Click("Button5");
  fs::remove(dir / "Output/Mark.out");
  w.Click("Button5");
  EXPECT_EQ(w.errors(), std::vector<std::string>(3, message));
  // "下一年" then has nothing to browse nor to continue from.
  w.Click("Button7");
  EXPECT_EQ(w.errors().size(), 3u);
  EXPECT_TRUE(w.sink.notices.empty());
}

TEST(BrowseFromWindow, AYearStartingLateShowsTheRowsItHas) {
  test::TempDir dir;
  test::TinyWorkspace tiny;
  tiny.subBasins[0].years[0].startDay = 100;  // 9 April 2000: January to March unsimulated
  test::Window w(test::Tiny(dir, tiny));
  w.Click("Button3");
  w.Click("Button5");
  ASSERT_TRUE(w.Quiet());
  ASSERT_EQ(w.Rows(), 1 + 9 + 1);
  EXPECT_EQ(w.Cell(1, 0), "04-2000");
  EXPECT_EQ(w.Cell(10, 0), "2000全年");
  EXPECT_TRUE(Child<gui::ImageControl>(&w.form1, "Image1")->HasPicture());
}

}  // namespace
}  // namespace tarnwell
