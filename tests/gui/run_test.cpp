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
#include "app/Session.h"
#include "gui/ChartImage.h"
#include "gui/Form1.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;
using test::Child;

struct Window {
  explicit Window(const test::TempDir& dir) : session(dir.Path().string()), form1(session, sink) {
    form1.FormCreate();
  }
  // Clicks a control and waits for the action it started.
  void Click(const char* name) {
    Child<QPushButton>(&form1, name)->click();
    form1.WaitUntilIdle();
  }
  Session session;
  test::RecordingSink sink;
  gui::TForm1 form1;
};

TEST(RunFromWindow, RunsYearOneOffTheWindowThreadAndShowsTheRunoffPage) {
  test::TempDir dir;
  test::CopyDemoWorkspace(dir);
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

}  // namespace
}  // namespace tarnwell
