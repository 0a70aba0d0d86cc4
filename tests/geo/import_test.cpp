// Import from GIS data: the small basin of ImportSet (rasters, tables and NetCDF files
// written by the tests themselves) imported, and the workspace's files checked against
// answers worked out by hand (row order, header extents, class codes, slope, delineation,
// area weights); every value beyond its range and every other refusal naming its file and
// line or cell; what is accepted at the edges of the ranges passing the model's check; the
// shipped demo rebuilt.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <set>

#include "GeoTestSupport.h"
#include "app/Check.h"
#include "app/Session.h"
#include "app/Startup.h"
#include "geo/GeoSupport.h"
#include "geo/Georef.h"
#include "geo/KeyValueFile.h"
#include "geo/NetcdfFile.h"
#include "geo/Raster.h"
#include "geo/Table.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;
using test::Holds;
using test::ImportSet;
using Lines = std::vector<std::string>;

std::string GeorefValue(const Lines& lines, const std::string& key) {
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
  EXPECT_EQ(set.Lines("input/甲/dem.grd"), (Lines{"DSAA", "6 2", "499700 499900", "5000400 5001000", "201 216",
                                                  "210 211 212 213 214 215", "-9999 201 202 203 204 205"}));
  const Lines lu = set.Lines("input/甲/landuse.grd");
  EXPECT_EQ(Lines(lu.begin() + 4, lu.end()), (Lines{"21 31", "21 21 21 31 31 31", "255 21 21 31 31 31"}));
  // Sub-basin 2: rows 2-4, its first line the southern row 4.
  const Lines dem2 = set.Lines("input/乙/dem.grd");
  EXPECT_EQ(Lines(dem2.begin() + 1, dem2.begin() + 4), (Lines{"6 3", "499700 500000", "5000100 5000700"}));
  EXPECT_EQ(dem2[5], "240 241 242 243 244 245");
  EXPECT_EQ(dem2[7], "220 221 222 223 224 225");
  // Horn's slope of the plane: rises of 1 m and 10 m per 100 m give atan(0.1005) = 5.74
  // degrees in every cell away from the raster's east and west borders.
  const Lines slope = set.Lines("input/乙/slope.grd");
  EXPECT_EQ(slope[4], "5 6");
  for (std::size_t i = 5; i < 8; ++i) EXPECT_EQ(slope[i].substr(slope[i].find(' ') + 1, 19), "5.74 5.74 5.74 5.74");
  const Lines g = set.Lines("input/甲/georef.txt");
  EXPECT_TRUE(test::SameCrsText(GeorefValue(g, "crs"), "EPSG:32632"));
  for (const auto& [key, value] : std::map<std::string, std::string>{
           {"west", "499700"}, {"south", "5000400"}, {"cell_width", "100"}, {"rows", "2"}, {"columns", "6"}})
    EXPECT_EQ(GeorefValue(g, key), value) << key;
  EXPECT_EQ(set.Lines("input/子流域.in"), (Lines{"2", "甲 24 0.2", "乙 12 0.1"}));
  const Lines parameters = set.Lines("Parameters/当前参数文件.txt");
  EXPECT_EQ(parameters[0] + parameters[2], "纬度 45.2模拟年数 1");
  // The gauge: days 3 (no-data) and 5 (no line) missing.
  EXPECT_EQ(report.outletDischargeGaps, 2);
  const Lines river = set.Lines("input/RiverDaily.in");
  EXPECT_EQ(river.size(), 366u);
  EXPECT_EQ(Lines(river.begin(), river.begin() + 7),
            (Lines{"2001年 日期 流量(m3/s) 含沙量(kg/m3)", "2001-01-01 2.010 0.5", "2001-01-02 2.020 0.5",
                   "2001-01-03 -999 0.5", "2001-01-04 2.040 0.5", "2001-01-05 -999 0.5", "2001-01-06 2.060 0.5"}));
  // The sub-basins' discharge is the outlet's by their share of the area (11 and 18 of 29
  // cells); a day without it stays without.
  const Lines met = set.Lines("input/乙/weather.in");
  EXPECT_EQ(met[0], "2001 12 1 1 233");  // the sub-basin's mean elevation, 232.5 m
  EXPECT_EQ(met[1], "2001 1 1 0 4.00 -4.95 " + geo::Fixed(2.01 * 18 / 29, 3) + " 0.5");
  EXPECT_EQ(met[3].substr(met[3].size() - 9), " -999 0.5");
  EXPECT_EQ(report.subBasins[1].dischargeGaps, 2);
}

