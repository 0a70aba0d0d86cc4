// The geo library's messages: an input that is no file is named for what it is by every
// reader; georef.txt values beyond any map are refused on their own line; a weather file
// laid out otherwise than expected says how; an undeclared no-data elevation is called so;
// the NetCDF maps state their coordinate system as CF grid mappings.
#include <gtest/gtest.h>
#include <netcdf.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <sstream>

#include "GeoTestSupport.h"
#include "TestSupport.h"
#include "geo/Georef.h"
#include "geo/GriddedWeather.h"
#include "geo/Import.h"
#include "geo/KeyValueFile.h"
#include "geo/Maps.h"
#include "geo/NetcdfFile.h"
#include "geo/Raster.h"
#include "geo/Table.h"
#include "model/Errors.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;

std::string Message(const std::function<void()>& step) {
  try {
    step();
  } catch (const TarnwellError& e) {
    return e.what();
  }
  return "(no error)";
}

// Each reader, given a directory, a pipe and an endless device: the same three answers, at
// once (a pipe nobody writes would block an open for reading).
TEST(GeoMessages, EveryReaderNamesWhatIsNoFile) {
  test::TempDir dir;
  const std::string folder = dir / "folder", pipe = dir / "pipe";
  fs::create_directory(folder);
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
  test::WriteBytes(dir / "import.conf", "terrain = folder\nland_cover = pipe\n");
  const geo::KeyValueFile config = geo::KeyValueFile::Read(dir / "import.conf", "import.conf",
                                                           {"terrain", "land_cover"});
  const std::vector<std::pair<std::string, std::function<void(const std::string&)>>> readers = {
      {"raster", [](const std::string& p) { geo::ReadRaster(p, "X", ""); }},
      {"netcdf", [](const std::string& p) { geo::NetcdfFile::OpenForReading(p, "X"); }},
      {"table", [](const std::string& p) { geo::Table::Read(p, "X", geo::TableFormat{}); }},
      {"key-value", [](const std::string& p) { geo::KeyValueFile::Read(p, "X", {}); }},
      {"grid", [](const std::string& p) { geo::ReadGridFile(p, "X"); }},
  };
  for (const auto& [reader, read] : readers) {
    EXPECT_EQ(Message([&] { read(folder); }), "X: cannot open: it is a directory") << reader;
    EXPECT_EQ(Message([&] { read(pipe); }), "X: cannot open: not a regular file (a device, pipe or socket)") << reader;
    EXPECT_EQ(Message([&] { read(dir / "nowhere"); }), "X: cannot open: it does not exist") << reader;
  }
  EXPECT_EQ(
      Message([&] { config.ExistingPath("terrain"); }),
      "import.conf line 1: terrain: the file \"folder\" cannot be read: it is a directory (looked for " + folder + ")");
  EXPECT_EQ(Message([&] { config.ExistingPath("land_cover"); }),
            "import.conf line 2: land_cover: the file \"pipe\" cannot be read: not a regular file (a device, pipe or "
            "socket) (looked for " +
                pipe + ")");
}

// Every georef.txt value beyond what a map holds, refused on its own line with its value.
TEST(GeoMessages, GeorefValuesBeyondAnyMapAreRefusedOnTheirLine) {
  const std::vector<std::string> good = {"west = 500000", "south = 5000000", "cell_width = 100", "cell_height = 100",
                                         "rows = 2",      "columns = 2",     "first_row = south"};
  struct Case {
    std::size_t line;  // 1-based, of `good`
    std::string value;
    std::string message;
    std::size_t refusedOn = 0;  // the line refused, when not the one replaced
  };
  const std::vector<Case> cases = {
      {1, "west = 1e308", "west = 1e308: beyond any map coordinate (at most 1000000000 from the origin)"},
      {3, "cell_width = 0", "cell_width = 0: a cell size is above 0 and at most 10000000 map units"},
      {4, "cell_height = 1e300", "cell_height = 1e300: a cell size is above 0"},
      {1, "west = 999999999", "cell_width = 100: the east edge (west + columns x cell_width) lies beyond", 3},
      {2, "south = -999999999", "", 0},  // the north edge lies inside
      {5, "rows = 0", "rows = 0: the grid has at least one row"},
      {1, "west = nan", "west = nan: not a number"},
  };
  const std::string grid = "DSAA\n2 2\n0 2\n0 2\n0 0\n1 2\n3 4\n";
  for (const Case& c : cases) {
    test::TempDir dir;
    test::WriteBytes(dir / "dem.grd", grid);
    std::string text;
    for (std::size_t i = 0; i < good.size(); ++i) text += (i + 1 == c.line ? c.value : good[i]) + "\n";
    test::WriteBytes(dir / "georef.txt", text);
    const std::string m = Message([&] {
      geo::GridGeorefOf(dir / "dem.grd", "input/甲/dem.grd", geo::ReadGridFile(dir / "dem.grd", "input/甲/dem.grd"));
    });
    if (c.message.empty()) {
      EXPECT_EQ(m, "(no error)");
      continue;
    }
    const std::size_t line = c.refusedOn ? c.refusedOn : c.line;
    EXPECT_EQ(m.rfind("input/甲/georef.txt line " + std::to_string(line) + ": " + c.message, 0), 0u) << m;
  }
}

