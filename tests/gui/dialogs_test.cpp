// The main window's list and pages after start-up, its menu items, and the two dialogs:
// the parameter dialog as a text editor of the parameter file, the path dialog.
#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <filesystem>

#include "GuiTestSupport.h"
#include "app/Session.h"
#include "gui/Form1.h"
#include "gui/Form2.h"
#include "gui/Form3.h"
#include "gui/Form4.h"
#include "model/Errors.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;
using test::Child;
using test::RecordingSink;
using test::WithModal;

using test::Window;

QStringList Items(QListWidget* list) {
  QStringList items;
  for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
  return items;
}

TEST(MainWindow, StartUpFillsTheListAndShowsOnlyThePicture) {
  test::TempDir dir;
  test::CopyDemoWorkspace(dir);
  Window w(dir);
  EXPECT_TRUE(w.sink.errors.empty());
  EXPECT_EQ(Items(Child<QListWidget>(&w.form1, "ListBox1")), QStringList({"子上游", "子下游", "全流域"}));
  EXPECT_EQ(w.form1.windowTitle(), "Tarnwell");
  EXPECT_FALSE(Child<QWidget>(&w.form1, "ImageM")->isHidden());
  EXPECT_TRUE(Child<QWidget>(&w.form1, "Panel2")->isHidden());
  EXPECT_TRUE(Child<QWidget>(&w.form1, "Panel3")->isHidden());
  EXPECT_EQ(Child<QTabWidget>(&w.form1, "PageControl1")->currentWidget()->objectName(), "TabSheet8");
  EXPECT_EQ(Child<QTabWidget>(&w.form1, "PageControl2")->currentWidget()->objectName(), "TabSheet5");
  EXPECT_EQ(Child<QPushButton>(&w.form1, "Button6")->text(), "退      出");
  EXPECT_EQ(Child<QAction>(&w.form1, "N3")->text(), "运    行（&R）");
  // Start-up made the output directory.
  EXPECT_TRUE(fs::is_directory(dir.Path() / "Output"));
}

TEST(MainWindow, MissingSubBasinListIsShownAndLeavesTheListEmpty) {
  test::TempDir dir;
  test::CopyDemoWorkspace(dir);
  fs::remove(dir.Path() / "input" / "子流域.in");
  Window w(dir);
  ASSERT_EQ(w.sink.errors.size(), 1u);
  EXPECT_NE(w.sink.errors[0].find("子流域.in"), std::string::npos) << w.sink.errors[0];
  EXPECT_EQ(Child<QListWidget>(&w.form1, "ListBox1")->count(), 0);
  // With no sub-basin, "读取文件" reports it instead of reading past the table.
  w.form1.Button1Click();
  EXPECT_EQ(w.sink.errors.size(), 2u);
}

TEST(PathDialog, ShowsTheResolvedPathsOfSubBasinOneAndBrowsingChangesOnlyTheEdit) {
  test::TempDir dir;
  test::CopyDemoWorkspace(dir);
  // Whatever the fourth line says, the season file is the shared one.
  test::WriteGbkLines((dir.Path() / "Parameters" / "缺省路径文件.txt").string(),
                      "dem.grd\nlanduse.grd\nweather.in\nelsewhere.txt\nslope.grd\n");
  Window w(dir);
  gui::TForm2* form2 = w.form1.Form2();
  form2->OpenDialog1 = [](QWidget*) { return QString("/chosen/by/browsing.grd"); };
  const std::string pathFileBefore = test::ReadBytes((dir.Path() / "Parameters" / "当前路径文件.txt").string());
  WithModal([&] { Child<QAction>(&w.form1, "S1")->trigger(); },
            [&](QWidget* modal) {
              ASSERT_EQ(modal, form2);
              EXPECT_EQ(form2->windowTitle(), "设置文件路径");
              const std::string in = (dir.Path() / "input" / "上游").string();
              EXPECT_EQ(form2->Edit(1)->text().toStdString(), in + "/dem.grd");
              EXPECT_EQ(form2->Edit(2)->text().toStdString(), in + "/landuse.grd");
              EXPECT_EQ(form2->Edit(3)->text().toStdString(), in + "/weather.in");
              EXPECT_EQ(form2->Edit(4)->text().toStdString(), (dir.Path() / "Parameters" / "season.txt").string());
              EXPECT_EQ(form2->Edit(5)->text().toStdString(), in + "/slope.grd");
              Child<QPushButton>(form2, "Button6")->click();
              EXPECT_EQ(form2->Edit(5)->text(), "/chosen/by/browsing.grd");
              Child<QPushButton>(form2, "Button5")->click();  // "确定"
            });
  EXPECT_FALSE(form2->isVisible());
  EXPECT_EQ(test::ReadBytes((dir.Path() / "Parameters" / "当前路径文件.txt").string()), pathFileBefore);
  // The next opening shows the path file's paths again.
  WithModal([&] { w.form1.Button1Click(); },
            [&](QWidget*) { EXPECT_TRUE(form2->Edit(5)->text().endsWith("/slope.grd")); });
}

