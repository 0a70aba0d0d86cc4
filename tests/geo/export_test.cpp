// Export of the stored results and of the maps: a small workspace run by the command line,
// exported as CSV and as NetCDF and every value read back equal to the one the output files
// hold (export_check.py); the grids and the yearly maps as GeoTIFF and NetCDF, north up, at
// the corners of their true georeference, read back with GDAL and the NetCDF library.
#include <gtest/gtest.h>

#include <cstdio>
#include <limits>

#include "GeoTestSupport.h"
#include "TinyWorkspace.h"
#include "geo/Export.h"
#include "geo/Maps.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;
using test::Holds;

TEST(Export, CsvAndNetcdfHoldTheOutputFilesValues) {
  test::TempDir dir;
  const std::string ws = dir.Path().string(), out = ws + "/Output/";
  test::TinyWorkspace w = test::SmallBasins(2, 2, 3, 2);
  w.subBasins[0].years[0].startDay = 20;  // a year whose Daily.out starts late
  test::WriteTinyWorkspace(ws, w);
  // Without results the message names the missing file.
  test::CliResult r = test::RunCli({"export", "--workspace", ws}, ws);
  EXPECT_TRUE(r.status == 1 && Holds(r.err, {"Daily.out"})) << r.err;
  EXPECT_FALSE(fs::exists(out + "export/stations.csv"));
  ASSERT_EQ(test::RunCli({"run", "--workspace", ws}, ws).status, 0);
  for (const char* format : {"csv", "netcdf"}) {
    r = test::RunCli({"export", "--workspace", ws, "--format", format}, ws);
    ASSERT_EQ(r.status, 0) << r.err;
  }
  EXPECT_EQ(test::ReadBytes(out + "export/stations.csv"),
            "station,name,directory,area_km2\n1,甲,流域1,86.4\n2,乙,流域2,86.4\nbasin,全流域,全流域,172.8\n");
  for (const char* g : {"terrain", "land_use", "slope"})
    EXPECT_TRUE(fs::is_regular_file(out + "export/subbasin2_" + g + ".tif")) << g;
  // ncdump reads it, and it says what it is.
  EXPECT_TRUE(Holds(test::Ncdump(out + "export/daily.nc"),
                    {":Conventions = \"CF-1.8\"", ":featureType = \"timeSeries\"",
                     "station_name:cf_role = \"timeseries_id\"", "double Si_flow_outlet(station, time)"}));
  const std::string check = std::string(TARNWELL_TEST_DATA) + "/geo/export_check.py";
  EXPECT_EQ(std::system(("/usr/bin/python3 '" + check + "' '" + out + "' > '" + ws + "/check.txt'").c_str()), 0)
      << test::ReadBytes(ws + "/check.txt");
}

// A DSAA grid of 3 rows x 2 columns whose value lines hold distinct values; the first line
// is its southern row, so the north row is the last value line. Without georef.txt the
// header stands in (cells of x extent / rows by y extent / columns, which need not be whole
// map units); with it, its corners and coordinate system; blank land use becomes no-data.
// A georef.txt value beyond what a map holds is refused on its own line with its value.
TEST(Export, GridsNorthUpAtTheTrueCorners) {
  test::TempDir dir;
  const std::string grd = dir / "dem.grd", tif = dir / "dem.tif", georef = dir / "georef.txt";
  const std::string values = "1000 1150\n2000 2100\n0 99\n11 12\n21 22\n31 32\n", north = "31 32 21 22 11 12";
  auto ref = [](int line, const std::string& value) {  // line `line` replaced by `value`
    const char* good[] = {"crs = EPSG:32632", "west = 500000", "south = 4000000", "cell_width = 50",
                          "cell_height = 50", "rows = 3",      "columns = 2",     "first_row = south"};
    std::string text;
    for (int i = 0; i < 8; ++i) text += (i + 1 == line ? value : good[i]) + std::string("\n");
    return text;
  };
  const std::vector<std::tuple<std::string, std::string, std::string>> cases{
      // grid, georef, said
      {"2 3\n" + values, "", "1000 50 2150 -50: " + north},
      {"2 3\n0 100\n0 50\n0 99\n11 12\n21 22\n31 32\n", "", "0 33.3333333333 75 -25: " + north},
      {"2 3\n" + values, ref(0, ""), "500000 50 4000150 -50: " + north + " EPSG:32632"},
      {"2 2\n0 200\n0 200\n0 0\n21 255\n150 31\n", "", "0 100 200 -100: 255 31 21 255 (no-data 255)"},
      {"2 3\n" + values, ref(2, "west = 1e308"),
       "georef.txt line 2: west = 1e308: beyond any map coordinate (at most 1000000000"},
      {"2 3\n" + values, ref(4, "cell_width = 0"),
       "georef.txt line 4: cell_width = 0: a cell size is above 0 and at most 10000000"},
      {"2 3\n" + values, ref(5, "cell_height = 1e300"),
       "georef.txt line 5: cell_height = 1e300: a cell size is above 0"},
      {"2 3\n" + values, ref(2, "west = 999999999"),
       "georef.txt line 4: cell_width = 50: the east edge (west + columns x"},
      {"2 3\n" + values, ref(3, "south = -999999999"), "500000 50 -999999849 -50"},  // the north edge inside
      {"2 3\n" + values, ref(6, "rows = 0"), "georef.txt line 6: rows = 0: the grid has at least one row"},
      {"2 3\n" + values, ref(2, "west = nan"), "georef.txt line 2: west = nan: not a number"},
  };
  for (const auto& [grid, georefText, said] : cases) {
    test::WriteGbkLines(grd, "DSAA\n" + grid);
    fs::remove(georef);
    if (!georefText.empty()) test::WriteGbkLines(georef, georefText);
    std::ostringstream got;  // the message, or the raster: corner, cell size, values north first
    got.precision(12);
    got << test::Message([&] {
      geo::ExportGrid(grd, "input/甲/dem.grd", grid.substr(0, 3) == "2 2" ? "land_use" : "terrain", tif, "dem.tif");
    });
    if (got.str() == "(no error)") {
      const test::TestRaster b = test::ReadRasterFile(tif);
      got.str("");
      got << b.west << " " << b.cellWidth << " " << b.north << " " << -b.cellHeight << ":";
      for (double v : b.values) got << " " << v;
      got << (test::SameCrsText(b.crs, "EPSG:32632") ? " EPSG:32632" : "") << (b.noData == 255 ? " (no-data 255)" : "");
    }
    EXPECT_TRUE(Holds(got.str(), {std::string(said)})) << grid << georefText;
  }
}

