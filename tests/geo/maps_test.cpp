// The writer of the yearly maps of every cell: GeoTIFF files and a NetCDF file with a year
// dimension, north up, georeferenced, outside cells no-data; read back with GDAL and the
// NetCDF library.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "GeoTestSupport.h"
#include "TestSupport.h"
#include "geo/Maps.h"
#include "model/Errors.h"

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

geo::GridGeoref SmallGeoref() {
  geo::GridGeoref g;
  g.rows = 3;
  g.cols = 2;
  g.west = 600000;
  g.south = 5100000;
  g.cellWidth = g.cellHeight = 250;
  g.crsWkt = test::WktOf("EPSG:32632");
  return g;
}

TEST(YearlyMaps, GeoTiffNorthUpAtTheTrueCorners) {
  test::TempDir dir;
  const std::vector<std::string> files = geo::WriteYearlyMaps(SmallMaps(), SmallGeoref(), dir / "maps", "Output/maps",
                                                              "subbasin1", geo::MapFormat::GeoTiff);
  EXPECT_EQ(files.size(), 12u);
  EXPECT_EQ(files.front(), "Output/maps/subbasin1_precipitation_2001.tif");
  test::ReadBack b = test::ReadRasterFile(dir / "maps/subbasin1_soil_loss_2002.tif");
  ASSERT_EQ(b.rows, 3);
  ASSERT_EQ(b.cols, 2);
  EXPECT_DOUBLE_EQ(b.gt[0], 600000);
  EXPECT_DOUBLE_EQ(b.gt[3], 5100750);
  EXPECT_DOUBLE_EQ(b.gt[1], 250);
  EXPECT_DOUBLE_EQ(b.gt[5], -250);
  EXPECT_TRUE(test::SameCrsText(b.wkt, "EPSG:32632"));
  // North row first: the model's row 3.
  EXPECT_EQ(b.At(0, 0), 2002000 + 300 + 31);
  EXPECT_EQ(b.At(0, 1), 2002000 + 300 + 32);
  EXPECT_EQ(b.At(2, 0), 2002000 + 300 + 11);
  ASSERT_TRUE(b.hasNoData);
  EXPECT_EQ(b.At(2, 1), b.noData);
}

TEST(YearlyMaps, NetcdfWithAYearDimension) {
  test::TempDir dir;
  geo::WriteYearlyMaps(SmallMaps(), SmallGeoref(), dir / "maps", "Output/maps", "subbasin1", geo::MapFormat::Netcdf);
  const std::string path = dir / "maps/subbasin1.nc";
  int nc = 0;
  ASSERT_EQ(nc_open(path.c_str(), NC_NOWRITE, &nc), NC_NOERR);
  int var = 0, yVar = 0, yearVar = 0;
  ASSERT_EQ(nc_inq_varid(nc, "water_table_depth", &var), NC_NOERR);
  ASSERT_EQ(nc_inq_varid(nc, "y", &yVar), NC_NOERR);
  ASSERT_EQ(nc_inq_varid(nc, "year", &yearVar), NC_NOERR);
  int ndims = 0;
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
  test::ReadBack b = test::ReadRasterFile("NETCDF:\"" + path + "\":precipitation");
  EXPECT_DOUBLE_EQ(b.gt[0], 600000);
  EXPECT_DOUBLE_EQ(b.gt[3], 5100750);
  EXPECT_EQ(b.At(0, 0), 2001000 + 31);
  EXPECT_TRUE(test::SameCrsText(b.wkt, "EPSG:32632"));
}

TEST(YearlyMaps, GridOfAnotherSizeRefused) {
  test::TempDir dir;
  geo::GridGeoref g = SmallGeoref();
  g.rows = 4;
  EXPECT_THROW(geo::WriteYearlyMaps(SmallMaps(), g, dir / "maps", "Output/maps", "subbasin1", geo::MapFormat::GeoTiff),
               InputError);
  EXPECT_FALSE(fs::exists(dir / "maps/subbasin1_precipitation_2001.tif"));
}

}  // namespace
}  // namespace tarnwell
