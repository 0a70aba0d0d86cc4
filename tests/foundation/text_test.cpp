#include <gtest/gtest.h>

#include "TestSupport.h"
#include "inputs/TextFile.h"
#include "model/Errors.h"

namespace tarnwell {
namespace {

using Tokens = std::vector<std::string>;

TEST(SplitFields, SeparatorsHashesAndQuotes) {
  EXPECT_EQ(SplitFields("a\tb c,d;e"), (Tokens{"a", "b", "c", "d", "e"}));
  EXPECT_EQ(SplitFields("  ,,;\t a ,, ;b  "), (Tokens{"a", "b"}));
  EXPECT_EQ(SplitFields(""), Tokens{});
  EXPECT_EQ(SplitFields(" \t,;"), Tokens{});
  // '#' is skipped only before a token, not inside one.
  EXPECT_EQ(SplitFields("## 12 #3 a#b"), (Tokens{"12", "3", "a#b"}));
  // Quotes keep separators and stay in the token; an unclosed quote runs to the end.
  EXPECT_EQ(SplitFields("x \"a b,c\" 'd;e'f g"), (Tokens{"x", "\"a b,c\"", "'d;e'f", "g"}));
  EXPECT_EQ(SplitFields("p \"open to end"), (Tokens{"p", "\"open to end"}));
  // A decimal comma splits a value into two tokens.
  EXPECT_EQ(SplitFields("纬度 1,5"), (Tokens{"纬度", "1", "5"}));
}

TEST(Conversions, IntegersRefuseDecimalsAndExponents) {
  int v = 0;
  EXPECT_TRUE(ParseInteger("3", v));
  EXPECT_EQ(v, 3);
  EXPECT_TRUE(ParseInteger("-12", v));
  EXPECT_EQ(v, -12);
  EXPECT_TRUE(ParseInteger("+7", v));
  for (const char* bad : {"3.0", "3e2", "", "-", "1x", "99999999999", "\"3\""})
    EXPECT_FALSE(ParseInteger(bad, v)) << bad;
}

TEST(Conversions, RealsAreDecimalOnly) {
  double v = 0;
  EXPECT_TRUE(ParseReal("0.50", v));
  EXPECT_DOUBLE_EQ(v, 0.5);
  EXPECT_TRUE(ParseReal("-1.5e-3", v));
  EXPECT_DOUBLE_EQ(v, -0.0015);
  EXPECT_TRUE(ParseReal(".5", v));
  EXPECT_TRUE(ParseReal("5.", v));
  EXPECT_TRUE(ParseReal("1.70141E+038", v));
  for (const char* bad : {"nan", "NaN", "inf", "-Infinity", "1e999", "0x10", "1,5", "", ".", "e5", "1e"})
    EXPECT_FALSE(ParseReal(bad, v)) << bad;
}

TEST(TextReader, LineEndsEncodingsAndReadingPastTheEnd) {
  // UTF-8 with a byte-order mark, CR LF and LF mixed, a trailing blank kept.
  TextReader a = TextReader::FromString("\xEF\xBB\xBF" "纬度 30\r\nb \nc", "a.txt");
  EXPECT_EQ(a.ReadLine(), "纬度 30");
  EXPECT_EQ(a.ReadLine(), "b ");
  EXPECT_EQ(a.ReadLine(), "c");
  EXPECT_EQ(a.ReadLine(), "");
  EXPECT_EQ(a.LineNumber(), 4);
  // GBK bytes are decoded.
  TextReader g = TextReader::FromString(EncodeGbk("模拟年数 3\r\n"), "g.txt");
  EXPECT_EQ(g.ReadLine(), "模拟年数 3");
}

TEST(FieldLine, ErrorsNameFileLineAndToken) {
  FieldLine line("模拟年数 3.0", "Parameters/当前参数文件.txt", 3);
  try {
    line.Integer(1);
    FAIL();
  } catch (const ConversionError& e) {
    EXPECT_STREQ(e.what(), "Parameters/当前参数文件.txt line 3: \"3.0\" is not an integer (token 1)");
    EXPECT_EQ(e.Line(), 3);
    EXPECT_EQ(e.Token(), "3.0");
  }
  try {
    line.Real(2);
    FAIL();
  } catch (const ListIndexError& e) {
    EXPECT_STREQ(e.what(), "Parameters/当前参数文件.txt line 3: token 2 is missing (the line has 2 tokens)");
  }
  EXPECT_THROW(FieldLine("x abc", "f", 1).Real(1), ConversionError);
}

TEST(Writers, AppendGbkWithCrLfAndReportFailures) {
  test::TempDir dir;
  std::string path = dir / "out.txt";
  CreateEmptyFile(path, "out.txt");
  AppendLines(path, "out.txt", {"2001全年 1", "x"});
  AppendLine(path, "out.txt", "y");
  EXPECT_EQ(test::ReadBytes(path), EncodeGbk("2001全年 1") + "\r\nx\r\ny\r\n");
  EXPECT_EQ(EncodeGbk("全年"), "\xC8\xAB\xC4\xEA");
  EXPECT_THROW(AppendLine(dir / "missing/dir/f.txt", "missing/dir/f.txt", "z"), FileError);
  // A full device: the error names the file.
  try {
    AppendLine("/dev/full", "Output/full.out", "z");
    FAIL();
  } catch (const FileError& e) {
    EXPECT_NE(std::string(e.what()).find("Output/full.out"), std::string::npos);
  }
}

}  // namespace
}  // namespace tarnwell