// A weather variable stored (time, x, y), or a time axis that runs back: the true reason,
// not a cell without weather or a period without a whole year.
void WriteWeather(const std::string& path, const std::vector<std::string>& order, const std::vector<double>& times) {
  int nc = 0;
  ASSERT_EQ(nc_create(path.c_str(), NC_CLOBBER, &nc), NC_NOERR);
  int dims[3], vars[3];
  for (std::size_t k = 0; k < 3; ++k) {
    nc_def_dim(nc, order[k].c_str(), order[k] == "time" ? times.size() : 2, &dims[k]);
    nc_def_var(nc, order[k].c_str(), NC_DOUBLE, 1, &dims[k], &vars[k]);
    if (order[k] == "time") nc_put_att_text(nc, vars[k], "units", 21, "days since 2001-01-01");
  }
  int v = 0;
  nc_def_var(nc, "pr", NC_DOUBLE, 3, dims, &v);
  nc_put_att_text(nc, v, "units", 6, "mm/day");
  nc_enddef(nc);
  for (std::size_t k = 0; k < 3; ++k) {
    const std::vector<double> axis = order[k] == "time" ? times
                                     : order[k] == "x"  ? std::vector<double>{500050, 500150}
                                                        : std::vector<double>{5000050, 5000150};
    nc_put_var_double(nc, vars[k], axis.data());
  }
  std::vector<double> values(times.size() * 4, 1.0);
  nc_put_var_double(nc, v, values.data());
  ASSERT_EQ(nc_close(nc), NC_NOERR);
}

TEST(GeoMessages, WeatherLaidOutOtherwiseSaysHow) {
  struct Case {
    std::vector<std::string> order;
    std::vector<double> times;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"time", "x", "y"},
       {0, 1, 2},
       "the variable's dimensions are (time (time), x (x), y (y)); the order (time, y, x) "
       "is expected: reorder the file's dimensions"},
      {{"time", "y", "x"},
       {2, 1, 0},
       "the time axis time is not ascending: step 1 (2001-01-02) comes before step 0 "
       "(2001-01-03); one step a day in calendar order is expected"},
  };
  for (const Case& c : cases) {
    test::TempDir dir;
    WriteWeather(dir / "pr.nc", c.order, c.times);
    const std::string m = Message([&] {
      geo::GriddedWeather::Open(dir / "pr.nc", "pr.nc", "pr", geo::WeatherQuantity::Precipitation,
                                geo::CellCoordinates::Centres, "");
    });
    EXPECT_EQ(m.rfind("pr.nc (variable pr): " + c.message, 0), 0u) << m;
  }
}

