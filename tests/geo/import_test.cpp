// Import from GIS data: small rasters, tables and NetCDF files written by the tests
// themselves, imported, and the workspace's files checked against answers worked out by
// hand (row order, header extents, class codes, slope, delineation, area weights), then
// checked and run by the model; and every refusal naming its file and line or class.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>

#include "GeoTestSupport.h"
#include "TestSupport.h"
#include "app/Check.h"
#include "app/Session.h"
#include "app/Startup.h"
#include "geo/Export.h"
#include "geo/FlowDirection.h"
#include "geo/GeoSupport.h"
#include "geo/Import.h"
#include "geo/Raster.h"
#include "hardening/HardeningSupport.h"
#include "inputs/TextFile.h"
#include "model/Errors.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;
using test::TestRaster;

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

std::string IsoDay(int year, int dayOfYear) {
  static const int before[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};
  int m = 0;
  const int leap = IsLeap(year) ? 1 : 0;
  while (m < 11 && dayOfYear > before[m + 1] + (m + 1 >= 2 ? leap : 0)) ++m;
  const int d = dayOfYear - before[m] - (m >= 2 ? leap : 0);
  char buf[32];  // room for any int, so the compiler sees no truncation
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", year, m + 1, d);
  return buf;
}

// A basin of 5 rows x 6 columns of 100 m in UTM 32N, its west edge 300 m west of the zone's
// central meridian (9 E). The terrain is a plane rising 10 m a row southwards and 1 m a
// column eastwards; the west half is land-cover class 1, the east half class 2; rows 0-1
// are sub-basin 1 (except the north-west cell), rows 2-4 sub-basin 2. The weather is a
// table per sub-basin for 2001; the outlet gauge is in a text format of its own.
struct ImportSet {
  test::TempDir dir;
  TestRaster terrain, land, ids;
  std::map<std::string, std::string> files;  // relative path -> text
  std::vector<std::string> config;           // lines of import.conf
  std::string workspace;

  ImportSet() {
    terrain = {5, 6, 499700, 5000600, 100, 100, {}, -9999, "EPSG:32632"};
    land = ids = terrain;
    for (int r = 0; r < 5; ++r)
      for (int c = 0; c < 6; ++c) {
        terrain.values.push_back(200 + 10 * r + c);
        land.values.push_back(c < 3 ? 1 : 2);
        ids.values.push_back(r == 0 && c == 0 ? 0 : r < 2 ? 1 : 2);
      }
    files["classes.csv"] = "class,code,name\n1,21,forest\n2,31,grass\n";
    files["sub-basins.csv"] = "id,name,muskingum_k_hours,muskingum_x\n1,甲,24,0.2\n2,乙,12,0.1\n";
    for (int id : {1, 2}) {
      std::string t = "date,precipitation,temperature\n";
      for (int d = 1; d <= 365; ++d)
        t += IsoDay(2001, d) + "," + std::to_string(id * 1.5 + d % 3) + "," + std::to_string(-5 + d * 0.05) + "\n";
      files["weather/" + std::to_string(id) + ".csv"] = t;
    }
    // The gauge: five heading lines, "year month day hour minute value"; day 3 is no-data
    // and day 5 has no row.
    std::string g = "gauge 7\nnodata -9999\nn 1\nstart 2001 01 01\nend 2001 12 31\n";
    for (int d = 1; d <= 365; ++d) {
      if (d == 5) continue;
      const std::string iso = IsoDay(2001, d);
      g += iso.substr(0, 4) + " " + iso.substr(5, 2) + " " + iso.substr(8, 2) + " 00 00 " +
           (d == 3 ? std::string("-9999") : std::to_string(2.0 + d * 0.01)) + "\n";
    }
    files["gauge.txt"] = g;
    config = {"# test basin",
              "terrain = terrain.tif",
              "land_cover = land.tif",
              "land_cover_classes = classes.csv",
              "sub_basin_raster = ids.tif",
              "sub_basins = sub-basins.csv",
              "weather_table = weather/{id}.csv",
              "discharge = gauge.txt",
              "discharge_delimiter = whitespace",
              "discharge_skip_lines = 5",
              "discharge_header = no",
              "discharge_date = 1 2 3",
              "discharge_column = 6",
              "discharge_no_data = -9999",
              "sediment_concentration = 0.5",
              "sub_basin_discharge = area-share",
              "latitude = 45.2",
              "min_sub_basin_area_km2 = 0.05"};
    workspace = dir / "W";
  }

