// Commands that check too late or write where no workspace is: each refusal must come before
// the first file is touched, so the earlier results and the folder stay byte for byte as
// they were; what a command makes for itself lies in a place of its own.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>

#include "HardeningSupport.h"
#include "model/Calendar.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;
using test::CliResult;

using test::Has;
using test::Snapshot;
using test::Unchanged;

// Every file under dir changed this many hours ago.
void Backdate(const std::string& dir, int hours) {
  const auto then = fs::file_time_type::clock::now() - std::chrono::hours(hours);
  for (const auto& e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file() && !e.is_symlink()) fs::last_write_time(e.path(), then);
}

using Scratch = test::CliWorkspace;

bool WithoutGeo(const CliResult& r) { return Has(r.err, "without GDAL"); }

TEST(LateChecks, MapsThatCannotBeWrittenAreRefusedBeforeAnyResultIsTouched) {
  Scratch ws(test::SmallBasins(2, 2));
  const CliResult good = ws.Cli({"check", "--maps"});
  if (WithoutGeo(good)) GTEST_SKIP() << "built without GDAL";
  ASSERT_EQ(good.status, 0) << good.err;
  ASSERT_EQ(ws.Cli({"run"}).status, 0);
  const std::string outside = ws.dir / "elsewhere";
  fs::create_directories(outside);
  const bool root = ::geteuid() == 0;

  struct Case {
    const char* what;
    std::function<void()> make;
    std::string message;
    bool asNobody = false;
  };
  const std::string georef = "input/乙/georef.txt";
  auto writeGeoref = [&](const std::string& west, int rows) {
    return [&ws, georef, west, rows] {
      test::WriteBytes(ws.At(georef), "west = " + west + "\nsouth = 0\ncell_width = 100\ncell_height = 100\nrows = " +
                                          std::to_string(rows) + "\ncolumns = 2\nfirst_row = south\n");
    };
  };
  const std::vector<Case> cases{
      {"a georef.txt of another grid", writeGeoref("0", 7), georef + " line 5: describes 7 x 2 cells"},
      {"a georef.txt with a bad value", writeGeoref("east", 2), georef + " line 1"},
      {"Output/maps a file", [&] { test::WriteBytes(ws.At("Output/maps"), "notes\n"); },
       "Output/maps: is not a directory"},
      {"Output/maps a link out of the workspace", [&] { fs::create_directory_symlink(outside, ws.At("Output/maps")); },
       "Output/maps: not written: it is reached through a symbolic link that leads outside the workspace"},
      {"Output/maps not writable",
       [&] {
         fs::create_directories(ws.At("Output/maps"));
         fs::permissions(ws.At("Output/maps"), fs::perms(0555));
       },
       "Output/maps: cannot write in the directory", root},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.make();
    test::CliLimits limits;
    if (c.asNobody) {
      // The superuser writes anywhere: the run goes as a user the directory refuses, who may
      // read the workspace.
      for (const auto& e : fs::recursive_directory_iterator(ws.dir.Path()))
        if (!e.is_symlink() && e.path() != ws.At("Output/maps"))
          fs::permissions(e.path(), e.is_directory() ? fs::perms(0777) : fs::perms(0666));
      fs::permissions(ws.dir.Path(), fs::perms(0777));
      limits.uid = 65534;
    }
    const auto before = Snapshot(ws.Root());
    for (const char* command : {"run", "check"}) {
      SCOPED_TRACE(command);
      EXPECT_TRUE(test::Ends(ws.Cli({command, "--maps"}, limits), 1, c.message));
      EXPECT_TRUE(Unchanged(before, ws.Root()));
    }
    EXPECT_TRUE(fs::is_empty(outside));
    std::error_code ec;
    fs::permissions(ws.At("Output/maps"), fs::perms(0755), ec);
    fs::remove(ws.At("Output/maps"), ec);
    fs::remove_all(ws.At("Output/maps"), ec);
    fs::remove(ws.At(georef), ec);
  }
  // Mended, the run writes its maps, and check --maps left no probe behind.
  EXPECT_TRUE(test::Ends(ws.Cli({"run", "--maps"}), 0));
  EXPECT_TRUE(fs::exists(ws.At("Output/maps/subbasin2_runoff_2001.tif")));
  for (const auto& e : fs::directory_iterator(ws.At("Output/maps")))
    EXPECT_FALSE(Has(e.path().filename().string(), "probe")) << e.path();
}

