// Bad input met by a whole command-line run: the run stops with a message naming the
// file (and line and token where there is one) before it empties any output file, so the
// complete results of an earlier run stay on disk as they were.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "HardeningSupport.h"

namespace tarnwell {
namespace {

using test::FileLines;
using test::OutputFilesWhole;

struct BadRun {
  // A workspace with the complete results of a first, good run.
  BadRun() {
    test::WriteTinyWorkspace(Root(), test::SmallBasins(2, 2));
    test::CliResult r = test::RunCli({"run", "--workspace", Root()}, dir.Path().string());
    EXPECT_EQ(r.status, 0) << r.err;
    earlier = Snapshot();
  }
  std::map<std::string, std::string> Snapshot() const {
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(Root() + "/Output"))
      if (e.is_regular_file() && e.path().filename() != "tarnwell.lock")
        files[e.path().string()] = test::ReadBytes(e.path().string());
    return files;
  }
  std::string Root() const { return dir / "ws"; }
  std::string In(const std::string& rel) const { return Root() + "/input/" + rel; }
  // Runs; expects exit 1 and returns the last line of standard error.
  std::string Fails() const {
    test::CliResult r = test::RunCli({"run", "--workspace", Root()}, dir.Path().string());
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    std::string err = r.err;
    while (!err.empty() && err.back() == '\n') err.pop_back();
    std::size_t nl = err.rfind('\n');
    return nl == std::string::npos ? err : err.substr(nl + 1);
  }
  // The earlier run's results, every file as it was.
  void FirstSubBasinKept() const {
    EXPECT_TRUE(Snapshot() == earlier) << "the failed run changed the earlier results";
    EXPECT_TRUE(OutputFilesWhole(Root() + "/Output"));
  }
  // Replaces the value lines of a grid by `value` everywhere.
  void FillGrid(const std::string& rel, const std::string& value) const {
    std::vector<std::string> lines = FileLines(In(rel));
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (i < 5) {
        text += lines[i] + "\n";
        continue;
      }
      std::size_t n = SplitFields(lines[i]).size();
      for (std::size_t c = 0; c < n; ++c) text += (c ? " " : "") + value;
      text += "\n";
    }
    test::WriteGbkLines(In(rel), text);
  }
  test::TempDir dir;
  std::map<std::string, std::string> earlier;
};

TEST(BadRuns, TokensThatAreNotNumbersNameFileLineAndToken) {
  BadRun run;
  std::vector<std::string> met = FileLines(run.In("乙/met.txt"));
  met[9] = "2000 0 9 0 NaN 10 2 0";
  std::string text;
  for (const auto& l : met) text += l + "\n";
  test::WriteGbkLines(run.In("乙/met.txt"), text);
  EXPECT_EQ(run.Fails(), "tarnwell: input/乙/met.txt line 10: \"NaN\" is not a number (token 4)");
  run.FirstSubBasinKept();
}

TEST(BadRuns, SubBasinWithoutAnInsideCellIsRefusedByName) {
  BadRun run;
  run.FillGrid("乙/dem.grd", "-9999");
  std::string err = run.Fails();
  EXPECT_NE(err.find("input/乙/dem.grd"), std::string::npos) << err;
  EXPECT_NE(err.find("乙"), std::string::npos) << err;
  EXPECT_NE(err.find("no cell inside"), std::string::npos) << err;
  run.FirstSubBasinKept();
}

TEST(BadRuns, SubBasinWithoutAreaIsRefusedNamingItsLandUseGrid) {
  // Every land-use code at 150 or more: no area to turn the outlet discharge into a
  // depth. Refused before anything of that sub-basin's year is computed, instead of
  // writing infinite values that no reader could take back.
  BadRun run;
  run.FillGrid("乙/lu.grd", "200");
  std::string err = run.Fails();
  EXPECT_NE(err.find("input/乙/lu.grd"), std::string::npos) << err;
  EXPECT_NE(err.find("乙"), std::string::npos) << err;
  run.FirstSubBasinKept();
}

TEST(BadRuns, ShortPathFileAndShortSubBasinList) {
  {
    // Three lines: the slope entry names the sub-basin directory itself.
    BadRun run;
    test::WriteGbkLines(run.Root() + "/Parameters/缺省路径文件.txt", "dem.grd\nlu.grd\nmet.txt\n");
    std::string err = run.Fails();
    EXPECT_EQ(err, "tarnwell: Parameters/当前路径文件.txt line 5: the line is missing, so the file is \"input/甲/\", "
                   "which cannot be opened: "
                   "it is a directory");
    EXPECT_TRUE(OutputFilesWhole(run.Root() + "/Output"));
  }
  {
    // A count of three over two lines: start-up stops at the missing third line.
    BadRun run;
    std::vector<std::string> list = FileLines(run.In("子流域.in"));
    test::WriteGbkLines(run.In("子流域.in"), "3\n" + list[1] + "\n" + list[2] + "\n");
    EXPECT_EQ(run.Fails(), "tarnwell: input/子流域.in line 4: token 0 is missing (the line has 0 tokens)");
  }
}

}  // namespace
}  // namespace tarnwell
