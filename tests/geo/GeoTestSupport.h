// Helpers of the geo tests: rasters and NetCDF files written and read with GDAL and the
// NetCDF library themselves (not through the code under test), and the one small basin to
// import that each test changes.
#pragma once

#include <cpl_conv.h>
#include <gdal.h>
#include <netcdf.h>
#include <ogr_srs_api.h>

#include <chrono>
#include <functional>
#include <map>
#include <sstream>

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
  std::string crs;  // "EPSG:32632", ... or empty; as read back, its WKT
  double At(int r, int c) const { return values[static_cast<std::size_t>(r * cols + c)]; }
  std::vector<double> Corner() const { return {west, cellWidth, north, -cellHeight}; }
};

inline std::string WktOf(const std::string& crs) {
  OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
  char* wkt = nullptr;
  if (!crs.empty() && OSRSetFromUserInput(srs, crs.c_str()) == OGRERR_NONE) OSRExportToWkt(srs, &wkt);
  const std::string out = wkt ? wkt : "";
  CPLFree(wkt);
  OSRDestroySpatialReference(srs);
  return out;
}

inline bool SameCrsText(const std::string& wktA, const std::string& crsB) {
  OGRSpatialReferenceH a = OSRNewSpatialReference(nullptr), b = OSRNewSpatialReference(nullptr);
  const bool same = OSRSetFromUserInput(a, wktA.c_str()) == OGRERR_NONE &&
                    OSRSetFromUserInput(b, crsB.c_str()) == OGRERR_NONE && OSRIsSame(a, b);
  OSRDestroySpatialReference(a);
  OSRDestroySpatialReference(b);
  return same;
}

inline void WriteRasterFile(const std::string& path, const TestRaster& r) {
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
  GDALClose(GDALCreateCopy(GDALGetDriverByName("GTiff"), path.c_str(), mem, FALSE, nullptr, nullptr, nullptr));
  GDALClose(mem);
}

// A raster read back: its corner, cell size, coordinate system (wkt), band 1 and its no-data
// value (NaN when it has none).
inline TestRaster ReadRasterFile(const std::string& path) {
  GDALAllRegister();
  TestRaster b;
  GDALDatasetH ds = GDALOpen(path.c_str(), GA_ReadOnly);
  EXPECT_NE(ds, nullptr) << path;
  if (!ds) return b;
  double gt[6];
  GDALGetGeoTransform(ds, gt);
  b.west = gt[0], b.cellWidth = gt[1], b.north = gt[3], b.cellHeight = -gt[5];
  b.cols = GDALGetRasterXSize(ds), b.rows = GDALGetRasterYSize(ds);
  b.crs = GDALGetProjectionRef(ds);
  GDALRasterBandH band = GDALGetRasterBand(ds, 1);
  int has = 0;
  b.noData = GDALGetRasterNoDataValue(band, &has);
  b.noData = has ? b.noData : std::nan("");
  b.values.resize(static_cast<std::size_t>(b.rows * b.cols));
  EXPECT_EQ(GDALRasterIO(band, GF_Read, 0, 0, b.cols, b.rows, b.values.data(), b.cols, b.rows, GDT_Float64, 0, 0),
            CE_None);
  GDALClose(ds);
  return b;
}

// A daily gridded weather file by ncgen: value(t, row, col) with the rows in the order of
// ys; `units` empty for none; xBeforeY stores it (time, x, y).
inline void WriteWeatherNetcdf(const std::string& path, const std::string& variable, const std::string& units,
                               const std::vector<double>& xs, const std::vector<double>& ys,
                               const std::string& timeUnits, const std::vector<double>& times,
                               const std::function<double(std::size_t, std::size_t, std::size_t)>& value,
                               bool xBeforeY = false) {
  auto list = [](const std::vector<double>& v) {
    std::string s;
    for (double x : v) s += (s.empty() ? "" : ", ") + std::to_string(x);
    return s;
  };
  std::vector<double> all;
  for (std::size_t t = 0; t < times.size(); ++t)
    for (std::size_t r = 0; r < ys.size(); ++r)
      for (std::size_t c = 0; c < xs.size(); ++c) all.push_back(value(t, r, c));
  const std::string dims = xBeforeY ? "time, x, y" : "time, y, x", v = variable;
  WriteBytes(path + ".cdl",
             "netcdf w {\ndimensions: time = " + std::to_string(times.size()) + "; y = " + std::to_string(ys.size()) +
                 "; x = " + std::to_string(xs.size()) + ";\nvariables: double time(time); time:units = \"" + timeUnits +
                 "\"; double y(y); double x(x); double " + v + "(" + dims + ");" +
                 (units.empty() ? "" : v + ":units = \"" + units + "\";") + "\ndata: time = " + list(times) +
                 "; y = " + list(ys) + "; x = " + list(xs) + "; " + v + " = " + list(all) + ";\n}\n");
  ASSERT_EQ(std::system(("ncgen -o '" + path + "' '" + path + ".cdl'").c_str()), 0) << path;
}

