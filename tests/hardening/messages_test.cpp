// Messages that say what is wrong, where, and why: an option value out of range is a
// mistyped command line (exit status 2, nothing run); an input that is no file is named for
// what it is; a file the path file names is named with the path file's line; a run or a
// calibration asking for years the workspace does not give is refused before it writes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "HardeningSupport.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;
using test::CliResult;

struct MessageWorkspace {
  explicit MessageWorkspace(const test::TinyWorkspace& w = Scored(test::SmallBasins(1, 2))) {
    test::WriteTinyWorkspace(Root(), w);
  }
  // An outlet discharge that varies, so that a calibration has a fit to score.
  static test::TinyWorkspace Scored(test::TinyWorkspace w) {
    w.outletFlow = [](int d) { return 3.0 + (d % 30) * 0.2; };
    return w;
  }
  std::string Root() const { return dir / "ws"; }
  std::string At(const std::string& rel) const { return Root() + "/" + rel; }
  CliResult Cli(std::vector<std::string> args) const {
    if (std::find(args.begin(), args.end(), "--workspace") == args.end()) {
      args.push_back("--workspace");
      args.push_back(Root());
    }
    return test::RunCliWith(args, dir.Path().string(), {});
  }
  test::TempDir dir;
};

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Every value out of range, of every kind of option: refused by the command line itself,
// before the workspace is touched.
TEST(Messages, OptionValuesOutOfRangeAreMistypedCommandLines) {
  MessageWorkspace ws;
  const std::string dir = ws.dir / "a-directory", fifo = ws.dir / "a-pipe";
  fs::create_directory(dir);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"calibrate", "--evaluations", "0"}, "--evaluations: \"0\" is not a whole number from 1 to 2147483647"},
      {{"calibrate", "--evaluations", "1.5"}, "--evaluations: \"1.5\" is not a whole number"},
      {{"calibrate", "--evaluations", "99999999999"}, "--evaluations: \"99999999999\" is not a whole number"},
      {{"calibrate", "--workers", "0"}, "--workers: \"0\" is not a whole number from 1 to 1024"},
      {{"calibrate", "--seed", "-1"}, "--seed: \"-1\" is not a whole number from 0 to 18446744073709551615"},
      {{"calibrate", "--seed", "+3"}, "--seed: \"+3\" is not a whole number"},
      {{"calibrate", "--config", ""}, "--config: the value is empty"},
      {{"run", "--years", "0"}, "--years"},
      {{"run", "--threads", "1025"}, "--threads"},
      {{"run", "--parameters", dir}, "--parameters: \"" + dir + "\": it is a directory"},
      {{"run", "--parameters", fifo}, "--parameters: \"" + fifo + "\": not a regular file"},
      {{"run", "--parameters", "/dev/zero"}, "--parameters: \"/dev/zero\": not a regular file"},
      {{"bench", "--days", "366"}, "--days"},
      {{"charts", "--sub-basin", "0", "--year", "2000", "--out", dir}, "--sub-basin: \"0\" is neither"},
      {{"charts", "--sub-basin", "basin", "--year", "2000", "--out", ""}, "--out: the value is empty"},
      {{"check", "--workspace", ""}, "--workspace: the value is empty"},
      {{"import", "--config", dir, "--workspace", ws.dir / "new"}, "--config: \"" + dir + "\": it is a directory"},
      {{"import", "--config", fifo, "--workspace", ws.dir / "new"}, "--config: \"" + fifo + "\": not a regular file (a device, pipe or socket)"},
      {{"import", "--config", "/dev/zero", "--workspace", ws.dir / "new"}, "--config: \"/dev/zero\": not a regular file"},
      {{"import", "--config", ws.At("input/子流域.in"), "--workspace", ""}, "--workspace: the value is empty"},
  };
  for (const Case& c : cases) {
    const CliResult r = ws.Cli(c.args);
    std::string shown;
    for (const std::string& a : c.args) shown += " '" + a + "'";
    EXPECT_TRUE(r.exited) << shown;
    EXPECT_EQ(r.status, 2) << shown << "\n" << r.err;
    EXPECT_TRUE(Has(r.err, "tarnwell: " + c.message)) << shown << "\n" << r.err;
  }
  EXPECT_FALSE(fs::exists(ws.At("Output"))) << "a refused command line starts nothing";
  EXPECT_FALSE(fs::exists(ws.dir / "new"));
}

// An input that is a directory, a pipe or an endless device is named as such by whatever
// reads it, without hanging; a file the path file names is named with that line.
TEST(Messages, InputsThatAreNoFilesAreNamedForWhatTheyAre) {
  enum Kind { Directory, Pipe, Device };
  struct Case {
    std::string file;
    Kind kind;
    std::string command;
    std::string message;
  };
  const std::string pathFile = "Parameters/当前路径文件.txt";
  const std::vector<Case> cases = {
      {"input/甲/dem.grd", Directory, "check",
       pathFile + " line 1: \"dem.grd\" names \"input/甲/dem.grd\", which cannot be opened: it is a directory"},
      {"input/甲/met.txt", Pipe, "check",
       pathFile + " line 3: \"met.txt\" names \"input/甲/met.txt\", which cannot be opened: not a regular file "
                  "(a device, pipe or socket)"},
      {"input/甲/slope.grd", Device, "run",
       pathFile + " line 5: \"slope.grd\" names \"input/甲/slope.grd\", which cannot be opened: not a regular file (a device, pipe or socket)"},
      {"input/RiverDaily.in", Directory, "check", "Input/RiverDaily.in: cannot open: it is a directory"},
      {"input/子流域.in", Pipe, "run", "input/子流域.in: cannot open: not a regular file (a device, pipe or socket)"},
      {"Parameters/calibration.txt", Pipe, "calibrate",
       "Parameters/calibration.txt: cannot open: not a regular file (a device, pipe or socket)"},
      {"Parameters/calibration.txt", Directory, "calibrate", "Parameters/calibration.txt: cannot open: it is a directory"},
  };
  for (const Case& c : cases) {
    MessageWorkspace ws;
    fs::remove(ws.At(c.file));
    if (c.kind == Directory) fs::create_directory(ws.At(c.file));
    if (c.kind == Pipe) {
      ASSERT_EQ(::mkfifo(ws.At(c.file).c_str(), 0644), 0);
    }
    if (c.kind == Device) fs::create_symlink("/dev/zero", ws.At(c.file));
    const CliResult r = ws.Cli({c.command});
    EXPECT_TRUE(r.exited) << c.file << ": the program did not end by itself";
    EXPECT_EQ(r.status, 1) << c.file << "\n" << r.err;
    EXPECT_EQ(r.err, "tarnwell: " + c.message + "\n") << c.file;
  }
}

