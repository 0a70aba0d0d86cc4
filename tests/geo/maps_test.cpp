// The writer of the yearly maps of every cell: GeoTIFF files and a NetCDF file with a year
// dimension, north up, georeferenced, outside cells no-data, the coordinate system stated
// as a CF grid mapping; read back with GDAL and the NetCDF library.
#include <gtest/gtest.h>

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

std::string TextAttribute(int nc, const char* var, const char* name) {
  int v = 0;
  std::size_t n = 0;
  if (nc_inq_varid(nc, var, &v) != NC_NOERR || nc_inq_attlen(nc, v, name, &n) != NC_NOERR) return "(none)";
  std::string s(n, '\0');
  nc_get_att_text(nc, v, name, s.data());
  return s;
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
  // The coordinate system as a CF grid mapping, and its WKT for the tools that read that.
  EXPECT_EQ(TextAttribute(nc, "water_table_depth", "units"), "m");
  EXPECT_EQ(TextAttribute(nc, "precipitation", "grid_mapping"), "crs");
  EXPECT_EQ(TextAttribute(nc, "crs", "grid_mapping_name"), "transverse_mercator");
  EXPECT_TRUE(test::SameCrsText(TextAttribute(nc, "crs", "crs_wkt"), "EPSG:32632"));
  EXPECT_EQ(TextAttribute(nc, "x", "units"), "m");
  nc_close(nc);
  EXPECT_EQ(years, (std::vector<int>{2001, 2002}));
  EXPECT_EQ(ys, (std::vector<double>{5100625, 5100375, 5100125}));  // north to south
  EXPECT_EQ(v[6], 2002000 + 400 + 31);                              // year 2002, north row, west column
  EXPECT_EQ(v[5], -9999);                                           // year 2001, south row, east column: outside
  // GDAL finds the same georeference in it.
  b = test::ReadRasterFile("NETCDF:\"" + path + "\":precipitation");
  EXPECT_EQ(b.gt[0], 600000);
  EXPECT_EQ(b.gt[3], 5100750);
  EXPECT_TRUE(test::SameCrsText(b.wkt, "EPSG:32632"));
  EXPECT_EQ(b.At(0, 0), 2001000 + 31);

  // In longitude and latitude: degrees, the mapping CF names for them.
  geo::WriteYearlyMaps(SmallMaps(), Georef("EPSG:4326"), dir / "geo", "Output/maps", "subbasin1",
                       geo::MapFormat::Netcdf);
  ASSERT_EQ(nc_open((dir / "geo/subbasin1.nc").c_str(), NC_NOWRITE, &nc), NC_NOERR);
  EXPECT_EQ(TextAttribute(nc, "crs", "grid_mapping_name"), "latitude_longitude");
  EXPECT_EQ(TextAttribute(nc, "x", "units"), "degrees_east");
  EXPECT_EQ(TextAttribute(nc, "y", "units"), "degrees_north");
  nc_close(nc);

  // A grid of another size is refused, nothing written.
  EXPECT_THROW(geo::WriteYearlyMaps(SmallMaps(), Georef("EPSG:32632", 4), dir / "other", "Output/maps", "subbasin1",
                                    geo::MapFormat::GeoTiff),
               InputError);
  EXPECT_FALSE(fs::exists(dir / "other/subbasin1_precipitation_2001.tif"));
}

}  // namespace
}  // namespace tarnwell
