// What a careless or hostile user does to a workspace, met by the command line: status 1 and
// a message, no crash, no hang, nothing written outside the workspace, nothing already written
// lost. An option out of range is a mistyped command line (status 2, nothing run). The
// readers' messages themselves are checked in bad_values_test.cpp.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "HardeningSupport.h"
#include "app/DayEngine.h"
#include "app/Driver.h"
#include "app/Progress.h"
#include "app/Session.h"
#include "app/Startup.h"
#include "app/WorkspaceLock.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;
using test::CliResult;
using test::CliWorkspace;
using test::Has;

// A run's refusals come before its first write: the results of the run before stay, also
// for an input that is a pipe or an endless device (read without hanging), and for a
// sub-basin's file found bad after the first sub-basin's inputs were read.
TEST(CarelessInput, ARefusedRunKeepsTheResultsBefore) {
  const CliWorkspace ws(test::SmallBasins(2, 2));
  ASSERT_TRUE(test::Ends(ws.Cli({"run"}), 0));
  const auto earlier = test::Snapshot(ws.At("Output"));
  const std::vector<std::pair<std::function<void()>, std::string>> cases{
      {[&] {
         fs::remove(ws.At("input/子流域.in"));
         ASSERT_EQ(::mkfifo(ws.At("input/子流域.in").c_str(), 0644), 0);
       },
       "input/子流域.in: cannot open: not a regular file (a device, pipe or socket)"},
      {[&] {
         fs::remove(ws.At("input/甲/slope.grd"));
         fs::create_symlink("/dev/zero", ws.At("input/甲/slope.grd"));
       },
       "\"slope.grd\" names \"input/甲/slope.grd\", which cannot be opened: not a regular file"},
      {[&] {
         std::vector<std::string> met = test::FileLines(ws.At("input/乙/met.txt"));
         met.erase(met.begin() + 100);
         ws.Write("input/乙/met.txt", met);
       },
       "input/乙/met.txt line 367: the block of 2000 (header at line 1) has 365 day lines but 2000 needs 366"}};
  for (const auto& [spoil, message] : cases) {
    SCOPED_TRACE(message);
    fs::remove(ws.At("input/子流域.in")), fs::remove(ws.At("input/甲/slope.grd"));  // the pipe, the device
    test::WriteTinyWorkspace(ws.Root(), test::SmallBasins(2, 2));
    spoil();
    EXPECT_TRUE(test::Ends(ws.Cli({"run"}), 1, message));
    EXPECT_TRUE(test::Unchanged(earlier, ws.At("Output")));
  }
}

TEST(CarelessInput, StartUpCopyInASharedWorkspaceLosesNoFile) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs to act as another user";
  // The files writable by everyone but owned by root, the directories not writable: the copy
  // cannot make a file beside the target, so it rewrites the target in place.
  const CliWorkspace ws(test::SmallBasins(1, 1));
  test::CliLimits asNobody;
  asNobody.uid = 65534;
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

// Under the memory limit of a cluster job, a grid whose model state cannot fit is named by
// its file.
TEST(CarelessInput, AGridBeyondTheMemoryLimitIsNamedByItsFile) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "a memory limit leaves the sanitizer no room";
#endif
  test::CliLimits tight;
  tight.addressSpace = 1L << 30;
  const CliWorkspace ws(test::SmallBasins(1, 1));
  std::string grid = "DSAA\r\n2500 2500\r\n0 2500\r\n0 2500\r\n0 1000\r\n", row;
  for (int c = 0; c < 2500; ++c) row += "5 ";
  for (int r = 0; r < 2500; ++r) grid += row + "\r\n";
  test::WriteBytes(ws.At("input/甲/dem.grd"), grid);
  EXPECT_EQ(ws.Fails("check", tight),
            "tarnwell: input/甲/dem.grd line 2: not enough memory for the model's grids of 2500 x 2500 cells");
}

TEST(CarelessInput, ASecondRunOnTheSameWorkspaceIsRefusedNamingTheFirst) {
  const CliWorkspace ws(test::SmallBasins(1, 1));
  ASSERT_TRUE(test::Ends(ws.Cli({"run"}), 0));
  const auto earlier = test::Snapshot(ws.At("Output"));
  const Workspace workspace(ws.Root());
  const auto first = WorkspaceLock::Acquire(workspace, "tarnwell run");
  const CliResult second = ws.Cli({"run"});
  EXPECT_TRUE(test::Ends(second, 1, "Output/tarnwell.lock: the workspace is in use by process "));
  EXPECT_TRUE(Has(second.err, "(tarnwell run, since ")) << second.err;
  EXPECT_TRUE(test::Unchanged(earlier, ws.At("Output")));
}

