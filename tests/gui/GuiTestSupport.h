// What the window tests share: a Qt application on the offscreen platform, a message sink
// that records instead of showing boxes, scratch copies of the demo workspace, and
// helpers that run a modal dialog's checks from inside its event loop.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "TestSupport.h"
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
inline void CopyDemoWorkspace(const TempDir& dir) {
  namespace fs = std::filesystem;
  const fs::path demo = fs::path(TARNWELL_SOURCE_DIR) / "examples" / "demo";
  for (const char* part : {"input", "Parameters"})
    fs::copy(demo / part, dir.Path() / part, fs::copy_options::recursive);
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
  // Clicks a button and waits for the action it started.
  void Click(const char* name) {
    Child<QPushButton>(&form1, name)->click();
    form1.WaitUntilIdle();
  }
  void DoubleClick(int row) {
    Child<QListWidget>(&form1, "ListBox1")->setCurrentRow(row);
    form1.ListBox1Dblclick();
    form1.WaitUntilIdle();
  }
  Session session;
  RecordingSink sink;
  gui::TForm1 form1;
};

}  // namespace tarnwell::test
