// Import from GIS data: small rasters, tables and NetCDF files written by the tests
// themselves, imported, and the workspace's files checked against answers worked out by
// hand (row order, header extents, class codes, slope, delineation, area weights); every
// value beyond its range and every other refusal naming its file and line or cell; what is
// accepted at the edges of the ranges passing the model's check; the shipped demo rebuilt.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>

#include "GeoTestSupport.h"
#include "app/Check.h"
#include "app/Session.h"
#include "app/Startup.h"
#include "geo/Export.h"
#include "geo/FlowDirection.h"
#include "geo/GeoSupport.h"
#include "geo/Raster.h"
#include "inputs/TextFile.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;
using test::Holds;
using test::ImportSet;
using test::TestRaster;

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
  // south-west corner (499700, 5000400); z: lowest cell, highest + 1.
  EXPECT_EQ(set.Lines("input/甲/dem.grd"),
            (std::vector<std::string>{"DSAA", "6 2", "499700 499900", "5000400 5001000", "201 216",
                                      "210 211 212 213 214 215", "-9999 201 202 203 204 205"}));
  const std::vector<std::string> lu = set.Lines("input/甲/landuse.grd");
  EXPECT_EQ(std::vector<std::string>(lu.begin() + 4, lu.end()),
            (std::vector<std::string>{"21 31", "21 21 21 31 31 31", "255 21 21 31 31 31"}));
  // Sub-basin 2: rows 2-4, its first line the southern row 4.
  const std::vector<std::string> dem2 = set.Lines("input/乙/dem.grd");
  EXPECT_EQ(std::vector<std::string>(dem2.begin() + 1, dem2.begin() + 4),
            (std::vector<std::string>{"6 3", "499700 500000", "5000100 5000700"}));
  EXPECT_EQ(dem2[5], "240 241 242 243 244 245");
  EXPECT_EQ(dem2[7], "220 221 222 223 224 225");
  // Horn's slope of the plane: rises of 1 m and 10 m per 100 m give atan(0.1005) = 5.74
  // degrees in every cell away from the raster's east and west borders.
  const std::vector<std::string> slope = set.Lines("input/乙/slope.grd");
  EXPECT_EQ(slope[4], "5 6");
  for (std::size_t i = 5; i < 8; ++i) {
    const std::vector<std::string> t = SplitFields(slope[i]);
    EXPECT_EQ(std::vector<std::string>(t.begin() + 1, t.end() - 1), std::vector<std::string>(4, "5.74"));
  }
  // The georeference beside the grids.
  const std::vector<std::string> g = set.Lines("input/甲/georef.txt");
  EXPECT_TRUE(test::SameCrsText(GeorefValue(g, "crs"), "EPSG:32632"));
  const std::vector<std::pair<std::string, std::string>> georef{{"west", "499700"},    {"south", "5000400"},
                                                                {"cell_width", "100"}, {"rows", "2"},
                                                                {"columns", "6"},      {"first_row", "south"}};
  for (const auto& [key, value] : georef) EXPECT_EQ(GeorefValue(g, key), value) << key;
  EXPECT_EQ(set.Lines("input/子流域.in"), (std::vector<std::string>{"2", "甲 24 0.2", "乙 12 0.1"}));
  EXPECT_EQ(set.Lines("Parameters/当前参数文件.txt")[0], "纬度 45.2");
  EXPECT_EQ(set.Lines("Parameters/当前参数文件.txt")[2], "模拟年数 1");

  // The gauge table with skipped lines and date columns: days 3 (no-data) and 5 (no row)
  // marked missing.
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

  // The imported grid exported back: sub-basin 2 is rows 2-4 of the source, its north edge
  // 200 m below the source's.
  geo::ExportGrid(set.workspace + "/input/乙/dem.grd", "dem.grd", "terrain", set.Path("dem.tif"), "dem.tif");
  const test::ReadBack b = test::ReadRasterFile(set.Path("dem.tif"));
  EXPECT_EQ(b.Corner(), (std::vector<double>{499700, 100, 5000400, -100}));
  ASSERT_EQ(b.rows, 3);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 6; ++c) EXPECT_EQ(b.At(r, c), set.terrain.At(r + 2, c)) << r << " " << c;
}

