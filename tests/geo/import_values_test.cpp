// The values the import takes: every kind it writes (weather, observations, terrain, slope,
// routing, station elevation, years, parameters) refused beyond its range, naming the
// source file and the line, or the cell by its row, column and coordinates, while a
// declared no-data value stays what it is; the D8 grid's codes and loops; outlets moved to
// their river, the stated area compared, a sliver of a sub-basin refused. What the import
// accepts at the edges of the ranges, check accepts.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "GeoTestSupport.h"
#include "TestSupport.h"
#include "app/Check.h"
#include "app/Session.h"
#include "app/Startup.h"
#include "geo/Import.h"
#include "inputs/TextFile.h"
#include "model/Errors.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;
using test::TestRaster;

std::string Day2001(int dayOfYear) {
  static const int before[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};
  int m = 0;
  while (m < 11 && dayOfYear > before[m + 1]) ++m;
  char buf[32];
  std::snprintf(buf, sizeof buf, "2001-%02d-%02d", m + 1, dayOfYear - before[m]);
  return buf;
}

// One sub-basin of 4 x 4 cells of 100 m (UTM 32N), a weather table and a discharge table for
// 2001; each test changes one value. ESRI directions (when used): column 0 flows east,
// column 1 (the river) south and off the map at row 3, columns 2-3 west.
struct ValueSet {
  test::TempDir dir;
  TestRaster terrain, land, ids, flow;
  std::map<std::string, std::string> files;
  std::vector<std::string> config;
  std::string workspace;
  // Day values of the tables (day of year -> value), changed by the tests.
  std::map<int, std::string> precip, temp, discharge;

  ValueSet() {
    terrain = {4, 4, 499700, 5000600, 100, 100, {}, -9999, "EPSG:32632"};
    land = ids = flow = terrain;
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 4; ++c) {
        terrain.values.push_back(300 + 10 * r + 5 * c);
        land.values.push_back(1);
        ids.values.push_back(1);
        flow.values.push_back(c == 0 ? 1 : c == 1 ? 4 : 16);
      }
    files["classes.csv"] = "class,code\n1,21\n";
    files["sub-basins.csv"] = "id,name,muskingum_k_hours,muskingum_x\n1,A,24,0.2\n";
    config = {"terrain = terrain.tif",
              "land_cover = land.tif",
              "land_cover_classes = classes.csv",
              "sub_basin_raster = ids.tif",
              "sub_basins = sub-basins.csv",
              "weather_table = weather/{id}.csv",
              "weather_table_no_data = -9999",
              "discharge = gauge.csv",
              "discharge_no_data = -9999",
              "sediment_concentration = 0.5",
              "latitude = 45",
              "min_sub_basin_area_km2 = 0"};
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
  void Delineate(const std::string& outlets) {
    Drop("sub_basin_raster");
    Set("flow_direction", "fdir.tif");
    Set("outlets", "outlets.csv");
    files["outlets.csv"] = outlets;
  }

  geo::ImportReport Import(std::string* printed = nullptr) {
    test::WriteRasterFile(Path("terrain.tif"), terrain);
    test::WriteRasterFile(Path("land.tif"), land);
    test::WriteRasterFile(Path("ids.tif"), ids);
    test::WriteRasterFile(Path("fdir.tif"), flow);
    std::string w = "date,precipitation,temperature\n", g = "date,discharge\n";
    for (int d = 1; d <= 365; ++d) {
      w += Day2001(d) + "," + (precip.count(d) ? precip[d] : "2.5") + "," + (temp.count(d) ? temp[d] : "8") + "\n";
      g += Day2001(d) + "," + (discharge.count(d) ? discharge[d] : "1.5") + "\n";
    }
    files["weather/1.csv"] = w;
    files["gauge.csv"] = g;
    for (const auto& [rel, text] : files) test::WriteBytes(Path(rel), text);
    std::string c;
    for (const std::string& l : config) c += l + "\n";
    test::WriteBytes(Path("import.conf"), c);
    geo::ImportOptions o;
    o.config = Path("import.conf");
    o.workspace = workspace;
    o.replace = true;
    std::ostringstream out;
    geo::ImportReport report = geo::RunImport(o, out);
    if (printed) *printed = out.str();
    return report;
  }

  std::string Refusal() {
    try {
      Import();
    } catch (const TarnwellError& e) {
      EXPECT_FALSE(fs::exists(workspace + "/input")) << "nothing is written when the import is refused";
      return e.what();
    }
    ADD_FAILURE() << "the import was not refused";
    return "";
  }
};

