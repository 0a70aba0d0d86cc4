// Stored results and maps from the window, on a tiny workspace of two sub-basins and three
// years.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <filesystem>

#include "GuiTestSupport.h"
#include "TinyWorkspace.h"
#include "app/Session.h"
#include "gui/ChartImage.h"
#include "gui/ChartPainter.h"
#include "gui/Form1.h"
#include "inputs/TextFile.h"
#include "model/ModelState.h"
#ifdef TARNWELL_HAVE_GEO
#include "geo/Maps.h"
#endif

namespace tarnwell {
namespace {

namespace fs = std::filesystem;
using test::Child;

test::TinyWorkspace TwoBasinsThreeYears() {
  test::TinyWorkspace w;
  w.simYears = 3;
  test::TinySubBasin a, b;
  a.name = "甲";
  b.name = "乙";
  for (test::TinySubBasin* s : {&a, &b}) {
    s->rows = 3;
    s->cols = 4;
    s->elevation = [](int r, int c) { return 400.0 + 30 * r + 10 * c; };
    s->landUse = [](int r, int c) { return 10.0 * ((r + c) % 5) + 11; };
    s->slope = [](int r, int c) { return 2.0 * r + c; };
    s->years = {test::TinyYear{1990}, test::TinyYear{1991}, test::TinyYear{1992}};
    s->years[1].precip = [](int d) { return d % 7 == 0 ? 20.0 : 1.0; };
  }
  w.subBasins = {a, b};
  return w;
}

// The main window on the workspace of two sub-basins and three years.
struct Window : test::Window {
  explicit Window(const test::TempDir& dir)
      : test::Window((test::WriteTinyWorkspace(dir.Path().string(), TwoBasinsThreeYears()), dir)) {}
  int Rows() { return Child<QTableWidget>(&form1, "StringGrid1")->rowCount(); }
  QString Cell(const char* grid, int r, int c) {
    QTableWidgetItem* item = Child<QTableWidget>(&form1, grid)->item(r, c);
    return item ? item->text() : QString();
  }
};

TEST(BrowseFromWindow, YearsAddThirteenRowsAndTheWholeBasinShowsItsOwnFiles) {
  test::TempDir dir;
  Window w(dir);
  w.Click("Button3");
  ASSERT_TRUE(w.sink.errors.empty()) << w.sink.errors[0];
  EXPECT_EQ(w.Rows(), 14);
  EXPECT_EQ(w.Cell("StringGrid1", 0, 2), "实测平均流量");
  EXPECT_EQ(w.Cell("StringGrid1", 13, 0), "1990全年");
  EXPECT_EQ(Child<QTableWidget>(&w.form1, "StringGrid2")->columnCount(), 10);
  EXPECT_TRUE(Child<gui::ImageControl>(&w.form1, "Image1")->HasPicture());
  w.Click("Button7");
  w.Click("Button7");
  EXPECT_EQ(w.Rows(), 40);
  EXPECT_EQ(w.Cell("StringGrid1", 39, 0), "1992全年");
  w.Click("Button7");
  EXPECT_EQ(w.sink.notices, std::vector<std::string>{"have finished the simulation!"});
  EXPECT_EQ(w.session.state.YearIndex, 3);

  // "模拟结果图": year 1 of sub-basin 1, then one year per "下一年".
  w.Click("Button5");
  ASSERT_TRUE(w.sink.errors.empty()) << w.sink.errors[0];
  EXPECT_EQ(w.session.state.BrowseMode, 1);
  EXPECT_EQ(w.Rows(), 14);
  w.Click("Button7");
  EXPECT_EQ(w.Rows(), 27);
  EXPECT_EQ(w.Cell("StringGrid1", 26, 0), "1991全年");
  w.Click("Button7");
  w.Click("Button7");
  EXPECT_EQ(w.sink.notices.back(), "This is the last year!");
  EXPECT_EQ(w.session.state.YearIndex, 3);
  EXPECT_EQ(w.Rows(), 40);

  // The whole-basin entry shows the files of "全流域".
  w.DoubleClick(2);
  ASSERT_TRUE(w.sink.errors.empty()) << w.sink.errors[0];
  EXPECT_EQ(w.session.state.SelectedSubBasin, 3);
  TextReader budget((dir.Path() / "Output" / "全流域" / "Budget.out").string(), "Budget.out");
  budget.SkipLines(5);
  const FieldLine january = budget.ReadFields();
  EXPECT_EQ(w.Cell("StringGrid1", 1, 3).toStdString(), january.Token(3));

  // A sub-basin without results: the error is shown and the tables keep what they showed.
  fs::remove_all(dir.Path() / "Output" / "流域2");
  const QString before = w.Cell("StringGrid1", 1, 3);
  w.DoubleClick(1);
  ASSERT_EQ(w.sink.errors.size(), 1u);
  EXPECT_NE(w.sink.errors[0].find("流域2"), std::string::npos) << w.sink.errors[0];
  EXPECT_EQ(w.Cell("StringGrid1", 1, 3), before);
  EXPECT_EQ(w.Rows(), 40);
}

TEST(BrowseFromWindow, ARunEndsBrowsingSoNextYearSimulatesAgain) {
  test::TempDir dir;
  {
    Window w(dir);
    w.Click("Button3");
    w.Click("Button5");  // browsing: the one stored year
    ASSERT_TRUE(w.sink.errors.empty()) << w.sink.errors[0];
    EXPECT_EQ(w.session.params.SimYears, 1);
    w.Click("Button3");
    EXPECT_EQ(w.session.state.BrowseMode, 0);
    EXPECT_EQ(w.session.params.SimYears, 3);  // the parameter file's years again
    w.Click("Button7");
    EXPECT_TRUE(w.sink.notices.empty()) << w.sink.notices[0];
    ASSERT_TRUE(w.sink.errors.empty()) << w.sink.errors[0];
    EXPECT_EQ(w.session.state.YearIndex, 2);
    EXPECT_EQ(w.Rows(), 27);
    EXPECT_EQ(w.Cell("StringGrid1", 26, 0), "1991全年");
  }
  // A later program run: browsing the results stored before, then a run and "下一年".
  test::Window later(dir);
  for (const char* button : {"Button5", "Button7", "Button3", "Button7"}) later.Click(button);
  ASSERT_TRUE(later.sink.errors.empty()) << later.sink.errors[0];
  EXPECT_TRUE(later.sink.notices.empty()) << later.sink.notices[0];
  EXPECT_EQ(later.session.state.YearIndex, 2);
  EXPECT_EQ(Child<QTableWidget>(&later.form1, "StringGrid1")->item(26, 0)->text(), "1991全年");
}

TEST(BrowseFromWindow, AWorkspaceWithoutResultsSaysARunMakesThem) {
  const std::string message = "No stored results yet: a run (模拟计算) makes them.";
  test::TempDir dir;
  Window w(dir);  // start-up leaves an empty Mark.out
  w.Click("Button5");
  ASSERT_EQ(w.sink.errors, std::vector<std::string>{message});
  EXPECT_EQ(w.session.state.BrowseMode, 0);
  // A marker that says 0, or none at all, is the same.
  test::WriteGbkLines((dir.Path() / "Output" / "Mark.out").string(), " 0\n");
  w.Click("Button5");
  fs::remove(dir.Path() / "Output" / "Mark.out");
  w.Click("Button5");
  EXPECT_EQ(w.sink.errors, std::vector<std::string>(3, message));
  // "下一年" then has nothing to browse nor to continue from.
  w.Click("Button7");
  EXPECT_EQ(w.sink.errors.size(), 3u);
  EXPECT_TRUE(w.sink.notices.empty());
}

TEST(BrowseFromWindow, AYearStartingLateShowsTheRowsItHas) {
  test::TempDir dir;
  test::TinyWorkspace tiny;
  tiny.subBasins[0].years[0].startDay = 100;  // 9 April 2000: January to March unsimulated
  test::WriteTinyWorkspace(dir.Path().string(), tiny);
  test::Window w(dir);
  w.Click("Button3");
  w.Click("Button5");
  ASSERT_TRUE(w.sink.errors.empty()) << w.sink.errors[0];
  auto* grid = Child<QTableWidget>(&w.form1, "StringGrid1");
  ASSERT_EQ(grid->rowCount(), 1 + 9 + 1);
  EXPECT_EQ(grid->item(1, 0)->text(), "04-2000");
  EXPECT_EQ(grid->item(10, 0)->text(), "2000全年");
  EXPECT_TRUE(Child<gui::ImageControl>(&w.form1, "Image1")->HasPicture());
}

void WriteColourFiles(const test::TempDir& dir) {
  for (const char* name : {"slope.clr", "land.clr", "landuse.clr"})
    test::WriteGbkLines((dir.Path() / "Parameters" / name).string(),
                        "ColorMap 2 1\n0 0 0 255\n50 0 255 0\n100 255 0 0 255\n");
}

bool IsPng(const fs::path& file) { return test::ReadBytes(file.string()).rfind("\x89PNG", 0) == 0; }

TEST(MapsFromWindow, DrawsTheThreeMapsAndTheWholeBasinEntryDrawsTheLastSubBasin) {
  test::TempDir dir;
  Window w(dir);
  WriteColourFiles(dir);
  w.Click("Button4");
  ASSERT_TRUE(w.sink.errors.empty()) << w.sink.errors[0];
  for (const char* doc : {"gc1.srf", "gc2.srf", "gc3.srf"}) EXPECT_TRUE(IsPng(dir.Path() / "Output" / doc)) << doc;
  EXPECT_TRUE(Child<QWidget>(&w.form1, "ImageM")->isHidden());
  EXPECT_FALSE(Child<QWidget>(&w.form1, "Panel3")->isHidden());
  EXPECT_EQ(Child<QTabWidget>(&w.form1, "PageControl2")->currentWidget()->objectName(), "TabSheet5");
  for (const char* image : {"Image3", "Image4", "Image5"})
    EXPECT_TRUE(Child<gui::ImageControl>(&w.form1, image)->HasPicture()) << image;

  // With the maps shown, a double-click on "全流域" redraws them for the last sub-basin.
  fs::remove(dir.Path() / "Output" / "gc1.srf");
  w.DoubleClick(2);
  ASSERT_TRUE(w.sink.errors.empty()) << w.sink.errors[0];
  EXPECT_EQ(w.session.state.SelectedSubBasin, 2);
  EXPECT_EQ(Child<QListWidget>(&w.form1, "ListBox1")->currentRow(), 1);
  EXPECT_TRUE(IsPng(dir.Path() / "Output" / "gc1.srf"));

  // A missing colour file names itself; the maps drawn before stay.
  fs::remove(dir.Path() / "Parameters" / "landuse.clr");
  const QImage slopeBefore = Child<gui::ImageControl>(&w.form1, "Image3")->Picture();
  w.Click("Button4");
  ASSERT_EQ(w.sink.errors.size(), 1u);
  EXPECT_NE(w.sink.errors[0].find("landuse.clr"), std::string::npos) << w.sink.errors[0];
  EXPECT_TRUE(Child<gui::ImageControl>(&w.form1, "Image3")->HasPicture());
  EXPECT_TRUE(Child<gui::ImageControl>(&w.form1, "Image5")->HasPicture());
}

#ifdef TARNWELL_HAVE_GEO
// Yearly maps of sub-basin 1 as "run --maps" leaves them: 3 x 4 cells, the first model row
// the south edge; in each year one cell far above the others, at the south-west corner in
// the last year and at the north-east one in the first.
void WriteYearlyMaps(const test::TempDir& dir) {
  geo::SubBasinMaps maps;
  maps.rows = 3;
  maps.cols = 4;
  for (int year : {1990, 1991}) {
    std::vector<double> grid(12, 10.0);
    grid[year == 1991 ? 0 : 11] = 1000.0;
    grid[5] = std::nan("");  // outside the sub-basin
    maps.years.push_back({year, grid, grid, grid, grid, grid, grid});
  }
  geo::GridGeoref georef;
  georef.rows = 3;
  georef.cols = 4;
  georef.cellWidth = georef.cellHeight = 500;
  const fs::path out = dir.Path() / "Output" / "maps";
  geo::WriteYearlyMaps(maps, georef, out.string(), "Output/maps", "subbasin1", geo::MapFormat::GeoTiff);
}

// Mean darkness (765 less r + g + b) of the south-west and north-east quarters of a map's
// cells, which fill the middle of the 780 x 500 picture.
std::pair<double, double> SouthWestAndNorthEast(const QImage& map) {
  QRect box;
  for (int y = 34; y < map.height(); ++y)
    for (int x = 0; x < map.width() - 130; ++x)
      if (map.pixelColor(x, y) != Qt::white) box |= QRect(x, y, 1, 1);
  auto darkness = [&](QRect part) {
    double sum = 0;
    for (int y = part.top(); y <= part.bottom(); ++y)
      for (int x = part.left(); x <= part.right(); ++x) {
        const QColor c = map.pixelColor(x, y);
        sum += 765 - c.red() - c.green() - c.blue();
      }
    return sum / (part.width() * part.height());
  };
  const int w = box.width() / 4, h = box.height() / 3;
  return {darkness(QRect(box.left() + 3, box.bottom() - h + 3, w - 6, h - 6)),
          darkness(QRect(box.right() - w + 3, box.top() + 3, w - 6, h - 6))};
}

TEST(MapsFromWindow, YearlyMapsOfEveryCellBesideTheTerrainsWithAYearChooser) {
  test::TempDir dir;
  Window w(dir);
  WriteColourFiles(dir);
  auto* pages = Child<QTabWidget>(&w.form1, "PageControl2");
  auto* year = Child<QComboBox>(&w.form1, "ComboBoxYear");
  ASSERT_EQ(pages->count(), 9);
  EXPECT_EQ(pages->tabText(3), "年降水量");
  EXPECT_EQ(pages->tabText(6), "年土壤流失量");

  // Before a run with maps each yearly page says how to make them.
  w.Click("Button4");
  ASSERT_TRUE(w.sink.errors.empty()) << w.sink.errors[0];
  for (int q = 1; q <= 6; ++q) {
    auto* hint = Child<QLabel>(&w.form1, ("YearlyHint" + std::to_string(q)).c_str());
    EXPECT_FALSE(hint->isHidden()) << q;
    EXPECT_TRUE(hint->text().contains("tarnwell run --maps")) << hint->text().toStdString();
    EXPECT_TRUE(Child<gui::ImageControl>(&w.form1, ("Image" + std::to_string(8 + q)).c_str())->isHidden()) << q;
  }
  EXPECT_EQ(year->count(), 0);

  // With the maps of two years: the last year is shown, north up, and the chooser appears on
  // the yearly pages only.
  WriteYearlyMaps(dir);
  w.DoubleClick(0);
  ASSERT_TRUE(w.sink.errors.empty()) << w.sink.errors[0];
  ASSERT_EQ(year->count(), 2);
  EXPECT_EQ(year->currentText(), "1991");
  EXPECT_TRUE(year->isHidden());  // the slope map's page is in front
  pages->setCurrentIndex(3);
  EXPECT_FALSE(year->isHidden());
  for (int q = 1; q <= 6; ++q) {
    EXPECT_TRUE(Child<QLabel>(&w.form1, ("YearlyHint" + std::to_string(q)).c_str())->isHidden()) << q;
    EXPECT_TRUE(Child<gui::ImageControl>(&w.form1, ("Image" + std::to_string(8 + q)).c_str())->HasPicture()) << q;
  }
  auto* precipitation = Child<gui::ImageControl>(&w.form1, "Image9");
  auto [southWest, northEast] = SouthWestAndNorthEast(precipitation->Picture());
  EXPECT_GT(southWest, northEast + 100);

  // Another year from the chooser; the next drawing of the maps keeps it.
  year->activated(0);
  w.form1.WaitUntilIdle();
  ASSERT_TRUE(w.sink.errors.empty()) << w.sink.errors[0];
  std::tie(southWest, northEast) = SouthWestAndNorthEast(precipitation->Picture());
  EXPECT_GT(northEast, southWest + 100);
  w.Click("Button4");
  EXPECT_EQ(year->currentText(), "1990");

  // A sub-basin without yearly maps shows the hints again.
  w.DoubleClick(1);
  ASSERT_TRUE(w.sink.errors.empty()) << w.sink.errors[0];
  EXPECT_EQ(year->count(), 0);
  EXPECT_TRUE(year->isHidden());
  EXPECT_FALSE(Child<QLabel>(&w.form1, "YearlyHint1")->isHidden());
}
#endif

}  // namespace
}  // namespace tarnwell
