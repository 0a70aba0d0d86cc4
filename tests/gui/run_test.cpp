// Runs from the window: the run and the next-year steps on the worker thread, the
// progress display, the tables and charts, browsing stored results, errors in boxes.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <filesystem>

#include "GuiTestSupport.h"
#include "TinyWorkspace.h"
#include "app/Session.h"
#include "gui/ChartImage.h"
#include "gui/Form1.h"
#include "hardening/HardeningSupport.h"
#include "inputs/TextFile.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;
using test::Child;

using test::Window;

// Two sub-basins of 3 x 4 cells, one year, named as the demo's.
void WriteTwoSubBasins(const test::TempDir& dir) {
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
  test::WriteTinyWorkspace(dir.Path().string(), w);
}

TEST(RunFromWindow, RunsYearOneOffTheWindowThreadAndShowsTheRunoffPage) {
  test::TempDir dir;
  WriteTwoSubBasins(dir);
  Window w(dir);
  Child<QAction>(&w.form1, "N3")->trigger();  // "运    行（&R）" is "模拟计算"
  EXPECT_TRUE(w.form1.Busy());
  EXPECT_FALSE(Child<QPushButton>(&w.form1, "Button3")->isEnabled());
  EXPECT_FALSE(Child<QPushButton>(&w.form1, "Button7")->isEnabled());
  EXPECT_FALSE(Child<QListWidget>(&w.form1, "ListBox1")->isEnabled());
  EXPECT_FALSE(Child<QAction>(&w.form1, "N3")->isEnabled());
  w.form1.WaitUntilIdle();
  ASSERT_TRUE(w.sink.errors.empty()) << w.sink.errors[0];
  EXPECT_TRUE(Child<QPushButton>(&w.form1, "Button3")->isEnabled());
  EXPECT_EQ(Child<QLabel>(&w.form1, "Label1")->text(), "子流域2  ");
  EXPECT_EQ(Child<QLabel>(&w.form1, "Label2")->text(), "结果统计");
  EXPECT_EQ(Child<QProgressBar>(&w.form1, "ProgressBar1")->value(), 100);
  EXPECT_FALSE(Child<QWidget>(&w.form1, "Panel2")->isHidden());
  EXPECT_TRUE(Child<QWidget>(&w.form1, "Panel3")->isHidden());
  EXPECT_EQ(Child<QTabWidget>(&w.form1, "PageControl1")->currentWidget()->objectName(), "TabSheet1");
  EXPECT_EQ(w.session.state.YearIndex, 1);
  EXPECT_TRUE(fs::exists(dir.Path() / "Output" / "全流域" / "Daily.out"));
}

TEST(RunFromWindow, AnErrorEndsTheRunInAMessageBoxAndKeepsWhatWasWritten) {
  test::TempDir dir;
  WriteTwoSubBasins(dir);
  Window w(dir);
  w.Click("Button3");
  ASSERT_TRUE(w.sink.errors.empty());
  const std::string budget = test::ReadBytes(dir / "Output/流域1/Budget.out");
  ASSERT_FALSE(budget.empty());
  // The second sub-basin's weather gone: the run's check refuses it before any file of the
  // earlier run is emptied.
  fs::remove(dir.Path() / "input" / "下游" / "met.txt");
  w.Click("Button3");
  ASSERT_EQ(w.sink.errors.size(), 1u);
  EXPECT_NE(w.sink.errors[0].find("met.txt"), std::string::npos) << w.sink.errors[0];
  EXPECT_EQ(test::ReadBytes(dir / "Output/流域1/Budget.out"), budget);
  EXPECT_TRUE(fs::exists(dir.Path() / "Output" / "全流域" / "Daily.out"));
  // The window is usable again.
  EXPECT_TRUE(Child<QPushButton>(&w.form1, "Button3")->isEnabled());
  EXPECT_FALSE(w.form1.Busy());
}

// The run menu's year-boundary switch: kept in the workspace's run settings (so the command
// line and the next window see it), and the next run's years start as it says.
TEST(RunFromWindow, TheCarryOverSwitchIsKeptAndRuns) {
  test::TempDir dir;
  test::TinyWorkspace w2 = test::SmallBasins(2, 2);
  w2.simYears = 2;
  test::WriteTinyWorkspace(dir.Path().string(), w2);
  auto years = [&](Window& w) {
    w.Click("Button3");
    w.Click("Button7");
    EXPECT_TRUE(w.sink.errors.empty()) << w.sink.errors[0];
    return test::ReadBytes(dir / "Output/流域1/Daily.out");
  };
  std::string mean, cells;
  {
    Window w(dir);
    QAction* sw = Child<QAction>(&w.form1, "CarryOverCells");
    EXPECT_FALSE(sw->isChecked());
    mean = years(w);
    sw->trigger();
    EXPECT_TRUE(sw->isChecked());
    cells = years(w);
  }
  EXPECT_NE(mean, cells);
  EXPECT_NE(test::ReadBytes(dir / "Parameters/run.txt").find("carry_over = cells"), std::string::npos);
  Window again(dir);
  EXPECT_TRUE(Child<QAction>(&again.form1, "CarryOverCells")->isChecked());
  EXPECT_EQ(years(again), cells);
}

TEST(RunFromWindow, ExitDuringARunClosesTheWindowWhenTheRunHasEnded) {
  test::TempDir dir;
  WriteTwoSubBasins(dir);
  Window w(dir);
  w.form1.show();
  Child<QPushButton>(&w.form1, "Button3")->click();
  Child<QAction>(&w.form1, "X1")->trigger();  // "退出(&X)" is "退      出"
  EXPECT_TRUE(w.form1.isVisible());           // a run cannot be interrupted
  w.form1.WaitUntilIdle();
  QApplication::processEvents();
  EXPECT_FALSE(w.form1.isVisible());
  EXPECT_TRUE(w.sink.errors.empty());
  EXPECT_TRUE(fs::exists(dir.Path() / "Output" / "全流域" / "Daily.out"));
}

}  // namespace
}  // namespace tarnwell
