// Helpers of the import and export tests: small rasters and NetCDF files written with GDAL
// and the NetCDF library themselves (not through the code under test), read back the same
// way, and two small import sets (rasters, tables, configuration) that each test changes.
#pragma once

#include <cpl_conv.h>
#include <gdal.h>
#include <netcdf.h>
#include <ogr_srs_api.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "geo/Import.h"
#include "hardening/HardeningSupport.h"
#include "model/Errors.h"

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
  // West edge, cell width, north edge, cell height (negative: north up).
  std::vector<double> Corner() const { return {gt[0], gt[1], gt[3], gt[5]}; }
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
                               const std::function<double(std::size_t, std::size_t, std::size_t)>& value,
                               bool xBeforeY = false) {
  int nc = 0, dt = 0, dy = 0, dx = 0, vt = 0, vy = 0, vx = 0, v = 0;
  ASSERT_EQ(nc_create(path.c_str(), NC_CLOBBER, &nc), NC_NOERR);
  nc_def_dim(nc, "time", times.size(), &dt);
  nc_def_dim(nc, "y", ys.size(), &dy);
  nc_def_dim(nc, "x", xs.size(), &dx);
  nc_def_var(nc, "time", NC_DOUBLE, 1, &dt, &vt);
  nc_put_att_text(nc, vt, "units", timeUnits.size(), timeUnits.c_str());
  nc_def_var(nc, "y", NC_DOUBLE, 1, &dy, &vy);
  nc_def_var(nc, "x", NC_DOUBLE, 1, &dx, &vx);
  int dims[3] = {dt, xBeforeY ? dx : dy, xBeforeY ? dy : dx};  // (time, x, y): a layout to refuse
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

inline std::string Day2001(int dayOfYear) {
  const std::chrono::year_month_day d{std::chrono::sys_days{std::chrono::year{2001} / 1 / 1} +
                                      std::chrono::days{dayOfYear - 1}};
  char buf[16];
  std::snprintf(buf, sizeof buf, "2001-%02u-%02u", unsigned(d.month()), unsigned(d.day()));
  return buf;
}

inline std::vector<std::string> Split(const std::string& lines) {
  std::vector<std::string> out;
  std::istringstream in(lines);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

// Every part found in the text, or the first one missing.
inline ::testing::AssertionResult Holds(const std::string& text, const std::vector<std::string>& parts) {
  for (const std::string& p : parts)
    if (text.find(p) == std::string::npos) return ::testing::AssertionFailure() << "\"" << p << "\" not in: " << text;
  return ::testing::AssertionSuccess();
}

// The rasters, text files and configuration lines of an import, written when it runs: the
// basin of two sub-basins or the one of a single sub-basin described below.
struct ImportSet {
  explicit ImportSet(int subBasins = 2) { subBasins == 2 ? TwoSubBasins() : OneSubBasin(); }
  TempDir dir;
  TestRaster terrain, land, ids, flow;       // no flow-direction file while flow has no values
  std::map<std::string, std::string> files;  // relative path -> text
  std::vector<std::string> config;           // lines of import.conf
  std::string workspace = dir / "W";

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
  // Field `column` (from 1) of line `line` (from 1) of a comma-separated file.
  void SetField(const std::string& rel, int line, int column, const std::string& value) {
    std::istringstream in(files[rel]);
    std::string out, l;
    for (int n = 1; std::getline(in, l); ++n) {
      if (n == line) {
        std::size_t at = 0;
        for (int c = 1; c < column; ++c) at = l.find(',', at) + 1;
        l.replace(at, l.find(',', at) == std::string::npos ? std::string::npos : l.find(',', at) - at, value);
      }
      out += l + "\n";
    }
    files[rel] = out;
  }
  // Sub-basins from the flow directions and these outlets instead of a sub-basin raster.
  void Delineate(const std::string& outlets) {
    Drop("sub_basin_raster");
    Set("flow_direction", "fdir.tif");
    Set("outlets", "outlets.csv");
    files["outlets.csv"] = outlets;
  }
  std::string Write() {
    WriteRasterFile(Path("terrain.tif"), terrain);
    WriteRasterFile(Path("land.tif"), land);
    WriteRasterFile(Path("ids.tif"), ids);
    if (!flow.values.empty()) WriteRasterFile(Path("fdir.tif"), flow);
    for (const auto& [rel, text] : files) WriteBytes(Path(rel), text);
    std::string c;
    for (const std::string& l : config) c += l + "\n";
    WriteBytes(Path("import.conf"), c);
    return Path("import.conf");
  }
  geo::ImportReport Import(std::string* printed = nullptr) {
    geo::ImportOptions o;
    o.config = Write();
    o.workspace = workspace;
    o.replace = true;
    std::ostringstream out;
    geo::ImportReport report = geo::RunImport(o, out);
    if (printed) *printed = out.str();
    return report;
  }
  // The message of the refusal of this set; a refused import writes nothing.
  std::string Refusal() {
    const bool existed = std::filesystem::exists(workspace);
    try {
      Import();
    } catch (const TarnwellError& e) {
      if (!existed) {
        EXPECT_FALSE(std::filesystem::exists(workspace)) << e.what();
      }
      return e.what();
    }
    ADD_FAILURE() << "the import was not refused";
    return "";
  }
  std::vector<std::string> Lines(const std::string& rel) const { return FileLines(workspace + "/" + rel); }
  void TwoSubBasins();
  void OneSubBasin();
};

// A basin of 5 rows x 6 columns of 100 m in UTM 32N, its west edge 300 m west of the zone's
// central meridian (9 E). The terrain is a plane rising 10 m a row southwards and 1 m a
// column eastwards; the west half is land-cover class 1, the east half class 2; rows 0-1
// are sub-basin 1 (except the north-west cell), rows 2-4 sub-basin 2. The weather is a
// table per sub-basin for 2001; the outlet gauge is in a text format of its own: five
// heading lines, "year month day hour minute value", day 3 no-data and day 5 without a row.
inline void ImportSet::TwoSubBasins() {
  ImportSet& s = *this;
  s.terrain = {5, 6, 499700, 5000600, 100, 100, {}, -9999, "EPSG:32632"};
  s.land = s.ids = s.terrain;
  for (int r = 0; r < 5; ++r)
    for (int c = 0; c < 6; ++c) {
      s.terrain.values.push_back(200 + 10 * r + c);
      s.land.values.push_back(c < 3 ? 1 : 2);
      s.ids.values.push_back(r == 0 && c == 0 ? 0 : r < 2 ? 1 : 2);
    }
  s.files["classes.csv"] = "class,code,name\n1,21,forest\n2,31,grass\n";
  s.files["sub-basins.csv"] = "id,name,muskingum_k_hours,muskingum_x\n1,甲,24,0.2\n2,乙,12,0.1\n";
  std::string g = "gauge 7\nnodata -9999\nn 1\nstart 2001 01 01\nend 2001 12 31\n";
  for (int id : {1, 2}) {
    std::string t = "date,precipitation,temperature\n";
    for (int d = 1; d <= 365; ++d)
      t += Day2001(d) + "," + std::to_string(id * 1.5 + d % 3) + "," + std::to_string(-5 + d * 0.05) + "\n";
    s.files["weather/" + std::to_string(id) + ".csv"] = t;
  }
  for (int d = 1; d <= 365; ++d) {
    const std::string iso = Day2001(d);
    if (d != 5)
      g += "2001 " + iso.substr(5, 2) + " " + iso.substr(8, 2) + " 00 00 " +
           (d == 3 ? std::string("-9999") : std::to_string(2.0 + d * 0.01)) + "\n";
  }
  s.files["gauge.txt"] = g;
  s.config = Split(
      "# test basin\nterrain = terrain.tif\nland_cover = land.tif\nland_cover_classes = classes.csv\n"
      "sub_basin_raster = ids.tif\nsub_basins = sub-basins.csv\nweather_table = weather/{id}.csv\n"
      "discharge = gauge.txt\ndischarge_delimiter = whitespace\ndischarge_skip_lines = 5\ndischarge_header = no\n"
      "discharge_date = 1 2 3\ndischarge_column = 6\ndischarge_no_data = -9999\nsediment_concentration = 0.5\n"
      "sub_basin_discharge = area-share\nlatitude = 45.2\nmin_sub_basin_area_km2 = 0.05");
}

// One sub-basin of 4 x 4 cells of 100 m (UTM 32N), a weather table (2.5 mm, 8 degrees) and a
// discharge table (1.5 m3/s) for 2001, day d on line d + 1. ESRI directions (when used):
// column 0 flows east, column 1 (the river) south and off the map at row 3, columns 2-3 west.
inline void ImportSet::OneSubBasin() {
  ImportSet& s = *this;
  s.terrain = {4, 4, 499700, 5000600, 100, 100, {}, -9999, "EPSG:32632"};
  s.land = s.ids = s.flow = s.terrain;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      s.terrain.values.push_back(300 + 10 * r + 5 * c);
      s.land.values.push_back(1);
      s.ids.values.push_back(1);
      s.flow.values.push_back(c == 0 ? 1 : c == 1 ? 4 : 16);
    }
  s.files["classes.csv"] = "class,code\n1,21\n";
  s.files["sub-basins.csv"] = "id,name,muskingum_k_hours,muskingum_x\n1,A,24,0.2\n";
  std::string w = "date,precipitation,temperature\n", g = "date,discharge\n";
  for (int d = 1; d <= 365; ++d) {
    w += Day2001(d) + ",2.5,8\n";
    g += Day2001(d) + ",1.5\n";
  }
  s.files["weather/1.csv"] = w;
  s.files["gauge.csv"] = g;
  s.config = Split(
      "terrain = terrain.tif\nland_cover = land.tif\nland_cover_classes = classes.csv\nsub_basin_raster = ids.tif\n"
      "sub_basins = sub-basins.csv\nweather_table = weather/{id}.csv\nweather_table_no_data = -9999\n"
      "discharge = gauge.csv\ndischarge_no_data = -9999\nsediment_concentration = 0.5\nlatitude = 45\n"
      "min_sub_basin_area_km2 = 0");
}

}  // namespace tarnwell::test