TEST(LateChecks, CalibrationLeavesTheResultsOfTheParameterFiles) {
  test::TinyWorkspace w = test::SmallBasins(2, 3);
  w.outletFlow = [](int d) { return 3.0 + (d % 30) * 0.2; };  // a fit to score
  Scratch ws(w);
  ASSERT_EQ(ws.Cli({"run"}).status, 0);
  ASSERT_EQ(ws.Cli({"calibrate", "--init"}).status, 0);
  auto results = [&] {
    auto all = Snapshot(ws.At("Output"));
    std::erase_if(all, [](const auto& e) { return e.first.rfind("calibration", 0) == 0; });
    return all;
  };
  const auto before = results();
  const std::string parameters = test::ReadBytes(ws.At("Parameters/当前参数文件.txt"));
  ASSERT_TRUE(test::Ends(ws.Cli({"calibrate", "--evaluations", "8", "--workers", "1"}), 0));
  EXPECT_EQ(results(), before);
  EXPECT_EQ(test::ReadBytes(ws.At("Parameters/当前参数文件.txt")), parameters);
  // Its own run: every sub-basin and the whole basin, with its marker.
  for (const char* file : {"流域1/Daily.out", "流域2/Budget.out", "全流域/Daily.out", "Mark.out"})
    EXPECT_TRUE(fs::is_regular_file(ws.Out(std::string("calibration/") + file))) << file;
  for (const char* dir : {"流域1", "流域2", "全流域"})
    EXPECT_TRUE(test::OutputFilesWhole(ws.Out(std::string("calibration/") + dir)));
}

TEST(NoWorkspace, CommandsLeaveAFolderThatIsNoWorkspaceAsItWas) {
  Scratch ws;
  test::WriteBytes(ws.At("thesis.tex"), "\\chapter{Runoff}\n");
  test::WriteBytes(ws.At("input/notes.txt"), "field notes\n");
  const auto before = Snapshot(ws.Root());
  const std::vector<std::vector<std::string>> commands{
      {"check"},  {"run"},       {"charts", "--sub-basin", "1", "--year", "2000", "--out", ws.At("charts")},
      {"export"}, {"calibrate"}, {"calibrate", "--init"}};
  for (const auto& command : commands) {
    SCOPED_TRACE(command.front());
    const CliResult r = ws.Cli(command);
    if (WithoutGeo(r)) continue;
    EXPECT_TRUE(test::Ends(r, 1, "input/子流域.in"));
    EXPECT_TRUE(Unchanged(before, ws.Root()));
  }
}

TEST(Bench, ItsFilesLieInADirectoryOfItsOwnRemovedAtTheEnd) {
  Scratch s;
  const std::string tmp = s.dir / "tmp";
  fs::create_directories(tmp);
  // A name of the old scheme planted for the next process numbers would be followed by a
  // program that writes to a predictable name; this one makes a fresh directory instead.
  const std::string target = s.dir / "target";
  test::WriteBytes(target, "keep\n");
  for (int pid = ::getpid(); pid < ::getpid() + 50; ++pid)
    fs::create_symlink(target, tmp + "/tarnwell-bench-" + std::to_string(pid) + "-dem.grd");
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old ? old : "";
  ::setenv("TMPDIR", tmp.c_str(), 1);
  const CliResult r = s.Raw({"bench", "--size", "8", "--days", "2", "--threads", "1"});
  if (old) ::setenv("TMPDIR", saved.c_str(), 1);
  else ::unsetenv("TMPDIR");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(test::ReadBytes(target), "keep\n");
  for (const auto& e : fs::directory_iterator(tmp))
    EXPECT_TRUE(fs::is_symlink(e.symlink_status())) << e.path() << " left behind";
}

// A small basin to import, written as text: ESRI ASCII grids, CSV tables. 3 x 4 cells of
// 100 m in two sub-basins, one year of weather.
struct ImportSet {
  explicit ImportSet(const test::TempDir& d, const std::string& first = "甲", const std::string& second = "乙")
      : dir(d.Path().string() + "/data-" + first) {
    auto grid = [](const std::function<double(int, int)>& v) {
      std::string t = "ncols 4\nnrows 3\nxllcorner 500000\nyllcorner 5000000\ncellsize 100\nNODATA_value -9999\n";
      for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c) t += std::to_string(v(r, c)) + (c < 3 ? " " : "\n");
      }
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
  }
  std::string Config() const { return dir + "/import.conf"; }
  std::string dir;
};

CliResult Import(const Scratch& s, const ImportSet& set, const std::string& workspace, bool replace,
                 const test::CliLimits& limits = {}) {
  std::vector<std::string> args{"import", "--config", set.Config(), "--workspace", workspace};
  if (replace) args.push_back("--replace");
  return s.Raw(args, limits);
}