  std::string Path(const std::string& rel) const { return dir / rel; }

  void Set(const std::string& key, const std::string& value) {
    for (std::string& l : config)
      if (l.rfind(key + " =", 0) == 0) {
        l = key + " = " + value;
        return;
      }
    config.push_back(key + " = " + value);
  }
  void Drop(const std::string& key) {
    std::erase_if(config, [&](const std::string& l) { return l.rfind(key + " =", 0) == 0; });
  }
  // Line number of a key in the written configuration.
  long LineOf(const std::string& key) const {
    for (std::size_t i = 0; i < config.size(); ++i)
      if (config[i].rfind(key + " =", 0) == 0) return static_cast<long>(i + 1);
    return 0;
  }

  std::string Write() {
    test::WriteRasterFile(Path("terrain.tif"), terrain);
    test::WriteRasterFile(Path("land.tif"), land);
    test::WriteRasterFile(Path("ids.tif"), ids);
    for (const auto& [rel, text] : files) test::WriteBytes(Path(rel), text);
    std::string c;
    for (const std::string& l : config) c += l + "\n";
    test::WriteBytes(Path("import.conf"), c);
    return Path("import.conf");
  }

  geo::ImportReport Import() {
    geo::ImportOptions o;
    o.config = Write();
    o.workspace = workspace;
    std::ostringstream out;
    return geo::RunImport(o, out);
  }

  // The message of the refusal of this configuration.
  std::string Refusal() {
    try {
      Import();
    } catch (const TarnwellError& e) {
      return e.what();
    }
    ADD_FAILURE() << "the import was not refused";
    return "";
  }

  std::vector<std::string> Lines(const std::string& rel) const { return test::FileLines(workspace + "/" + rel); }
};

std::string GeorefValue(const std::vector<std::string>& lines, const std::string& key) {
  for (const std::string& l : lines)
    if (l.rfind(key + " = ", 0) == 0) return l.substr(key.size() + 3);
  return "";
}

TEST(Import, GridsInSurferOrderWithTheModelsHeaderAndTheTrueGeoreference) {
  ImportSet set;
  const geo::ImportReport report = set.Import();
  ASSERT_EQ(report.subBasins.size(), 2u);
  EXPECT_EQ(report.subBasins[0].cells, 11);
  EXPECT_EQ(report.subBasins[1].cells, 18);
  EXPECT_DOUBLE_EQ(report.subBasins[0].areaKm2, 0.11);

  // Sub-basin 1: rows 0-1, all six columns. The first value line is the southern row (row
  // 1); x max = x min + 100 x rows and y max = y min + 100 x columns, from the true
  // south-west corner (499700, 5000400).
  const std::vector<std::string> dem = set.Lines("input/甲/dem.grd");
  ASSERT_EQ(dem.size(), 7u);
  EXPECT_EQ(dem[0], "DSAA");
  EXPECT_EQ(dem[1], "6 2");
  EXPECT_EQ(dem[2], "499700 499900");
  EXPECT_EQ(dem[3], "5000400 5001000");
  EXPECT_EQ(dem[4], "201 216");  // lowest cell, highest + 1
  EXPECT_EQ(dem[5], "210 211 212 213 214 215");
  EXPECT_EQ(dem[6], "-9999 201 202 203 204 205");
  const std::vector<std::string> lu = set.Lines("input/甲/landuse.grd");
  EXPECT_EQ(lu[4], "21 31");
  EXPECT_EQ(lu[5], "21 21 21 31 31 31");
  EXPECT_EQ(lu[6], "255 21 21 31 31 31");
  // Sub-basin 2: rows 2-4, its first line the southern row 4.
  const std::vector<std::string> dem2 = set.Lines("input/乙/dem.grd");
  EXPECT_EQ(dem2[1], "6 3");
  EXPECT_EQ(dem2[2], "499700 500000");
  EXPECT_EQ(dem2[3], "5000100 5000700");
  EXPECT_EQ(dem2[5], "240 241 242 243 244 245");
  EXPECT_EQ(dem2[7], "220 221 222 223 224 225");

  // Horn's slope of the plane: rises of 1 m and 10 m per 100 m give atan(0.1005) = 5.74
  // degrees in every cell away from the raster's east and west borders.
  const std::vector<std::string> slope = set.Lines("input/乙/slope.grd");
  EXPECT_EQ(slope[4], "5 6");
  for (int i = 5; i < 8; ++i) {
    const std::vector<std::string> t = SplitFields(slope[static_cast<std::size_t>(i)]);
    EXPECT_EQ(std::vector<std::string>(t.begin() + 1, t.end() - 1), std::vector<std::string>(4, "5.74"));
  }

  // The georeference beside the grids.
  const std::vector<std::string> g = set.Lines("input/甲/georef.txt");
  auto value = [&](const std::string& key) { return GeorefValue(g, key); };
  EXPECT_TRUE(test::SameCrsText(value("crs"), "EPSG:32632"));
  EXPECT_EQ(value("west"), "499700");
  EXPECT_EQ(value("south"), "5000400");
  EXPECT_EQ(value("cell_width"), "100");
  EXPECT_EQ(value("rows"), "2");
  EXPECT_EQ(value("columns"), "6");
  EXPECT_EQ(value("first_row"), "south");

  EXPECT_EQ(set.Lines("input/子流域.in"), (std::vector<std::string>{"2", "甲 24 0.2", "乙 12 0.1"}));
  EXPECT_EQ(set.Lines("Parameters/当前参数文件.txt")[0], "纬度 45.2");
  EXPECT_EQ(set.Lines("Parameters/当前参数文件.txt")[2], "模拟年数 1");
}

