// Hand-edited inputs: values, sizes and encodings a user's file may carry. Each reader either
// reads them as the model defines or refuses them naming the file, the line and the token,
// keeping what it had read before. The readers are called here directly; careless_test.cpp
// runs the program on a few of them end to end.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <sstream>

#include "HardeningSupport.h"
#include "calibration/CalibrationFile.h"
#include "inputs/TextFile.h"
#include "inputs/WGetData.h"
#include "model/Errors.h"
#include "model/ModelState.h"
#include "parameters/ParaDialog.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;
using test::FileLines;

TextReader Crlf(const std::string& text, const std::string& name) {
  std::string crlf;
  for (char c : text) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  return TextReader::FromString(EncodeGbk(crlf), name);
}

// The reader's failure message on `text`, or "no error"; the error names its file and line.
std::string MessageOf(const std::function<void(TextReader&)>& read, const std::string& name, const std::string& text) {
  TextReader r = Crlf(text, name);
  try {
    read(r);
  } catch (const TarnwellError& e) {
    EXPECT_EQ(e.File(), name);
    EXPECT_NE(std::string(e.what()).find(" line " + std::to_string(e.Line()) + ": "), std::string::npos) << e.what();
    return e.what();
  }
  return "no error";
}

// The parameter file with `from` replaced by `to`.
std::string Params(const std::string& from, const std::string& to) {
  std::string t = test::ParameterFileText();
  t.replace(t.find(from), from.size(), to);
  return t;
}

TEST(Encodings, WhatEditorsSaveIsReadAsTheLinesTheyShow) {
  // A byte of no encoding (neither UTF-8 nor GBK): kept as '?' in its token, the line's
  // numbers survive.
  TextReader r = TextReader::FromString(
      "\xEF\xBB\xBF"
      "a\xFF 2.5\r\n",
      "f.txt");
  FieldLine line = r.ReadFields();
  EXPECT_TRUE(IsValidUtf8(line.Token(0)));
  EXPECT_DOUBLE_EQ(line.Real(1), 2.5);
  // "Unicode" (UTF-16 with its mark) from a Windows editor; old Mac line ends (CR alone).
  std::string utf16 = "\xFF\xFE";
  for (char16_t c : std::u16string(u"纬度 30.5\r\n蒸发 1\r\n"))
    utf16 += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  TextReader u = TextReader::FromString(utf16, "p.txt");
  EXPECT_EQ(u.ReadLine(), "纬度 30.5");
  EXPECT_EQ(u.ReadLine(), "蒸发 1");
  TextReader cr = TextReader::FromString(EncodeGbk("2\r甲 24 0.2\r"), "l.in");
  EXPECT_EQ(cr.ReadLine(), "2");
  EXPECT_EQ(cr.ReadFields().Token(0), "甲");
  EXPECT_EQ(cr.LineNumber(), 2);
}

