#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"
#include "app/Session.h"
#include "app/Startup.h"
#include "app/Workspace.h"
#include "model/Errors.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;

TEST(Workspace, PathRules) {
  test::TempDir dir;
  fs::create_directories(dir.Path() / "Input" / "流域A");
  test::WriteBytes(dir / "Input/流域A/DEM.grd", "x");
  Workspace ws(dir.Path());
  EXPECT_EQ(ws.ProgramDir(), dir.Path().string() + "/bin/");
  // Backslashes separate; case is matched when the exact name does not exist.
  EXPECT_EQ(ws.Resolve(ws.ProgramDir() + "..\\input\\流域A\\dem.GRD"), dir / "Input/流域A/DEM.grd");
  EXPECT_TRUE(ws.FileExists(ws.ProgramDir() + "../INPUT/流域A/dem.grd"));
  // Trailing blanks are part of the name: the file is then not found.
  EXPECT_FALSE(ws.FileExists(ws.ProgramDir() + "..\\input\\流域A\\dem.grd "));
  EXPECT_EQ(ws.Display(ws.ProgramDir() + "..\\Parameters\\当前参数文件.txt"), "Parameters/当前参数文件.txt");
  // New directories are created as spelled, or found in another case.
  EXPECT_TRUE(ws.CreateDirectory(ws.ProgramDir() + "..\\Output"));
  EXPECT_TRUE(fs::is_directory(dir.Path() / "Output"));
  EXPECT_TRUE(ws.CreateDirectory(ws.ProgramDir() + "..\\output"));
  EXPECT_FALSE(fs::exists(dir.Path() / "output"));
}

void WriteMinimalWorkspace(const test::TempDir& dir, const std::string& list) {
  test::WriteGbkLines(dir / "input/子流域.in", list);
  test::WriteGbkLines(dir / "Parameters/缺省路径文件.txt", "dem.grd\nlu.grd\nmet.txt\nwhatever.txt\nslope.grd\n");
  test::WriteGbkLines(dir / "Parameters/当前路径文件.txt", "old\n");
  test::WriteGbkLines(dir / "Parameters/缺省参数文件.txt", test::ParameterFileText());
}

TEST(Startup, ListItemsDefaultsCopiedAndMarkerCreated) {
  test::TempDir dir;
  WriteMinimalWorkspace(dir, "3\n甲 24 0.2\n乙 12 0.3\n丙,0,0.5\n");
  Session session(dir.Path().string());
  StartUpWorkspace(session);
  EXPECT_EQ(session.state.SubBasinCount, 3);
  EXPECT_EQ(session.listItems, (std::vector<std::string>{"子甲", "子乙", "子丙", "全流域"}));
  EXPECT_DOUBLE_EQ(session.state.SubBasinK[1], 24);
  EXPECT_DOUBLE_EQ(session.state.SubBasinX[3], 0.5);
  // The defaults restore the current files inside the parameters directory.
  EXPECT_EQ(test::ReadBytes(dir / "Parameters/当前路径文件.txt"), test::ReadBytes(dir / "Parameters/缺省路径文件.txt"));
  EXPECT_TRUE(fs::is_regular_file(dir.Path() / "Parameters/当前参数文件.txt"));
  EXPECT_TRUE(fs::is_directory(dir.Path() / "Output"));
  EXPECT_TRUE(fs::is_regular_file(dir.Path() / "Output/Mark.out"));
  // Sub-basin 3 reads from its own directory; entry 4 is always the season file.
  LoadPaths(session, 3);
  const std::string& pd = session.state.ProgramDir;
  EXPECT_EQ(session.state.InputPath[1], pd + "..\\input\\丙\\dem.grd");
  EXPECT_EQ(session.state.InputPath[4], pd + "..\\Parameters\\season.txt");
  EXPECT_EQ(session.state.InputPath[5], pd + "..\\input\\丙\\slope.grd");
}

TEST(Startup, BadListKeepsEarlierSubBasins) {
  test::TempDir dir;
  WriteMinimalWorkspace(dir, "3\n甲 24 0.2\n乙 twelve 0.3\n");
  Session session(dir.Path().string());
  try {
    StartUpWorkspace(session);
    FAIL();
  } catch (const ConversionError& e) {
    EXPECT_STREQ(e.what(), "input/子流域.in line 3: \"twelve\" is not a number (token 1)");
  }
  EXPECT_EQ(session.state.SubBasinCount, 1);
  EXPECT_EQ(session.listItems, std::vector<std::string>{"子甲"});
}

}  // namespace
}  // namespace tarnwell
