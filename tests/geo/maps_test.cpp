// The writer of the yearly maps of every cell: GeoTIFF files and a NetCDF file with a year
// dimension, north up, georeferenced, outside cells no-data, the coordinate system stated
// as a CF grid mapping; read back with GDAL and the NetCDF library.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "GeoTestSupport.h"
#include "geo/Maps.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;

// 3 model rows x 2 columns, the model's row 1 the southern row (as the import writes the
// grids); value = year * 1000 + quantity * 100 + model row * 10 + column; the model's row
// 1, column 2 lies outside the sub-basin.
geo::SubBasinMaps SmallMaps() {
  geo::SubBasinMaps m;
  m.rows = 3;
  m.cols = 2;
  for (int year : {2001, 2002}) {
    geo::YearlyCellMaps y;
    y.year = year;
    std::vector<double>* grids[] = {&y.precipitation, &y.evapotranspiration, &y.runoff,
                                    &y.soilLoss,      &y.waterTableDepth,    &y.snowPack};
    for (int q = 0; q < 6; ++q)
      for (int r = 1; r <= 3; ++r)
        for (int c = 1; c <= 2; ++c)
          grids[q]->push_back(r == 1 && c == 2 ? std::numeric_limits<double>::quiet_NaN()
                                               : year * 1000 + q * 100 + r * 10 + c);
    m.years.push_back(y);
  }
  return m;
}

geo::GridGeoref Georef(const std::string& crs, int rows = 3, int cols = 2) {
  geo::GridGeoref g;
  g.rows = rows;
  g.cols = cols;
  const bool metres = crs != "EPSG:4326";
  g.west = metres ? 600000 : 9;
  g.south = metres ? 5100000 : 45;
  g.cellWidth = g.cellHeight = metres ? 250 : 0.01;
  g.crsWkt = test::WktOf(crs);
  return g;
}

TEST(YearlyMaps, GeoTiffAndNetcdfNorthUpAtTheTrueCorners) {
  test::TempDir dir;
  const std::vector<std::string> files = geo::WriteYearlyMaps(SmallMaps(), Georef("EPSG:32632"), dir / "maps",
                                                              "Output/maps", "subbasin1", geo::MapFormat::GeoTiff);
  EXPECT_EQ(files.size(), 12u);
  EXPECT_EQ(files.front(), "Output/maps/subbasin1_precipitation_2001.tif");
  test::ReadBack b = test::ReadRasterFile(dir / "maps/subbasin1_soil_loss_2002.tif");
  ASSERT_EQ(b.rows, 3);
  ASSERT_EQ(b.cols, 2);
  EXPECT_EQ(b.Corner(), (std::vector<double>{600000, 250, 5100750, -250}));
  EXPECT_TRUE(test::SameCrsText(b.wkt, "EPSG:32632"));
  // North row first: the model's row 3.
  EXPECT_EQ(b.values, (std::vector<double>{2002331, 2002332, 2002321, 2002322, 2002311, b.noData}));
  EXPECT_TRUE(b.hasNoData);

  geo::WriteYearlyMaps(SmallMaps(), Georef("EPSG:32632"), dir / "maps", "Output/maps", "subbasin1",
                       geo::MapFormat::Netcdf);
  const std::string path = dir / "maps/subbasin1.nc";
  int nc = 0, var = 0, yVar = 0, yearVar = 0, ndims = 0;
  ASSERT_EQ(nc_open(path.c_str(), NC_NOWRITE, &nc), NC_NOERR);
  ASSERT_EQ(nc_inq_varid(nc, "water_table_depth", &var), NC_NOERR);
  ASSERT_EQ(nc_inq_varid(nc, "y", &yVar), NC_NOERR);
  ASSERT_EQ(nc_inq_varid(nc, "year", &yearVar), NC_NOERR);
  nc_inq_varndims(nc, var, &ndims);
  EXPECT_EQ(ndims, 3);
  std::vector<double> ys(3), v(12);
  std::vector<int> years(2);
  nc_get_var_double(nc, yVar, ys.data());
  nc_get_var_int(nc, yearVar, years.data());
  nc_get_var_double(nc, var, v.data());
  char units[32] = {0};
  nc_get_att_text(nc, var, "units", units);
  nc_close(nc);
  EXPECT_EQ(years, (std::vector<int>{2001, 2002}));
  EXPECT_EQ(ys, (std::vector<double>{5100625, 5100375, 5100125}));  // north to south
  EXPECT_STREQ(units, "m");
  EXPECT_EQ(v[6], 2002000 + 400 + 31);  // year 2002, north row, west column
  EXPECT_EQ(v[5], -9999);               // year 2001, south row, east column: outside
  // GDAL finds the same georeference in it.
  b = test::ReadRasterFile("NETCDF:\"" + path + "\":precipitation");
  EXPECT_EQ(b.gt[0], 600000);
  EXPECT_EQ(b.gt[3], 5100750);
  EXPECT_EQ(b.At(0, 0), 2001000 + 31);

  // A grid of another size is refused, nothing written.
  EXPECT_THROW(geo::WriteYearlyMaps(SmallMaps(), Georef("EPSG:32632", 4), dir / "other", "Output/maps", "subbasin1",
                                    geo::MapFormat::GeoTiff),
               InputError);
  EXPECT_FALSE(fs::exists(dir / "other/subbasin1_precipitation_2001.tif"));
}