// What ncdump makes of a NetCDF file: its header, and the values of the variables named.
inline std::string Ncdump(const std::string& path, const std::string& values = "") {
  const std::string options = values.empty() ? "-h" : "-v " + values;
  EXPECT_EQ(std::system(("ncdump " + options + " '" + path + "' > '" + path + ".cdl'").c_str()), 0) << path;
  return ReadBytes(path + ".cdl");
}

// The message of the system's error step() fails with, "(no error)" when it does not.
inline std::string Message(const std::function<void()>& step) {
  try {
    step();
  } catch (const TarnwellError& e) {
    return e.what();
  }
  return "(no error)";
}

// Every part found in the text, or the first one missing.
inline ::testing::AssertionResult Holds(const std::string& text, const std::vector<std::string>& parts) {
  for (const std::string& p : parts)
    if (text.find(p) == std::string::npos) return ::testing::AssertionFailure() << "\"" << p << "\" not in: " << text;
  return ::testing::AssertionSuccess();
}

// The basin every import test changes: 5 rows x 6 columns of 100 m in UTM 32N, its west
// edge 300 m west of the zone's central meridian (9 E). The terrain is a plane rising 10 m a
// row southwards and 1 m a column eastwards; the west half is land-cover class 1, the east
// half class 2. The north-west cell lies outside; of two sub-basins (甲, 乙) rows 0-1 are
// the first, rows 2-4 the second, else all is 甲. Its ESRI flow directions (used with
// Delineate): column 0 flows east, column 1 (the river) south and off the map at row 4, the
// others west. The weather is a table per sub-basin for 2001 (a precipitation of 1.5 mm per
// sub-basin number plus day % 3, a temperature of -5 + 0.05 a day); the outlet gauge is in a
// text format of its own: five heading lines, "year month day hour minute value", day 3
// no-data and day 5 without a line, so that day d from 6 on is on line d + 4.
struct ImportSet {
  explicit ImportSet(int subBasins = 2);
  TempDir dir;
  TestRaster terrain, land, ids, flow;
  std::map<std::string, std::string> files;  // relative path -> text
  std::vector<std::string> config;           // lines of import.conf
  std::string workspace = dir / "W";
  bool replace = true;  // an existing workspace