// The yearly maps of 3 model rows x 2 columns, the model's row 1 the southern row (as the
// import writes the grids); value = year * 1000 + quantity * 100 + model row * 10 + column;
// the model's row 1, column 2 lies outside the sub-basin.
TEST(YearlyMaps, GeoTiffAndNetcdfNorthUpAtTheTrueCorners) {
  geo::SubBasinMaps m;
  m.rows = 3, m.cols = 2;
  for (int year : {2001, 2002}) {
    geo::YearlyCellMaps& y = m.years.emplace_back();
    y.year = year;
    std::vector<double>* grids[] = {&y.precipitation, &y.evapotranspiration, &y.runoff,
                                    &y.soilLoss,      &y.waterTableDepth,    &y.snowPack};
    for (int q = 0; q < 6; ++q)
      for (int r = 1; r <= 3; ++r)
        for (int c = 1; c <= 2; ++c)
          grids[q]->push_back(r == 1 && c == 2 ? std::nan("") : year * 1000 + q * 100 + r * 10 + c);
  }
  auto georef = [](const std::string& crs, int rows = 3) {
    const bool metres = crs != "EPSG:4326";
    geo::GridGeoref g;
    g.rows = rows, g.cols = 2, g.west = metres ? 600000 : 9, g.south = metres ? 5100000 : 45;
    g.cellWidth = g.cellHeight = metres ? 250 : 0.01;
    g.crsWkt = test::WktOf(crs);
    return g;
  };
  test::TempDir dir;
  const std::vector<std::string> files = geo::WriteYearlyMaps(m, georef("EPSG:32632"), dir / "maps", "Output/maps",
                                                              "subbasin1", geo::MapFormat::GeoTiff);
  EXPECT_EQ(files.size(), 12u);
  EXPECT_EQ(files.front(), "Output/maps/subbasin1_precipitation_2001.tif");
  test::TestRaster b = test::ReadRasterFile(dir / "maps/subbasin1_soil_loss_2002.tif");
  EXPECT_EQ(b.Corner(), (std::vector<double>{600000, 250, 5100750, -250}));
  EXPECT_TRUE(test::SameCrsText(b.crs, "EPSG:32632"));
  EXPECT_EQ(b.values, (std::vector<double>{2002331, 2002332, 2002321, 2002322, 2002311, b.noData}));  // north first
  // NetCDF: the values north row first, the coordinate system as a CF grid mapping (GDAL
  // finds the same georeference) and as WKT; in degrees the mapping CF names for them.
  geo::WriteYearlyMaps(m, georef("EPSG:32632"), dir / "maps", "Output/maps", "subbasin1", geo::MapFormat::Netcdf);
  const std::string path = dir / "maps/subbasin1.nc";
  EXPECT_TRUE(Holds(
      test::Ncdump(path, "water_table_depth"),
      {"water_table_depth =\n  2001431, 2001432,\n  2001421, 2001422,\n  2001411, _,\n  2002431,",
       "double water_table_depth(year, y, x)", "water_table_depth:units = \"m\"",
       "precipitation:grid_mapping = \"crs\"", "x:units = \"m\"", "crs:grid_mapping_name = \"transverse_mercator\"",
       "crs:crs_wkt = \"PROJCS[\\\"WGS 84 / UTM zone 32N\\\""}));
  b = test::ReadRasterFile("NETCDF:\"" + path + "\":precipitation");
  EXPECT_EQ(b.Corner(), (std::vector<double>{600000, 250, 5100750, -250}));
  EXPECT_TRUE(test::SameCrsText(b.crs, "EPSG:32632"));
  EXPECT_EQ(b.At(0, 0), 2001000 + 31);
  geo::WriteYearlyMaps(m, georef("EPSG:4326"), dir / "geo", "Output/maps", "subbasin1", geo::MapFormat::Netcdf);
  EXPECT_TRUE(Holds(test::Ncdump(dir / "geo/subbasin1.nc", "year"),
                    {"crs:grid_mapping_name = \"latitude_longitude\"", "x:units = \"degrees_east\"",
                     "y:units = \"degrees_north\"", "year = 2001, 2002 ;"}));
  // A grid of another size is refused, nothing written.
  EXPECT_THROW(geo::WriteYearlyMaps(m, georef("EPSG:32632", 4), dir / "other", "Output/maps", "subbasin1",
                                    geo::MapFormat::GeoTiff),
               InputError);
  EXPECT_FALSE(fs::exists(dir / "other/subbasin1_precipitation_2001.tif"));
}

}  // namespace
}  // namespace tarnwell
