// The main window's list and pages after start-up, its menu items, and the two dialogs:
// the parameter dialog as a text editor of the parameter file, the path dialog.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>

#include "GuiTestSupport.h"
#include "gui/Form2.h"
#include "gui/Form3.h"
#include "model/Errors.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;
using test::Child;
using test::WithModal;

// The main window on a copy of the demo workspace.
struct Demo {
  test::TempDir dir;
  test::Window w{test::CopyDemoWorkspace(dir)};
  std::string Path(const std::string& rel) const { return dir / rel; }
};

TEST(MainWindow, StartUpFillsTheListAndShowsOnlyThePicture) {
  Demo d;
  EXPECT_TRUE(d.w.Quiet());
  QListWidget* list = Child<QListWidget>(&d.w.form1, "ListBox1");
  ASSERT_EQ(list->count(), 3);
  EXPECT_EQ(list->item(0)->text() + list->item(1)->text() + list->item(2)->text(), "子上游子下游全流域");
  EXPECT_EQ((std::vector<bool>{d.w.Hidden("ImageM"), d.w.Hidden("Panel2"), d.w.Hidden("Panel3")}),
            (std::vector<bool>{false, true, true}));
  EXPECT_EQ(Child<QTabWidget>(&d.w.form1, "PageControl1")->currentWidget()->objectName() + "/" +
                Child<QTabWidget>(&d.w.form1, "PageControl2")->currentWidget()->objectName(),
            "TabSheet8/TabSheet5");
  EXPECT_TRUE(fs::is_directory(d.Path("Output")));  // start-up made the output directory

  // Without the sub-basin list the error is shown and the list stays empty; "读取文件" then
  // reports it instead of reading past the table.
  test::TempDir dir;
  fs::remove(test::CopyDemoWorkspace(dir).Path() / "input" / "子流域.in");
  test::Window w(dir);
  ASSERT_EQ(w.errors().size(), 1u);
  EXPECT_NE(w.errors()[0].find("子流域.in"), std::string::npos) << w.errors()[0];
  EXPECT_EQ(Child<QListWidget>(&w.form1, "ListBox1")->count(), 0);
  w.form1.Button1Click();
  EXPECT_EQ(w.errors().size(), 2u);
}

TEST(PathDialog, ShowsTheResolvedPathsOfSubBasinOneAndBrowsingChangesOnlyTheEdit) {
  test::TempDir dir;
  test::CopyDemoWorkspace(dir);
  // Whatever the fourth line says, the season file is the shared one.
  test::WriteGbkLines(dir / "Parameters/缺省路径文件.txt",
                      "dem.grd\nlanduse.grd\nweather.in\nelsewhere.txt\nslope.grd\n");
  test::Window w(dir);
  gui::TForm2* form2 = w.form1.Form2();
  form2->OpenDialog1 = [](QWidget*) { return QString("/chosen/by/browsing.grd"); };
  const std::string pathFileBefore = test::ReadBytes(dir / "Parameters/当前路径文件.txt");
  WithModal([&] { Child<QAction>(&w.form1, "S1")->trigger(); },
            [&](QWidget* modal) {
              ASSERT_EQ(modal, form2);
              const std::string in = dir / "input/上游/";
              const std::vector<std::string> shown{in + "dem.grd", in + "landuse.grd", in + "weather.in",
                                                   dir / "Parameters/season.txt", in + "slope.grd"};
              for (int k = 1; k <= 5; ++k) EXPECT_EQ(form2->Edit(k)->text().toStdString(), shown[k - 1]) << k;
              Child<QPushButton>(form2, "Button6")->click();
              EXPECT_EQ(form2->Edit(5)->text(), "/chosen/by/browsing.grd");
              Child<QPushButton>(form2, "Button5")->click();  // "确定"
            });
  EXPECT_FALSE(form2->isVisible());
  EXPECT_EQ(test::ReadBytes(dir / "Parameters/当前路径文件.txt"), pathFileBefore);
  // The next opening shows the path file's paths again.
  WithModal([&] { w.form1.Button1Click(); },
            [&](QWidget*) { EXPECT_TRUE(form2->Edit(5)->text().endsWith("/slope.grd")); });
}

