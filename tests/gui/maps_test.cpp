// The maps drawn by the program itself: north up (the first data row of a grid file is its
// south edge), the hill shading lit from the north-west, the contour lines where the
// terrain is; the maps from the window, with the yearly maps of every cell; and Qt's own
// texts in Chinese.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QTabWidget>
#include <cmath>

#include "GuiTestSupport.h"
#include "gui/ChartImage.h"
#include "gui/MapMaker.h"
#ifdef TARNWELL_HAVE_GEO
#include "geo/Maps.h"
#endif

namespace tarnwell {
namespace {

namespace fs = std::filesystem;
using gui::MapGrid;
using test::Child;

MapGrid Grid(int rows, int cols, const std::function<double(int, int)>& z) {
  MapGrid g;
  g.rows = rows;
  g.cols = cols;
  g.zMax = 1e4;
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) g.z.push_back(z(r, c));
  return g;
}

gui::ColourMap Spectrum(QColor low, QColor high) {
  return {{{0, low.red(), low.green(), low.blue(), 255}, {100, high.red(), high.green(), high.blue(), 255}}};
}

// The quarters (north-west, north-east, south-west, south-east) of the box of the pixels
// that are not white, below the title, inset by a few pixels off the frame; `across` x
// `down` parts instead of 2 x 2.
std::vector<QRect> Parts(const QImage& map, int across = 2, int down = 2) {
  QRect box;
  for (int y = 34; y < map.height(); ++y)
    for (int x = 0; x < map.width() - 130; ++x)
      if (map.pixelColor(x, y) != Qt::white) box |= QRect(x, y, 1, 1);
  const int w = box.width() / across, h = box.height() / down;
  return {QRect(box.left() + 3, box.top() + 3, w - 6, h - 6), QRect(box.right() - w + 3, box.top() + 3, w - 6, h - 6),
          QRect(box.left() + 3, box.bottom() - h + 3, w - 6, h - 6),
          QRect(box.right() - w + 3, box.bottom() - h + 3, w - 6, h - 6)};
}

// Mean of r + g + b over a part of the picture, and the number of its pixels darker than
// the threshold.
std::pair<double, int> Tone(const QImage& map, const QRect& part, int threshold = 0) {
  long long sum = 0;
  int dark = 0;
  for (int y = part.top(); y <= part.bottom(); ++y)
    for (int x = part.left(); x <= part.right(); ++x) {
      const QColor c = map.pixelColor(x, y);
      sum += c.red() + c.green() + c.blue();
      dark += c.red() + c.green() + c.blue() < threshold ? 1 : 0;
    }
  return {static_cast<double>(sum) / (part.width() * part.height()), dark};
}

TEST(Maps, TheFirstDataRowIsTheSouthEdge) {
  // One high cell at the west end of the first data row, on a wider-than-high grid.
  const MapGrid grid = Grid(3, 4, [](int r, int c) { return r == 0 && c == 0 ? 100.0 : 10.0; });
  const QImage map = gui::DrawMap(gui::MapKind::LandUse, grid, Spectrum(Qt::black, Qt::red), "t");
  const std::vector<QRect> q = Parts(map, 4, 3);  // the corner cells
  EXPECT_EQ(map.pixelColor(q[2].center()), QColor(Qt::red));
  for (int k : {0, 1, 3}) EXPECT_EQ(map.pixelColor(q[static_cast<std::size_t>(k)].center()), QColor(Qt::black)) << k;
}

TEST(Maps, TerrainIsLitFromTheNorthWestAndItsContoursLieWhereItRises) {
  const gui::ColourMap grey = Spectrum(QColor(200, 200, 200), QColor(200, 200, 200));
  // A pyramid: its north-west faces (top left on the picture) are lit, its south-east ones
  // in shade.
  auto pyramid = [](int r, int c) { return 1000.0 - 10 * std::max(std::abs(r - 10), std::abs(c - 10)); };
  QImage map = gui::DrawMap(gui::MapKind::Terrain, Grid(21, 21, pyramid), grey, "t");
  std::vector<QRect> q = Parts(map);
  EXPECT_GT(Tone(map, q[0]).first, Tone(map, q[3]).first + 60);
  EXPECT_NEAR(Tone(map, q[1]).first, Tone(map, q[2]).first, 10);
  // A cone rising at the west end of the first data row: its contour lines (dark, drawn
  // over a light map) lie at the bottom left, nowhere else.
  auto cone = [](int r, int c) { return 100 + std::max(0.0, 60 - 10.0 * std::hypot(r, c)); };
  map = gui::DrawMap(gui::MapKind::Terrain, Grid(12, 12, cone), grey, "t");
  q = Parts(map);
  EXPECT_GT(Tone(map, q[2], 250).second, 50);
  for (int k : {0, 1, 3}) EXPECT_EQ(Tone(map, q[static_cast<std::size_t>(k)], 250).second, 0) << k;
}

TEST(MapsFromWindow, DrawsTheThreeMapsAndTheWholeBasinEntryDrawsTheLastSubBasin) {
  test::TempDir dir;
  test::Window w(test::Tiny(dir, test::TwoBasinsThreeYears()));
  for (const char* name : {"slope.clr", "land.clr", "landuse.clr"})
    test::WriteGbkLines(dir / ("Parameters/" + std::string(name)),
                        "ColorMap 2 1\n0 0 0 255\n50 0 255 0\n100 255 0 0 255\n");
  auto isPng = [&](const char* doc) {
    return test::ReadBytes(dir / ("Output/" + std::string(doc))).rfind("\x89PNG", 0) == 0;
  };
  auto picture = [&](const std::string& image) { return Child<gui::ImageControl>(&w.form1, image.c_str()); };
  w.Click("Button4");
  ASSERT_TRUE(w.Quiet());
  EXPECT_TRUE(isPng("gc1.srf") && isPng("gc2.srf") && isPng("gc3.srf"));
  EXPECT_TRUE(w.Hidden("ImageM") && !w.Hidden("Panel3"));
  for (const char* image : {"Image3", "Image4", "Image5"}) EXPECT_TRUE(picture(image)->HasPicture()) << image;
  // With the maps shown, a double-click on "全流域" redraws them for the last sub-basin.
  fs::remove(dir / "Output/gc1.srf");
  w.DoubleClick(2);
  ASSERT_TRUE(w.Quiet());
  EXPECT_EQ(w.session.state.SelectedSubBasin, 2);
  EXPECT_EQ(Child<QListWidget>(&w.form1, "ListBox1")->currentRow(), 1);
  EXPECT_TRUE(isPng("gc1.srf"));

#ifdef TARNWELL_HAVE_GEO
  // The yearly maps of every cell, beside the terrain's, with a year chooser. Before a run
  // with maps each yearly page says how to make them.
  auto* pages = Child<QTabWidget>(&w.form1, "PageControl2");
  auto* year = Child<QComboBox>(&w.form1, "ComboBoxYear");
  auto hint = [&](int q) { return Child<QLabel>(&w.form1, ("YearlyHint" + std::to_string(q)).c_str()); };
  ASSERT_EQ(pages->count(), 9);
  EXPECT_EQ(pages->tabText(3) + pages->tabText(6), "年降水量年土壤流失量");
  for (int q = 1; q <= 6; ++q)
    EXPECT_TRUE(!hint(q)->isHidden() && hint(q)->text().contains("tarnwell run --maps") &&
                picture("Image" + std::to_string(8 + q))->isHidden())
        << q;
  EXPECT_EQ(year->count(), 0);
  // Maps of sub-basin 1 as "run --maps" leaves them: 3 x 4 cells, the first model row the
  // south edge; one cell far above the others, at the south-west corner in the last year
  // and at the north-east one in the first.
  geo::SubBasinMaps maps;
  maps.rows = 3, maps.cols = 4;
  for (int y : {1990, 1991}) {
    std::vector<double> grid(12, 10.0);
    grid[y == 1991 ? 0 : 11] = 1000.0;
    grid[5] = std::nan("");  // outside the sub-basin
    maps.years.push_back({y, grid, grid, grid, grid, grid, grid});
  }
  geo::GridGeoref georef;
  georef.rows = 3, georef.cols = 4, georef.cellWidth = georef.cellHeight = 500;
  geo::WriteYearlyMaps(maps, georef, dir / "Output/maps", "Output/maps", "subbasin1", geo::MapFormat::GeoTiff);
  // The last year is shown, north up; the chooser appears on the yearly pages only.
  w.DoubleClick(0);
  ASSERT_TRUE(w.Quiet());
  ASSERT_EQ(year->count(), 2);
  EXPECT_EQ(year->currentText(), "1991");
  EXPECT_TRUE(year->isHidden());  // the slope map's page is in front
  pages->setCurrentIndex(3);
  EXPECT_FALSE(year->isHidden());
  for (int q = 1; q <= 6; ++q)
    EXPECT_TRUE(hint(q)->isHidden() && picture("Image" + std::to_string(8 + q))->HasPicture()) << q;
  // Darker is higher: south-west against north-east.
  auto darkerSouthWest = [&] {
    const QImage map = picture("Image9")->Picture();
    const std::vector<QRect> q = Parts(map, 4, 3);
    return Tone(map, q[1]).first - Tone(map, q[2]).first;
  };
  EXPECT_GT(darkerSouthWest(), 100);
  // Another year from the chooser; the next drawing of the maps keeps it.
  year->activated(0);
  w.form1.WaitUntilIdle();
  EXPECT_LT(darkerSouthWest(), -100);
  w.Click("Button4");
  EXPECT_EQ(year->currentText(), "1990");
  // A sub-basin without yearly maps shows the hints again.
  w.DoubleClick(1);
  ASSERT_TRUE(w.Quiet());
  EXPECT_TRUE(year->count() == 0 && year->isHidden() && !hint(1)->isHidden());
#endif

  // A missing colour file names itself; the maps drawn before stay.
  fs::remove(dir / "Parameters/landuse.clr");
  w.Click("Button4");
  ASSERT_EQ(w.errors().size(), 1u);
  EXPECT_NE(w.errors()[0].find("landuse.clr"), std::string::npos) << w.errors()[0];
  EXPECT_TRUE(picture("Image3")->HasPicture() && picture("Image5")->HasPicture());
}

}  // namespace
}  // namespace tarnwell