// A blank at the end of a path file's line is part of the name (the format is fixed): the
// message quotes the name with its blank and names the line.
TEST(Messages, PathFileLineWithATrailingBlankIsQuotedWithIt) {
  MessageWorkspace ws;
  for (const char* file : {"Parameters/缺省路径文件.txt", "Parameters/当前路径文件.txt"})
    test::WriteGbkLines(ws.At(file), "dem.grd\nlu.grd \nmet.txt\nseason.txt\nslope.grd\n");
  const CliResult r = ws.Cli({"check"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "tarnwell: Parameters/当前路径文件.txt line 2: \"lu.grd \" names \"input/甲/lu.grd \", which cannot be "
            "opened: it does not exist (the blank at the start or end of the line is part of the name)\n");
}

// Years asked for that the workspace does not give: refused before any output file is
// emptied, naming the file that sets the years and the years the data hold.
TEST(Messages, YearsBeyondTheDataAreRefusedBeforeAnythingIsEmptied) {
  MessageWorkspace ws(test::SmallBasins(1, 3));
  {
    std::vector<std::string> lines = test::FileLines(ws.At("Parameters/缺省参数文件.txt"));
    for (std::string& l : lines)
      if (l.rfind("模拟年数 ", 0) == 0) l = "模拟年数 2";
    std::string text;
    for (const std::string& l : lines) text += l + "\n";
    test::WriteGbkLines(ws.At("Parameters/缺省参数文件.txt"), text);
  }
  ASSERT_EQ(ws.Cli({"run"}).status, 0);
  const std::string before = test::ReadBytes(ws.At("Output/全流域/Statistic.txt"));

  CliResult r = ws.Cli({"run", "--years", "5"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "tarnwell: Parameters/当前参数文件.txt: --years 5: the parameter file simulates 2 years (SimYears), the "
            "most a run goes; the meteorological files hold 3 year blocks (2000 to 2002): give --years 2 or fewer, "
            "or raise SimYears\n");
  EXPECT_EQ(test::ReadBytes(ws.At("Output/全流域/Statistic.txt")), before);

  // A calibration year beyond the data is the calibration file's, on its line and token.
  ASSERT_EQ(ws.Cli({"calibrate", "--init"}).status, 0);
  std::vector<std::string> lines = test::FileLines(ws.At("Parameters/calibration.txt"));
  std::size_t at = 0;
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (lines[i].rfind("calibration ", 0) == 0) lines[i] = "calibration 2001-2004", at = i + 1;
  std::string text;
  for (const std::string& l : lines) text += l + "\n";
  test::WriteGbkLines(ws.At("Parameters/calibration.txt"), text);
  r = ws.Cli({"calibrate"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tarnwell: Parameters/calibration.txt line " + std::to_string(at) +
                       ": \"2001-2004\" (token 1) names the calibration year 2003, outside the years 2000 to 2002 "
                       "that the 3 year blocks of the meteorological files cover\n");
  EXPECT_EQ(test::ReadBytes(ws.At("Output/全流域/Statistic.txt")), before);
}

// A finished calibration resumed with another setting: the setting is named, with the
// trace's value and the new one; with the same settings the resume goes through.
TEST(Messages, ResumeWithAnotherSettingNamesIt) {
  MessageWorkspace ws;
  ASSERT_EQ(ws.Cli({"calibrate", "--init"}).status, 0);
  ASSERT_EQ(ws.Cli({"calibrate", "--evaluations", "2", "--workers", "1"}).status, 0);
  struct Case {
    std::vector<std::string> args;
    std::string setting;
  };
  for (const Case& c : std::vector<Case>{{{"--evaluations", "3"}, "evaluations: the trace Output/calibration/trace.csv "
                                                                  "was made with 2, this calibration has 3"},
                                         {{"--evaluations", "2", "--seed", "7"}, "seed: the trace "
                                                                                 "Output/calibration/trace.csv was "
                                                                                 "made with 1, this calibration has 7"},
                                         {{"--evaluations", "2", "--algorithm", "lhs"}, "algorithm: the trace "
                                                                                        "Output/calibration/trace.csv "
                                                                                        "was made with dds, this "
                                                                                        "calibration has lhs"}}) {
    std::vector<std::string> args{"calibrate", "--resume", "--workers", "1"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const CliResult r = ws.Cli(args);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(Has(r.err, "tarnwell: Output/calibration/trace-settings.txt line ")) << r.err;
    EXPECT_TRUE(Has(r.err, c.setting)) << r.err;
  }
  EXPECT_EQ(ws.Cli({"calibrate", "--resume", "--evaluations", "2", "--workers", "1"}).status, 0);
}

}  // namespace
}  // namespace tarnwell
