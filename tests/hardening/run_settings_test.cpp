// The year boundary as a hydrologist sets it: Parameters/run.txt beside the parameter file,
// --carry-over on the command line over it; a file the program cannot read names its line
// and its token.
#include <gtest/gtest.h>

#include "HardeningSupport.h"
#include "app/RunSettings.h"
#include "app/Session.h"
#include "app/Startup.h"
#include "model/Errors.h"

namespace tarnwell {
namespace {

TEST(RunSettings, TheFileAndTheOptionChooseTheYearBoundaryAndTheGroundwaterSum) {
  const test::CliWorkspace ws(test::SmallBasins(2, 2));
  auto run = [&](std::vector<std::string> args) {
    args.insert(args.begin(), "run");
    EXPECT_TRUE(test::Ends(ws.Cli(args), 0));
    return test::OutputFiles(ws.Root());
  };
  const auto mean = run({});
  // Written by the program (as the window's switch does), read by the next run; the option
  // over the file.
  Session session(ws.Root());
  ReadStartUp(session);
  SaveRunSettings(session, RunSettings{CarryOver::Cells});
  const auto cells = run({});
  EXPECT_NE(cells, mean);
  EXPECT_EQ(run({"--carry-over", "mean"}), mean);
  SaveRunSettings(session, RunSettings{CarryOver::Mean, GroundwaterSum::Once});
  EXPECT_NE(run({}), mean);
  EXPECT_EQ(run({"--groundwater-sum", "twice"}), mean);
}

TEST(RunSettings, WhatTheFileCannotSayIsNamedByLineAndToken) {
  const test::CliWorkspace ws(test::SmallBasins(1, 1));
  Session session(ws.Root());
  ReadStartUp(session);
  for (const auto& [text, message] : std::vector<std::pair<std::string, std::string>>{
           {"carry_over = cell\n", "line 1: carry_over \"cell\" is neither mean nor cells"},
           {"# boundary\n\ncarryover = cells\n", "line 3: unknown setting \"carryover\""},
           {"carry_over cells\n", "line 1: \"carry_over cells\" is no setting"},
           {"carry_over = mean\ncarry_over = cells\n", "line 2: carry_over is set twice"},
           {"groundwater_sum = thrice\n", "line 1: groundwater_sum \"thrice\" is neither twice nor once"}}) {
    test::WriteGbkLines(ws.At("Parameters/run.txt"), text);
    try {
      LoadRunSettings(session);
      ADD_FAILURE() << text << " was read";
    } catch (const InputError& e) {
      EXPECT_EQ(std::string(e.what()).rfind("Parameters/run.txt " + message, 0), 0u) << e.what();
    }
  }
}

}  // namespace
}  // namespace tarnwell