  std::string Path(const std::string& rel) const { return dir / rel; }
  void Set(const std::string& key, const std::string& value) {  // in its place, or at the end
    auto at = std::find_if(config.begin(), config.end(),
                           [&](const std::string& l) { return l.rfind(key + " =", 0) == 0; });
    *(at == config.end() ? config.insert(at, "") : at) = key + " = " + value;
  }
  void Drop(const std::string& key) {
    std::erase_if(config, [&](const std::string& l) { return l.rfind(key + " =", 0) == 0; });
  }
  // Field `column` (from 1) of line `line` (from 1) of a file of commas or spaces.
  void SetField(const std::string& rel, int line, int column, const std::string& value) {
    std::string& text = files[rel];
    std::size_t at = 0;
    for (int n = 1; n < line; ++n) at = text.find('\n', at) + 1;
    const char sep = text.substr(at, text.find('\n', at) - at).find(',') == std::string::npos ? ' ' : ',';
    for (int c = 1; c < column; ++c) at = text.find(sep, at) + 1;
    text.replace(at, std::min(text.find(sep, at), text.find('\n', at)) - at, value);
  }
  // Sub-basins from the flow directions and these outlets instead of the sub-basin raster.
  void Delineate(const std::string& outlets) {
    Drop("sub_basin_raster");
    Set("flow_direction", "fdir.tif");
    Set("outlets", "outlets.csv");
    files["outlets.csv"] = outlets;
  }
  std::string Write() {
    const std::pair<const char*, TestRaster*> rasters[] = {
        {"terrain.tif", &terrain}, {"land.tif", &land}, {"ids.tif", &ids}, {"fdir.tif", &flow}};
    for (const auto& [name, r] : rasters) WriteRasterFile(Path(name), *r);
    std::string c;
    for (const std::string& l : config) c += l + "\n";
    files["import.conf"] = c;
    for (const auto& [rel, text] : files) WriteBytes(Path(rel), text);
    return Path("import.conf");
  }
  geo::ImportReport Import(std::string* printed = nullptr) {
    std::ostringstream out;
    geo::ImportReport report = geo::RunImport({Write(), workspace, replace}, out);
    if (printed) *printed = out.str();
    return report;
  }
  // The message of the refusal of this set; a refused import writes nothing.
  std::string Refusal() {
    const bool existed = std::filesystem::exists(workspace);
    try {
      Import();
    } catch (const TarnwellError& e) {
      EXPECT_TRUE(existed || !std::filesystem::exists(workspace)) << e.what();
      return e.what();
    }
    ADD_FAILURE() << "the import was not refused";
    return "";
  }
  std::vector<std::string> Lines(const std::string& rel) const { return FileLines(workspace + "/" + rel); }
};

inline ImportSet::ImportSet(int subBasins) {
  terrain = {5, 6, 499700, 5000600, 100, 100, {}, -9999, "EPSG:32632"};
  land = ids = flow = terrain;
  for (int r = 0; r < 5; ++r)
    for (int c = 0; c < 6; ++c) {
      terrain.values.push_back(200 + 10 * r + c);
      land.values.push_back(c < 3 ? 1 : 2);
      ids.values.push_back(r == 0 && c == 0 ? 0 : r < 2 || subBasins == 1 ? 1 : 2);
      flow.values.push_back(c == 0 ? 1 : c == 1 ? 4 : 16);
    }
  files["classes.csv"] = "class,code,name\n1,21,forest\n2,31,grass\n";
  files["sub-basins.csv"] = std::string("id,name,muskingum_k_hours,muskingum_x\n1,甲,24,0.2\n") +
                            (subBasins == 2 ? "2,乙,12,0.1\n" : "");
  std::string& g = files["gauge.txt"] = "gauge 7\nnodata -9999\nn 1\nstart 2001 01 01\nend 2001 12 31\n";
  for (int d = 1; d <= 365; ++d) {
    const std::chrono::year_month_day ymd{std::chrono::sys_days{std::chrono::year{2001} / 1 / 1} +
                                          std::chrono::days{d - 1}};
    char day[32];
    std::snprintf(day, sizeof day, "2001-%02u-%02u", unsigned(ymd.month()), unsigned(ymd.day()));
    for (int id = 1; id <= subBasins; ++id)
      files["weather/" + std::to_string(id) + ".csv"] += std::string(d == 1 ? "date,precipitation,temperature\n" : "") +
                                                         day + "," + std::to_string(id * 1.5 + d % 3) + "," +
                                                         std::to_string(-5 + d * 0.05) + "\n";
    if (d != 5)
      g += "2001 " + std::string(day + 5, 2) + " " + std::string(day + 8, 2) + " 00 00 " +
           (d == 3 ? std::string("-9999") : std::to_string(2.0 + d * 0.01)) + "\n";
  }
  std::istringstream conf(
      "# test basin\nterrain = terrain.tif\nland_cover = land.tif\nland_cover_classes = classes.csv\n"
      "sub_basin_raster = ids.tif\nsub_basins = sub-basins.csv\nweather_table = weather/{id}.csv\n"
      "weather_table_no_data = -9999\ndischarge = gauge.txt\ndischarge_delimiter = whitespace\n"
      "discharge_skip_lines = 5\ndischarge_header = no\ndischarge_date = 1 2 3\ndischarge_column = 6\n"
      "discharge_no_data = -9999\nsediment_concentration = 0.5\nsub_basin_discharge = area-share\n"
      "latitude = 45.2\nmin_sub_basin_area_km2 = 0.05");
  for (std::string l; std::getline(conf, l);) config.push_back(l);
}

}  // namespace tarnwell::test
