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

TEST(RunSettings, TheFileAndTheOptionChooseTheYearBoundaryAndTheGroundwaterSum) {
  const test::CliWorkspace ws(test::SmallBasins(2, 2));
  auto run = [&](std::vector<std::string> args) {
    args.insert(args.begin(), "run");
    EXPECT_TRUE(test::Ends(ws.Cli(args), 0));
    return test::OutputFiles(ws.Root());
  };
  const auto mean = run({});
  const auto cells = run({"--carry-over", "cells"});
  EXPECT_NE(mean, cells);
  // Written by the program (as the window's switch does), read by the next run.
  Session session(ws.Root());
  ReadStartUp(session);
  SaveRunSettings(session, RunSettings{CarryOver::Cells});
  EXPECT_EQ(LoadRunSettings(session).carryOver, CarryOver::Cells);
  EXPECT_EQ(run({}), cells);
  EXPECT_EQ(run({"--carry-over", "mean"}), mean);  // the option over the file
  // The groundwater sum, beside it in the same file.
  const auto once = run({"--groundwater-sum", "once", "--carry-over", "mean"});
  EXPECT_NE(once, mean);
  SaveRunSettings(session, RunSettings{CarryOver::Mean, GroundwaterSum::Once});
  EXPECT_EQ(LoadRunSettings(session).groundwaterSum, GroundwaterSum::Once);
  EXPECT_EQ(run({}), once);
  EXPECT_EQ(run({"--groundwater-sum", "twice"}), mean);

  // What the file cannot say, each named by its line and its token; the results stay.
  const std::vector<std::pair<std::string, std::string>> bad = {
      {"carry_over = cell\n", "run.txt line 1: carry_over \"cell\" is neither mean nor cells"},
      {"# boundary\n\ncarryover = cells\n", "run.txt line 3: unknown setting \"carryover\""},
      {"carry_over cells\n", "run.txt line 1: \"carry_over cells\" is no setting"},
      {"carry_over = mean\ncarry_over = cells\n", "run.txt line 2: carry_over is set twice"},
      {"groundwater_sum = thrice\n", "run.txt line 1: groundwater_sum \"thrice\" is neither twice nor once"},
  };
  for (const auto& [text, message] : bad) {
    SCOPED_TRACE(text);
    test::WriteGbkLines(ws.At("Parameters/run.txt"), text);
    EXPECT_TRUE(test::Ends(ws.Cli({"run"}), 1, message));
    EXPECT_EQ(test::OutputFiles(ws.Root()), mean);
  }
  EXPECT_TRUE(test::Ends(ws.Cli({"run", "--carry-over", "cell"}), 2));
  EXPECT_TRUE(test::Ends(ws.Cli({"run", "--groundwater-sum", "thrice"}), 2));
}

}  // namespace
}  // namespace tarnwell