TEST(Import, LandCoverInAnotherCoordinateSystemIsReprojectedOntoTheTerrain) {
  ImportSet set;
  // Longitude and latitude cells of 0.0005 degrees; class 1 west of 9 E, which is the
  // terrain's column edge at x = 500000, class 2 east of it.
  set.land = {60, 40, 8.99, 45.17, 0.0005, 0.0005, {}, -9999, "EPSG:4326"};
  for (int i = 0; i < 60 * 40; ++i) set.land.values.push_back(i % 40 < 20 ? 1 : 2);
  set.Import();
  const std::vector<std::string> lu = set.Lines("input/乙/landuse.grd");
  for (std::size_t i = 5; i < 8; ++i) EXPECT_EQ(lu[i], "21 21 21 31 31 31");
}

// A basin without a land-cover raster: one stated land-use code for every cell.
TEST(Import, OneLandUseCodeStandsForALandCoverRaster) {
  ImportSet set;
  set.Drop("land_cover");
  set.Drop("land_cover_classes");
  set.Set("land_use_code", "31");
  set.Import();
  const std::vector<std::string> lu = set.Lines("input/乙/landuse.grd");
  for (std::size_t i = 5; i < 8; ++i) EXPECT_EQ(lu[i], "31 31 31 31 31 31");
  set.Set("land_use_code", "150");
  EXPECT_NE(set.Refusal().find("land_use_code"), std::string::npos);
  set.Set("land_use_code", "31");
  set.Set("land_cover", "land.tif");
  EXPECT_NE(set.Refusal().find("land_cover is given beside land_use_code"), std::string::npos);
}

TEST(Import, TargetGridReprojectsTheTerrain) {
  ImportSet set;
  // Everything in UTM 32N, put onto UTM 33N cells of 50 m.
  set.Set("target_crs", "EPSG:32633");
  set.Set("target_cell_size", "50");
  set.Import();
  const std::vector<std::string> dem = set.Lines("input/乙/dem.grd");
  const std::vector<std::string> sizes = SplitFields(dem[1]), x = SplitFields(dem[2]), y = SplitFields(dem[3]);
  const int cols = std::stoi(sizes[0]), rows = std::stoi(sizes[1]);
  EXPECT_GE(cols * rows, 18 * 4 * 0.8);
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

// The grid of the delineation tests (north row first, ESRI codes): columns 0-1 flow east,
// column 2 south, columns 3-4 west; (3, 0) leaves the map to the south-west; (2, 4) has no
// direction. Outlets at (1, 2) and (3, 2).
const int kFlow[4][5] = {{1, 1, 4, 16, 16}, {1, 1, 4, 16, 16}, {1, 1, 4, 16, 0}, {8, 1, 4, 16, 16}};
const int kExpected[4][5] = {{1, 1, 1, 1, 1}, {1, 1, 1, 1, 1}, {2, 2, 2, 2, 0}, {0, 2, 2, 2, 2}};

TEST(Delineation, NestedOutletsSplitTheBasin) {
  // The same directions in the three codings give the same sub-basins.
  const std::map<int, int> esriToTaudem{{1, 1}, {2, 8}, {4, 7}, {8, 6}, {16, 5}, {32, 4}, {64, 3}, {128, 2}, {0, 0}};
  const std::map<int, int> esriToGrass{{1, 8}, {2, 7}, {4, 6}, {8, 5}, {16, 4}, {32, 3}, {64, 2}, {128, 1}, {0, 0}};
  for (const auto& [coding, recode] : std::vector<std::pair<geo::D8Coding, std::function<double(int)>>>{
           {geo::D8Coding::Esri, [](int v) { return v; }},
           {geo::D8Coding::TauDem, [&](int v) { return esriToTaudem.at(v); }},
           {geo::D8Coding::Grass, [&](int v) { return esriToGrass.at(v); }}}) {
    geo::Raster dirs;
    dirs.name = "flow";
    dirs.frame.rows = 4;
    dirs.frame.cols = 5;
    dirs.frame.cellWidth = dirs.frame.cellHeight = 10;
    dirs.frame.north = 40;
    dirs.hasNoData = true;
    dirs.noData = -1;
    for (const auto& row : kFlow)
      for (int v : row) dirs.values.push_back(recode(v));
    std::vector<geo::Outlet> outlets{{1, 25, 25, 2}, {2, 25, 5, 3}};  // cell centres of (1, 2) and (3, 2)
    geo::PlaceOutlets(dirs, coding, outlets, "outlets.csv");
    const std::vector<int> ids = geo::DelineateSubBasins(dirs, coding, outlets);
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 5; ++c)
        EXPECT_EQ(ids[static_cast<std::size_t>(r * 5 + c)], kExpected[r][c]) << "row " << r << " col " << c;
  }
}

