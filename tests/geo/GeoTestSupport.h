// Helpers of the import and export tests: small rasters and NetCDF files written with GDAL
// and the NetCDF library themselves (not through the code under test), read back the same
// way, and a small import set (rasters, tables, configuration) that each test changes.
#pragma once

#include <cpl_conv.h>
#include <cpl_string.h>
#include <gdal.h>
#include <netcdf.h>
#include <ogr_srs_api.h>

#include <functional>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace tarnwell::test {

// A north-up raster: values north row first.
struct TestRaster {
  int rows = 0, cols = 0;
  double west = 0, north = 0, cellWidth = 100, cellHeight = 100;
  std::vector<double> values;
  double noData = -9999;
  std::string crs;  // "EPSG:32632", ... or empty
  double At(int r, int c) const { return values[static_cast<std::size_t>(r * cols + c)]; }
};

inline std::string WktOf(const std::string& crs) {
  if (crs.empty()) return "";
  OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
  OSRSetFromUserInput(srs, crs.c_str());
  char* wkt = nullptr;
  OSRExportToWkt(srs, &wkt);
  std::string out = wkt ? wkt : "";
  CPLFree(wkt);
  OSRDestroySpatialReference(srs);
  return out;
}

// Writes a raster with a GDAL driver ("GTiff", "AAIGrid", ...).
inline void WriteRasterFile(const std::string& path, const TestRaster& r, const char* driver = "GTiff") {
  GDALAllRegister();
  GDALDatasetH mem = GDALCreate(GDALGetDriverByName("MEM"), "", r.cols, r.rows, 1, GDT_Float64, nullptr);
  double gt[6] = {r.west, r.cellWidth, 0, r.north, 0, -r.cellHeight};
  GDALSetGeoTransform(mem, gt);
  if (!r.crs.empty()) GDALSetProjection(mem, WktOf(r.crs).c_str());
  GDALRasterBandH band = GDALGetRasterBand(mem, 1);
  GDALSetRasterNoDataValue(band, r.noData);
  EXPECT_EQ(GDALRasterIO(band, GF_Write, 0, 0, r.cols, r.rows, const_cast<double*>(r.values.data()), r.cols, r.rows,
                         GDT_Float64, 0, 0),
            CE_None);
  GDALDatasetH out = GDALCreateCopy(GDALGetDriverByName(driver), path.c_str(), mem, FALSE, nullptr, nullptr, nullptr);
  EXPECT_NE(out, nullptr) << path;
  if (out) GDALClose(out);
  GDALClose(mem);
}

// A raster read back: its geotransform, coordinate system and band 1.
struct ReadBack {
  double gt[6] = {0, 0, 0, 0, 0, 0};
  int rows = 0, cols = 0;
  std::vector<double> values;
  int hasNoData = 0;
  double noData = 0;
  std::string wkt;
  double At(int r, int c) const { return values[static_cast<std::size_t>(r * cols + c)]; }
};

inline ReadBack ReadRasterFile(const std::string& path) {
  GDALAllRegister();
  ReadBack b;
  GDALDatasetH ds = GDALOpen(path.c_str(), GA_ReadOnly);
  EXPECT_NE(ds, nullptr) << path;
  if (!ds) return b;
  GDALGetGeoTransform(ds, b.gt);
  b.cols = GDALGetRasterXSize(ds);
  b.rows = GDALGetRasterYSize(ds);
  b.wkt = GDALGetProjectionRef(ds);
  GDALRasterBandH band = GDALGetRasterBand(ds, 1);
  b.noData = GDALGetRasterNoDataValue(band, &b.hasNoData);
  b.values.resize(static_cast<std::size_t>(b.rows * b.cols));
  EXPECT_EQ(GDALRasterIO(band, GF_Read, 0, 0, b.cols, b.rows, b.values.data(), b.cols, b.rows, GDT_Float64, 0, 0),
            CE_None);
  GDALClose(ds);
  return b;
}

inline bool SameCrsText(const std::string& wktA, const std::string& crsB) {
  OGRSpatialReferenceH a = OSRNewSpatialReference(nullptr), b = OSRNewSpatialReference(nullptr);
  OSRSetFromUserInput(a, wktA.c_str());
  OSRSetFromUserInput(b, crsB.c_str());
  const bool same = OSRIsSame(a, b) != 0;
  OSRDestroySpatialReference(a);
  OSRDestroySpatialReference(b);
  return same;
}

// A daily gridded weather file: values[t][row][col] with the rows in the order of ys.
inline void WriteWeatherNetcdf(const std::string& path, const std::string& variable, const std::string& units,
                               const std::vector<double>& xs, const std::vector<double>& ys,
                               const std::string& timeUnits, const std::vector<double>& times,
                               const std::function<double(std::size_t, std::size_t, std::size_t)>& value) {
  int nc = 0, dt = 0, dy = 0, dx = 0, vt = 0, vy = 0, vx = 0, v = 0;
  ASSERT_EQ(nc_create(path.c_str(), NC_CLOBBER, &nc), NC_NOERR);
  nc_def_dim(nc, "time", times.size(), &dt);
  nc_def_dim(nc, "y", ys.size(), &dy);
  nc_def_dim(nc, "x", xs.size(), &dx);
  nc_def_var(nc, "time", NC_DOUBLE, 1, &dt, &vt);
  nc_put_att_text(nc, vt, "units", timeUnits.size(), timeUnits.c_str());
  nc_def_var(nc, "y", NC_DOUBLE, 1, &dy, &vy);
  nc_def_var(nc, "x", NC_DOUBLE, 1, &dx, &vx);
  int dims[3] = {dt, dy, dx};
  nc_def_var(nc, variable.c_str(), NC_DOUBLE, 3, dims, &v);
  if (!units.empty()) nc_put_att_text(nc, v, "units", units.size(), units.c_str());
  double fill = -9999;
  nc_put_att_double(nc, v, "_FillValue", NC_DOUBLE, 1, &fill);
  nc_enddef(nc);
  nc_put_var_double(nc, vt, times.data());
  nc_put_var_double(nc, vy, ys.data());
  nc_put_var_double(nc, vx, xs.data());
  std::vector<double> all;
  for (std::size_t t = 0; t < times.size(); ++t)
    for (std::size_t r = 0; r < ys.size(); ++r)
      for (std::size_t c = 0; c < xs.size(); ++c) all.push_back(value(t, r, c));
  nc_put_var_double(nc, v, all.data());
  ASSERT_EQ(nc_close(nc), NC_NOERR);
}

}  // namespace tarnwell::test