// The grids of other sources: land cover in degrees reprojected onto the terrain, one
// land-use code for every cell, the whole basin put onto a grid in another zone.
TEST(Import, LandCoverAndTerrainFromOtherGrids) {
  ImportSet set;
  // Cells of 0.0005 degrees; class 1 west of 9 E (the terrain's column edge at x = 500000).
  set.land = {60, 40, 8.99, 45.17, 0.0005, 0.0005, {}, -9999, "EPSG:4326"};
  for (int i = 0; i < 60 * 40; ++i) set.land.values.push_back(i % 40 < 20 ? 1 : 2);
  set.Import();
  for (std::size_t i = 5; i < 8; ++i) EXPECT_EQ(set.Lines("input/乙/landuse.grd")[i], "21 21 21 31 31 31");
  set.Drop("land_cover");
  set.Drop("land_cover_classes");
  set.Set("land_use_code", "31");
  set.Import();
  for (std::size_t i = 5; i < 8; ++i) EXPECT_EQ(set.Lines("input/乙/landuse.grd")[i], "31 31 31 31 31 31");
  // UTM 33N cells of 50 m: the grid covers the whole basin (its northern rows too), snapped
  // to the cells, with bilinear elevations of the plane within its range.
  set.Set("target_crs", "EPSG:32633");
  set.Set("target_cell_size", "50");
  const geo::ImportReport r = set.Import();
  EXPECT_NEAR(r.subBasins[0].cells + r.subBasins[1].cells, 29 * 4, 12);
  EXPECT_NEAR(r.subBasins[0].cells, 11 * 4, 6);
  const Lines dem = set.Lines("input/甲/dem.grd");
  const std::vector<std::string> sizes = SplitFields(dem[1]), x = SplitFields(dem[2]), y = SplitFields(dem[3]);
  EXPECT_EQ(std::stol(x[1]) - std::stol(x[0]), 50 * std::stol(sizes[1]));
  EXPECT_EQ(std::stol(y[1]) - std::stol(y[0]), 50 * std::stol(sizes[0]));
  EXPECT_EQ(std::stol(x[0]) % 50, 0);
  // The basin's north edge runs from y 5018162.6 in the west to 5018117.9 in the east of zone
  // 33 (as GDAL transforms it), at 5018155.1 where sub-basin 1 begins (x 499800): the cell
  // centred at y 5018125 there is its, so its grid reaches up to 5018150.
  const Lines georef = set.Lines("input/甲/georef.txt");
  EXPECT_TRUE(test::SameCrsText(GeorefValue(georef, "crs"), "EPSG:32633"));
  EXPECT_EQ(std::stod(GeorefValue(georef, "south")) + 50 * std::stod(GeorefValue(georef, "rows")), 5018150);
  for (std::size_t i = 5; i < dem.size(); ++i)
    for (const std::string& t : SplitFields(dem[i]))
      if (t != "-9999") {
        EXPECT_TRUE(std::stod(t) >= 200 && std::stod(t) <= 245) << t;
      }
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
// Sub-basins from these outlets, not moved; the cell `noDirection` without a flow direction.
Spoil Outlets(const std::string& csv, int noDirection = -1) {
  return [=](ImportSet& s) {
    s.Delineate(csv);
    s.Set("outlet_snap_radius", "0");
    if (noDirection >= 0) s.flow.values[static_cast<std::size_t>(noDirection)] = 0;
  };
}
// Outlets on the river at rows 2 and 4 split the basin into rows 0-2 and rows 3-4, the same
// in the three codings of the directions (east, south, west).
TEST(Delineation, NestedOutletsSplitTheBasinInEveryCoding) {
  for (const auto& [coding, codes] :
       std::map<std::string, std::map<double, double>>{{"esri", {{1, 1}, {4, 4}, {16, 16}}},
                                                       {"taudem", {{1, 1}, {4, 7}, {16, 5}}},
                                                       {"grass", {{1, 8}, {4, 6}, {16, 4}}}}) {
    ImportSet set;
    for (double& v : set.flow.values) v = codes.at(v);
    Outlets("id,x,y\n1,499850,5000350\n2,499850,5000150\n")(set);
    set.Set("flow_direction_coding", coding);
    const geo::ImportReport r = set.Import();
    EXPECT_EQ(r.subBasins[0].cells * 100 + r.subBasins[1].cells, 1812) << coding;
  }
}

// Gridded weather in place of the tables over four cells of 300 m: the northern pair
// covers rows 0-2, the southern pair rows 3-4; the western cells columns 0-2. The file's
// rows run south to north, its temperature is in kelvin, its time in hours.
using CellValue = std::function<double(std::size_t, std::size_t, std::size_t)>;
struct Weather {
  CellValue pr = [](std::size_t, std::size_t, std::size_t) { return 3.0; };
  CellValue tas = [](std::size_t, std::size_t, std::size_t) { return 280.0; };
  std::string prUnits = "mm/day";
  bool xBeforeY = false, backwards = false;  // stored (time, x, y); days in reverse
};
void GriddedWeather(ImportSet& set, const Weather& w) {
  std::vector<double> days, hours;
  for (int d = 0; d < 365; ++d) days.push_back(w.backwards ? 364.5 - d : d + 0.5), hours.push_back((d + 0.5) * 24);
  const std::vector<double> xs{499850, 500150}, ys{5000150, 5000450};
  test::WriteWeatherNetcdf(set.Path("pre.nc"), "pr", w.prUnits, xs, ys, "days since 2001-01-01", days, w.pr,
                           w.xBeforeY);
  test::WriteWeatherNetcdf(set.Path("tas.nc"), "tas", "K", xs, ys, "hours since 2001-01-01 00:00:00", hours, w.tas);
  set.Drop("weather_table");
  set.Drop("weather_table_no_data");
  for (const char* key : {"precipitation_netcdf = pre.nc", "precipitation_variable = pr", "temperature_netcdf = tas.nc",
                          "temperature_variable = tas"})
    set.config.push_back(key);
}

TEST(Import, GriddedWeatherWeightedByTheAreaOfEachCell) {
  ImportSet set;
  const double pre[2][2] = {{4, 7}, {10, 21}};  // [south, north][west, east]
  GriddedWeather(set, {[&](std::size_t t, std::size_t r, std::size_t c) { return pre[r][c] + (t == 9 ? 100 : 0); },
                       [](std::size_t, std::size_t r, std::size_t c) { return 273.15 + 10 * r + c; }});
  set.Import();
  // Sub-basin 1 (rows 0-1 but the north-west cell): 5 cells under the north-west weather
  // cell, 6 under the north-east one.
  Lines met = set.Lines("input/甲/weather.in");
  EXPECT_EQ(SplitFields(met[1])[4], geo::Fixed((5 * 10 + 6 * 21) / 11.0, 2));
  EXPECT_EQ(SplitFields(met[10])[4], geo::Fixed((5 * 110 + 6 * 121) / 11.0, 2));
  EXPECT_EQ(SplitFields(met[1])[5], geo::Fixed((5 * 10 + 6 * 11) / 11.0, 2));
  // Sub-basin 2: row 2 under the northern pair (3 cells each), rows 3-4 under the southern.
  met = set.Lines("input/乙/weather.in");
  EXPECT_EQ(SplitFields(met[1])[4], geo::Fixed((3 * 10 + 3 * 21 + 6 * 4 + 6 * 7) / 18.0, 2));
  EXPECT_EQ(SplitFields(met[1])[5], geo::Fixed((3 * 10 + 3 * 11 + 6 * 0 + 6 * 1) / 18.0, 2));
}

// Gridded weather with a value on day 11 in the file's row 0, column 0 (the weather grid's
// south-west cell).
CellValue OnDay11(double bad, double good) {
  return [=](std::size_t t, std::size_t r, std::size_t c) { return t == 10 && r == 0 && c == 0 ? bad : good; };
}
Spoil Gridded(const Weather& w) {
  return [=](ImportSet& s) { GriddedWeather(s, w); };
}
// A given slope of 5 degrees but `cell7` in row 1, column 1.
Spoil GiveSlope(double cell7) {
  return [=](ImportSet& s) {
    test::TestRaster slope = s.terrain;
    slope.values.assign(30, 5);
    slope.values[7] = cell7;
    test::WriteRasterFile(s.Path("slope.tif"), slope);
    s.Set("slope", "slope.tif");
  };
}

// Each refusal names its file and its line or cell, and nothing is written. Sets of two
// sub-basins (2) and of one (1); day 60 of a weather table is its line 61, day 61 of the
// gauge its line 65.
TEST(ImportRefusals, EachNamesItsFileAndLine) {
  const std::string head = "id,name,muskingum_k_hours,muskingum_x,station_elevation\n";
  const std::string river = "id,x,y\n1,499850,5000150\n", two = river + "2,";
  const std::vector<std::tuple<int, Spoil, Lines>> cases{
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
         for (test::TestRaster* r : {&s.terrain, &s.land, &s.ids})
           *r = {5, 6, 9.0, 45.0, 0.001, 0.001, r->values, -9999, "EPSG:4326"};
       },
       {"geographic coordinate system (degrees)"}},
      // An elevation at the end of the float's range: a no-data value the raster does not
      // declare, whichever its sign.
      {2, [](ImportSet& s) { s.terrain.values[7] = 3.4028234663852886e38; }, {"a no-data value the raster does not"}},
      {2, [](ImportSet& s) { s.terrain.values[7] = -3.4028234663852886e38; }, {"a no-data value the raster does not"}},
      // Outlets off the flow network: on a cell without direction, outside the grid.
      {2, Outlets(two + "500150,5000350\n", 16), {"outlets.csv line 3: outlet 2", "off the flow network"}},  // (2, 4)
      {2, Outlets(two + "600000,5000350\n"), {"outlets.csv line 3", "lies outside the flow-direction grid"}},
      // Gridded weather beyond its range, or laid out otherwise than expected (not taken for
      // a cell without weather or a period without a whole year).
      {2,
       Gridded({.pr = OnDay11(-5, 3)}),
       {"pre.nc (variable pr)", "-5 mm on 2001-01-11", "row 1, column 0", "negative"}},
      {2,
       Gridded({.tas = OnDay11(500, 280)}),
       {"tas.nc (variable tas)", "air temperature 226.85 degrees C on 2001-01-11"}},
      {2, Gridded({.xBeforeY = true}), {"pre.nc (variable pr)", "x (x), y (y)); the order (time, y, x) is expected"}},
      {2, Gridded({.backwards = true}), {"pre.nc", "time is not ascending: step 1 (2001-12-30) comes before step 0"}},
      {2, Gridded({.prUnits = "inch/day"}), {"pre.nc", "the units \"inch/day\" are not known for precipitation"}},
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
      {1, Field("gauge.txt", 65, 6, "-1"), {"gauge.txt", "line 65", "discharge -1 in column 6", "discharge_no_data"}},
      {1, Field("weather/1.csv", 61, 2, "-9999"), {"weather/1.csv line 61", "no precipitation on 2001-03-01"}},
      // Terrain beyond any land, named by its cell (row 2, column 3); outside the sub-basin a
      // spike still makes the slope computed beside it; a given slope beyond the vertical.
      {1,
       [](ImportSet& s) { s.terrain.values[15] = 9000.5; },
       {"terrain.tif", "row 2, column 3", "x 500050.000, y 5000350.000", "beyond any land on Earth (-450 to 9000 m)"}},
      {1, [](ImportSet& s) { s.terrain.values[15] = -451; }, {"row 2, column 3", "beyond any land on Earth"}},
      {1, [](ImportSet& s) { s.terrain.values[0] = 32767; }, {"row 0, column 0", "and so in its slope"}},
      {1, GiveSlope(95), {"slope.tif", "row 1, column 1", "steeper than 90 degrees", "slope_units = percent"}},
      // Routing, station elevation, years and the parameter template.
      {1, File("sub-basins.csv", head + "1,甲,24,1.5,\n"), {"sub-basins.csv line 2", "x = 1.5", "denominator"}},
      {1, File("sub-basins.csv", head + "1,甲,24,0.2,9500\n"), {"sub-basins.csv line 2", "9500", "-450 to 9000 m"}},
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
      // Cells of 0.1 m: the model's grid header holds whole metres, so the grid's y extent
      // of 0.6 m (its six columns) rounds to nothing, which the terrain reader would refuse.
      {1,
       [](ImportSet& s) {
         for (test::TestRaster* r : {&s.terrain, &s.land, &s.ids}) r->cellWidth = r->cellHeight = 0.1;
         s.Set("min_sub_basin_area_km2", "0");
       },
       {"import.conf", "would not pass the model's readers", "input/甲/dem.grd line 4",
        "y extent runs from 5000600 to 5000600"}},
      // Flow directions: a code of no coding, a loop, the right codes read in the wrong coding.
      {1,
       [&](ImportSet& s) { s.Delineate(river), s.flow.values[8] = 3; },
       {"fdir.tif", "row 1, column 2", "centre x 499950.000, y 5000450.000", "holds 3",
        "no flow direction of the esri coding"}},
      {1,
       [&](ImportSet& s) { s.Delineate(river), s.flow.values[1] = 1; },
       {"fdir.tif", "loop through the cell of row 0, column 1", "row 0 column 2, back to it"}},
      {1, [&](ImportSet& s) { s.Delineate(river), s.Set("flow_direction_coding", "taudem"); }, {"holds 16", "taudem"}},
      // Outlets: a sliver of a sub-basin under the minimum area (stated, or 1 km2 by
      // default), two outlets moved onto one cell.
      {1,
       Outlets("id,x,y,area_km2\n1,499950,5000150,0.3\n"),
       {"outlets.csv line 2", "has 0.04 km2 (4 cells)", "min_sub_basin_area_km2 = 0.05", "beside the river"}},
      {1,
       [&](ImportSet& s) { s.Delineate(river), s.Drop("min_sub_basin_area_km2"); },
       {"has 0.3 km2", "min_sub_basin_area_km2 = 1 km2"}},
      {2,
       [](ImportSet& s) { s.Delineate("id,x,y\n1,499850,5000150\n2,499950,5000150\n"); },
       {"outlets.csv line 3", "same cell as outlet 1", "lower outlet_snap_radius"}},
      // An existing workspace is replaced only when asked; data inside the directories a
      // replacing import would empty is refused.
      {2, [](ImportSet& s) { s.Import(), s.replace = false; }, {"--replace"}},
      {2,
       [](ImportSet& s) {
         s.workspace = s.dir.Path().string();
         fs::create_directories(s.Path("input"));
         test::WriteRasterFile(s.Path("input/terrain.tif"), s.terrain);
         s.Set("terrain", "input/terrain.tif");
       },
       {"lies inside the workspace's input/"}},
  };
  for (const auto& [subBasins, spoil, said] : cases) {
    ImportSet set(subBasins);
    spoil(set);
    const std::string m = set.Refusal();
    EXPECT_TRUE(Holds(m, said));
    EXPECT_EQ(m.find("not above 0"), std::string::npos) << m;
  }
}

