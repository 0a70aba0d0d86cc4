#include "gui/Capture.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>
#include <iterator>

#include "gui/Form1.h"
#include "gui/Form3.h"

namespace tarnwell::gui {

namespace {

void Settle() {
  for (int i = 0; i < 5; ++i) {
    QApplication::processEvents();
    QEventLoop loop;
    QTimer::singleShot(40, &loop, &QEventLoop::quit);
    loop.exec();
  }
}

bool Save(QWidget& widget, const QDir& dir, const QString& name, int& count) {
  Settle();
  const QString path = dir.filePath(name + ".png");
  if (!widget.grab().save(path)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  ++count;
  return true;
}

}  // namespace

int CaptureWindow(TForm1& window, const QString& directory) {
  QDir dir(directory);
  if (!dir.mkpath(".")) return -1;
  int count = 0;
  window.show();
  if (!Save(window, dir, "startup", count)) return -1;

  window.Button3Click();
  window.WaitUntilIdle();
  auto* pages = window.findChild<QTabWidget*>("PageControl1");
  const char* resultNames[] = {"runoff", "sediment", "snow-frost", "runoff-table", "sediment-table"};
  for (int i = 0; i < pages->count(); ++i) {
    pages->setCurrentIndex(i);
    if (!Save(window, dir, QString("result-") + resultNames[i], count)) return -1;
  }

  window.Button4Click();
  window.WaitUntilIdle();
  auto* maps = window.findChild<QTabWidget*>("PageControl2");
  const char* mapNames[] = {
      "map-terrain", "map-slope",     "map-landuse",     "map-precipitation", "map-evapotranspiration",
      "map-runoff",  "map-soil-loss", "map-water-table", "map-snow"};
  for (int i = 0; i < maps->count() && i < static_cast<int>(std::size(mapNames)); ++i) {
    maps->setCurrentIndex(i);
    if (!Save(window, dir, mapNames[i], count)) return -1;
  }

  TForm3* form3 = window.Form3();
  try {
    form3->PrepareForShow();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return -1;
  }
  form3->show();
  for (int i = 0; i < form3->PageControl1()->count(); ++i) {
    form3->PageControl1()->setCurrentIndex(i);
    if (!Save(*form3, dir, QString("parameters-%1").arg(i + 1), count)) return -1;
  }
  form3->hide();
  return count;
}

}  // namespace tarnwell::gui
