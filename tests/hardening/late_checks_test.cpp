// Commands that check too late or write where no workspace is: each refusal must come before
// the first file is touched, so the earlier results and the folder stay byte for byte as
// they were; what a command makes for itself lies in a place of its own.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "HardeningSupport.h"
#include "app/Session.h"
#include "app/Startup.h"
#include "model/Calendar.h"
#ifdef TARNWELL_TEST_NETCDF
#include "geo/Maps.h"
#include "geo/StagedWorkspace.h"
#endif

namespace tarnwell {
namespace {

namespace fs = std::filesystem;
using test::CliResult;
using test::Has;
using test::Snapshot;
using test::Unchanged;
using Scratch = test::CliWorkspace;

// The message of `make`, or "" when it throws nothing.
std::string Refusal(const std::function<void()>& make) {
  try {
    make();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

TEST(NoWorkspace, CommandsLeaveAFolderThatIsNoWorkspaceAsItWas) {
  Scratch ws;
  test::WriteBytes(ws.At("thesis.tex"), "\\chapter{Runoff}\n");
  test::WriteBytes(ws.At("input/notes.txt"), "field notes\n");
  const auto before = Snapshot(ws.Root());
  for (const std::vector<std::string>& command :
       std::vector<std::vector<std::string>>{{"check"},
                                             {"run"},
                                             {"charts", "--sub-basin", "1", "--year", "2000", "--out", ws.At("charts")},
                                             {"calibrate", "--init"}}) {
    EXPECT_TRUE(test::Ends(ws.Cli(command), 1, "input/子流域.in")) << command.front();
    EXPECT_TRUE(Unchanged(before, ws.Root()));
  }
}

#ifdef TARNWELL_TEST_NETCDF

TEST(LateChecks, MapsThatCannotBeWrittenAreRefusedBeforeAnyResultIsTouched) {
  const Scratch ws(test::SmallBasins(2, 2));
  ASSERT_EQ(ws.Cli({"run"}).status, 0);
  const std::string outside = ws.dir / "elsewhere", georef = ws.At("input/乙/georef.txt");
  fs::create_directories(outside);
  const std::vector<std::pair<std::function<void()>, std::string>> cases{
      {[&] {
         test::WriteBytes(georef,
                          "west = 0\nsouth = 0\ncell_width = 100\ncell_height = 100\nrows = 7\ncolumns = "
                          "2\nfirst_row = south\n");
       },
       "input/乙/georef.txt line 5: describes 7 x 2 cells"},
      {[&] { test::WriteBytes(ws.At("Output/maps"), "notes\n"); }, "Output/maps: is not a directory"},
      {[&] { fs::create_directory_symlink(outside, ws.At("Output/maps")); },
       "Output/maps: not written: it is reached through a symbolic link that leads outside the workspace"}};
  for (const auto& [make, message] : cases) {
    SCOPED_TRACE(message);
    make();
    Session session(ws.Root());
    StartUpWorkspace(session);
    const auto before = Snapshot(ws.Root());
    EXPECT_EQ(Refusal([&] { geo::PrepareMaps(session, false); }).rfind(message, 0), 0u);
    EXPECT_TRUE(Unchanged(before, ws.Root()));
    fs::remove(georef), fs::remove(ws.At("Output/maps"));
  }
  // A run checks the same at its start-up.
  test::WriteBytes(ws.At("Output/maps"), "notes\n");
  const auto before = Snapshot(ws.Root());
  EXPECT_TRUE(test::Ends(ws.Cli({"run", "--maps"}), 1, "Output/maps: is not a directory"));
  EXPECT_TRUE(Unchanged(before, ws.Root()));
  fs::remove(ws.At("Output/maps"));
  // Mended, the run writes its maps, and no probe is left behind.
  EXPECT_TRUE(test::Ends(ws.Cli({"run", "--maps"}), 0));
  EXPECT_TRUE(fs::exists(ws.At("Output/maps/subbasin2_runoff_2001.tif")));
  for (const auto& e : fs::directory_iterator(ws.At("Output/maps")))
    EXPECT_FALSE(Has(e.path().filename().string(), "probe")) << e.path();
}

// A small basin to import, written as text: ESRI ASCII grids, CSV tables. 3 x 4 cells of
// 100 m in two sub-basins, one year of weather.
std::string ImportSet(const test::TempDir& d, const std::string& first, const std::string& second) {
  const std::string dir = d / ("data-" + first);
  auto grid = [](const std::function<double(int, int)>& v) {
    std::string t = "ncols 4\nnrows 3\nxllcorner 500000\nyllcorner 5000000\ncellsize 100\nNODATA_value -9999\n";
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 4; ++c) t += std::to_string(v(r, c)) + (c < 3 ? " " : "\n");
    return t;
  };
  test::WriteBytes(dir + "/terrain.asc", grid([](int r, int c) { return 200.0 + 10 * r + c; }));
  test::WriteBytes(dir + "/land.asc", grid([](int, int c) { return c < 2 ? 1.0 : 2.0; }));
  test::WriteBytes(dir + "/ids.asc", grid([](int r, int) { return r < 2 ? 1.0 : 2.0; }));
  test::WriteBytes(dir + "/classes.csv", "class,code\n1,21\n2,31\n");
  test::WriteBytes(dir + "/sub-basins.csv",
                   "id,name,muskingum_k_hours,muskingum_x\n1," + first + ",24,0.2\n2," + second + ",12,0.1\n");
  for (int id : {1, 2}) {
    std::string t = "date,precipitation,temperature\n";
    char line[64];
    for (int d = 0, m = 1, day = 1; d < 365; ++d, day = day < MonthLength(2001, m) ? day + 1 : (++m, 1)) {
      // The second sub-basin's rain has a digit more: its file is the larger.
      std::snprintf(line, sizeof line, "2001-%02d-%02d,%.1f,%.1f\n", m, day, (id - 1) * 10 + (d % 4) * 1.5,
                    -5 + d * 0.05);
      t += line;
    }
    test::WriteBytes(dir + "/weather/" + std::to_string(id) + ".csv", t);
  }
  test::WriteBytes(dir + "/import.conf",
                   "terrain = terrain.asc\nland_cover = land.asc\nland_cover_classes = classes.csv\n"
                   "sub_basin_raster = ids.asc\nsub_basins = sub-basins.csv\nweather_table = weather/{id}.csv\n"
                   "latitude = 45\nmin_sub_basin_area_km2 = 0.01\n");
  return dir + "/import.conf";
}

CliResult Import(const Scratch& s, const std::string& config, const std::string& workspace, bool replace,
                 long fileSizeLimit = 0) {
  std::vector<std::string> args{"import", "--config", config, "--workspace", workspace};
  if (replace) args.push_back("--replace");
  test::CliLimits limits;
  limits.fileSizeLimit = fileSizeLimit;
  return s.Raw(args, limits);
}

TEST(ImportReplace, AFailureAtAnyPointLeavesTheOldWorkspaceWhole) {
  Scratch s;
  const std::string old = ImportSet(s.dir, "甲", "乙"), renamed = ImportSet(s.dir, "丙", "丁");
  ASSERT_TRUE(test::Ends(Import(s, old, s.Root(), false), 0));
  ASSERT_EQ(s.Cli({"run"}).status, 0);
  // The import two hours ago, the run one hour ago: what follows is later whatever the
  // file system's clock resolution.
  for (const auto& [dir, hours] : {std::pair{s.Root(), 2}, std::pair{s.At("Output"), 1}})
    for (const auto& e : fs::recursive_directory_iterator(dir))
      if (e.is_regular_file())
        fs::last_write_time(e.path(), fs::file_time_type::clock::now() - std::chrono::hours(hours));
  const auto before = Snapshot(s.Root());
  // A device that fills at the first sub-basin's weather, or with the first sub-basin written
  // at the second's (the limit holds for standard error too: room for the message).
  for (long limit : {150L, 12400L}) {
    EXPECT_TRUE(test::Ends(Import(s, renamed, s.Root(), true, limit), 1, "cannot write")) << limit;
    EXPECT_TRUE(Unchanged(before, s.Root()));
  }
  // What a killed import left is cleared by the next one.
  test::WriteBytes(s.At(".tarnwell-import-killed/input/子流域.in"), "1\r\n");
  ASSERT_TRUE(test::Ends(Import(s, renamed, s.Root(), true), 0));
  EXPECT_TRUE(fs::is_directory(s.At("input/丙")));
  EXPECT_FALSE(fs::exists(s.At("input/甲")));
  for (const auto& e : fs::directory_iterator(s.Root()))
    EXPECT_FALSE(Has(e.path().filename().string(), ".tarnwell")) << e.path();
  // The results are those of other inputs now: the export refuses them until the run again.
  const auto results = Snapshot(s.Root());
  const CliResult stale = s.Cli({"export"});
  EXPECT_TRUE(test::Ends(stale, 1, "Output/"));
  EXPECT_TRUE(Has(stale.err, "is older than ") && Has(stale.err, "run again")) << stale.err;
  EXPECT_TRUE(Unchanged(results, s.Root()));
}

// Only a workspace's own directories are replaced, and never the root of the file system.
TEST(ImportReplace, WhereAnImportMayWrite) {
  Scratch s;
  const std::string link = s.dir / "root";
  fs::create_directory_symlink("/", link);
  for (const std::string& w : {std::string("/"), link})
    EXPECT_TRUE(Has(Refusal([&] { geo::StagedWorkspace(w, false, {}); }), "is the root of the file system")) << w;
  // A thesis folder with input/ and Parameters/ of its own; a sub-basin list does not make
  // a parameters directory a workspace's; a link in its place is not replaced either.
  test::WriteBytes(s.At("input/chapter1.tex"), "\\chapter{Data}\n");
  test::WriteBytes(s.At("Parameters/fit.txt"), "a = 1\n");
  const std::vector<std::pair<std::function<void()>, std::string>> steps{
      {[] {}, "input/: holds no sub-basin list (子流域.in), so it is no workspace's"},
      {[&] { test::WriteBytes(s.At("input/子流域.in"), "1\r\n甲 24 0.2\r\n"); },
       "Parameters/: holds no parameter file"},
      {[&] {
         fs::rename(s.At("Parameters"), s.At("kept"));
         test::WriteBytes(s.At("kept/当前参数文件.txt"), test::ParameterFileText());
         fs::create_directory_symlink(s.At("kept"), s.At("Parameters"));
       },
       "Parameters/: is a symbolic link"}};
  for (const auto& [make, message] : steps) {
    make();
    const auto before = Snapshot(s.Root());
    EXPECT_TRUE(Has(Refusal([&] { geo::StagedWorkspace(s.Root(), true, {}); }), message)) << message;
    EXPECT_TRUE(Unchanged(before, s.Root()));
  }
  const std::string config = ImportSet(s.dir, "甲", "乙");
  // A new workspace that fails leaves nothing.
  EXPECT_EQ(Import(s, config, s.dir / "new/W", false, 600).status, 1);
  EXPECT_FALSE(fs::exists(s.dir / "new/W"));
}

#endif

}  // namespace
}  // namespace tarnwell