TEST(Import, ImportedGridExportsBackToTheSourceCells) {
  ImportSet set;
  set.Import();
  const std::string grid = set.workspace + "/input/乙/dem.grd";
  geo::ExportGrid(grid, "dem.grd", "terrain", set.Path("dem.tif"), "dem.tif");
  test::ReadBack b = test::ReadRasterFile(set.Path("dem.tif"));
  // Sub-basin 2 is rows 2-4 of the source: its north edge 200 m below the source's.
  EXPECT_DOUBLE_EQ(b.gt[0], 499700);
  EXPECT_DOUBLE_EQ(b.gt[3], 5000400);
  EXPECT_DOUBLE_EQ(b.gt[1], 100);
  EXPECT_DOUBLE_EQ(b.gt[5], -100);
  ASSERT_EQ(b.rows, 3);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 6; ++c) EXPECT_EQ(b.At(r, c), set.terrain.At(r + 2, c)) << r << " " << c;
}

TEST(Import, GaugeTableWithSkippedLinesAndDateColumnsMissingDaysMarked) {
  ImportSet set;
  const geo::ImportReport report = set.Import();
  EXPECT_EQ(report.outletDischargeGaps, 2);
  const std::vector<std::string> river = set.Lines("input/RiverDaily.in");
  ASSERT_EQ(river.size(), 366u);
  EXPECT_EQ(river[0], "2001年 日期 流量(m3/s) 含沙量(kg/m3)");
  EXPECT_EQ(river[1], "2001-01-01 2.010 0.5");
  EXPECT_EQ(river[3], "2001-01-03 -999 0.5");
  EXPECT_EQ(river[5], "2001-01-05 -999 0.5");
  // The sub-basins' discharge is the outlet's by their share of the area (11 and 18 of
  // 29 cells); a day without it stays without.
  const std::vector<std::string> met = set.Lines("input/乙/weather.in");
  EXPECT_EQ(met[0], "2001 12 1 1 233");  // the sub-basin's mean elevation, 232.5 m
  EXPECT_EQ(met[1], "2001 1 1 0 4.00 -4.95 " + geo::Fixed(2.01 * 18 / 29, 3) + " 0.5");
  EXPECT_EQ(met[3].substr(met[3].size() - 9), " -999 0.5");
  EXPECT_EQ(report.subBasins[1].dischargeGaps, 2);
}