// What the import accepts: a declared no-data discharge as a day without observation,
// values at the edges of the ranges (which the check accepts), a terrain spike outside the
// sub-basin when the slope is given, a routing that only warns, an outlet moved onto its
// river (or, left beside it, warned of against the area stated).
TEST(ImportValues, ValuesAtTheEdgesOfTheRangesPassTheCheck) {
  ImportSet set(1);
  set.SetField("gauge.txt", 65, 6, "-9999.0");
  set.SetField("gauge.txt", 6, 6, "0");
  for (const auto& [line, column, value] :
       std::vector<std::tuple<int, int, const char*>>{{2, 2, "0"}, {3, 2, "2000"}, {4, 3, "-100"}, {5, 3, "70"}})
    set.SetField("weather/1.csv", line, column, value);
  set.terrain.values[1] = 9000;
  set.terrain.values[29] = 0.01;
  EXPECT_EQ(set.Import().outletDischargeGaps, 3);
  Session session(set.workspace);
  StartUpWorkspace(session);
  EXPECT_NO_THROW(CheckInputs(session, 0));

  ImportSet given(1);
  given.terrain.values[0] = 32767;
  GiveSlope(5)(given);
  std::string printed;
  geo::ImportReport r = given.Import(&printed);
  EXPECT_TRUE(r.warnings.empty());  // K 24 h, x 0.2: every coefficient positive
  given.files["sub-basins.csv"] = "id,name,muskingum_k_hours,muskingum_x\n1,甲,6,0.2\n";
  r = given.Import(&printed);
  ASSERT_EQ(r.warnings.size(), 1u);
  EXPECT_TRUE(Holds(r.warnings[0], {"sub-basins.csv line 2", "sub-basin 1 (甲)", "K = 6 h and x = 0.2", "C2 = -0.43"}));
  EXPECT_TRUE(Holds(printed, {"warning: " + r.warnings[0]}));

  // The gauge in row 4, column 2 drains only row 4's columns 2-5: within the default two
  // cells the river's last cell (row 4, column 1) drains all 30.
  ImportSet outlet(1);
  outlet.Delineate("id,x,y,area_km2\n1,499950,5000150,0.3\n");
  outlet.Set("min_sub_basin_area_km2", "0");
  r = outlet.Import(&printed);
  EXPECT_EQ(r.subBasins[0].cells, 30);
  EXPECT_DOUBLE_EQ(r.subBasins[0].outletMovedMetres, 100);
  EXPECT_TRUE(
      Holds(printed, {"outlet 1 (甲): moved 100 m to the largest flow accumulation within 2 cells (30 cells)"}));
  outlet.Set("outlet_snap_radius", "0");
  r = outlet.Import();
  ASSERT_EQ(r.warnings.size(), 1u);
  EXPECT_TRUE(Holds(r.warnings[0], {"outlets.csv line 2", "drains 0.04 km2, 87 % off the stated area_km2 0.3"}));
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
  std::ostringstream out;
  const geo::ImportReport report = geo::RunImport({(demo / "import.conf").string(), dir / "W"}, out);
  ASSERT_EQ(report.subBasins.size(), 2u);
  EXPECT_EQ(report.subBasins[0].cells + report.subBasins[1].cells, 15038 + 31507);
  EXPECT_EQ(report.lastYear - report.firstYear, 1993 - 1990);
  const std::set<std::string> shipped = filesUnder(demo);
  EXPECT_EQ(filesUnder(dir / "W"), shipped);
  for (const std::string& f : shipped)
    EXPECT_TRUE(test::SameBytes(test::ReadBytes((demo / f).string()), test::ReadBytes(dir / ("W/" + f)))) << f;
}

