// The desktop program: tarnwell-gui [--workspace W].
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

#include "app/Session.h"
#include "gui/Capture.h"
#include "gui/Form1.h"
#include "gui/GuiSupport.h"

namespace {

// Without --workspace: the parent of the program's directory when that is W/bin, else the
// current directory.
QString DefaultWorkspace() {
  const QDir programDir(QCoreApplication::applicationDirPath());
  if (programDir.dirName() == "bin") return QFileInfo(programDir.absolutePath() + "/..").canonicalFilePath();
  return QDir::currentPath();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Tarnwell");
  QApplication::setFont(tarnwell::gui::SansSerif(13));
  // The standard dialogs and message-box buttons speak Chinese like the window.
  tarnwell::gui::InstallQtTranslations(app);

  QString workspace, capture;
  const QStringList args = QApplication::arguments();
  for (int i = 1; i < args.size(); ++i) {
    if (args[i] == "--workspace" && i + 1 < args.size()) {
      workspace = args[++i];
    } else if (args[i] == "--capture" && i + 1 < args.size()) {
      // For the documentation: run the demo through the window and save its pictures.
      capture = args[++i];
    } else if (args[i].startsWith("--workspace=")) {
      workspace = args[i].mid(12);
    } else {
      std::fprintf(stderr, "usage: tarnwell-gui [--workspace W]\n");
      return 2;
    }
  }
  if (workspace.isEmpty()) workspace = DefaultWorkspace();

  tarnwell::Session session(QDir(workspace).absolutePath().toStdString());
  tarnwell::gui::MessageBoxSink messages;
  tarnwell::gui::TForm1 form1(session, messages);
  form1.show();
  form1.FormCreate();
  if (!capture.isEmpty()) return tarnwell::gui::CaptureWindow(form1, capture) > 0 ? 0 : 1;
  return app.exec();
}