TEST(Import, LandCoverInAnotherCoordinateSystemIsReprojectedOntoTheTerrain) {
  ImportSet set;
  // Longitude and latitude cells of 0.0005 degrees; class 1 west of 9 E, which is the
  // terrain's column edge at x = 500000, class 2 east of it.
  TestRaster geographic{60, 40, 8.99, 45.17, 0.0005, 0.0005, {}, -9999, "EPSG:4326"};
  for (int r = 0; r < 60; ++r)
    for (int c = 0; c < 40; ++c) geographic.values.push_back(c < 20 ? 1 : 2);
  set.land = geographic;
  set.Import();
  const std::vector<std::string> lu = set.Lines("input/乙/landuse.grd");
  for (int i = 5; i < 8; ++i) EXPECT_EQ(lu[static_cast<std::size_t>(i)], "21 21 21 31 31 31");
}

TEST(Import, TargetGridReprojectsTheTerrain) {
  ImportSet set;
  // Everything in UTM 32N, put onto UTM 33N cells of 50 m.
  set.Set("target_crs", "EPSG:32633");
  set.Set("target_cell_size", "50");
  set.Import();
  const std::vector<std::string> dem = set.Lines("input/乙/dem.grd");
  const std::vector<std::string> sizes = SplitFields(dem[1]);
  const int cols = std::stoi(sizes[0]), rows = std::stoi(sizes[1]);
  EXPECT_GE(cols * rows, 18 * 4 * 0.8);
  const std::vector<std::string> x = SplitFields(dem[2]), y = SplitFields(dem[3]);
  EXPECT_EQ(std::stol(x[1]) - std::stol(x[0]), 50L * rows);
  EXPECT_EQ(std::stol(y[1]) - std::stol(y[0]), 50L * cols);
  EXPECT_EQ(std::stol(x[0]) % 50, 0) << "snapped to the target cells";
  EXPECT_TRUE(test::SameCrsText(GeorefValue(set.Lines("input/乙/georef.txt"), "crs"), "EPSG:32633"));
  // Bilinear elevations of the plane stay within its range.
  for (std::size_t i = 5; i < dem.size(); ++i)
    for (const std::string& t : SplitFields(dem[i]))
      if (t != "-9999") {
        EXPECT_GE(std::stod(t), 200);
        EXPECT_LE(std::stod(t), 245);
      }
}

TEST(Import, GeographicGridRefused) {
  ImportSet set;
  set.terrain.crs = set.land.crs = set.ids.crs = "EPSG:4326";
  set.terrain.west = set.land.west = set.ids.west = 9.0;
  set.terrain.north = set.land.north = set.ids.north = 45.0;
  set.terrain.cellWidth = set.terrain.cellHeight = set.land.cellWidth = set.land.cellHeight = set.ids.cellWidth =
      set.ids.cellHeight = 0.001;
  EXPECT_NE(set.Refusal().find("geographic coordinate system (degrees)"), std::string::npos);
}

// The grid of the delineation tests (north row first, ESRI codes): columns 0-1 flow east,
// column 2 south, columns 3-4 west; (3, 0) leaves the map to the south-west; (2, 4) has no
// direction. Outlets at (1, 2) and (3, 2).
const int kFlow[4][5] = {{1, 1, 4, 16, 16}, {1, 1, 4, 16, 16}, {1, 1, 4, 16, 0}, {8, 1, 4, 16, 16}};
const int kExpected[4][5] = {{1, 1, 1, 1, 1}, {1, 1, 1, 1, 1}, {2, 2, 2, 2, 0}, {0, 2, 2, 2, 2}};

geo::Raster FlowRaster(const std::function<double(int)>& recode) {
  geo::Raster r;
  r.name = "flow";
  r.frame.rows = 4;
  r.frame.cols = 5;
  r.frame.cellWidth = r.frame.cellHeight = 10;
  r.frame.north = 40;
  r.hasNoData = true;
  r.noData = -1;
  for (const auto& row : kFlow)
    for (int v : row) r.values.push_back(recode(v));
  return r;
}

