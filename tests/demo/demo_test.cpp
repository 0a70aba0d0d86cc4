// The demo workspace examples/demo (the Moselle to Perl as two sub-basins): it must load
// as a run loads it, with the areas and years of the source data, and its files must be
// in the model's own text form. Start-up writes Output/ and Mark.out, so every test
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

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

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

TEST(DemoWorkspace, GridsAgreeCellByCell) {
  test::TempDir dir;
  CopyDemo(dir);
  Session session(dir.Path().string());
  FormCreate(session);
  ModelState& s = session.state;
  for (int k = 1; k <= s.SubBasinCount; ++k) {
    SCOPED_TRACE("sub-basin " + std::to_string(k));
    s.ClearGrids();
    LoadPaths(session, k);
    {
      TextReader f = session.Open(s.InputPath[1]);
      ReadTerrainGrid(s, f);
    }
    {
      TextReader f = session.Open(s.InputPath[2]);
      ReadLandUseGrid(s, f);
    }
    {
      TextReader f = session.Open(s.InputPath[5]);
      ReadSlopeGrid(s, f);
    }
    // The header extents make the model's cell width and height 500 m.
    EXPECT_DOUBLE_EQ((s.GridXMax - s.GridXMin) / s.GridRows, 500.0);
    EXPECT_DOUBLE_EQ((s.GridYMax - s.GridYMin) / s.GridCols, 500.0);
    long inside = 0, mismatched = 0, noConductivity = 0, badClass = 0;
    for (int r = 1; r <= s.GridRows; ++r)
      for (int c = 1; c <= s.GridCols; ++c) {
        std::size_t i = s.Cell(r, c);
        bool terrainInside = s.SurfElev[i] > 0 && s.SurfElev[i] < kNoDataLimit;
        bool landInside = s.LandUse[i] < 150;
        bool slopeInside = s.SlopeSine[i] >= 0;
        if (terrainInside != landInside || terrainInside != slopeInside) ++mismatched;
        if (!terrainInside) continue;
        ++inside;
        if (s.GwConductivity[i] == 0) ++noConductivity;
        // Every inside code falls into one of the model's land-use classes.
        int code = static_cast<int>(s.LandUse[i]);
        bool classed = code < 20 || (code > 20 && code < 30) || (code > 30 && code < 40) ||
                       (code > 40 && code < 50) || (code > 50 && code < 60);
        if (!classed || code <= 0 || s.LandUse[i] != code) ++badClass;
        EXPECT_LE(s.SlopeSine[i], std::sin(45.0 * 3.14159265358979 / 180));
      }
    EXPECT_EQ(mismatched, 0);
    EXPECT_EQ(noConductivity, 0) << "the terrain z maximum must lie above the highest cell";
    EXPECT_EQ(badClass, 0);
    EXPECT_DOUBLE_EQ(s.BasinArea, inside * 0.25);
  }
}

// Lines of a model text file: GBK decoded, each line ended by CR LF and nothing else.
std::vector<std::string> ModelLines(const fs::path& path) {
  std::string bytes = test::ReadBytes(path.string());
  EXPECT_FALSE(bytes.empty()) << path;
  EXPECT_TRUE(bytes.size() >= 2 && bytes.substr(bytes.size() - 2) == "\r\n") << path;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n') {
      EXPECT_TRUE(i > 0 && bytes[i - 1] == '\r') << path << " byte " << i;
    }
    if (bytes[i] == '\r') {
      EXPECT_TRUE(i + 1 < bytes.size() && bytes[i + 1] == '\n') << path << " byte " << i;
    }
  }
  std::vector<std::string> lines;
  std::string text = DecodeText(bytes), cur;
  for (char ch : text) {
    if (ch == '\r') continue;
    if (ch == '\n') {
      lines.push_back(cur);
      cur.clear();
    } else {
      cur += ch;
    }
  }
  return lines;
}

