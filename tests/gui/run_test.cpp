// Runs from the window: the run and the next-year steps on the worker thread, the
// progress display, errors in boxes, the year-boundary switch, exit during a run.
#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QTabWidget>

#include "GuiTestSupport.h"
#include "hardening/HardeningSupport.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;
using test::Child;

// Two sub-basins of 3 x 4 cells, one year, named as the demo's.
test::TinyWorkspace TwoSubBasins() {
  test::TinyWorkspace w;
  test::TinySubBasin a, b;
  a.name = "上游";
  b.name = "下游";
  for (test::TinySubBasin* s : {&a, &b}) {
    s->rows = 3;
    s->cols = 4;
    s->elevation = [](int r, int c) { return 400.0 + 30 * r + 10 * c; };
  }
  w.subBasins = {a, b};
  return w;
}

TEST(RunFromWindow, RunsYearOneOffTheWindowThreadAndShowsTheRunoffPage) {
  test::TempDir dir;
  test::Window w(test::Tiny(dir, TwoSubBasins()));
  Child<QAction>(&w.form1, "N3")->trigger();  // "运    行（&R）" is "模拟计算"
  // While it runs, nothing starts another step.
  EXPECT_TRUE(w.form1.Busy());
  EXPECT_FALSE(Child<QPushButton>(&w.form1, "Button3")->isEnabled());
  EXPECT_FALSE(Child<QPushButton>(&w.form1, "Button7")->isEnabled());
  EXPECT_FALSE(Child<QListWidget>(&w.form1, "ListBox1")->isEnabled());
  EXPECT_FALSE(Child<QAction>(&w.form1, "N3")->isEnabled());
  w.form1.WaitUntilIdle();
  ASSERT_TRUE(w.Quiet());
  EXPECT_TRUE(Child<QPushButton>(&w.form1, "Button3")->isEnabled());
  EXPECT_EQ(Child<QLabel>(&w.form1, "Label1")->text(), "子流域2  ");
  EXPECT_EQ(Child<QLabel>(&w.form1, "Label2")->text(), "结果统计");
  EXPECT_EQ(Child<QProgressBar>(&w.form1, "ProgressBar1")->value(), 100);
  EXPECT_FALSE(w.Hidden("Panel2"));
  EXPECT_TRUE(w.Hidden("Panel3"));
  EXPECT_EQ(Child<QTabWidget>(&w.form1, "PageControl1")->currentWidget()->objectName(), "TabSheet1");
  EXPECT_EQ(w.session.state.YearIndex, 1);
  EXPECT_TRUE(fs::exists(dir / "Output/全流域/Daily.out"));

  // The second sub-basin's weather gone: the run's check refuses it in a box before any
  // file of the earlier run is emptied, and the window is usable again.
  const std::string budget = test::ReadBytes(dir / "Output/流域1/Budget.out");
  ASSERT_FALSE(budget.empty());
  fs::remove(dir / "input/下游/met.txt");
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
  test::Window w(test::Tiny(dir, TwoSubBasins()));
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