TEST(Delineation, NestedOutletsSplitTheBasin) {
  // The same directions in the three codings give the same sub-basins.
  const std::map<int, int> esriToTaudem{{1, 1}, {2, 8}, {4, 7}, {8, 6}, {16, 5}, {32, 4}, {64, 3}, {128, 2}, {0, 0}};
  const std::map<int, int> esriToGrass{{1, 8}, {2, 7}, {4, 6}, {8, 5}, {16, 4}, {32, 3}, {64, 2}, {128, 1}, {0, 0}};
  for (const auto& [coding, recode] : std::vector<std::pair<geo::D8Coding, std::function<double(int)>>>{
           {geo::D8Coding::Esri, [](int v) { return v; }},
           {geo::D8Coding::TauDem, [&](int v) { return esriToTaudem.at(v); }},
           {geo::D8Coding::Grass, [&](int v) { return esriToGrass.at(v); }}}) {
    geo::Raster dirs = FlowRaster(recode);
    std::vector<geo::Outlet> outlets{{1, 25, 25, 2}, {2, 25, 5, 3}};  // cell centres of (1, 2) and (3, 2)
    geo::PlaceOutlets(dirs, coding, outlets, "outlets.csv");
    const std::vector<int> ids = geo::DelineateSubBasins(dirs, coding, outlets);
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 5; ++c)
        EXPECT_EQ(ids[static_cast<std::size_t>(r * 5 + c)], kExpected[r][c]) << "row " << r << " col " << c;
  }
}

TEST(Import, GriddedWeatherWeightedByTheAreaOfEachCell) {
  ImportSet set;
  // Four weather cells of 300 m: the northern pair covers rows 0-2, the southern pair rows
  // 3-4; the western cells columns 0-2. The file's rows run south to north and its
  // temperature is in kelvin.
  const std::vector<double> xs{499850, 500150}, ys{5000150, 5000450};
  const double pre[2][2] = {{4, 7}, {10, 21}};  // [south, north][west, east]
  std::vector<double> times;
  for (int d = 0; d < 365; ++d) times.push_back(d + 0.5);
  test::WriteWeatherNetcdf(set.Path("pre.nc"), "pr", "mm/day", xs, ys, "days since 2001-01-01", times,
                           [&](std::size_t t, std::size_t r, std::size_t c) { return pre[r][c] + (t == 9 ? 100 : 0); });
  test::WriteWeatherNetcdf(
      set.Path("tas.nc"), "tas", "K", xs, ys, "hours since 2001-01-01 00:00:00",
      [&] {
        std::vector<double> h;
        for (double t : times) h.push_back(t * 24);
        return h;
      }(),
      [&](std::size_t, std::size_t r, std::size_t c) { return 273.15 + 10 * r + c; });
  set.Drop("weather_table");
  set.Set("precipitation_netcdf", "pre.nc");
  set.Set("precipitation_variable", "pr");
  set.Set("temperature_netcdf", "tas.nc");
  set.Set("temperature_variable", "tas");
  set.Import();
  // Sub-basin 1 (rows 0-1 but the north-west cell): 5 cells under the north-west weather
  // cell, 6 under the north-east one.
  std::vector<std::string> met = set.Lines("input/甲/weather.in");
  EXPECT_EQ(SplitFields(met[1])[4], geo::Fixed((5 * 10 + 6 * 21) / 11.0, 2));
  EXPECT_EQ(SplitFields(met[10])[4], geo::Fixed((5 * 110 + 6 * 121) / 11.0, 2));
  EXPECT_EQ(SplitFields(met[1])[5], geo::Fixed((5 * 10 + 6 * 11) / 11.0, 2));
  // Sub-basin 2: row 2 under the northern pair (3 cells each), rows 3-4 under the southern.
  met = set.Lines("input/乙/weather.in");
  EXPECT_EQ(SplitFields(met[1])[4], geo::Fixed((3 * 10 + 3 * 21 + 6 * 4 + 6 * 7) / 18.0, 2));
  EXPECT_EQ(SplitFields(met[1])[5], geo::Fixed((3 * 10 + 3 * 11 + 6 * 0 + 6 * 1) / 18.0, 2));
}