TEST(DemoWorkspace, TextFilesInTheModelsOwnForm) {
  // The parameter files: 34 lines, current equal to default, the dialog's layout.
  std::vector<std::string> params = ModelLines(kDemo / "Parameters" / "当前参数文件.txt");
  EXPECT_EQ(params.size(), 34u);
  EXPECT_EQ(test::ReadBytes((kDemo / "Parameters" / "当前参数文件.txt").string()),
            test::ReadBytes((kDemo / "Parameters" / "缺省参数文件.txt").string()));
  EXPECT_EQ(params.at(0), "纬度 49.5");
  EXPECT_EQ(params.at(2), "模拟年数 4");
  EXPECT_EQ(SplitFields(params.at(26)).at(2), "黄壤性土");
  EXPECT_EQ(SplitFields(params.at(27)).at(6), "高山寒漠土");
  for (const std::string& l : params) EXPECT_EQ(l.find("  "), std::string::npos) << l;
  std::vector<std::string> paths = ModelLines(kDemo / "Parameters" / "当前路径文件.txt");
  EXPECT_EQ(paths.size(), 5u);
  EXPECT_EQ(ModelLines(kDemo / "Parameters" / "缺省路径文件.txt"), paths);
  for (const char* clr : {"slope.clr", "land.clr", "landuse.clr"}) {
    std::vector<std::string> l = ModelLines(kDemo / "Parameters" / clr);
    ASSERT_GE(l.size(), 3u) << clr;
    EXPECT_EQ(l[0].rfind("ColorMap", 0), 0u) << clr;
    EXPECT_EQ(SplitFields(l[1]).at(0), "0") << clr;
    EXPECT_EQ(SplitFields(l.back()).at(0), "100") << clr;
  }
}

TEST(DemoWorkspace, SeriesCoverTheSameYearsAndShareThePerlDischarge) {
  // The outlet file: a heading and one line per day for 1990-1993.
  std::vector<std::string> river = ModelLines(kDemo / "input" / "RiverDaily.in");
  std::vector<double> perl;
  std::size_t at = 0;
  for (int y = 1990; y <= 1993; ++y) {
    ++at;  // heading
    int days = IsLeap(y) ? 366 : 365;
    for (int d = 0; d < days; ++d, ++at) {
      FieldLine f(river.at(at), "RiverDaily.in", static_cast<long>(at + 1));
      EXPECT_EQ(f.Token(0).substr(0, 4), std::to_string(y));
      perl.push_back(f.Real(1));
      EXPECT_EQ(f.Real(2), 0.0);
    }
  }
  EXPECT_EQ(at, river.size());
  ASSERT_EQ(perl.size(), 1461u);

  // The weather files: the same years, blocks of the same lengths; their discharges are
  // Perl's shared out by drainage area, so together they give Perl's.
  std::vector<double> sum(perl.size(), 0.0);
  for (const char* name : {"上游", "下游"}) {
    std::vector<std::string> met = ModelLines(kDemo / "input" / name / "weather.in");
    std::size_t i = 0, day = 0;
    for (int y = 1990; y <= 1993; ++y) {
      FieldLine h(met.at(i++), name, 0);
      EXPECT_EQ(h.Integer(0), y);
      EXPECT_EQ(h.Integer(1), 12);
      EXPECT_EQ(h.Integer(2), 1);
      EXPECT_EQ(h.Integer(3), 1);
      EXPECT_GT(h.Integer(4), 186);
      int days = IsLeap(y) ? 366 : 365;
      for (int d = 0; d < days; ++d, ++day) {
        FieldLine f(met.at(i), name, static_cast<long>(i + 1));
        ++i;
        EXPECT_EQ(f.Integer(0), y);
        f.Integer(1);
        f.Integer(2);
        f.Integer(3);
        EXPECT_GE(f.Real(4), 0.0);
        EXPECT_GT(f.Real(5), -30.0);
        EXPECT_LT(f.Real(5), 35.0);
        sum[day] += f.Real(6);
        EXPECT_EQ(f.Real(7), 0.0);
      }
    }
    EXPECT_EQ(i, met.size()) << name;
  }
  for (std::size_t d = 0; d < perl.size(); ++d) EXPECT_NEAR(sum[d], perl[d], 0.002) << d;
}

}  // namespace
}  // namespace tarnwell