TEST(BadValues, EachReaderNamesTheFileTheLineAndTheToken) {
  ModelState s;
  ParameterSet p;
  const std::function<void(TextReader&)> terrain = [&](TextReader& r) { ReadTerrainGrid(s, r); };
  const std::function<void(TextReader&)> landUse = [&](TextReader& r) {
    TextReader t = Crlf("DSAA\n1 1\n0 1\n0 1\n0 10\n5\n", "dem.grd");
    ReadTerrainGrid(s, t);
    ReadLandUseGrid(s, r);
  };
  const std::function<void(TextReader&)> params = [&](TextReader& r) {
    p = ParameterSet{};
    p.EtAvailabilityParam = 77;
    LoadParameters(r, p);
  };
  const std::string dem = "input/甲/dem.grd", lu = "input/甲/lu.grd", par = "Parameters/当前参数文件.txt";
  const std::string unit = "\n0 1\n0 1\n0 10\n";  // the extents of a grid of unit cells
  struct Case {
    const std::function<void(TextReader&)>& read;
    const std::string& file;
    std::string text, message;
    std::function<void()> kept = [] {};  // what the reader had read before stays
  };
  const std::vector<Case> cases{
      {terrain, dem, "DSAA\n3 1" + unit + "5 nan 6\n", "line 6: \"nan\" is not a number (token 1)"},
      {terrain, dem, "DSAA\n3 1" + unit + "5 6 7 NaN\n", ""},  // tokens past the last column are not read
      {terrain, dem, "DSAA\n2.0 3\n", "line 2: \"2.0\" is not an integer (token 0)"},
      {terrain, dem, "DSAA\n99999999999 2\n", "line 2: \"99999999999\" is not an integer (token 0)"},
      {terrain, dem, "DSAA\n0 3\n", "line 2: grid size 0 x 3 (columns x rows) must be positive"},
      {terrain, dem, "DSAA\n2 1" + unit + "5\n", "line 6: token 1 is missing (the line has 1 token)"},
      // A header claiming more cells than the file can hold is refused before the grids are made.
      {terrain, dem, "DSAA\n2 2" + unit + "5\n",
       "line 2: the header claims 2 x 2 cells (columns x rows), at least 7 bytes"},
      // A reversed or empty extent gives cells without size.
      {terrain, dem, "DSAA\n1 1\n0 -50\n0 1\n0 10\n5\n",
       "line 3: the x extent runs from 0 to -50: its maximum (token 1)"},
      {landUse, lu, "DSAA\n2 1" + unit + "1 1\n",
       "line 2: land-use grid is 2 x 1 (columns x rows) but the terrain grid is 1 x 1"},
      {params, par, Params("日正温融雪量 3.0", "日正温融雪量 Infinity"),
       "line 15: \"Infinity\" is not a number (token 1)",
       [&] {
         EXPECT_DOUBLE_EQ(p.WaterTableExponent, 0.5);
         EXPECT_DOUBLE_EQ(p.SnowMeltRate, 0);
       }},
      {params, par, Params("模拟年数 2", "模拟年数 3.0"), "line 3: \"3.0\" is not an integer (token 1)",
       [&] {
         EXPECT_DOUBLE_EQ(p.Latitude, 30.5);
         EXPECT_DOUBLE_EQ(p.EtAvailabilityParam, 77);
       }},
      // Line 27 with four bare values between no soil names.
      {params, par, Params("紫色土 0.31 黄壤性土 0.32 黄棕壤 0.33 酸性棕壤 0.34", "紫色土 0.31 0.32 0.33 0.34"),
       "line 27: token 5 is missing (the line has 5 tokens)", [&] { EXPECT_DOUBLE_EQ(p.Erodibility[0], 0.25); }},
      {params, par, "纬度 1\n蒸发折算系数 2\n", "line 3: token 1 is missing (the line has 0 tokens)"},  // cut short
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    // The message begins with these words.
    EXPECT_EQ(MessageOf(c.read, c.file, c.text).rfind(c.message.empty() ? "no error" : c.file + " " + c.message, 0),
              0u);
    c.kept();
  }
}

TEST(BadValues, HeaderSizesBeyondMemoryAreRefusedBeforeAnythingChanges) {
  // A terrain grid read; then headers far beyond memory (their product overflowing 32 and 64
  // bits) in each grid reader: refused at line 2, the grids already read stay as they were.
  ModelState s;
  TextReader t = Crlf("DSAA\n2 1\n0 10\n0 10\n0 100\n7 8\n", "dem.grd");
  ReadTerrainGrid(s, t);
  for (const char* sizes : {"2147483647 2147483647", "65536 65536"}) {
    for (bool landUse : {false, true}) {
      SCOPED_TRACE(std::string(sizes) + (landUse ? " land use" : " terrain"));
      const std::string message = MessageOf(
          [&](TextReader& h) { landUse ? ReadLandUseGrid(s, h) : ReadTerrainGrid(s, h); }, "g.grd",
          std::string("DSAA\n") + sizes + "\n0 1\n0 1\n0 1\n");
      EXPECT_EQ(message.rfind("g.grd line 2: grid of ", 0), 0u) << message;
      EXPECT_TRUE(test::Has(message, "larger than this machine's memory allows")) << message;
      EXPECT_EQ(s.CellCount(), 2u);
      EXPECT_DOUBLE_EQ(s.SurfElev[1], 8);
    }
  }
  EXPECT_GT(MaxGridCells(), 4000000LL);  // a full 2000 x 2000 grid always fits
}