// Each refusal names the file and the line or the class; nothing is written.
TEST(ImportRefusals, EachNamesItsFileAndLine) {
  const std::vector<std::pair<std::function<void(ImportSet&)>, std::vector<std::string>>> cases{
      {[](ImportSet& s) { s.land.values[14] = 7; }, {"classes.csv", "land-cover class 7", "land.tif"}},
      {[](ImportSet& s) { s.config.insert(s.config.begin() + 3, "terain = terrain.tif"); },
       {"import.conf line 4: unknown key \"terain\""}},
      {[](ImportSet& s) { s.Set("land_cover", "nowhere/land.tif"); },
       {"import.conf line 3", "nowhere/land.tif", "does not exist"}},
      {[](ImportSet& s) {
         std::string& w = s.files["weather/2.csv"];
         const std::size_t at = w.find("2001-03-05");
         w.erase(at, w.find('\n', at) - at + 1);
       },
       {"weather/2.csv", "date gap: no row for 2001-03-05 after 2001-03-04 on line 64"}},
      {[](ImportSet& s) { s.land.west = 600000; }, {"land.tif", "does not overlap the terrain raster"}},
  };
  for (const auto& [spoil, said] : cases) {
    ImportSet set;
    spoil(set);
    const std::string m = set.Refusal();
    for (const std::string& part : said) EXPECT_NE(m.find(part), std::string::npos) << m;
    EXPECT_FALSE(fs::exists(set.workspace)) << m;
  }
}

TEST(ImportRefusals, OutletOffTheFlowNetwork) {
  ImportSet set;
  TestRaster flow{4, 5, 499700, 5000600, 100, 100, {}, -1, "EPSG:32632"};
  for (const auto& row : kFlow)
    for (int v : row) flow.values.push_back(v);
  test::WriteRasterFile(set.Path("fdir.tif"), flow);
  set.files["outlets.csv"] = "id,x,y\n1,499950,5000450\n2,500150,5000350\n";  // (2, 4): no direction
  set.Drop("sub_basin_raster");
  set.Set("flow_direction", "fdir.tif");
  set.Set("outlets", "outlets.csv");
  set.Set("outlet_snap_radius", "0");
  std::string m = set.Refusal();
  EXPECT_NE(m.find("outlets.csv line 3: outlet 2"), std::string::npos) << m;
  EXPECT_NE(m.find("off the flow network"), std::string::npos) << m;
  set.files["outlets.csv"] = "id,x,y\n1,499950,5000450\n2,600000,5000350\n";
  m = set.Refusal();
  EXPECT_NE(m.find("outlets.csv line 3"), std::string::npos) << m;
  EXPECT_NE(m.find("lies outside the flow-direction grid"), std::string::npos) << m;
}

TEST(ImportRefusals, RastersThatDoNotOverlap) {
  ImportSet set;
  set.land.west = 600000;
  const std::string m = set.Refusal();
  EXPECT_NE(m.find("land.tif"), std::string::npos) << m;
  EXPECT_NE(m.find("does not overlap the terrain raster"), std::string::npos) << m;
}

TEST(ImportRefusals, AnExistingWorkspaceNeedsReplace) {
  ImportSet set;
  set.Import();
  const std::string conf = set.Write();
  test::CliResult r = test::RunCli({"import", "--config", conf, "--workspace", set.workspace}, set.dir / "");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("--replace"), std::string::npos) << r.err;
  r = test::RunCli({"import", "--config", conf, "--workspace", set.workspace, "--replace"}, set.dir / "");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("甲"), std::string::npos) << r.out;
}

TEST(ImportRefusals, DataInsideTheDirectoriesItReplaces) {
  ImportSet set;
  set.workspace = set.dir.Path().string();
  set.Set("terrain", "input/terrain.tif");
  geo::ImportOptions o;
  o.config = set.Write();
  o.workspace = set.workspace;
  o.replace = true;
  fs::create_directories(set.Path("input"));
  fs::copy_file(set.Path("terrain.tif"), set.Path("input/terrain.tif"));
  std::ostringstream out;
  try {
    geo::RunImport(o, out);
    ADD_FAILURE() << "not refused";
  } catch (const InputError& e) {
    EXPECT_NE(std::string(e.what()).find("lies inside the workspace's input/"), std::string::npos) << e.what();
  }
  EXPECT_TRUE(fs::exists(set.Path("input/terrain.tif")));
}

}  // namespace
}  // namespace tarnwell