TEST(ParameterDialog, KeepsEveryValueAsTypedAndWritesTheDialogLayout) {
  test::TempDir dir;
  test::CopyDemoWorkspace(dir);
  Window w(dir);
  gui::TForm3* form3 = w.form1.Form3();
  const std::string input = std::string(TARNWELL_TEST_DATA) + "/golden/gui/dialog_input.txt";
  form3->FillParameterDialog(input, "dialog_input.txt");
  EXPECT_EQ(form3->Edit(1)->text(), "30.50");
  EXPECT_EQ(form3->Edit(35)->text(), "1e-3");
  EXPECT_EQ(form3->Edit(43)->text(), "0.38");
  EXPECT_EQ(form3->Edit(49)->text(), "0.2");   // line 32
  EXPECT_EQ(form3->Edit(47)->text(), "0.01");  // line 34
  const std::string saved = (dir.Path() / "saved.txt").string();
  form3->SaveDialog1 = [&](QWidget*) { return QString::fromStdString(saved); };
  form3->Button2Click();  // "另存参数文件"
  EXPECT_TRUE(w.sink.errors.empty());
  EXPECT_TRUE(test::SameAsGolden("gui/dialog_saved.txt", saved));
  // "确定" writes the same text to the current parameter file.
  form3->Button3Click();
  EXPECT_TRUE(test::SameBytes(test::ReadBytes(saved),
                              test::ReadBytes((dir.Path() / "Parameters" / "当前参数文件.txt").string())));
}

TEST(ParameterDialog, ShortLineStopsFillingAndLoadFailureLeavesTheEdits) {
  test::TempDir dir;
  test::CopyDemoWorkspace(dir);
  Window w(dir);
  gui::TForm3* form3 = w.form1.Form3();
  form3->FillParameterDialog(std::string(TARNWELL_TEST_DATA) + "/golden/gui/dialog_input.txt", "in");
  // Line 27 with four bare values: token 5 is missing.
  std::string text = test::ParameterFileText();
  text.replace(text.find("紫色土 0.31 黄壤性土 0.32 黄棕壤 0.33 酸性棕壤 0.34"),
               std::string("紫色土 0.31 黄壤性土 0.32 黄棕壤 0.33 酸性棕壤 0.34").size(), "紫色土 0.9 0.9 0.9 0.9");
  const std::string bad = (dir.Path() / "bad.txt").string();
  test::WriteGbkLines(bad, text);
  try {
    form3->FillParameterDialog(bad, "bad.txt");
    FAIL() << "a short line 27 must stop the filling";
  } catch (const TarnwellError& e) {
    EXPECT_EQ(e.Line(), 27);
    EXPECT_NE(std::string(e.what()).find("bad.txt"), std::string::npos);
  }
  EXPECT_EQ(form3->Edit(1)->text(), "30.5");   // line 1 came from the new file
  EXPECT_EQ(form3->Edit(36)->text(), "0.31");  // line 27 kept its old text
  EXPECT_EQ(form3->Edit(44)->text(), "100");   // so did everything after it
  // "读取参数文件" loads the variables first: the failure leaves the edits alone.
  form3->Edit(1)->setText("typed");
  form3->OpenDialog1 = [&](QWidget*) { return QString::fromStdString(bad); };
  form3->Button1Click();
  ASSERT_EQ(w.sink.errors.size(), 1u);
  EXPECT_EQ(form3->Edit(1)->text(), "typed");
}

