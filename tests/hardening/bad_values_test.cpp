// Hand-edited inputs: values and encodings a user's file may carry. Each either reads as
// the model defines or fails naming the file, the line and the token.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "inputs/TextFile.h"
#include "inputs/WGetData.h"
#include "model/Errors.h"
#include "model/ModelState.h"
#include "parameters/ParaDialog.h"

namespace tarnwell {
namespace {

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

// A reader's failure message, or "no error".
template <typename F>
std::string MessageOf(F&& read) {
  try {
    read();
  } catch (const TarnwellError& e) {
    return e.what();
  }
  return "no error";
}

TextReader Crlf(const std::string& text, const std::string& name) {
  std::string crlf;
  for (char c : text) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  return TextReader::FromString(EncodeGbk(crlf), name);
}

TEST(BadValues, NotANumberAndInfinityAreConversionErrorsNamingTheToken) {
  ModelState s;
  auto terrain = [&](const std::string& row) {
    return MessageOf([&] {
      TextReader t = Crlf("DSAA\n3 1\n0 1\n0 1\n0 10\n" + row + "\n", "input/甲/dem.grd");
      ReadTerrainGrid(s, t);
    });
  };
  EXPECT_EQ(terrain("5 nan 6"), "input/甲/dem.grd line 6: \"nan\" is not a number (token 1)");
  EXPECT_EQ(terrain("5 6 -inf"), "input/甲/dem.grd line 6: \"-inf\" is not a number (token 2)");
  EXPECT_EQ(terrain("1e400 6 7"), "input/甲/dem.grd line 6: \"1e400\" is not a number (token 0)");
  EXPECT_EQ(terrain("5 6 7 NaN"), "no error");  // tokens past the last column are not read
  // The same in the parameter file: the lines before keep their new values.
  std::string text = test::ParameterFileText();
  text.replace(text.find("日正温融雪量 3.0"), std::string("日正温融雪量 3.0").size(), "日正温融雪量 Infinity");
  ParameterSet p;
  EXPECT_EQ(MessageOf([&] {
              TextReader r = Crlf(text, "Parameters/当前参数文件.txt");
              LoadParameters(r, p);
            }),
            "Parameters/当前参数文件.txt line 15: \"Infinity\" is not a number (token 1)");
  EXPECT_DOUBLE_EQ(p.WaterTableExponent, 0.5);
  EXPECT_DOUBLE_EQ(p.SnowMeltRate, 0);
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
      std::string message = MessageOf([&] {
        TextReader h = Crlf(std::string("DSAA\n") + sizes + "\n0 1\n0 1\n0 1\n", name);
        landUse ? ReadLandUseGrid(s, h) : ReadTerrainGrid(s, h);
      });
      EXPECT_EQ(message.rfind(name + " line 2: grid of ", 0), 0u) << message;
      EXPECT_NE(message.find("larger than this machine's memory allows"), std::string::npos);
      EXPECT_EQ(s.CellCount(), 2u);
      EXPECT_DOUBLE_EQ(s.SurfElev[1], 8);
    }
  }
  // Sizes that do not fit an integer are conversion errors.
  EXPECT_EQ(MessageOf([&] {
              TextReader h = Crlf("DSAA\n99999999999 2\n", "dem.grd");
              ReadTerrainGrid(s, h);
            }),
            "dem.grd line 2: \"99999999999\" is not an integer (token 0)");
  EXPECT_GT(MaxGridCells(), 4000000LL);  // a full 2000 x 2000 grid always fits
}

}  // namespace
}  // namespace tarnwell