// Lines of a workspace file changed by `edit`.
using Spoil = std::function<void(const test::CliWorkspace&)>;
Spoil Edit(const std::string& rel, const std::function<void(std::vector<std::string>&)>& edit) {
  return [rel, edit](const test::CliWorkspace& ws) {
    std::vector<std::string> lines = FileLines(ws.At(rel));
    edit(lines);
    ws.Write(rel, lines);
  };
}
Spoil Line(const std::string& rel, std::size_t n, const std::string& text) {
  return Edit(rel, [n, text](std::vector<std::string>& lines) { lines.at(n - 1) = text; });
}
// The value lines of a grid, every value `value`.
Spoil Fill(const std::string& rel, const std::string& value) {
  return Edit(rel, [value](std::vector<std::string>& lines) {
    for (std::size_t i = 5; i < lines.size(); ++i) {
      const std::size_t n = SplitFields(lines[i]).size();
      lines[i].clear();
      for (std::size_t c = 0; c < n; ++c) lines[i] += (c ? " " : "") + value;
    }
  });
}

// Each bad input of a workspace of two sub-basins and two years, named by its file, line and
// token by start-up and the check: the message begins with these words.
TEST(CarelessInput, EachBadInputIsNamedByFileLineAndToken) {
  auto write = [](const std::string& rel, const std::string& text) {
    return [rel, text](const test::CliWorkspace& ws) { test::WriteGbkLines(ws.At(rel), text); };
  };
  const std::vector<std::pair<Spoil, std::string>> cases{
      // 2000 is a leap year: its first simulated day lies in 1 .. 366.
      {Line("input/乙/met.txt", 1, "2000 12 -2000000000 1 500"), "input/乙/met.txt line 1: \"-2000000000\" (token 2)"},
      {Line("input/乙/met.txt", 1, "2000 12 367 1 500"), "input/乙/met.txt line 1: \"367\" (token 2) is the first"},
      {Line("input/甲/met.txt", 1, "2000 13 1 1 500"), "input/甲/met.txt line 1: \"13\" (token 1) is the number of"},
      {Line("Parameters/缺省参数文件.txt", 24, "土壤层包气带厚度 100 0 600"),
       "Parameters/当前参数文件.txt line 24: LayerThickness2 = 0 (token 2) cannot be used"},
      // Muskingum x = 1.5 with K = 24 h: the routing divides by 12 + (1 - x) K = 0.
      {Line("input/子流域.in", 3, "乙 24 1.5"),
       "input/子流域.in line 3: Muskingum K = 24 h and x = 1.5 (tokens 1 and 2)"},
      {Line("input/乙/met.txt", 11, "2000 0 10 0 1e308 10 2 0"),
       "input/乙/met.txt line 11: \"1e308\" (token 4) is beyond"},
      // Control characters of a token are shown escaped, never sent to the terminal.
      {Line("input/甲/met.txt", 5, "2000 0 4 0 \x1b[2J 10 2 0"),
       "input/甲/met.txt line 5: \"\\x1b[2J\" is not a number"},
      {Edit("input/甲/met.txt", [](auto& met) { met.insert(met.begin() + 100, met.at(100)); }),
       "input/甲/met.txt line 368: the block of 2000 (header at line 1) has more day lines than the 366"},
      // The second sub-basin's file holds another year: it is named, not the first's.
      {[](const test::CliWorkspace& ws) {
         test::TinyWorkspace w = test::SmallBasins(2, 2);
         w.subBasins[1].years[0].year = 2001;
         test::WriteTinyWorkspace(ws.Root(), w);
       },
       "input/乙/met.txt line 1: year block 1 is 2001, but sub-basin 1 (甲) has 2000 there"},
      {Edit("input/RiverDaily.in", [](auto& river) { river.erase(river.begin() + 50); }),
       "Input/RiverDaily.in line 367: this is no day line"},
      {Line("input/子流域.in", 1, "0"), "input/子流域.in line 1: \"0\" (token 0): the sub-basin list must hold"},
      // A count of three over two lines: start-up stops at the missing third line.
      {Line("input/子流域.in", 1, "3"), "input/子流域.in line 4: token 0 is missing"},
      {Line("input/甲/met.txt", 2, std::string("\0\x01", 2)), "input/甲/met.txt line 2: not a text file: byte 1 of"},
      // A blank at the end of a path file's line is part of the name (the format is fixed);
      // with three lines, the slope entry names the sub-basin directory itself.
      {write("Parameters/缺省路径文件.txt", "dem.grd\nlu.grd \nmet.txt\nseason.txt\nslope.grd\n"),
       "Parameters/当前路径文件.txt line 2: \"lu.grd \" names \"input/甲/lu.grd \", which cannot be opened: it does "
       "not "
       "exist (the blank"},
      {write("Parameters/缺省路径文件.txt", "dem.grd\nlu.grd\nmet.txt\n"),
       "Parameters/当前路径文件.txt line 5: the line is missing, so the file is \"input/甲/\", which cannot be opened: "
       "it is a directory"},
      {[](const test::CliWorkspace& ws) {
         fs::remove(ws.At("Parameters/当前参数文件.txt"));
         fs::create_symlink(ws.dir / "elsewhere.txt", ws.At("Parameters/当前参数文件.txt"));
       },
       "Parameters/当前参数文件.txt: not written: it is reached through a symbolic link that leads outside"},
      {Fill("input/乙/dem.grd", "-9999"), "input/乙/dem.grd: sub-basin 2 (乙) has no cell inside the basin"},
      // Every land-use code at 150 or more: no area to turn the outlet discharge into a depth.
      {Fill("input/乙/lu.grd", "200"), "input/乙/lu.grd: sub-basin 2 (乙) has no area"},
  };
  for (const auto& [spoil, message] : cases) {
    SCOPED_TRACE(message);
    const test::CliWorkspace ws(test::SmallBasins(2, 2));
    EXPECT_EQ(test::CheckMessage(ws.Root()), "");
    test::WriteBytes(ws.dir / "elsewhere.txt", "someone else's file\r\n");
    spoil(ws);
    const std::string said = test::CheckMessage(ws.Root());
    EXPECT_EQ(said.rfind(message, 0), 0u) << said;
    EXPECT_EQ(test::ReadBytes(ws.dir / "elsewhere.txt"), "someone else's file\r\n");
  }
}

