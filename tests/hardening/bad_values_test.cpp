// Hand-edited inputs: values, sizes and encodings a user's file may carry. Each reader either
// reads them as the model defines or refuses them naming the file, the line and the token,
// keeping what it had read before.
#include <gtest/gtest.h>

#include <functional>

#include "TestSupport.h"
#include "inputs/TextFile.h"
#include "inputs/WGetData.h"
#include "model/Errors.h"
#include "model/ModelState.h"
#include "parameters/ParaDialog.h"

namespace tarnwell {
namespace {

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

TEST(Encodings, ALoneByteOfNoEncodingKeepsTheLinesNumbers) {
  // Neither UTF-8 nor GBK: kept as '?' in its token, the line's numbers survive.
  TextReader r = TextReader::FromString(
      "\xEF\xBB\xBF"
      "a\xFF 2.5\r\n",
      "f.txt");
  FieldLine line = r.ReadFields();
  EXPECT_TRUE(IsValidUtf8(line.Token(0)));
  EXPECT_DOUBLE_EQ(line.Real(1), 2.5);
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
      {terrain, dem, "DSAA\n3 1" + unit + "5 6 -inf\n", "line 6: \"-inf\" is not a number (token 2)"},
      {terrain, dem, "DSAA\n3 1" + unit + "1e400 6 7\n", "line 6: \"1e400\" is not a number (token 0)"},
      {terrain, dem, "DSAA\n3 1" + unit + "5 6 7 NaN\n", ""},  // tokens past the last column are not read
      {terrain, dem, "DSAA\n2.0 3\n", "line 2: \"2.0\" is not an integer (token 0)"},
      {terrain, dem, "DSAA\n99999999999 2\n", "line 2: \"99999999999\" is not an integer (token 0)"},
      {terrain, dem, "DSAA\n0 3\n", "line 2: grid size 0 x 3 (columns x rows) must be positive"},
      {terrain, dem, "DSAA\n2 1" + unit + "5\n", "line 6: token 1 is missing (the line has 1 token)"},
      {terrain, dem, "DSAA\n1 2" + unit + "5   \n", "line 7: token 0 is missing (the line has 0 tokens)"},
      // A header claiming more cells than the file can hold is refused before the grids are made.
      {terrain, dem, "DSAA\n2 2" + unit + "5\n",
       "line 2: the header claims 2 x 2 cells (columns x rows), at least 7 bytes of values, but the whole rest of "
       "the file has 3 bytes"},
      // A reversed or empty extent gives cells without size.
      {terrain, dem, "DSAA\n1 1\n0 -50\n0 1\n0 10\n5\n",
       "line 3: the x extent runs from 0 to -50: its maximum (token 1) must be above its minimum (token 0), or the "
       "cells have no size"},
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
         EXPECT_DOUBLE_EQ(p.EvapConversionCoef, 1.0);
         EXPECT_DOUBLE_EQ(p.EtAvailabilityParam, 77);
       }},
      // Line 27 with four bare values between no soil names.
      {params, par, Params("紫色土 0.31 黄壤性土 0.32 黄棕壤 0.33 酸性棕壤 0.34", "紫色土 0.31 0.32 0.33 0.34"),
       "line 27: token 5 is missing (the line has 5 tokens)", [&] { EXPECT_DOUBLE_EQ(p.Erodibility[0], 0.25); }},
      {params, par, "纬度 1\n蒸发折算系数 2\n",
       "line 3: token 1 is missing (the line has 0 tokens)"},  // a file cut short
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    const std::string message = MessageOf(c.read, c.file, c.text);
    EXPECT_EQ(message, c.message.empty() ? "no error" : c.file + " " + c.message);
    c.kept();
  }
}

TEST(BadValues, HeaderSizesBeyondMemoryAreRefusedBeforeAnythingChanges) {
  // A terrain grid read; then headers far beyond memory in each grid reader: refused at
  // line 2, the grids already read stay as they were.
  ModelState s;
  TextReader t = Crlf("DSAA\n2 1\n0 10\n0 10\n0 100\n7 8\n", "dem.grd");
  ReadTerrainGrid(s, t);
  for (const char* sizes : {"2147483647 2147483647", "65536 65536", "100000 100000"}) {
    for (bool landUse : {false, true}) {
      SCOPED_TRACE(std::string(sizes) + (landUse ? " land use" : " terrain"));
      const std::string name = landUse ? "lu.grd" : "dem2.grd";
      const std::string message = MessageOf(
          [&](TextReader& h) { landUse ? ReadLandUseGrid(s, h) : ReadTerrainGrid(s, h); }, name,
          std::string("DSAA\n") + sizes + "\n0 1\n0 1\n0 1\n");
      EXPECT_EQ(message.rfind(name + " line 2: grid of ", 0), 0u) << message;
      EXPECT_NE(message.find("larger than this machine's memory allows"), std::string::npos);
      EXPECT_EQ(s.CellCount(), 2u);
      EXPECT_DOUBLE_EQ(s.SurfElev[1], 8);
    }
  }
  // Nothing is allocated for a refused first header.
  ModelState fresh;
  EXPECT_NE(MessageOf([&](TextReader& h) { ReadTerrainGrid(fresh, h); }, "dem.grd", "DSAA\n2000000000 2000000000\n")
                .find("larger than this machine's memory"),
            std::string::npos);
  EXPECT_EQ(fresh.CellCount(), 0u);
  EXPECT_GT(MaxGridCells(), 4000000LL);  // a full 2000 x 2000 grid always fits
}

}  // namespace
}  // namespace tarnwell
