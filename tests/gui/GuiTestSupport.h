// What the window tests share: a Qt application on the offscreen platform, a message sink
// that records instead of showing boxes, scratch workspaces, and a helper that runs a
// modal dialog's checks from inside its event loop.
#pragma once

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "TinyWorkspace.h"
#include "app/Session.h"
#include "gui/Form1.h"
#include "gui/GuiSupport.h"

namespace tarnwell::test {

class RecordingSink : public gui::MessageSink {
 public:
  void Error(QWidget*, const QString& text) override { errors.push_back(text.toStdString()); }
  void Notice(QWidget*, const QString& text) override { notices.push_back(text.toStdString()); }
  std::vector<std::string> errors, notices;
};

// The demo workspace (input and parameters, no output) copied into dir.
inline const TempDir& CopyDemoWorkspace(const TempDir& dir) {
  namespace fs = std::filesystem;
  const fs::path demo = fs::path(TARNWELL_SOURCE_DIR) / "examples" / "demo";
  for (const char* part : {"input", "Parameters"})
    fs::copy(demo / part, dir.Path() / part, fs::copy_options::recursive);
  return dir;
}

// The workspace written into dir.
inline const TempDir& Tiny(const TempDir& dir, const TinyWorkspace& w) {
  WriteTinyWorkspace(dir.Path().string(), w);
  return dir;
}

// Two sub-basins of 3 x 4 cells and three years, the second with rain every seventh day.
inline TinyWorkspace TwoBasinsThreeYears() {
  TinyWorkspace w;
  w.simYears = 3;
  TinySubBasin a, b;
  a.name = "甲";
  b.name = "乙";
  for (TinySubBasin* s : {&a, &b}) {
    s->rows = 3;
    s->cols = 4;
    s->elevation = [](int r, int c) { return 400.0 + 30 * r + 10 * c; };
    s->landUse = [](int r, int c) { return 10.0 * ((r + c) % 5) + 11; };
    s->slope = [](int r, int c) { return 2.0 * r + c; };
    s->years = {TinyYear{1990}, TinyYear{1991}, TinyYear{1992}};
    s->years[1].precip = [](int d) { return d % 7 == 0 ? 20.0 : 1.0; };
  }
  w.subBasins = {a, b};
  return w;
}

// Runs check once the next modal dialog's event loop is running, then closes whatever
// modal dialog is still open; open starts the dialog (and returns when it closed).
inline void WithModal(const std::function<void()>& open, const std::function<void(QWidget*)>& check) {
  bool ran = false;
  QTimer::singleShot(0, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    ran = true;
    check(modal);
    if (QWidget* still = QApplication::activeModalWidget()) still->close();
  });
  open();
  EXPECT_TRUE(ran) << "no modal dialog was opened";
}

template <class T>
T* Child(QObject* parent, const char* name) {
  return parent->findChild<T*>(QString::fromUtf8(name));
}

// The main window on the workspace in dir, with a sink for its message boxes.
struct Window {
  explicit Window(const TempDir& dir) : session(dir.Path().string()), form1(session, sink) { form1.FormCreate(); }
  // Clicks a button (or triggers a menu item) and waits for the action it started.
  void Click(const char* name) {
    if (auto* b = Child<QPushButton>(&form1, name)) b->click();
    else Child<QAction>(&form1, name)->trigger();
    form1.WaitUntilIdle();
  }
  void DoubleClick(int row) {
    Child<QListWidget>(&form1, "ListBox1")->setCurrentRow(row);
    form1.ListBox1Dblclick();
    form1.WaitUntilIdle();
  }
  bool Hidden(const char* name) { return Child<QWidget>(&form1, name)->isHidden(); }
  int Rows() { return Child<QTableWidget>(&form1, "StringGrid1")->rowCount(); }
  QString Cell(int r, int c) {
    QTableWidgetItem* item = Child<QTableWidget>(&form1, "StringGrid1")->item(r, c);
    return item ? item->text() : QString();
  }
  // No message box shown.
  ::testing::AssertionResult Quiet() const {
    if (errors().empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << errors()[0];
  }
  const std::vector<std::string>& errors() const { return sink.errors; }
  Session session;
  RecordingSink sink;
  gui::TForm1 form1;
};

}  // namespace tarnwell::test
