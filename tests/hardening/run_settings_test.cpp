// The year boundary as a hydrologist sets it: Parameters/run.txt beside the parameter file,
// --carry-over on the command line over it; a file the program cannot read names its line
// and its token, before anything is written.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "HardeningSupport.h"
#include "app/RunSettings.h"
#include "app/Session.h"
#include "app/Startup.h"
#include "model/Errors.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;

TEST(RunSettings, TheFileAndTheOptionChooseTheYearBoundary) {
  test::TempDir dir;
  const std::string root = dir / "ws";
  test::TinyWorkspace w = test::SmallBasins(2, 2);
  w.simYears = 2;
  test::WriteTinyWorkspace(root, w);
  const std::string settings = root + "/Parameters/run.txt";
  auto run = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {"run", "--workspace", root});
    const test::CliResult r = test::RunCliWith(args, dir.Path().string(), {});
    EXPECT_TRUE(r.exited && r.status == 0) << r.err;
    return test::OutputFiles(root);
  };
  const auto mean = run({});
  const auto cells = run({"--carry-over", "cells"});
  EXPECT_NE(mean, cells);
  // Written by the program (as the window's switch does), read by the next run.
  Session session(root);
  ReadStartUp(session);
  SaveRunSettings(session, RunSettings{CarryOver::Cells});
  EXPECT_EQ(LoadRunSettings(session).carryOver, CarryOver::Cells);
  EXPECT_EQ(run({}), cells);
  EXPECT_EQ(run({"--carry-over", "mean"}), mean);  // the option over the file

  // What the file cannot say, each named by its line and its token; the results stay.
  const std::vector<std::pair<std::string, std::string>> bad = {
      {"carry_over = cell\n", "run.txt line 1: carry_over \"cell\" is neither mean nor cells"},
      {"# boundary\n\ncarryover = cells\n", "run.txt line 3: unknown setting \"carryover\""},
      {"carry_over cells\n", "run.txt line 1: \"carry_over cells\" is no setting"},
      {"carry_over = mean\ncarry_over = cells\n", "run.txt line 2: carry_over is set twice"},
  };
  for (const auto& [text, message] : bad) {
    SCOPED_TRACE(text);
    test::WriteGbkLines(settings, text);
    const test::CliResult r = test::RunCliWith({"run", "--workspace", root}, dir.Path().string(), {});
    EXPECT_TRUE(r.exited && r.status == 1);
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    EXPECT_EQ(test::OutputFiles(root), mean);
  }
  const test::CliResult r = test::RunCliWith({"run", "--workspace", root, "--carry-over", "cell"}, dir.Path().string(),
                                             {});
  EXPECT_TRUE(r.exited && r.status == 2) << r.err;
}

}  // namespace
}  // namespace tarnwell
