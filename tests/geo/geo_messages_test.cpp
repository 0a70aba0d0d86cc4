// The geo library's messages: an input that is no file is named for what it is by every
// reader; georef.txt values beyond any map are refused on their own line; a weather file
// laid out otherwise than expected says how.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "GeoTestSupport.h"
#include "geo/Georef.h"
#include "geo/GriddedWeather.h"
#include "geo/KeyValueFile.h"
#include "geo/NetcdfFile.h"
#include "geo/Raster.h"
#include "geo/Table.h"

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

// Each reader, given a directory, a pipe and nothing: the same three answers, at once (a
// pipe nobody writes would block an open for reading).
TEST(GeoMessages, EveryReaderNamesWhatIsNoFile) {
  test::TempDir dir;
  const std::string folder = dir / "folder", pipe = dir / "pipe";
  fs::create_directory(folder);
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
  test::WriteBytes(dir / "import.conf", "terrain = folder\nland_cover = pipe\n");
  const geo::KeyValueFile config = geo::KeyValueFile::Read(dir / "import.conf", "import.conf",
                                                           {"terrain", "land_cover"});
  const std::vector<std::function<void(const std::string&)>> readers = {
      [](const std::string& p) { geo::ReadRaster(p, "X", ""); },
      [](const std::string& p) { geo::NetcdfFile::OpenForReading(p, "X"); },
      [](const std::string& p) { geo::Table::Read(p, "X", geo::TableFormat{}); },
      [](const std::string& p) { geo::KeyValueFile::Read(p, "X", {}); },
      [](const std::string& p) { geo::ReadGridFile(p, "X"); },
  };
  for (std::size_t k = 0; k < readers.size(); ++k) {
    EXPECT_EQ(Message([&] { readers[k](folder); }), "X: cannot open: it is a directory") << k;
    EXPECT_EQ(Message([&] { readers[k](pipe); }), "X: cannot open: not a regular file (a device, pipe or socket)") << k;
    EXPECT_EQ(Message([&] { readers[k](dir / "nowhere"); }), "X: cannot open: it does not exist") << k;
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
    std::string value, message;
    std::size_t refusedOn = 0;  // the line refused, when not the one replaced
  };
  const std::vector<Case> cases = {
      {1, "west = 1e308", "west = 1e308: beyond any map coordinate (at most 1000000000 from the origin)"},
      {3, "cell_width = 0", "cell_width = 0: a cell size is above 0 and at most 10000000 map units"},
      {4, "cell_height = 1e300", "cell_height = 1e300: a cell size is above 0"},
      {1, "west = 999999999", "cell_width = 100: the east edge (west + columns x cell_width) lies beyond", 3},
      {2, "south = -999999999", ""},  // the north edge lies inside
      {5, "rows = 0", "rows = 0: the grid has at least one row"},
      {1, "west = nan", "west = nan: not a number"},
  };
  test::TempDir dir;
  test::WriteBytes(dir / "dem.grd", "DSAA\n2 2\n0 2\n0 2\n0 0\n1 2\n3 4\n");
  for (const Case& c : cases) {
    std::string text;
    for (std::size_t i = 0; i < good.size(); ++i) text += (i + 1 == c.line ? c.value : good[i]) + "\n";
    test::WriteBytes(dir / "georef.txt", text);
    const std::string m = Message([&] {
      geo::GridGeorefOf(dir / "dem.grd", "input/甲/dem.grd", geo::ReadGridFile(dir / "dem.grd", "input/甲/dem.grd"));
    });
    const std::size_t line = c.refusedOn ? c.refusedOn : c.line;
    if (c.message.empty()) {
      EXPECT_EQ(m, "(no error)");
    } else {
      EXPECT_EQ(m.rfind("input/甲/georef.txt line " + std::to_string(line) + ": " + c.message, 0), 0u) << m;
    }
  }
}

// A weather variable stored (time, x, y), or a time axis that runs back: the true reason,
// not a cell without weather or a period without a whole year.
TEST(GeoMessages, WeatherLaidOutOtherwiseSaysHow) {
  auto opened = [](bool xBeforeY, const std::vector<double>& times) {
    test::TempDir dir;
    const std::string path = dir / "pr.nc";
    test::WriteWeatherNetcdf(
        path, "pr", "mm/day", {500050, 500150}, {5000050, 5000150}, "days since 2001-01-01", times,
        [](std::size_t, std::size_t, std::size_t) { return 1.0; }, xBeforeY);
    return Message([&] {
      geo::GriddedWeather::Open(path, "pr.nc", "pr", geo::WeatherQuantity::Precipitation, geo::CellCoordinates::Centres,
                                "");
    });
  };
  EXPECT_TRUE(test::Holds(opened(true, {0, 1, 2}),
                          {"pr.nc (variable pr): the variable's dimensions are (time (time), x (x), y (y)); the order "
                           "(time, y, x) is expected: reorder the file's dimensions"}));
  EXPECT_TRUE(test::Holds(opened(false, {2, 1, 0}),
                          {"pr.nc (variable pr): the time axis time is not ascending: step 1 (2001-01-02) comes before "
                           "step 0 (2001-01-03); one step a day in calendar order is expected"}));
}

}  // namespace
}  // namespace tarnwell