std::string TextAttribute(int nc, int var, const char* name) {
  std::size_t n = 0;
  if (nc_inq_attlen(nc, var, name, &n) != NC_NOERR) return "(none)";
  std::string s(n, '\0');
  nc_get_att_text(nc, var, name, s.data());
  return s;
}

double RealAttribute(int nc, int var, const char* name) {
  std::size_t n = 0;
  if (nc_inq_attlen(nc, var, name, &n) != NC_NOERR || n == 0) return -1e99;
  std::vector<double> v(n);
  nc_get_att_double(nc, var, name, v.data());
  return v[0];
}

// The maps' crs variable as CF states a coordinate system: the grid mapping's name and its
// parameters for each projection CF lists; for one it does not list, no grid mapping (the
// WKT stays for the tools that read it).
TEST(YearlyMaps, MapsStateTheirCoordinateSystemAsACfGridMapping) {
  struct Case {
    std::string crs, mapping;  // "(none)": not a projection CF names
    std::vector<std::pair<std::string, double>> parameters;
    std::string xUnits;
  };
  const std::vector<Case> cases = {
      {"EPSG:32632",
       "transverse_mercator",
       {{"longitude_of_central_meridian", 9},
        {"scale_factor_at_central_meridian", 0.9996},
        {"false_easting", 500000},
        {"semi_major_axis", 6378137}},
       "m"},
      {"EPSG:3035",
       "lambert_azimuthal_equal_area",
       {{"longitude_of_projection_origin", 10},
        {"latitude_of_projection_origin", 52},
        {"false_easting", 4321000},
        {"false_northing", 3210000}},
       "m"},
      {"EPSG:4326", "latitude_longitude", {{"semi_major_axis", 6378137}}, "degrees_east"},
      {"ESRI:54030", "(none)", {}, "m"},  // Robinson
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.crs);
    test::TempDir dir;
    const geo::GridGeoref g = Georef(c.crs, 1, 2);
    ASSERT_FALSE(g.crsWkt.empty());
    geo::SubBasinMaps maps;
    maps.rows = 1;
    maps.cols = 2;
    geo::YearlyCellMaps y;
    y.year = 2001;
    y.precipitation = y.evapotranspiration = y.runoff = y.soilLoss = y.waterTableDepth = y.snowPack = {1, 2};
    maps.years.push_back(y);
    geo::WriteYearlyMaps(maps, g, dir / "maps", "Output/maps", "subbasin1", geo::MapFormat::Netcdf);
    const std::string path = dir / "maps/subbasin1.nc";
    int nc = 0, crs = 0, pre = 0, x = 0;
    ASSERT_EQ(nc_open(path.c_str(), NC_NOWRITE, &nc), NC_NOERR);
    ASSERT_EQ(nc_inq_varid(nc, "crs", &crs), NC_NOERR);
    nc_inq_varid(nc, "precipitation", &pre);
    nc_inq_varid(nc, "x", &x);
    EXPECT_EQ(TextAttribute(nc, crs, "grid_mapping_name"), c.mapping);
    EXPECT_EQ(TextAttribute(nc, pre, "grid_mapping"), c.mapping == "(none)" ? "(none)" : "crs");
    EXPECT_EQ(TextAttribute(nc, x, "units"), c.xUnits);
    EXPECT_NE(TextAttribute(nc, crs, "crs_wkt"), "(none)");
    for (const auto& [name, value] : c.parameters)
      EXPECT_NEAR(RealAttribute(nc, crs, name.c_str()), value, 1e-9 * std::max(1.0, std::fabs(value))) << name;
    nc_close(nc);
    // GDAL still finds the same coordinate system in it.
    if (c.mapping != "(none)") {
      EXPECT_TRUE(test::SameCrsText(test::ReadRasterFile("NETCDF:\"" + path + "\":precipitation").wkt, c.crs));
    }
  }
}

}  // namespace
}  // namespace tarnwell