::testing::AssertionResult Holds(const std::string& text, const std::vector<std::string>& parts) {
  for (const std::string& p : parts)
    if (text.find(p) == std::string::npos) return ::testing::AssertionFailure() << "\"" << p << "\" not in: " << text;
  return ::testing::AssertionSuccess();
}

TEST(ImportValues, EveryDailyKindIsRangedAtItsSourceLine) {
  // Day 60 is line 61 of each table (after the header).
  struct Case {
    std::map<int, std::string> ValueSet::*column;
    std::string value, file;
    std::vector<std::string> said;
  };
  const std::vector<Case> cases{
      {&ValueSet::precip,
       "-5",
       "weather/1.csv",
       {"line 61", "precipitation -5 in column 2", "2001-03-01", "negative", "weather_table_no_data"}},
      {&ValueSet::precip, "2500", "weather/1.csv", {"line 61", "more than 2000 mm"}},
      {&ValueSet::temp,
       "-150",
       "weather/1.csv",
       {"line 61", "air temperature -150 in column 3", "beyond any air temperature"}},
      {&ValueSet::temp, "281.15", "weather/1.csv", {"line 61", "another unit"}},
      {&ValueSet::discharge,
       "-1",
       "gauge.csv",
       {"line 61", "discharge -1 in column 2 (discharge)", "discharge_no_data"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    ValueSet set;
    (set.*c.column)[60] = c.value;
    const std::string m = set.Refusal();
    EXPECT_TRUE(Holds(m, {c.file}));
    EXPECT_TRUE(Holds(m, c.said));
  }
}

TEST(ImportValues, DeclaredNoDataIsMissingNotAValue) {
  // A declared no-data precipitation is a missing weather day (refused as such), a declared
  // no-data discharge a day without observation.
  ValueSet set;
  set.precip[60] = "-9999";
  EXPECT_TRUE(Holds(set.Refusal(), {"weather/1.csv line 61", "no precipitation on 2001-03-01"}));
  ValueSet gauge;
  gauge.discharge[60] = "-9999.0";
  EXPECT_EQ(gauge.Import().outletDischargeGaps, 1);
}

TEST(ImportValues, GriddedWeatherRangedPerCellAndDay) {
  const std::vector<double> xs{499800, 500000}, ys{5000300, 5000500};
  std::vector<double> times;
  for (int d = 0; d < 365; ++d) times.push_back(d);
  struct Case {
    std::string variable, units;
    double bad;
    std::vector<std::string> said;
  };
  for (const Case& c : std::vector<Case>{
           {"pr",
            "mm/day",
            -5,
            {"pre.nc (variable pr)", "precipitation -5 mm on 2001-01-11", "row 1, column 0", "negative"}},
           {"tas", "K", 500, {"tas.nc (variable tas)", "air temperature 226.85 degrees C on 2001-01-11"}}}) {
    SCOPED_TRACE(c.variable);
    ValueSet set;
    const bool rain = c.variable == "pr";
    // The file's rows run south to north: its row 0, column 0 is the weather grid's south-west cell.
    test::WriteWeatherNetcdf(set.Path("pre.nc"), "pr", "mm/day", xs, ys, "days since 2001-01-01", times,
                             [&](std::size_t t, std::size_t r, std::size_t cc) {
                               return rain && t == 10 && r == 0 && cc == 0 ? c.bad : 3.0;
                             });
    test::WriteWeatherNetcdf(set.Path("tas.nc"), "tas", "K", xs, ys, "days since 2001-01-01", times,
                             [&](std::size_t t, std::size_t r, std::size_t cc) {
                               return !rain && t == 10 && r == 0 && cc == 0 ? c.bad : 280.0;
                             });
    set.Drop("weather_table");
    set.Drop("weather_table_no_data");
    set.Set("precipitation_netcdf", "pre.nc");
    set.Set("precipitation_variable", "pr");
    set.Set("temperature_netcdf", "tas.nc");
    set.Set("temperature_variable", "tas");
    EXPECT_TRUE(Holds(set.Refusal(), c.said));
  }
}

TEST(ImportValues, TerrainBeyondAnyLandNamesTheCell) {
  for (double bad : {9000.5, -451.0}) {
    SCOPED_TRACE(bad);
    ValueSet set;
    set.terrain.values[2 * 4 + 3] = bad;  // row 2, column 3
    EXPECT_TRUE(Holds(set.Refusal(), {"terrain.tif", "row 2, column 3", "x 500050.000, y 5000350.000",
                                      "beyond any land on Earth (-450 to 9000 m)"}));
  }
  // Outside the sub-basin but beside it, a spike still makes the slope computed there.
  ValueSet beside;
  beside.ids.values[3] = 0;  // row 0, column 3
  beside.terrain.values[3] = 32767;
  EXPECT_TRUE(Holds(beside.Refusal(), {"row 0, column 3", "and so in its slope"}));
  // With a slope raster of its own, a cell outside the sub-basins is not looked at.
  ValueSet given;
  given.ids.values[3] = 0;
  given.terrain.values[3] = 32767;
  TestRaster slope = given.terrain;
  for (double& v : slope.values) v = 5;
  test::WriteRasterFile(given.Path("slope.tif"), slope);
  given.Set("slope", "slope.tif");
  EXPECT_NO_THROW(given.Import());
  // A slope beyond the vertical.
  ValueSet steep;
  slope.values[5] = 95;
  test::WriteRasterFile(steep.Path("slope.tif"), slope);
  steep.Set("slope", "slope.tif");
  EXPECT_TRUE(
      Holds(steep.Refusal(), {"slope.tif", "row 1, column 1", "steeper than 90 degrees", "slope_units = percent"}));
}

TEST(ImportValues, RoutingStationYearsAndParametersRangedWhereGiven) {
  struct Case {
    std::string subBasins, key, value;
    std::vector<std::string> said;
  };
  const std::string head = "id,name,muskingum_k_hours,muskingum_x,station_elevation\n";
  for (const Case& c : std::vector<Case>{
           {"1,A,24,1.5,\n", "", "", {"sub-basins.csv line 2", "K = 24 h and x = 1.5", "denominator"}},
           {"1,A,24,0.2,9500\n", "", "", {"sub-basins.csv line 2", "9500", "-450 to 9000 m"}},
           {"1,A,24,0.2,\n", "station_elevation", "-600", {"import.conf", "station_elevation", "-450 to 9000 m"}},
           {"1,A,24,0.2,\n", "years", "2001 10000", {"import.conf", "years", "1 to 9999"}}}) {
    SCOPED_TRACE(c.subBasins + c.key);
    ValueSet set;
    set.files["sub-basins.csv"] = head + c.subBasins;
    if (!c.key.empty()) set.Set(c.key, c.value);
    EXPECT_TRUE(Holds(set.Refusal(), c.said));
  }
  // A parameter template the model cannot compute with is refused as the template's.
  ValueSet set;
  std::istringstream demo(
      DecodeText(test::ReadBytes(std::string(TARNWELL_SOURCE_DIR) + "/examples/demo/import/parameters.txt")));
  std::string text;
  int n = 0;
  for (std::string l; std::getline(demo, l);) text += (++n == 24 ? "土壤层包气带厚度 0 250 450" : l) + "\n";
  set.files["parameters.txt"] = text;
  set.Set("parameters", "parameters.txt");
  EXPECT_TRUE(Holds(set.Refusal(), {"parameters.txt line 24"}));
}

TEST(ImportValues, NegativeRoutingCoefficientWarnsAndImports) {
  ValueSet set;
  set.files["sub-basins.csv"] = "id,name,muskingum_k_hours,muskingum_x\n1,A,6,0.2\n";
  std::string printed;
  const geo::ImportReport r = set.Import(&printed);
  ASSERT_EQ(r.warnings.size(), 1u);
  EXPECT_TRUE(Holds(r.warnings[0], {"sub-basins.csv line 2", "sub-basin 1 (A)", "K = 6 h and x = 0.2", "C2 = -0.43"}));
  EXPECT_TRUE(Holds(printed, {"warning: " + r.warnings[0]}));
  ValueSet fine;
  EXPECT_TRUE(fine.Import().warnings.empty());  // K 24 h, x 0.2: every coefficient positive
}

TEST(ImportValues, ValuesAtTheEdgesOfTheRangesPassTheCheck) {
  ValueSet set;
  set.precip[1] = "0";
  set.precip[2] = "2000";
  set.temp[3] = "-100";
  set.temp[4] = "70";
  set.discharge[5] = "0";
  set.terrain.values[0] = 9000;
  set.terrain.values[15] = 0.01;
  set.Import();
  Session session(set.workspace);
  StartUpWorkspace(session);
  EXPECT_NO_THROW(CheckInputs(session, 0));
}

TEST(ImportValues, WhatTheModelsReadersWouldRefuseIsRefusedBeforeWriting) {
  // Cells of 0.1 m: the model's grid header holds whole metres, so the grid's x extent of
  // 0.4 m rounds to nothing, which the terrain reader refuses.
  ValueSet set;
  set.terrain.cellWidth = set.terrain.cellHeight = 0.1;
  set.land = set.ids = set.terrain;
  for (double& v : set.land.values) v = 1;
  for (double& v : set.ids.values) v = 1;
  EXPECT_TRUE(Holds(set.Refusal(), {"import.conf", "would not pass the model's readers", "input/A/dem.grd line 3",
                                    "x extent runs from"}));
}

TEST(ImportFlowDirections, AnUnknownCodeOrALoopNamesTheCell) {
  ValueSet set;
  set.Delineate("id,x,y\n1,499850,5000250\n");
  set.flow.values[1 * 4 + 2] = 3;  // row 1, column 2: no ESRI code
  EXPECT_TRUE(Holds(set.Refusal(), {"fdir.tif", "row 1, column 2", "centre x 499950.000, y 5000450.000", "holds 3",
                                    "no flow direction of the esri coding"}));
  ValueSet loop;
  loop.Delineate("id,x,y\n1,499850,5000250\n");
  loop.flow.values[0 * 4 + 1] = 1;  // row 0, column 1 east, into column 2, which flows back west
  EXPECT_TRUE(
      Holds(loop.Refusal(), {"fdir.tif", "loop through the cell of row 0, column 1", "row 0 column 2, back to it"}));
  ValueSet taudem;  // the right codes read in the wrong coding
  taudem.Delineate("id,x,y\n1,499850,5000250\n");
  taudem.Set("flow_direction_coding", "taudem");
  EXPECT_TRUE(Holds(taudem.Refusal(), {"holds 16", "taudem coding"}));
}

TEST(ImportOutlets, AnOutletBesideItsRiverMovesOntoIt) {
  // The gauge in row 3, column 2, which drains only itself and column 3: within the default
  // two cells the river's last cell (row 3, column 1) drains all 16.
  ValueSet set;
  set.Delineate("id,x,y,area_km2\n1,499950,5000250,0.16\n");
  std::string printed;
  const geo::ImportReport r = set.Import(&printed);
  EXPECT_EQ(r.subBasins[0].cells, 16);
  EXPECT_DOUBLE_EQ(r.subBasins[0].outletMovedMetres, 100);
  EXPECT_TRUE(r.warnings.empty());
  EXPECT_TRUE(Holds(printed, {"outlet 1 (A): moved 100 m to the largest flow accumulation within 2 cells (16 cells)"}));

  // Left where it is, the sub-basin is a sliver: refused under the stated minimum, warned of
  // against the stated area.
  ValueSet kept;
  kept.Delineate("id,x,y,area_km2\n1,499950,5000250,0.16\n");
  kept.Set("outlet_snap_radius", "0");
  kept.Set("min_sub_basin_area_km2", "0.05");
  EXPECT_TRUE(Holds(kept.Refusal(), {"outlets.csv line 2", "has 0.02 km2 (2 cells)", "min_sub_basin_area_km2 = 0.05",
                                     "beside the river"}));
  kept.Set("min_sub_basin_area_km2", "0");
  const geo::ImportReport k = kept.Import();
  ASSERT_EQ(k.warnings.size(), 1u);
  EXPECT_TRUE(Holds(k.warnings[0], {"outlets.csv line 2", "drains 0.02 km2, 88 % off the stated area_km2 0.16"}));
  // The default minimum is 1 km2.
  ValueSet small;
  small.Drop("min_sub_basin_area_km2");
  EXPECT_TRUE(Holds(small.Refusal(), {"has 0.16 km2", "min_sub_basin_area_km2 = 1 km2"}));
}

TEST(ImportOutlets, TwoOutletsMovedOntoOneCellAreRefused) {
  ValueSet set;
  set.ids.values.assign(16, 1);
  set.files["sub-basins.csv"] = "id,name,muskingum_k_hours,muskingum_x\n1,A,24,0.2\n2,B,24,0.2\n";
  set.Delineate("id,x,y\n1,499850,5000250\n2,499950,5000250\n");
  EXPECT_TRUE(Holds(set.Refusal(), {"outlets.csv line 3", "same cell as outlet 1", "lower outlet_snap_radius"}));
}

}  // namespace
}  // namespace tarnwell
