// What a careless or hostile user does to a workspace, met by the command line: a clear
// message naming the file, the line and the token; no crash, no hang, nothing written outside
// the workspace, nothing already written lost. An option out of range is a mistyped command
// line (status 2, nothing run).
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <thread>

#include "HardeningSupport.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;
using test::CliResult;
using test::FileLines;
using test::Has;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif

struct Careless : test::CliWorkspace {
  explicit Careless(const test::TinyWorkspace& w = test::SmallBasins(2, 2)) : CliWorkspace(w) {}
};

TEST(CarelessInput, StartUpCopyInASharedWorkspaceLosesNoFile) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs to act as another user";
  const int nobody = 65534;
  // The files writable by everyone but owned by root, the directories not writable: the copy
  // cannot make a file beside the target, so it rewrites the target in place.
  Careless ws(test::SmallBasins(1, 1));
  test::CliLimits asNobody;
  asNobody.uid = nobody;
  EXPECT_TRUE(Has(ws.Fails("check", asNobody), "Output: cannot create the directory: Permission denied"));
  const std::string current = ws.At("Parameters/当前参数文件.txt");
  const std::string defaults = test::ReadBytes(ws.At("Parameters/缺省参数文件.txt"));
  std::string edited = defaults;
  edited.replace(edited.find("0.45"), 4, "0.46");
  test::WriteBytes(current, edited);
  for (const auto& e : fs::recursive_directory_iterator(ws.Root()))
    if (e.is_regular_file()) fs::permissions(e.path(), fs::perms(0666));
  fs::create_directories(ws.At("Output"));
  fs::permissions(ws.At("Output"), fs::perms(0777));
  EXPECT_TRUE(test::Ends(ws.Cli({"check"}, asNobody), 0));
  EXPECT_EQ(test::ReadBytes(current), defaults);
  // A current file the user may not write: the copy fails, says so, and the file is whole.
  test::WriteBytes(current, edited);
  fs::permissions(current, fs::perms(0644));
  EXPECT_TRUE(
      test::Ends(ws.Cli({"check"}, asNobody), 1, "Parameters/当前参数文件.txt: cannot write: Permission denied"));
  EXPECT_EQ(test::ReadBytes(current), edited);
}

// Under the memory limit of a cluster job: 200 threads find no room for their stacks; an
// input costs memory in proportion to what it holds, not to what it claims.
TEST(CarelessInput, InputsThatClaimMoreThanTheyHoldCostNoMemory) {
  if (kAddressSanitizer) GTEST_SKIP() << "a memory limit leaves the sanitizer no room";
  test::CliLimits tight;
  tight.addressSpace = 700L << 20;
  tight.timeout = 60;
  {
    Careless ws(test::SmallBasins(1, 1));
    EXPECT_TRUE(test::Ends(ws.Cli({"run", "--threads", "200"}, tight), 1, "cannot start 200 worker threads"));
  }
  tight.addressSpace = 1L << 30;
  {
    // A 40 MB line of which the grid needs two values: only those are read.
    Careless ws(test::SmallBasins(1, 1, 1, 2));
    std::vector<std::string> dem = FileLines(ws.At("input/甲/dem.grd"));
    std::string line = dem.at(5);
    line.reserve(40u << 20);
    while (line.size() < (40u << 20)) line += " 123.5 77";
    dem.at(5) = line;
    ws.Write("input/甲/dem.grd", dem);
    const CliResult r = ws.Cli({"check"}, tight);
    EXPECT_EQ(r.status, 0) << r.err;
  }
  {
    // A grid of 2500 x 2500 cells whose model state cannot fit the limit: named by its file.
    Careless ws(test::SmallBasins(1, 1));
    std::string grid = "DSAA\r\n2500 2500\r\n0 2500\r\n0 2500\r\n0 1000\r\n";
    std::string row;
    for (int c = 0; c < 2500; ++c) row += "5 ";
    row += "\r\n";
    for (int r = 0; r < 2500; ++r) grid += row;
    test::WriteBytes(ws.At("input/甲/dem.grd"), grid);
    EXPECT_EQ(ws.Fails("check", tight),
              "tarnwell: input/甲/dem.grd line 2: not enough memory for the model's grids of 2500 x 2500 cells");
  }
}