TEST(CarelessInput, AResultThatIsNotFiniteStopsTheRunNamingSubBasinDayAndQuantity) {
  // An interflow reservoir that grows a hundredfold a day instead of receding: computable,
  // but the outflow passes the largest double within weeks.
  test::TinyWorkspace w = test::SmallBasins(2, 1);
  w.parameterLines.emplace_back("壤中流调蓄系数", "壤中流调蓄系数 1e200");
  const CliWorkspace ws(w);
  Session session(ws.Root());
  StartUpWorkspace(session);
  ProgressObserver quiet;
  std::unique_ptr<DayEngine> engine = MakeDayEngine("reference", 1);
  Driver driver(session, quiet, *engine);
  try {
    driver.Run();
    ADD_FAILURE() << "the run went on";
  } catch (const std::exception& e) {
    const std::string m = e.what();
    EXPECT_EQ(m.rfind("sub-basin 1 (甲), 01-0", 0), 0u) << m;
    EXPECT_TRUE(Has(m, "Si_flow (simulated outflow) is inf, not a finite number")) << m;
  }
  for (const auto& [rel, bytes] : test::Snapshot(ws.At("Output")))
    EXPECT_FALSE(Has(bytes, "nan") || Has(bytes, "inf")) << rel;
  EXPECT_TRUE(test::OutputFilesWhole(ws.At("Output")));
}

// An option value out of range, an unknown option or command: refused by the command line
// itself, before the workspace is touched.
TEST(Messages, OptionValuesOutOfRangeAreMistypedCommandLines) {
  const CliWorkspace ws(test::SmallBasins(1, 1));
  const std::string dir = ws.dir / "a-directory", fifo = ws.dir / "a-pipe";
  fs::create_directory(dir);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"calibrate", "--evaluations", "0"}, "--evaluations: \"0\" is not a whole number from 1 to 2147483647"},
      {{"run", "--threads", "1025"}, "--threads"},
      {{"run", "--carry-over", "cell"}, "--carry-over"},
      {{"charts", "--sub-basin", "0", "--year", "2000", "--out", dir}, "--sub-basin: \"0\" is neither"},
      {{"run", "--parameters", dir}, "--parameters: \"" + dir + "\": it is a directory"},
      {{"run", "--parameters", fifo}, "--parameters: \"" + fifo + "\": not a regular file"},
      {{"frobnicate"}, "frobnicate"},
  };
  for (const auto& [args, message] : cases) EXPECT_TRUE(test::Ends(ws.Cli(args), 2, message));
  EXPECT_EQ(ws.Raw({}).status, 2) << "nothing is ever done without a command";
  EXPECT_FALSE(fs::exists(ws.At("Output"))) << "a refused command line starts nothing";
}

// Years asked for that the workspace does not give, refused before any output file is
// emptied, naming the file that sets the years and the years the data hold; a calibration
// writes under Output/calibration/ only and leaves the parameter files.
TEST(Messages, YearsBeyondTheDataAndCalibrationLeaveTheResults) {
  test::TinyWorkspace w = test::SmallBasins(2, 3);
  w.outletFlow = [](int d) { return 3.0 + (d % 30) * 0.2; };  // a fit to score
  w.simYears = 2;                                             // of the three years the files hold
  const CliWorkspace ws(w);
  ASSERT_EQ(ws.Cli({"run"}).status, 0);
  ASSERT_EQ(ws.Cli({"calibrate", "--init"}).status, 0);
  auto results = [&] {
    auto all = test::Snapshot(ws.At("Output"));
    std::erase_if(all, [](const auto& e) { return e.first.starts_with("calibration"); });
    return all;
  };
  const auto before = results();
  const std::string parameters = test::ReadBytes(ws.At("Parameters/当前参数文件.txt"));
  ASSERT_TRUE(test::Ends(ws.Cli({"calibrate", "--evaluations", "8", "--workers", "1"}), 0));
  EXPECT_EQ(results(), before);
  EXPECT_EQ(test::ReadBytes(ws.At("Parameters/当前参数文件.txt")), parameters);
  for (const char* file : {"流域2/Budget.out", "全流域/Daily.out", "Mark.out"})
    EXPECT_TRUE(fs::is_regular_file(ws.Out(std::string("calibration/") + file))) << file;
  for (const char* dir : {"流域2", "全流域"})
    EXPECT_TRUE(test::OutputFilesWhole(ws.Out(std::string("calibration/") + dir)));

  EXPECT_EQ(ws.Fails({"run", "--years", "5"}),
            "tarnwell: Parameters/当前参数文件.txt: --years 5: the parameter file simulates 2 years (SimYears), the "
            "most a run goes; the meteorological files hold 3 year blocks (2000 to 2002): give --years 2 or fewer, "
            "or raise SimYears");
  // A calibration year beyond the data is the calibration file's, on its line and token.
  std::vector<std::string> lines = test::FileLines(ws.At("Parameters/calibration.txt"));
  std::size_t at = 0;
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (lines[i].starts_with("calibration ")) lines[i] = "calibration 2001-2004", at = i + 1;
  ws.Write("Parameters/calibration.txt", lines);
  EXPECT_EQ(ws.Fails("calibrate"), "tarnwell: Parameters/calibration.txt line " + std::to_string(at) +
                                       ": \"2001-2004\" (token 1) names the calibration year 2003, outside the years "
                                       "2000 to 2002 that the 3 year blocks of the meteorological files cover");
  EXPECT_EQ(results(), before);
}

}  // namespace
}  // namespace tarnwell