TEST(ImportReplace, AFailureAtAnyPointLeavesTheOldWorkspaceWhole) {
  Scratch s;
  const ImportSet old(s.dir), renamed(s.dir, "丙", "丁");
  const CliResult first = Import(s, old, s.Root(), false);
  if (WithoutGeo(first)) GTEST_SKIP() << "built without GDAL";
  ASSERT_EQ(first.status, 0) << first.err;
  ASSERT_EQ(s.Cli({"run"}).status, 0);
  // The import two hours ago, the run one hour ago: what follows is later whatever the
  // file system's clock resolution.
  Backdate(s.Root(), 2);
  Backdate(s.At("Output"), 1);
  const auto before = Snapshot(s.Root());
  // A device that fills at the first sub-basin's weather, or with the first sub-basin written
  // at the second's (the device's limit holds for standard error too: room for the message).
  for (long limit : {150L, 12400L}) {
    SCOPED_TRACE(limit);
    test::CliLimits full;
    full.fileSizeLimit = limit;
    const CliResult r = Import(s, renamed, s.Root(), true, full);
    EXPECT_TRUE(test::Ends(r, 1, "cannot write"));
    EXPECT_TRUE(Unchanged(before, s.Root()));
  }
  // The export of the earlier run is still possible; after the replacement its results are
  // those of other inputs and are refused until the run is repeated.
  EXPECT_EQ(s.Cli({"export"}).status, 0);
  fs::remove_all(s.At("Output/export"));
  // What a killed import left is cleared by the next one.
  test::WriteBytes(s.At(".tarnwell-import-killed/input/子流域.in"), "1\r\n");
  const CliResult replaced = Import(s, renamed, s.Root(), true);
  ASSERT_EQ(replaced.status, 0) << replaced.err;
  EXPECT_TRUE(fs::is_directory(s.At("input/丙")));
  EXPECT_FALSE(fs::exists(s.At("input/甲")));
  for (const auto& e : fs::directory_iterator(s.Root()))
    EXPECT_FALSE(Has(e.path().filename().string(), ".tarnwell")) << e.path();
  const auto results = Snapshot(s.Root());
  const CliResult stale = s.Cli({"export"});
  EXPECT_TRUE(test::Ends(stale, 1, "Output/流域"));
  EXPECT_TRUE(Has(stale.err, "is older than ")) << stale.err;
  EXPECT_TRUE(Has(stale.err, "run again")) << stale.err;
  EXPECT_TRUE(Unchanged(results, s.Root()));
  ASSERT_EQ(s.Cli({"run"}).status, 0);
  EXPECT_EQ(s.Cli({"export"}).status, 0);
  EXPECT_TRUE(Has(test::ReadBytes(s.At("Output/export/stations.csv")), "丙"));
}

// A thesis folder with input/ and Parameters/ of its own; a sub-basin list does not make
// a parameters directory a workspace's; a link in its place is not replaced either, even one
// within the workspace.
TEST(ImportReplace, OnlyAWorkspacesDirectoriesAreReplaced) {
  Scratch s;
  const ImportSet set(s.dir);
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
    const CliResult r = Import(s, set, s.Root(), true);
    if (WithoutGeo(r)) GTEST_SKIP() << "built without GDAL";
    EXPECT_TRUE(test::Ends(r, 1, message));
    EXPECT_TRUE(Unchanged(before, s.Root()));
  }
}

TEST(ImportReplace, WhereAnImportMayWrite) {
  Scratch s;
  const ImportSet set(s.dir);
  // The root of the file system, also behind a link, is refused before anything is written.
  const bool rootClean = !fs::exists("/input") && !fs::exists("/Parameters") && !fs::exists("/Output");
  const std::string link = s.dir / "root";
  fs::create_directory_symlink("/", link);
  for (const std::string& w : {std::string("/"), link}) {
    SCOPED_TRACE(w);
    const CliResult r = Import(s, set, w, false);
    if (WithoutGeo(r)) GTEST_SKIP() << "built without GDAL";
    EXPECT_TRUE(test::Ends(r, 1, "is the root of the file system"));
  }
  for (const char* made : {"/input", "/Parameters", "/Output"}) EXPECT_FALSE(rootClean && fs::exists(made)) << made;
  // A folder holding other things gains input/, Parameters/ and Output/ only.
  test::WriteBytes(s.At("notes.txt"), "basin notes\n");
  auto before = Snapshot(s.Root());
  ASSERT_EQ(Import(s, set, s.Root(), false).status, 0);
  for (const auto& [rel, bytes] : Snapshot(s.Root()))
    EXPECT_TRUE(before.count(rel) || rel.starts_with("input") || rel.starts_with("Parameters") ||
                rel.starts_with("Output"))
        << rel;
  EXPECT_EQ(test::ReadBytes(s.At("notes.txt")), "basin notes\n");
  // A new workspace that fails leaves nothing; one beside another folder's files leaves them
  // as they were.
  test::CliLimits full;
  full.fileSizeLimit = 600;
  const std::string fresh = s.dir / "new/W";
  EXPECT_EQ(Import(s, set, fresh, false, full).status, 1);
  EXPECT_FALSE(fs::exists(fresh));
  const std::string other = s.dir / "other";
  test::WriteBytes(other + "/notes.txt", "more notes\n");
  before = Snapshot(other);
  EXPECT_EQ(Import(s, set, other, false, full).status, 1);
  EXPECT_TRUE(Unchanged(before, other));
}

}  // namespace
}  // namespace tarnwell