bool LockHeld(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
  ::close(fd);
  return held;
}

TEST(CarelessInput, ASecondRunOnTheSameWorkspaceIsRefusedNamingTheFirst) {
  const test::TinyWorkspace w = test::SmallBasins(3, 2, 40, 40);
  Careless ws(w);
  CliResult first;
  std::thread running([&] { first = ws.Cli({"run", "--engine", "reference", "--threads", "1"}); });
  const std::string lock = ws.At("Output/tarnwell.lock");
  while (!LockHeld(lock)) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  fs::create_directories(ws.dir / "second");
  const CliResult second = test::RunCli({"run", "--workspace", ws.Root()}, (ws.dir / "second"));
  const CliResult check = test::RunCli({"check", "--workspace", ws.Root()}, (ws.dir / "second"));
  running.join();
  EXPECT_TRUE(test::Ends(second, 1, "Output/tarnwell.lock: the workspace is in use by process "));
  EXPECT_TRUE(Has(second.err, "(tarnwell run, since ")) << second.err;
  EXPECT_EQ(check.status, 1) << check.err;
  // The first run was not disturbed: its files are those of a run alone.
  EXPECT_EQ(first.status, 0) << first.err;
  Careless alone(w);
  ASSERT_EQ(alone.Cli({"run"}).status, 0);
  for (const std::string rel : {"Output/流域3/Daily.out", "Output/全流域/Budget.out"})
    EXPECT_EQ(test::ReadBytes(ws.At(rel)), test::ReadBytes(alone.At(rel))) << rel;
}

TEST(CarelessInput, AResultThatIsNotFiniteStopsTheRunNamingSubBasinDayAndQuantity) {
  // An interflow reservoir that grows a hundredfold a day instead of receding: computable,
  // but the outflow passes the largest double within weeks.
  test::TinyWorkspace w = test::SmallBasins(2, 1);
  w.parameterLines.emplace_back("壤中流调蓄系数", "壤中流调蓄系数 1e200");
  Careless ws(w);
  const std::string last = ws.Fails("run");
  EXPECT_EQ(last.rfind("tarnwell: sub-basin 1 (甲), 01-0", 0), 0u) << last;
  EXPECT_TRUE(Has(last, "Si_flow (simulated outflow) is inf, not a finite number")) << last;
  EXPECT_FALSE(Has(last, "Output/"));
  for (const auto& e : fs::recursive_directory_iterator(ws.At("Output"))) {
    if (!e.is_regular_file()) continue;
    const std::string bytes = test::ReadBytes(e.path().string());
    EXPECT_FALSE(Has(bytes, "nan") || Has(bytes, "inf")) << e.path();
  }
  EXPECT_TRUE(test::OutputFilesWhole(ws.At("Output")));
}

// The parameter files saved as "Unicode" (UTF-16 with its mark) by a Windows editor, the
// sub-basin list and the season file with old Mac line ends (CR alone).
TEST(CarelessInput, FilesInOtherEncodingsAndLineEnds) {
  Careless ws(test::SmallBasins(2, 1));
  for (const char* name : {"Parameters/缺省参数文件.txt", "Parameters/当前参数文件.txt"}) {
    const std::string utf8 = DecodeText(test::ReadBytes(ws.At(name)));
    std::string utf16 = "\xFF\xFE";
    for (std::size_t i = 0; i < utf8.size();) {
      const auto b = static_cast<unsigned char>(utf8[i]);
      const int extra = b < 0x80 ? 0 : b < 0xE0 ? 1 : b < 0xF0 ? 2 : 3;
      char32_t cp = extra ? b & (0x3F >> extra) : b;
      for (int k = 1; k <= extra; ++k) cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
      i += static_cast<std::size_t>(extra) + 1;
      utf16 += {static_cast<char>(cp & 0xFF), static_cast<char>(cp >> 8)};
    }
    test::WriteBytes(ws.At(name), utf16);
  }
  for (const char* name : {"input/子流域.in", "Parameters/season.txt"}) {
    std::string cr = test::ReadBytes(ws.At(name));
    std::erase(cr, '\n');
    test::WriteBytes(ws.At(name), cr);
  }
  const CliResult r = ws.Cli({"check"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "FieldCapacity")) << r.out;
}