// A calibration's sizes against its evaluations and the memory, refused on the setting's line
// before anything is allocated.
TEST(CalibrationSizes, RangedAgainstTheEvaluationsAndTheMemory) {
  ParameterSet current;
  TextReader p = Crlf(test::ParameterFileText(), "p.txt");
  LoadParameters(p, current);
  const std::vector<std::array<std::string, 3>> cases{
      {"algorithm sce\ncomplexes 1000000\n", "", "line 2: \"1000000\" (token 1) is more complexes than the 1000 "},
      {"algorithm sce\ncomplexes 5\n", "3", "line 2: \"5\" (token 1) is more complexes than the 3 evaluations"},
      {"algorithm lhs\nbatch 50\nevaluations 20\n", "",
       "line 2: \"50\" (token 1) is more points per batch than the 20"}};
  for (const auto& [file, evaluations, said] : cases) {
    SCOPED_TRACE(file);
    try {
      TextReader r = Crlf(file + "calibration 2000\nFieldCapacity 0.2 0.3\n", "cal.txt");
      CalibrationConfig config = ReadCalibrationFile(r, current);
      CalibrationOverrides o;
      o.evaluations = evaluations;
      if (!evaluations.empty()) ApplyOverrides(config, o);
      ADD_FAILURE() << "accepted";
    } catch (const std::exception& e) {
      EXPECT_EQ(std::string(e.what()).rfind("cal.txt " + said, 0), 0u) << e.what();
      EXPECT_EQ(test::Has(e.what(), "(with --evaluations 3)"), !evaluations.empty()) << e.what();
    }
  }
}

}  // namespace
}  // namespace tarnwell