TEST(ParameterDialog, OpeningFollowsTheErodibilityModeAndTheRadioButtonsSetIt) {
  test::TempDir dir;
  test::CopyDemoWorkspace(dir);
  Window w(dir);
  gui::TForm3* form3 = w.form1.Form3();
  const std::string current = (dir.Path() / "Parameters" / "当前参数文件.txt").string();
  const std::string before = test::ReadBytes(current);
  WithModal([&] { Child<QAction>(&w.form1, "S2")->trigger(); },
            [&](QWidget* modal) {
              ASSERT_EQ(modal, form3);
              EXPECT_EQ(form3->windowTitle(), "设置参数");
              EXPECT_EQ(form3->PageControl1()->tabText(form3->PageControl1()->currentIndex()), "输沙参数");
              EXPECT_EQ(form3->Edit(9)->text(), "2.0");
              EXPECT_TRUE(form3->RadioButton1()->isChecked());
              EXPECT_TRUE(form3->Edit(35)->isEnabled());
              EXPECT_FALSE(form3->Edit(36)->isEnabled());
              form3->RadioButton2()->click();
              EXPECT_EQ(w.session.params.ErodibilityMode, 1);
              EXPECT_FALSE(form3->RadioButton1()->isChecked());
              EXPECT_FALSE(form3->Edit(35)->isEnabled());
              EXPECT_TRUE(form3->Edit(43)->isEnabled());
              form3->Edit(1)->setText("not saved");
              form3->reject();  // the close box saves nothing
            });
  EXPECT_EQ(w.session.params.ErodibilityMode, 1);
  EXPECT_EQ(test::ReadBytes(current), before);
  // The next opening refills the edits and keeps the non-uniform choice.
  WithModal([&] { Child<QPushButton>(&w.form1, "Button2")->click(); },
            [&](QWidget*) {
              EXPECT_EQ(form3->Edit(1)->text(), "49.5");
              EXPECT_TRUE(form3->RadioButton2()->isChecked());
              EXPECT_FALSE(form3->Edit(35)->isEnabled());
            });
}

TEST(MainWindow, HelpOpensHelpChmOrTheGuideAndAboutClosesOnAClick) {
  test::TempDir dir;
  test::CopyDemoWorkspace(dir);
  Window w(dir);
  std::vector<QUrl> opened;
  w.form1.OpenDocument = [&](const QUrl& url) {
    opened.push_back(url);
    return true;
  };
  w.form1.GuideDirectory = QString::fromStdString((dir.Path() / "bin").string());
  const fs::path cwd = fs::current_path();
  fs::current_path(dir.Path());
  Child<QAction>(&w.form1, "N1")->trigger();
  EXPECT_TRUE(opened.empty());  // neither help.chm nor a guide: nothing visible happens
  test::WriteBytes((dir.Path() / "bin" / "guide.html").string(), "<html></html>");
  Child<QAction>(&w.form1, "N1")->trigger();
  test::WriteBytes((dir.Path() / "help.chm").string(), "chm");
  Child<QAction>(&w.form1, "N1")->trigger();
  fs::current_path(cwd);
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_TRUE(opened[0].toLocalFile().endsWith("bin/guide.html"));
  EXPECT_TRUE(opened[1].toLocalFile().endsWith("help.chm"));

  gui::TForm4* form4 = w.form1.Form4();
  WithModal([&] { Child<QAction>(&w.form1, "N2")->trigger(); },
            [&](QWidget* modal) {
              ASSERT_EQ(modal, form4);
              EXPECT_EQ(form4->windowTitle(), "关于本系统");
              QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 150), QPointF(10, 150), Qt::LeftButton,
                                Qt::LeftButton, Qt::NoModifier);
              QApplication::sendEvent(form4, &press);
              EXPECT_FALSE(form4->isVisible());
            });
}

}  // namespace
}  // namespace tarnwell