// A terrain cell at the end of the float's range: a no-data value the raster does not
// declare, said so whichever its sign.
TEST(GeoMessages, UndeclaredNoDataElevationIsCalledSo) {
  for (const double v : {3.4028234663852886e38, -3.4028234663852886e38}) {
    test::TempDir dir;
    test::TestRaster terrain{2, 2, 500000, 5000200, 100, 100, {400, 410, v, 430}, -9999, "EPSG:32632"};
    test::TestRaster land = terrain, ids = terrain;
    land.values = {1, 1, 1, 1};
    ids.values = {1, 1, 1, 1};
    test::WriteRasterFile(dir / "terrain.tif", terrain);
    test::WriteRasterFile(dir / "land.tif", land);
    test::WriteRasterFile(dir / "ids.tif", ids);
    test::WriteBytes(dir / "classes.csv", "class,code,name\n1,21,forest\n");
    test::WriteBytes(dir / "sub-basins.csv", "id,name,muskingum_k_hours,muskingum_x\n1,甲,24,0.2\n");
    test::WriteBytes(dir / "import.conf",
                     "terrain = terrain.tif\nland_cover = land.tif\nland_cover_classes = classes.csv\n"
                     "sub_basin_raster = ids.tif\nsub_basins = sub-basins.csv\nweather_table = weather/{id}.csv\n");
    geo::ImportOptions o;
    o.config = dir / "import.conf";
    o.workspace = dir / "W";
    std::ostringstream out;
    const std::string m = Message([&] { geo::RunImport(o, out); });
    EXPECT_NE(m.find("a no-data value the raster does not declare"), std::string::npos) << m;
    EXPECT_EQ(m.find("not above 0"), std::string::npos) << m;
    EXPECT_FALSE(fs::exists(dir / "W"));
  }
}

// The maps' crs variable as CF states a coordinate system: the grid mapping's name and its
// parameters for each projection CF lists; for one it does not list, no grid mapping (the
// WKT stays for the tools that read it).
std::string TextAttribute(int nc, int var, const char* name) {
  std::size_t n = 0;
  if (nc_inq_attlen(nc, var, name, &n) != NC_NOERR) return "(none)";
  std::string s(n, '\0');
  nc_get_att_text(nc, var, name, s.data());
  return s;
}

double RealAttribute(int nc, int var, const char* name, std::size_t index = 0) {
  std::size_t n = 0;
  if (nc_inq_attlen(nc, var, name, &n) != NC_NOERR || index >= n) return -1e99;
  std::vector<double> v(n);
  nc_get_att_double(nc, var, name, v.data());
  return v[index];
}

TEST(GeoMessages, MapsStateTheirCoordinateSystemAsACfGridMapping) {
  struct Case {
    std::string crs;
    std::string mapping;  // "(none)": not a projection CF names
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
    test::TempDir dir;
    geo::GridGeoref g;
    g.rows = 1;
    g.cols = 2;
    g.west = c.xUnits == "m" ? 600000 : 9;
    g.south = c.xUnits == "m" ? 5100000 : 45;
    g.cellWidth = g.cellHeight = c.xUnits == "m" ? 250 : 0.01;
    g.crsWkt = test::WktOf(c.crs);
    ASSERT_FALSE(g.crsWkt.empty()) << c.crs;
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
    ASSERT_EQ(nc_inq_varid(nc, "crs", &crs), NC_NOERR) << c.crs;
    nc_inq_varid(nc, "precipitation", &pre);
    nc_inq_varid(nc, "x", &x);
    EXPECT_EQ(TextAttribute(nc, crs, "grid_mapping_name"), c.mapping) << c.crs;
    EXPECT_EQ(TextAttribute(nc, pre, "grid_mapping"), c.mapping == "(none)" ? "(none)" : "crs") << c.crs;
    EXPECT_EQ(TextAttribute(nc, x, "units"), c.xUnits) << c.crs;
    EXPECT_NE(TextAttribute(nc, crs, "crs_wkt"), "(none)") << c.crs;
    for (const auto& [name, value] : c.parameters)
      EXPECT_NEAR(RealAttribute(nc, crs, name.c_str()), value, 1e-9 * std::max(1.0, std::fabs(value)))
          << c.crs << " " << name;
    nc_close(nc);
    if (c.mapping != "(none)") {
      // GDAL still finds the same coordinate system in it.
      const test::ReadBack b = test::ReadRasterFile("NETCDF:\"" + path + "\":precipitation");
      EXPECT_TRUE(test::SameCrsText(b.wkt, c.crs)) << c.crs << "\n" << b.wkt;
    }
  }
}

}  // namespace
}  // namespace tarnwell
