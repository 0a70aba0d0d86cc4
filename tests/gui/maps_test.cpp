// The maps drawn by the program itself: north up (the first data row of a grid file is its
// south edge), the hill shading lit from the north-west, the contour lines where the
// terrain is; and Qt's own texts in Chinese.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>
#include <QTranslator>
#include <cmath>

#include "GuiTestSupport.h"
#include "gui/GuiSupport.h"
#include "gui/MapMaker.h"

namespace tarnwell {
namespace {

using gui::ColourMap;
using gui::MapGrid;
using gui::MapKind;

MapGrid Grid(int rows, int cols, const std::function<double(int, int)>& z) {
  MapGrid g;
  g.rows = rows;
  g.cols = cols;
  g.zMax = 1e4;
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) g.z.push_back(z(r, c));
  return g;
}

ColourMap Spectrum(QColor low, QColor high) {
  return ColourMap{{{0, low.red(), low.green(), low.blue(), 255}, {100, high.red(), high.green(), high.blue(), 255}}};
}

// The bounding box of the pixels that are not white, below the title.
QRect DrawnArea(const QImage& map) {
  QRect box;
  for (int y = 34; y < map.height(); ++y)
    for (int x = 0; x < map.width() - 130; ++x)
      if (map.pixelColor(x, y) != Qt::white) box |= QRect(x, y, 1, 1);
  return box;
}

// Mean of r + g + b over a part of the picture, and the number of its pixels darker than
// the threshold.
struct Tone {
  double mean = 0;
  int dark = 0;
};
Tone ToneOf(const QImage& map, const QRect& part, int threshold = 0) {
  Tone t;
  long long sum = 0;
  for (int y = part.top(); y <= part.bottom(); ++y)
    for (int x = part.left(); x <= part.right(); ++x) {
      const QColor c = map.pixelColor(x, y);
      const int v = c.red() + c.green() + c.blue();
      sum += v;
      if (v < threshold) ++t.dark;
    }
  t.mean = static_cast<double>(sum) / (part.width() * part.height());
  return t;
}

// The four quarters of a rectangle, inset by a few pixels off the frame.
struct Quarters {
  QRect topLeft, topRight, bottomLeft, bottomRight;
};
Quarters Quartered(const QRect& box) {
  const QRect in = box.adjusted(3, 3, -3, -3);
  const int w = in.width() / 2, h = in.height() / 2;
  return {QRect(in.left(), in.top(), w, h), QRect(in.left() + w, in.top(), w, h), QRect(in.left(), in.top() + h, w, h),
          QRect(in.left() + w, in.top() + h, w, h)};
}

TEST(Maps, TheFirstDataRowIsTheSouthEdge) {
  // One high cell at the west end of the first data row, on a wider-than-high grid.
  const MapGrid grid = Grid(3, 4, [](int r, int c) { return r == 0 && c == 0 ? 100.0 : 10.0; });
  const QImage map = gui::DrawMap(MapKind::LandUse, grid, Spectrum(Qt::black, Qt::red), "t");
  const QRect area = DrawnArea(map);
  ASSERT_GT(area.width(), area.height());
  const Quarters q = Quartered(area);
  EXPECT_EQ(map.pixelColor(q.bottomLeft.topLeft() + QPoint(5, q.bottomLeft.height() - 5)), QColor(Qt::red));
  EXPECT_EQ(map.pixelColor(q.topLeft.topLeft() + QPoint(5, 5)), QColor(Qt::black));
  EXPECT_EQ(map.pixelColor(q.bottomRight.bottomRight() - QPoint(5, 5)), QColor(Qt::black));
}

TEST(Maps, TerrainIsLitFromTheNorthWestAndItsContoursLieWhereItRises) {
  const ColourMap grey = Spectrum(QColor(200, 200, 200), QColor(200, 200, 200));
  // A pyramid: its north-west faces (top left on the picture) are lit, its south-east ones
  // in shade.
  const MapGrid pyramid = Grid(21, 21,
                               [](int r, int c) { return 1000.0 - 10 * std::max(std::abs(r - 10), std::abs(c - 10)); });
  QImage map = gui::DrawMap(MapKind::Terrain, pyramid, grey, "t");
  Quarters q = Quartered(DrawnArea(map));
  EXPECT_GT(ToneOf(map, q.topLeft).mean, ToneOf(map, q.bottomRight).mean + 60);
  EXPECT_NEAR(ToneOf(map, q.topRight).mean, ToneOf(map, q.bottomLeft).mean, 10);

  // A cone rising at the west end of the first data row: its contour lines (dark, drawn
  // over a light map) lie at the bottom left, nowhere else.
  const MapGrid cone = Grid(12, 12, [](int r, int c) { return 100 + std::max(0.0, 60 - 10.0 * std::hypot(r, c)); });
  map = gui::DrawMap(MapKind::Terrain, cone, grey, "t");
  q = Quartered(DrawnArea(map));
  EXPECT_GT(ToneOf(map, q.bottomLeft, 250).dark, 50);
  for (const QRect& part : {q.topLeft, q.topRight, q.bottomRight}) EXPECT_EQ(ToneOf(map, part, 250).dark, 0);
}

TEST(QtTexts, StandardButtonsSpeakChinese) {
  QTranslator* translator = gui::InstallQtTranslations(*QCoreApplication::instance());
  ASSERT_NE(translator, nullptr) << "Qt's zh_CN translations are not installed (qt6-translations-l10n)";
  QMessageBox box;
  box.setStandardButtons(QMessageBox::Yes | QMessageBox::Cancel);
  EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), "取消");
  EXPECT_TRUE(box.button(QMessageBox::Yes)->text().startsWith("是"))
      << box.button(QMessageBox::Yes)->text().toStdString();
  // The other tests see Qt as it was.
  QCoreApplication::removeTranslator(translator);
  delete translator;
}

}  // namespace
}  // namespace tarnwell
