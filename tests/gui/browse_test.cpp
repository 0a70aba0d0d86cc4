// Runs and stored results from the window, on a tiny workspace of two sub-basins and three
// years: the run and the next-year steps on the worker thread, the progress display, errors
// in boxes, the year-boundary switch, exit during a run; the tables and charts year by
// year, browsing, and what a run changes in it.
#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QTabWidget>

#include "GuiTestSupport.h"
#include "gui/ChartImage.h"
#include "hardening/HardeningSupport.h"
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
  // "下一年" then has nothing to browse nor to continue from.
  w.Click("Button7");
  EXPECT_EQ(w.errors(), std::vector<std::string>(3, message));
  EXPECT_TRUE(w.sink.notices.empty());
}

TEST(RunFromWindow, RunsYearOneOffTheWindowThreadAndShowsTheRunoffPage) {
  test::TempDir dir;
  test::Window w(test::Tiny(dir, test::TwoBasinsThreeYears()));
  Child<QAction>(&w.form1, "N3")->trigger();  // "运    行（&R）" is "模拟计算"
  // While it runs, nothing starts another step.
  EXPECT_TRUE(w.form1.Busy());
  EXPECT_FALSE(Child<QPushButton>(&w.form1, "Button3")->isEnabled() ||
               Child<QPushButton>(&w.form1, "Button7")->isEnabled() ||
               Child<QListWidget>(&w.form1, "ListBox1")->isEnabled() || Child<QAction>(&w.form1, "N3")->isEnabled());
  w.form1.WaitUntilIdle();
  ASSERT_TRUE(w.Quiet());
  EXPECT_TRUE(Child<QPushButton>(&w.form1, "Button3")->isEnabled());
  EXPECT_EQ(Child<QLabel>(&w.form1, "Label1")->text() + Child<QLabel>(&w.form1, "Label2")->text(), "子流域2  结果统计");
  EXPECT_EQ(Child<QProgressBar>(&w.form1, "ProgressBar1")->value(), 100);
  EXPECT_TRUE(!w.Hidden("Panel2") && w.Hidden("Panel3"));
  EXPECT_EQ(Child<QTabWidget>(&w.form1, "PageControl1")->currentWidget()->objectName(), "TabSheet1");
  EXPECT_EQ(w.session.state.YearIndex, 1);
  EXPECT_TRUE(fs::exists(dir / "Output/全流域/Daily.out"));

  // The second sub-basin's weather gone: the run's check refuses it in a box before any
  // file of the earlier run is emptied, and the window is usable again.
  const std::string budget = test::ReadBytes(dir / "Output/流域1/Budget.out");
  ASSERT_FALSE(budget.empty());
  fs::remove(dir / "input/乙/met.txt");
  w.Click("Button3");
  ASSERT_EQ(w.errors().size(), 1u);
  EXPECT_NE(w.errors()[0].find("met.txt"), std::string::npos) << w.errors()[0];
  EXPECT_EQ(test::ReadBytes(dir / "Output/流域1/Budget.out"), budget);
  EXPECT_TRUE(fs::exists(dir / "Output/全流域/Daily.out"));
  EXPECT_TRUE(Child<QPushButton>(&w.form1, "Button3")->isEnabled());
  EXPECT_FALSE(w.form1.Busy());
}

// The run menu's year-boundary switch: kept in the workspace's run settings (so the command
// line and the next window see it), and the next run's years start as it says.
TEST(RunFromWindow, TheCarryOverSwitchIsKeptAndRuns) {
  test::TempDir dir;
  test::TinyWorkspace two = test::SmallBasins(2, 2);
  two.simYears = 2;
  test::Tiny(dir, two);
  auto years = [&](test::Window& w) {
    w.Click("Button3");
    w.Click("Button7");
    EXPECT_TRUE(w.Quiet());
    return test::ReadBytes(dir / "Output/流域1/Daily.out");
  };
  std::string mean, cells;
  {
    test::Window w(dir);
    QAction* sw = Child<QAction>(&w.form1, "CarryOverCells");
    EXPECT_FALSE(sw->isChecked());
    mean = years(w);
    sw->trigger();
    EXPECT_TRUE(sw->isChecked());
    cells = years(w);
  }
  EXPECT_NE(mean, cells);
  EXPECT_NE(test::ReadBytes(dir / "Parameters/run.txt").find("carry_over = cells"), std::string::npos);
  test::Window again(dir);
  EXPECT_TRUE(Child<QAction>(&again.form1, "CarryOverCells")->isChecked());
  EXPECT_EQ(years(again), cells);
}

TEST(RunFromWindow, ExitDuringARunClosesTheWindowWhenTheRunHasEnded) {
  test::TempDir dir;
  test::Window w(test::Tiny(dir, test::TwoBasinsThreeYears()));
  w.form1.show();
  Child<QPushButton>(&w.form1, "Button3")->click();
  Child<QAction>(&w.form1, "X1")->trigger();  // "退出(&X)" is "退      出"
  EXPECT_TRUE(w.form1.isVisible());           // a run cannot be interrupted
  w.form1.WaitUntilIdle();
  QApplication::processEvents();
  EXPECT_FALSE(w.form1.isVisible());
  EXPECT_TRUE(w.Quiet());
  EXPECT_TRUE(fs::exists(dir / "Output/全流域/Daily.out"));
}

}  // namespace
}  // namespace tarnwell
