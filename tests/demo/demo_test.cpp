// The demo workspace examples/demo (the Moselle to Perl as two sub-basins): it must load
// as a run loads it, with the areas and years of the source data (the whole-run baseline
// runs it). Start-up writes Output/ and Mark.out, so every test
// works on a copy and the committed files stay as they are.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "app/Check.h"
#include "app/Session.h"
#include "app/Startup.h"
#include "inputs/TextFile.h"
#include "inputs/WGetData.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;

const fs::path kDemo = fs::path(TARNWELL_SOURCE_DIR) / "examples" / "demo";

// The demo without any output of earlier runs.
void CopyDemo(const test::TempDir& dir) {
  for (const char* part : {"input", "Parameters"})
    fs::copy(kDemo / part, dir.Path() / part, fs::copy_options::recursive);
}

TEST(DemoWorkspace, ChecksAsTwoSubBasinsOfFourYears) {
  ASSERT_TRUE(fs::is_directory(kDemo)) << kDemo;
  test::TempDir dir;
  CopyDemo(dir);
  Session session(dir.Path().string());
  FormCreate(session);
  ASSERT_EQ(session.state.SubBasinCount, 2);
  EXPECT_EQ(session.listItems, (std::vector<std::string>{"子上游", "子下游", "全流域"}));
  // The upstream reach to Perl takes about a day and a half; the downstream one is short.
  EXPECT_DOUBLE_EQ(session.state.SubBasinK[1], 36);
  EXPECT_DOUBLE_EQ(session.state.SubBasinK[2], 12);
  EXPECT_DOUBLE_EQ(session.state.SubBasinX[1], 0.2);

  std::ostringstream out;
  ASSERT_NO_THROW(RunCheck(session, out));
  // Rows of the table: number, name, size, inside cells, area, years, season days.
  std::map<int, std::vector<std::string>> rows;
  std::istringstream lines(out.str());
  std::string line;
  std::getline(lines, line);  // heading
  while (std::getline(lines, line) && !line.empty()) {
    std::vector<std::string> t = SplitFields(line);
    rows[std::stoi(t.at(0))] = t;
  }
  ASSERT_EQ(rows.size(), 2u) << out.str();
  EXPECT_EQ(rows[1][5], "15038");
  EXPECT_EQ(rows[1][6], "3759.500");
  EXPECT_EQ(rows[1][7], "4");
  EXPECT_EQ(rows[2][5], "31507");
  EXPECT_EQ(rows[2][6], "7876.750");
  EXPECT_EQ(rows[2][7], "4");
  EXPECT_DOUBLE_EQ(session.params.Latitude, 49.5);
  EXPECT_EQ(session.params.SimYears, 4);
  // Start-up wrote its output directory and marker into the copy.
  EXPECT_TRUE(fs::is_regular_file(dir.Path() / "Output" / "Mark.out"));
}

}  // namespace
}  // namespace tarnwell