// Lines of a workspace file changed by `edit`.
std::function<void(const Careless&)> Edit(const std::string& rel,
                                          const std::function<void(std::vector<std::string>&)>& edit) {
  return [rel, edit](const Careless& ws) {
    std::vector<std::string> lines = FileLines(ws.At(rel));
    edit(lines);
    ws.Write(rel, lines);
  };
}

std::function<void(const Careless&)> Line(const std::string& rel, std::size_t n, const std::string& text) {
  return Edit(rel, [n, text](std::vector<std::string>& lines) { lines.at(n - 1) = text; });
}

// Replaces the value lines of a grid by `value` everywhere.
void FillGrid(const Careless& ws, const std::string& rel, const std::string& value) {
  std::vector<std::string> lines = FileLines(ws.At(rel));
  for (std::size_t i = 5; i < lines.size(); ++i) {
    const std::size_t n = SplitFields(lines[i]).size();
    lines[i].clear();
    for (std::size_t c = 0; c < n; ++c) lines[i] += (c ? " " : "") + value;
  }
  ws.Write(rel, lines);
}

// Each bad input is named by its file, line and token before anything is written: the results
// of the run before stay as they were.
TEST(CarelessInput, EachBadInputIsNamedByFileLineAndToken) {
  struct Case {
    const char* what;
    std::function<void(const Careless&)> spoil;
    std::string message;  // the same from each command
    std::vector<std::string> commands{"run", "check"};
  };
  // A file of the workspace replaced by a directory, a pipe, an endless device or a link.
  auto instead = [](const std::string& rel, char kind) {
    return [rel, kind](const Careless& ws) {
      fs::remove(ws.At(rel));
      if (kind == 'd') fs::create_directory(ws.At(rel));
      if (kind == 'p') {
        EXPECT_EQ(::mkfifo(ws.At(rel).c_str(), 0644), 0);
      }
      if (kind == 'z') fs::create_symlink("/dev/zero", ws.At(rel));
      if (kind == 'o') fs::create_symlink(ws.dir / "elsewhere.txt", ws.At(rel));
    };
  };
  const std::string paths = "Parameters/当前路径文件.txt", device = "not a regular file (a device, pipe or socket)";
  const std::string first = "\" (token 2) is the first simulated day of the year: it must lie between 1 and 366";
  const std::vector<Case> cases{
      // 2000 is a leap year: its first simulated day lies in 1 .. 366.
      {"a first day far below", Line("input/乙/met.txt", 1, "2000 12 -2000000000 1 500"),
       "input/乙/met.txt line 1: \"-2000000000" + first},
      {"a first day past the year", Line("input/乙/met.txt", 1, "2000 12 367 1 500"),
       "input/乙/met.txt line 1: \"367" + first},
      {"months", Line("input/甲/met.txt", 1, "2000 13 1 1 500"),
       "input/甲/met.txt line 1: \"13\" (token 1) is the number of months to simulate: it must lie between 0 and 12"},
      {"a layer of no thickness", Line("Parameters/缺省参数文件.txt", 24, "土壤层包气带厚度 100 0 600"),
       "Parameters/当前参数文件.txt line 24: LayerThickness2 = 0 (token 2) cannot be used: a soil layer must be "
       "thicker than 0 mm (its water content is its water over its thickness)"},
      // Muskingum x = 1.5 with K = 24 h: the routing divides by 12 + (1 - x) K = 0.
      {"a routing denominator of 0", Line("input/子流域.in", 3, "乙 24 1.5"),
       "input/子流域.in line 3: Muskingum K = 24 h and x = 1.5 (tokens 1 and 2) give a routing denominator 12 + "
       "(1 - x) K of 0 h: it must be above 0 (x at most 1 with K at least 0 keeps it so)"},
      {"a measured value beyond any", Line("input/乙/met.txt", 11, "2000 0 10 0 1e308 10 2 0"),
       "input/乙/met.txt line 11: \"1e308\" (token 4) is beyond any measured value (at most 1e9 in magnitude)"},
      // Control characters of a token are shown escaped, never sent to the terminal.
      {"control characters", Line("input/甲/met.txt", 5, "2000 0 4 0 \x1b[2J 10 2 0"),
       "input/甲/met.txt line 5: \"\\x1b[2J\" is not a number (token 4)"},
      {"a day of 2000 lost", Edit("input/乙/met.txt", [](auto& met) { met.erase(met.begin() + 100); }),
       "input/乙/met.txt line 367: the block of 2000 (header at line 1) has 365 day lines but 2000 needs 366: this "
       "is a line of 2001, not a day of 2000"},
      {"a day of 2000 twice", Edit("input/甲/met.txt", [](auto& met) { met.insert(met.begin() + 100, met.at(100)); }),
       "input/甲/met.txt line 368: the block of 2000 (header at line 1) has more day lines than the 366 days of "
       "2000: this line is one too many"},
      // The second sub-basin's file holds another year: it is named, not the first's.
      {"another year",
       [](const Careless& ws) {
         test::TinyWorkspace w = test::SmallBasins(2, 2);
         w.subBasins[1].years[0].year = 2001;
         test::WriteTinyWorkspace(ws.Root(), w);
       },
       "input/乙/met.txt line 1: year block 1 is 2001, but sub-basin 1 (甲) has 2000 there: the meteorological "
       "files of all sub-basins hold the same years in the same order"},
      {"an outlet day missing", Edit("input/RiverDaily.in", [](auto& river) { river.erase(river.begin() + 50); }),
       "Input/RiverDaily.in line 367: this is no day line (a date, the discharge and the concentration): is a day "
       "missing? the outlet block of 2000 (heading at line 1) has 365 day lines before it, and 2000 needs 366"},
      {"an empty list", Line("input/子流域.in", 1, "0"),
       "input/子流域.in line 1: \"0\" (token 0): the sub-basin list must hold at least one sub-basin"},
      {"cells of no size", Line("input/甲/dem.grd", 3, "0 -9000"),
       "input/甲/dem.grd line 3: the x extent runs from 0 to -9000: its maximum (token 1) must be above its "
       "minimum (token 0), or the cells have no size"},
      // A binary file: the message names the line and says what it is.
      {"a binary file",
       [](const Careless& ws) {
         std::string bytes = test::ReadBytes(ws.At("input/甲/met.txt"));
         bytes.replace(bytes.find("\r\n") + 2, 0, std::string("\x00\x01\x02", 3));
         test::WriteBytes(ws.At("input/甲/met.txt"), bytes);
       },
       "input/甲/met.txt line 2: not a text file: byte 1 of the line is a NUL byte (a binary file, or text saved as "
       "UTF-16 without its byte-order mark)"},
      // An input that is no file is named as such by whatever reads it, without hanging; a
      // file the path file names is named with that line.
      {"a directory", instead("input/甲/dem.grd", 'd'),
       paths + " line 1: \"dem.grd\" names \"input/甲/dem.grd\", which cannot be opened: it is a directory"},
      {"a device",
       instead("input/甲/slope.grd", 'z'),
       paths + " line 5: \"slope.grd\" names \"input/甲/slope.grd\", which cannot be opened: " + device,
       {"run"}},
      {"an outlet directory", instead("input/RiverDaily.in", 'd'),
       "Input/RiverDaily.in: cannot open: it is a directory"},
      {"a pipe", instead("input/子流域.in", 'p'), "input/子流域.in: cannot open: " + device, {"run"}},
      {"a calibration pipe",
       instead("Parameters/calibration.txt", 'p'),
       "Parameters/calibration.txt: cannot open: " + device,
       {"calibrate"}},
      // A blank at the end of a path file's line is part of the name (the format is fixed).
      {"a blank after a name",
       [](const Careless& ws) {
         for (const char* file : {"Parameters/缺省路径文件.txt", "Parameters/当前路径文件.txt"})
           test::WriteGbkLines(ws.At(file), "dem.grd\nlu.grd \nmet.txt\nseason.txt\nslope.grd\n");
       },
       paths + " line 2: \"lu.grd \" names \"input/甲/lu.grd \", which cannot be opened: it does not exist (the blank "
               "at the start or end of the line is part of the name)"},
      {"a current file linked out of the workspace", instead("Parameters/当前参数文件.txt", 'o'),
       "Parameters/当前参数文件.txt: not written: it is reached through a symbolic link that leads outside the "
       "workspace (to "},
      {"a token that is no number", Line("input/乙/met.txt", 10, "2000 0 9 0 NaN 10 2 0"),
       "input/乙/met.txt line 10: \"NaN\" is not a number (token 4)"},
      {"no inside cell", [](const Careless& ws) { FillGrid(ws, "input/乙/dem.grd", "-9999"); },
       "input/乙/dem.grd: sub-basin 2 (乙) has no cell inside the basin (no terrain value between 0 and 2e30)"},
      // Every land-use code at 150 or more: no area to turn the outlet discharge into a depth.
      {"no area", [](const Careless& ws) { FillGrid(ws, "input/乙/lu.grd", "200"); },
       "input/乙/lu.grd: sub-basin 2 (乙) has no area (no land-use code below 150)"},
      // Three lines: the slope entry names the sub-basin directory itself.
      {"a short path file",
       [](const Careless& ws) {
         test::WriteGbkLines(ws.At("Parameters/缺省路径文件.txt"), "dem.grd\nlu.grd\nmet.txt\n");
       },
       paths + " line 5: the line is missing, so the file is \"input/甲/\", which cannot be opened: it is a directory"},
      // A count of three over two lines: start-up stops at the missing third line.
      {"a short sub-basin list", Line("input/子流域.in", 1, "3"),
       "input/子流域.in line 4: token 0 is missing (the line has 0 tokens)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Careless ws;
    ASSERT_TRUE(test::Ends(ws.Cli({"run"}), 0));
    const auto earlier = test::Snapshot(ws.At("Output"));
    test::WriteBytes(ws.dir / "elsewhere.txt", "someone else's file\r\n");
    c.spoil(ws);
    for (const std::string& command : c.commands) {
      const std::string last = ws.Fails(command);
      EXPECT_EQ(last.rfind("tarnwell: " + c.message, 0), 0u) << command << ": " << last;
    }
    EXPECT_TRUE(test::Unchanged(earlier, ws.At("Output")));
    EXPECT_EQ(test::ReadBytes(ws.dir / "elsewhere.txt"), "someone else's file\r\n");
  }
}

// Each kind of option value out of range, an unknown option or command: refused by the command
// line itself, before the workspace is touched.
TEST(Messages, OptionValuesOutOfRangeAreMistypedCommandLines) {
  Careless ws(test::SmallBasins(1, 1));
  const std::string dir = ws.dir / "a-directory", fifo = ws.dir / "a-pipe";
  fs::create_directory(dir);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"calibrate", "--evaluations", "0"}, "--evaluations: \"0\" is not a whole number from 1 to 2147483647"},
      {{"calibrate", "--evaluations", "1.5"}, "--evaluations: \"1.5\" is not a whole number"},
      {{"calibrate", "--seed", "-1"}, "--seed: \"-1\" is not a whole number from 0 to 18446744073709551615"},
      {{"run", "--threads", "1025"}, "--threads"},
      {{"run", "--years", "0"}, "--years"},
      {{"bench", "--days", "366"}, "--days"},
      {{"bench", "--size", "100000"}, "--size"},
      {{"charts", "--sub-basin", "0", "--year", "2000", "--out", dir}, "--sub-basin: \"0\" is neither"},
      {{"check", "--workspace", ""}, "--workspace: the value is empty"},
      {{"run", "--parameters", dir}, "--parameters: \"" + dir + "\": it is a directory"},
      {{"run", "--parameters", fifo}, "--parameters: \"" + fifo + "\": not a regular file"},
      {{"import", "--config", "/dev/zero", "--workspace", ws.dir / "new"},
       "--config: \"/dev/zero\": not a regular file"},
      {{"check", "--yeers", "3"}, "--yeers"},
      {{"check", "--workspace"}, "--workspace"},
      {{"check", "--workspace", ws.dir / "no-such"}, "no-such"},
      {{"frobnicate"}, "frobnicate"},
  };
  for (const auto& [args, message] : cases) EXPECT_TRUE(test::Ends(ws.Cli(args), 2, message));
  EXPECT_EQ(ws.Raw({}).status, 2) << "nothing is ever done without a command";
  const CliResult help = ws.Raw({"run", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(Has(help.out, "--years") && Has(help.out, "--threads")) << help.out;
  EXPECT_FALSE(fs::exists(ws.At("Output"))) << "a refused command line starts nothing";
  EXPECT_FALSE(fs::exists(ws.dir / "new"));
}

// Years asked for that the workspace does not give: refused before any output file is
// emptied, naming the file that sets the years and the years the data hold.
TEST(Messages, YearsBeyondTheDataAreRefusedBeforeAnythingIsEmptied) {
  test::TinyWorkspace w = test::SmallBasins(1, 3);
  w.outletFlow = [](int d) { return 3.0 + (d % 30) * 0.2; };  // a fit to score
  w.simYears = 2;                                             // of the three years the files hold
  Careless ws(w);
  ASSERT_EQ(ws.Cli({"run"}).status, 0);
  const std::string before = test::ReadBytes(ws.At("Output/全流域/Statistic.txt"));
  EXPECT_EQ(ws.Fails({"run", "--years", "5"}),
            "tarnwell: Parameters/当前参数文件.txt: --years 5: the parameter file simulates 2 years (SimYears), the "
            "most a run goes; the meteorological files hold 3 year blocks (2000 to 2002): give --years 2 or fewer, "
            "or raise SimYears");
  // A calibration year beyond the data is the calibration file's, on its line and token.
  ASSERT_EQ(ws.Cli({"calibrate", "--init"}).status, 0);
  std::vector<std::string> lines = FileLines(ws.At("Parameters/calibration.txt"));
  std::size_t at = 0;
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (lines[i].rfind("calibration ", 0) == 0) lines[i] = "calibration 2001-2004", at = i + 1;
  ws.Write("Parameters/calibration.txt", lines);
  EXPECT_EQ(ws.Fails("calibrate"), "tarnwell: Parameters/calibration.txt line " + std::to_string(at) +
                                       ": \"2001-2004\" (token 1) names the calibration year 2003, outside the years "
                                       "2000 to 2002 that the 3 year blocks of the meteorological files cover");
  EXPECT_EQ(test::ReadBytes(ws.At("Output/全流域/Statistic.txt")), before);
}

}  // namespace
}  // namespace tarnwell
