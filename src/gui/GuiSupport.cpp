#include "gui/GuiSupport.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>

namespace tarnwell::gui {

namespace {

// Families after the requested one: the CJK fonts Debian ships, so that a desktop without
// the Windows fonts still draws every caption.
const QStringList kCjkFallbacks = {"Noto Sans CJK SC", "WenQuanYi Zen Hei", "Noto Serif CJK SC", "Droid Sans Fallback"};

QFont Make(const QString& family, const QStringList& aliases, int pixelHeight) {
  QFont font(family);
  QStringList families{family};
  families << aliases << kCjkFallbacks;
  font.setFamilies(families);
  font.setPixelSize(pixelHeight);
  return font;
}

}  // namespace

QFont HeiTi(int pixelHeight) { return Make("黑体", {"SimHei"}, pixelHeight); }
QFont SongTi(int pixelHeight) { return Make("宋体", {"SimSun"}, pixelHeight); }
QFont SansSerif(int pixelHeight) { return Make("MS Sans Serif", {"Microsoft Sans Serif", "DejaVu Sans"}, pixelHeight); }

void MessageBoxSink::Error(QWidget* owner, const QString& text) {
  QMessageBox::critical(owner, QApplication::applicationName(), text);
}

void MessageBoxSink::Notice(QWidget* owner, const QString& text) {
  QMessageBox::information(owner, QApplication::applicationName(), text);
}

QTranslator* InstallQtTranslations(QCoreApplication& app) {
  auto* translator = new QTranslator(&app);
  if (!translator->load(QLocale(QLocale::Chinese, QLocale::China), "qtbase", "_",
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return nullptr;
  }
  QCoreApplication::installTranslator(translator);
  return translator;
}

ShellOpener DesktopOpener() {
  return [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

}  // namespace tarnwell::gui