TEST(ParameterDialog, KeepsEveryValueAsTypedAndWritesTheDialogLayout) {
  Demo d;
  gui::TForm3* form3 = d.w.form1.Form3();
  form3->FillParameterDialog(std::string(TARNWELL_TEST_DATA) + "/golden/gui/dialog_input.txt", "dialog_input.txt");
  // Edits 49 and 47 hold lines 32 and 34.
  auto edits = [&](std::vector<int> which) {
    QStringList texts;
    for (int k : which) texts << form3->Edit(k)->text();
    return texts.join(" ").toStdString();
  };
  EXPECT_EQ(edits({1, 35, 43, 49, 47}), "30.50 1e-3 0.38 0.2 0.01");
  const std::string saved = d.Path("saved.txt");
  form3->SaveDialog1 = [&](QWidget*) { return QString::fromStdString(saved); };
  form3->Button2Click();  // "另存参数文件"
  EXPECT_TRUE(d.w.Quiet());
  EXPECT_TRUE(test::SameAsGolden("gui/dialog_saved.txt", saved));
  // "确定" writes the same text to the current parameter file.
  form3->Button3Click();
  EXPECT_TRUE(test::SameBytes(test::ReadBytes(saved), test::ReadBytes(d.Path("Parameters/当前参数文件.txt"))));

  // Line 27 with four bare values: token 5 is missing, which stops the filling there.
  std::string text = test::ParameterFileText();
  const std::string line27 = "紫色土 0.31 黄壤性土 0.32 黄棕壤 0.33 酸性棕壤 0.34";
  text.replace(text.find(line27), line27.size(), "紫色土 0.9 0.9 0.9 0.9");
  const std::string bad = d.Path("bad.txt");
  test::WriteGbkLines(bad, text);
  try {
    form3->FillParameterDialog(bad, "bad.txt");
    FAIL() << "a short line 27 must stop the filling";
  } catch (const TarnwellError& e) {
    EXPECT_EQ(e.Line(), 27);
    EXPECT_NE(std::string(e.what()).find("bad.txt"), std::string::npos);
  }
  // Line 1 came from the new file; line 27 kept its old text, and so did everything after it.
  EXPECT_EQ(edits({1, 36, 44}), "30.5 0.31 100");
  // "读取参数文件" loads the variables first: the failure leaves the edits alone.
  form3->Edit(1)->setText("typed");
  form3->OpenDialog1 = [&](QWidget*) { return QString::fromStdString(bad); };
  form3->Button1Click();
  ASSERT_EQ(d.w.errors().size(), 1u);
  EXPECT_EQ(form3->Edit(1)->text(), "typed");
}

TEST(ParameterDialog, OpeningFollowsTheErodibilityModeAndTheRadioButtonsSetIt) {
  Demo d;
  gui::TForm3* form3 = d.w.form1.Form3();
  const std::string current = d.Path("Parameters/当前参数文件.txt"), before = test::ReadBytes(current);
  WithModal([&] { Child<QAction>(&d.w.form1, "S2")->trigger(); },
            [&](QWidget* modal) {
              ASSERT_EQ(modal, form3);
              EXPECT_EQ(form3->PageControl1()->tabText(form3->PageControl1()->currentIndex()), "输沙参数");
              EXPECT_EQ(form3->Edit(9)->text(), "2.0");
              EXPECT_TRUE(form3->RadioButton1()->isChecked() && form3->Edit(35)->isEnabled());
              EXPECT_FALSE(form3->Edit(36)->isEnabled());
              form3->RadioButton2()->click();
              EXPECT_EQ(d.w.session.params.ErodibilityMode, 1);
              EXPECT_TRUE(!form3->Edit(35)->isEnabled() && form3->Edit(43)->isEnabled());
              form3->Edit(1)->setText("not saved");
              form3->reject();  // the close box saves nothing
            });
  EXPECT_EQ(test::ReadBytes(current), before);
  // The next opening refills the edits and keeps the non-uniform choice.
  WithModal([&] { Child<QPushButton>(&d.w.form1, "Button2")->click(); },
            [&](QWidget*) {
              EXPECT_EQ(form3->Edit(1)->text(), "49.5");
              EXPECT_TRUE(form3->RadioButton2()->isChecked() && !form3->Edit(35)->isEnabled());
            });
}

}  // namespace
}  // namespace tarnwell