// Gridded weather in place of the tables, precipitation and temperature in two files.
void GriddedWeather(ImportSet& set, const std::vector<double>& xs, const std::vector<double>& ys,
                    const std::function<double(std::size_t, std::size_t, std::size_t)>& pr,
                    const std::function<double(std::size_t, std::size_t, std::size_t)>& tas, bool hours = false) {
  std::vector<double> days, times;
  for (int d = 0; d < 365; ++d) days.push_back(d + 0.5), times.push_back(hours ? (d + 0.5) * 24 : d + 0.5);
  test::WriteWeatherNetcdf(set.Path("pre.nc"), "pr", "mm/day", xs, ys, "days since 2001-01-01", days, pr);
  test::WriteWeatherNetcdf(set.Path("tas.nc"), "tas", "K", xs, ys,
                           hours ? "hours since 2001-01-01 00:00:00" : "days since 2001-01-01", times, tas);
  set.Drop("weather_table");
  set.Drop("weather_table_no_data");
  set.Set("precipitation_netcdf", "pre.nc");
  set.Set("precipitation_variable", "pr");
  set.Set("temperature_netcdf", "tas.nc");
  set.Set("temperature_variable", "tas");
}

TEST(Import, GriddedWeatherWeightedByTheAreaOfEachCell) {
  ImportSet set;
  // Four weather cells of 300 m: the northern pair covers rows 0-2, the southern pair rows
  // 3-4; the western cells columns 0-2. The file's rows run south to north and its
  // temperature is in kelvin, its time in hours.
  const double pre[2][2] = {{4, 7}, {10, 21}};  // [south, north][west, east]
  GriddedWeather(
      set, {499850, 500150}, {5000150, 5000450},
      [&](std::size_t t, std::size_t r, std::size_t c) { return pre[r][c] + (t == 9 ? 100 : 0); },
      [](std::size_t, std::size_t r, std::size_t c) { return 273.15 + 10 * r + c; }, true);
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

using Spoil = std::function<void(ImportSet&)>;
Spoil Key(const std::string& key, const std::string& value) {
  return [=](ImportSet& s) { s.Set(key, value); };
}
Spoil Field(const std::string& file, int line, int column, const std::string& value) {
  return [=](ImportSet& s) { s.SetField(file, line, column, value); };
}
Spoil File(const std::string& rel, const std::string& text) {
  return [=](ImportSet& s) { s.files[rel] = text; };
}

// The directions of kFlow on the terrain's grid; outlet 1 at (1, 2), outlet 2 at x,y, not moved.
Spoil OnKFlow(const std::string& secondOutlet) {
  return [=](ImportSet& s) {
    s.flow = {4, 5, 499700, 5000600, 100, 100, {}, -1, "EPSG:32632"};
    for (const auto& row : kFlow) s.flow.values.insert(s.flow.values.end(), row, row + 5);
    s.Delineate("id,x,y\n1,499950,5000450\n2," + secondOutlet + "\n");
    s.Set("outlet_snap_radius", "0");
  };
}

// A given slope of 5 degrees on the one sub-basin's grid, `cell5` in row 1, column 1.
void GiveSlope(ImportSet& s, double cell5) {
  TestRaster slope = s.terrain;
  slope.values.assign(16, 5);
  slope.values[5] = cell5;
  test::WriteRasterFile(s.Path("slope.tif"), slope);
  s.Set("slope", "slope.tif");
}

// Each refusal names its file and its line or cell, and nothing is written. Sets of two
// sub-basins (2) and of one (1); the day 60 of a table is its line 61.
TEST(ImportRefusals, EachNamesItsFileAndLine) {
  const std::string head = "id,name,muskingum_k_hours,muskingum_x,station_elevation\n";
  const std::string outlet = "id,x,y\n1,499850,5000250\n";
  const std::vector<std::tuple<int, Spoil, std::vector<std::string>>> cases{
      {2, [](ImportSet& s) { s.land.values[14] = 7; }, {"classes.csv", "land-cover class 7", "land.tif"}},
      {2,
       [](ImportSet& s) { s.config.insert(s.config.begin() + 3, "terain = terrain.tif"); },
       {"import.conf line 4: unknown key \"terain\""}},
      {2, Key("land_cover", "nowhere/land.tif"), {"import.conf line 3", "nowhere/land.tif", "does not exist"}},
      {2,
       [](ImportSet& s) {
         std::string& w = s.files["weather/2.csv"];
         const std::size_t at = w.find("2001-03-05");
         w.erase(at, w.find('\n', at) - at + 1);
       },
       {"weather/2.csv", "date gap: no row for 2001-03-05 after 2001-03-04 on line 64"}},
      {2, [](ImportSet& s) { s.land.west = 600000; }, {"land.tif", "does not overlap the terrain raster"}},
      {2,
       [](ImportSet& s) {
         for (TestRaster* r : {&s.terrain, &s.land, &s.ids})
           *r = {5, 6, 9.0, 45.0, 0.001, 0.001, r->values, -9999, "EPSG:4326"};
       },
       {"geographic coordinate system (degrees)"}},
      // An elevation at the end of the float's range: a no-data value the raster does not
      // declare, whichever its sign.
      {2,
       [](ImportSet& s) { s.terrain.values[7] = 3.4028234663852886e38; },
       {"a no-data value the raster does not declare"}},
      {2,
       [](ImportSet& s) { s.terrain.values[7] = -3.4028234663852886e38; },
       {"a no-data value the raster does not declare"}},
      // Outlets off the flow network: on a cell without direction, outside the grid.
      {2, OnKFlow("500150,5000350"), {"outlets.csv line 3: outlet 2", "off the flow network"}},  // (2, 4)
      {2, OnKFlow("600000,5000350"), {"outlets.csv line 3", "lies outside the flow-direction grid"}},
      // Daily values beyond their range, at their source line; a declared no-data
      // precipitation is a missing weather day.
      {1,
       Field("weather/1.csv", 61, 2, "-5"),
       {"weather/1.csv", "line 61", "precipitation -5 in column 2", "2001-03-01", "negative", "weather_table_no_data"}},
      {1, Field("weather/1.csv", 61, 2, "2500"), {"weather/1.csv", "line 61", "more than 2000 mm"}},
      {1,
       Field("weather/1.csv", 61, 3, "-150"),
       {"weather/1.csv", "line 61", "air temperature -150 in column 3", "beyond any air temperature"}},
      {1, Field("weather/1.csv", 61, 3, "281.15"), {"weather/1.csv", "line 61", "another unit"}},
      {1,
       Field("gauge.csv", 61, 2, "-1"),
       {"gauge.csv", "line 61", "discharge -1 in column 2 (discharge)", "discharge_no_data"}},
      {1, Field("weather/1.csv", 61, 2, "-9999"), {"weather/1.csv line 61", "no precipitation on 2001-03-01"}},
      // Terrain beyond any land, named by its cell (row 2, column 3); beside the sub-basin a
      // spike still makes the slope computed there; a given slope beyond the vertical.
      {1,
       [](ImportSet& s) { s.terrain.values[11] = 9000.5; },
       {"terrain.tif", "row 2, column 3", "x 500050.000, y 5000350.000", "beyond any land on Earth (-450 to 9000 m)"}},
      {1, [](ImportSet& s) { s.terrain.values[11] = -451; }, {"row 2, column 3", "beyond any land on Earth"}},
      {1,
       [](ImportSet& s) { s.ids.values[3] = 0, s.terrain.values[3] = 32767; },
       {"row 0, column 3", "and so in its slope"}},
      {1,
       [](ImportSet& s) { GiveSlope(s, 95); },
       {"slope.tif", "row 1, column 1", "steeper than 90 degrees", "slope_units = percent"}},
      // Routing, station elevation, years and the parameter template.
      {1,
       File("sub-basins.csv", head + "1,A,24,1.5,\n"),
       {"sub-basins.csv line 2", "K = 24 h and x = 1.5", "denominator"}},
      {1, File("sub-basins.csv", head + "1,A,24,0.2,9500\n"), {"sub-basins.csv line 2", "9500", "-450 to 9000 m"}},
      {1, Key("station_elevation", "-600"), {"import.conf", "station_elevation", "-450 to 9000 m"}},
      {1, Key("years", "2001 10000"), {"import.conf", "years", "1 to 9999"}},
      {1,
       [](ImportSet& s) {
         std::istringstream demo(
             DecodeText(test::ReadBytes(std::string(TARNWELL_SOURCE_DIR) + "/examples/demo/import/parameters.txt")));
         std::string text;
         int n = 0;
         for (std::string l; std::getline(demo, l);) text += (++n == 24 ? "土壤层包气带厚度 0 250 450" : l) + "\n";
         s.files["parameters.txt"] = text;
         s.Set("parameters", "parameters.txt");
       },
       {"parameters.txt line 24"}},
      // Cells of 0.1 m: the model's grid header holds whole metres, so the grid's x extent
      // of 0.4 m rounds to nothing, which the terrain reader would refuse.
      {1,
       [](ImportSet& s) {
         for (TestRaster* r : {&s.terrain, &s.land, &s.ids}) r->cellWidth = r->cellHeight = 0.1;
       },
       {"import.conf", "would not pass the model's readers", "input/A/dem.grd line 3", "x extent runs from"}},
      // Flow directions: a code of no coding, a loop, the right codes read in the wrong coding.
      {1,
       [&](ImportSet& s) { s.Delineate(outlet), s.flow.values[6] = 3; },
       {"fdir.tif", "row 1, column 2", "centre x 499950.000, y 5000450.000", "holds 3",
        "no flow direction of the esri coding"}},
      {1,
       [&](ImportSet& s) { s.Delineate(outlet), s.flow.values[1] = 1; },
       {"fdir.tif", "loop through the cell of row 0, column 1", "row 0 column 2, back to it"}},
      {1,
       [&](ImportSet& s) { s.Delineate(outlet), s.Set("flow_direction_coding", "taudem"); },
       {"holds 16", "taudem coding"}},
      // Outlets: a sliver of a sub-basin under the minimum area (stated, or 1 km2 by
      // default), two outlets moved onto one cell.
      {1,
       [](ImportSet& s) {
         s.Delineate("id,x,y,area_km2\n1,499950,5000250,0.16\n");
         s.Set("outlet_snap_radius", "0");
         s.Set("min_sub_basin_area_km2", "0.05");
       },
       {"outlets.csv line 2", "has 0.02 km2 (2 cells)", "min_sub_basin_area_km2 = 0.05", "beside the river"}},
      {1, [](ImportSet& s) { s.Drop("min_sub_basin_area_km2"); }, {"has 0.16 km2", "min_sub_basin_area_km2 = 1 km2"}},
      {1,
       [](ImportSet& s) {
         s.files["sub-basins.csv"] = "id,name,muskingum_k_hours,muskingum_x\n1,A,24,0.2\n2,B,24,0.2\n";
         s.Delineate("id,x,y\n1,499850,5000250\n2,499950,5000250\n");
       },
       {"outlets.csv line 3", "same cell as outlet 1", "lower outlet_snap_radius"}},
  };
  for (const auto& [subBasins, spoil, said] : cases) {
    ImportSet set(subBasins);
    spoil(set);
    const std::string m = set.Refusal();
    EXPECT_TRUE(Holds(m, said));
    EXPECT_EQ(m.find("not above 0"), std::string::npos) << m;
  }
}

TEST(ImportRefusals, GriddedWeatherRangedPerCellAndDay) {
  // The file's rows run south to north: its row 0, column 0 is the weather grid's south-west cell.
  for (const bool rain : {true, false}) {
    ImportSet set(1);
    auto bad = [](std::size_t t, std::size_t r, std::size_t c) { return t == 10 && r == 0 && c == 0; };
    GriddedWeather(
        set, {499800, 500000}, {5000300, 5000500},
        [&](std::size_t t, std::size_t r, std::size_t c) { return rain && bad(t, r, c) ? -5.0 : 3.0; },
        [&](std::size_t t, std::size_t r, std::size_t c) { return !rain && bad(t, r, c) ? 500.0 : 280.0; });
    EXPECT_TRUE(Holds(
        set.Refusal(),
        rain ? std::vector<std::string>{"pre.nc (variable pr)", "precipitation -5 mm on 2001-01-11", "row 1, column 0",
                                        "negative"}
             : std::vector<std::string>{"tas.nc (variable tas)", "air temperature 226.85 degrees C on 2001-01-11"}));
  }
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
  // Data inside the directories a replacing import would empty is refused and kept.
  set.workspace = set.dir.Path().string();
  set.Set("terrain", "input/terrain.tif");
  set.Write();
  fs::create_directories(set.Path("input"));
  fs::copy_file(set.Path("terrain.tif"), set.Path("input/terrain.tif"));
  EXPECT_TRUE(Holds(set.Refusal(), {"lies inside the workspace's input/"}));
  EXPECT_TRUE(fs::exists(set.Path("input/terrain.tif")));
}

// What the import accepts: a declared no-data discharge as a day without observation, a
// routing that only warns, values at the edges of the ranges (which the check accepts), a
// terrain spike outside the sub-basins when the slope is given, an outlet moved onto its river.
TEST(ImportValues, ValuesAtTheEdgesOfTheRangesPassTheCheck) {
  ImportSet set(1);
  set.SetField("gauge.csv", 61, 2, "-9999.0");
  for (const auto& [line, column, value] :
       std::vector<std::tuple<int, int, const char*>>{{2, 2, "0"}, {3, 2, "2000"}, {4, 3, "-100"}, {5, 3, "70"}})
    set.SetField("weather/1.csv", line, column, value);
  set.SetField("gauge.csv", 6, 2, "0");
  set.terrain.values[0] = 9000;
  set.terrain.values[15] = 0.01;
  EXPECT_EQ(set.Import().outletDischargeGaps, 1);
  Session session(set.workspace);
  StartUpWorkspace(session);
  EXPECT_NO_THROW(CheckInputs(session, 0));

  ImportSet warned(1);
  warned.files["sub-basins.csv"] = "id,name,muskingum_k_hours,muskingum_x\n1,A,6,0.2\n";
  std::string printed;
  geo::ImportReport r = warned.Import(&printed);
  ASSERT_EQ(r.warnings.size(), 1u);
  EXPECT_TRUE(Holds(r.warnings[0], {"sub-basins.csv line 2", "sub-basin 1 (A)", "K = 6 h and x = 0.2", "C2 = -0.43"}));
  EXPECT_TRUE(Holds(printed, {"warning: " + r.warnings[0]}));
  EXPECT_TRUE(ImportSet(1).Import().warnings.empty());  // K 24 h, x 0.2: every coefficient positive

  ImportSet given(1);
  given.ids.values[3] = 0;
  given.terrain.values[3] = 32767;
  GiveSlope(given, 5);
  EXPECT_NO_THROW(given.Import());
}

TEST(ImportOutlets, AnOutletBesideItsRiverMovesOntoIt) {
  // The gauge in row 3, column 2, which drains only itself and column 3: within the default
  // two cells the river's last cell (row 3, column 1) drains all 16.
  ImportSet set(1);
  set.Delineate("id,x,y,area_km2\n1,499950,5000250,0.16\n");
  std::string printed;
  geo::ImportReport r = set.Import(&printed);
  EXPECT_EQ(r.subBasins[0].cells, 16);
  EXPECT_DOUBLE_EQ(r.subBasins[0].outletMovedMetres, 100);
  EXPECT_TRUE(r.warnings.empty());
  EXPECT_TRUE(Holds(printed, {"outlet 1 (A): moved 100 m to the largest flow accumulation within 2 cells (16 cells)"}));
  // Left where it is, the sliver is warned of against the stated area.
  set.Set("outlet_snap_radius", "0");
  r = set.Import();
  ASSERT_EQ(r.warnings.size(), 1u);
  EXPECT_TRUE(Holds(r.warnings[0], {"outlets.csv line 2", "drains 0.02 km2, 88 % off the stated area_km2 0.16"}));
}

// The shipped demo workspace is what the import makes of the raw Moselle files: every
// file of its input/ and Parameters/ byte for byte, and no other.
TEST(DemoImport, RebuildsTheShippedDemoByteForByte) {
  const fs::path demo = fs::path(TARNWELL_SOURCE_DIR) / "examples" / "demo";
  auto filesUnder = [](const fs::path& root) {
    std::set<std::string> files;
    for (const char* part : {"input", "Parameters"})
      for (const auto& e : fs::recursive_directory_iterator(root / part))
        if (e.is_regular_file()) files.insert(fs::relative(e.path(), root).string());
    return files;
  };
  test::TempDir dir;
  geo::ImportOptions o;
  o.config = (demo / "import.conf").string();
  o.workspace = dir / "W";
  std::ostringstream out;
  const geo::ImportReport report = geo::RunImport(o, out);
  ASSERT_EQ(report.subBasins.size(), 2u);
  EXPECT_EQ(report.subBasins[0].cells, 15038);
  EXPECT_EQ(report.subBasins[1].cells, 31507);
  EXPECT_EQ(report.firstYear, 1990);
  EXPECT_EQ(report.lastYear, 1993);
  const std::set<std::string> shipped = filesUnder(demo);
  EXPECT_EQ(filesUnder(o.workspace), shipped);
  for (const std::string& f : shipped)
    EXPECT_TRUE(test::SameBytes(test::ReadBytes((demo / f).string()), test::ReadBytes(o.workspace + "/" + f))) << f;
}

}  // namespace
}  // namespace tarnwell