// Each reader of the geo library, given a directory or a pipe, says so at once (a pipe
// nobody writes would block an open for reading), as does a configuration key naming one.
TEST(GeoMessages, EveryReaderNamesWhatIsNoFile) {
  test::TempDir dir;
  const std::string folder = dir / "folder", pipe = dir / "pipe";
  fs::create_directory(folder);
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
  const std::vector<std::function<void(const std::string&)>> readers = {
      [](const std::string& p) { geo::ReadRaster(p, "X", ""); },
      [](const std::string& p) { geo::NetcdfFile::OpenForReading(p, "X"); },
      [](const std::string& p) { geo::Table::Read(p, "X", geo::TableFormat{}); },
      [](const std::string& p) { geo::KeyValueFile::Read(p, "X", {}); },
      [](const std::string& p) { geo::ReadGridFile(p, "X"); },
  };
  for (std::size_t k = 0; k < readers.size(); ++k) {
    EXPECT_EQ(test::Message([&] { readers[k](folder); }), "X: cannot open: it is a directory") << k;
    EXPECT_EQ(test::Message([&] { readers[k](pipe); }), "X: cannot open: not a regular file (a device, pipe or socket)")
        << k;
  }
  test::WriteBytes(dir / "import.conf", "terrain = folder\n");
  const geo::KeyValueFile config = geo::KeyValueFile::Read(dir / "import.conf", "import.conf", {"terrain"});
  EXPECT_EQ(
      test::Message([&] { config.ExistingPath("terrain"); }),
      "import.conf line 1: terrain: the file \"folder\" cannot be read: it is a directory (looked for " + folder + ")");
}

}  // namespace
}  // namespace tarnwell
