#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

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

// Integers refuse decimals and exponents; reals are decimal only, never nan, infinity or hex.
TEST(Conversions, IntegersAndReals) {
  int i = 0;
  double v = 0;
  for (const auto& [text, value] : std::vector<std::pair<const char*, int>>{{"3", 3}, {"-12", -12}, {"+7", 7}})
    EXPECT_TRUE(ParseInteger(text, i) && i == value) << text;
  for (const auto& [text, value] : std::vector<std::pair<const char*, double>>{
           {"0.50", 0.5}, {"-1.5e-3", -0.0015}, {".5", 0.5}, {"5.", 5}, {"1.70141E+038", 1.70141e38}})
    EXPECT_TRUE(ParseReal(text, v) && v == value) << text;
  for (const char* bad : {"3.0", "3e2", "", "-", "1x", "99999999999", "\"3\""})
    EXPECT_FALSE(ParseInteger(bad, i)) << bad;
  for (const char* bad : {"nan", "NaN", "inf", "-Infinity", "1e999", "0x10", "1,5", "", ".", "e5", "1e"})
    EXPECT_FALSE(ParseReal(bad, v)) << bad;
}

// The readers' short way for plain decimals must give the bits of a full conversion: random
// decimals of 1 to 18 digits, the point anywhere, signs, leading and trailing zeros.
TEST(Conversions, PlainDecimalsConvertToTheNearestDouble) {
  std::mt19937_64 random(20261208);
  for (int i = 0; i < 200000; ++i) {
    std::string text = random() % 4 == 0 ? "-" : (random() % 8 == 0 ? "+" : "");
    const int digits = 1 + static_cast<int>(random() % 18);
    const int point = static_cast<int>(random() % (digits + 2)) - 1;  // -1: no point
    for (int d = 0; d < digits; ++d) {
      if (d == point) text += '.';
      text += static_cast<char>('0' + (random() % 3 == 0 ? 9 : random() % 10));
    }
    if (point == digits) text += '.';
    double v = 0;
    ASSERT_TRUE(ParseReal(text, v)) << text;
    const double expected = std::strtod(text.c_str(), nullptr);
    ASSERT_EQ(std::memcmp(&v, &expected, sizeof v), 0) << text << ": " << v << " against " << expected;
  }
}

TEST(TextReader, LineEndsEncodingsAndReadingPastTheEnd) {
  // UTF-8 with a byte-order mark, CR LF and LF mixed, a trailing blank kept.
  TextReader a = TextReader::FromString(
      "\xEF\xBB\xBF"
      "纬度 30\r\nb \nc",
      "a.txt");
  std::vector<std::string> lines;
  for (int i = 0; i < 4; ++i) lines.push_back(a.ReadLine());
  EXPECT_EQ(lines, (Tokens{"纬度 30", "b ", "c", ""}));
  EXPECT_EQ(a.LineNumber(), 4);
  // GBK bytes are decoded.
  TextReader g = TextReader::FromString(EncodeGbk("模拟年数 3\r\n"), "g.txt");
  EXPECT_EQ(g.ReadLine(), "模拟年数 3");
}

// A file read a year at a time continues from a cursor with exactly the lines a whole read
// that skips the same lines would give, in every encoding; a changed file is read whole.
TEST(TextReader, ContinuesFromACursorAsAWholeReadWould) {
  test::TempDir dir;
  const std::string utf8 = "年 1\r\n子流域 甲\r\n\r\n3 4\nlast";
  const std::string files[] = {
      utf8,
      EncodeGbk(utf8),  // GBK throughout
      "\xEF\xBB\xBF"
      "甲 1\r\n" +
          EncodeGbk("乙 2\r\n") + "丙 3\r\n",  // BOM, one GBK line
  };
  for (const std::string& bytes : files) {
    const std::string path = dir / "met.txt";
    test::WriteBytes(path, bytes);
    TextReader whole(path, "met.txt");
    std::vector<std::string> lines;
    while (!whole.AtEnd()) lines.push_back(whole.ReadLine());
    for (std::size_t k = 0; k <= lines.size(); ++k) {
      TextReader first(path, "met.txt");
      first.SkipLines(static_cast<long>(k));
      TextReader rest = TextReader::OpenAt(path, "met.txt", first.Cursor());
      for (std::size_t j = k; j < lines.size(); ++j) {
        EXPECT_EQ(rest.ReadLine(), lines[j]) << k << " " << j;
        EXPECT_EQ(rest.LineNumber(), static_cast<long>(j + 1));
      }
      EXPECT_TRUE(rest.AtEnd());
    }
  }

  // A rewritten file (a new modification time) is read whole and its first lines skipped;
  // one cut short of the cursor likewise, so the reader ends and the caller's error names
  // the line.
  const std::string path = dir / "years.txt";
  test::WriteBytes(path, "1999\r\na\r\n2000\r\nb\r\n");
  TextReader y1(path, "years.txt");
  y1.SkipLines(2);
  const TextCursor at = y1.Cursor();
  const auto stamp = std::filesystem::last_write_time(path);
  test::WriteBytes(path, "1999\r\na\r\nlonger\r\n2000\r\n");
  std::filesystem::last_write_time(path, stamp + std::chrono::seconds(5));
  TextReader moved = TextReader::OpenAt(path, "years.txt", at);
  EXPECT_EQ(moved.ReadLine(), "longer");
  EXPECT_EQ(moved.LineNumber(), 3);
  test::WriteBytes(path, "1999\r\n");
  TextReader cut = TextReader::OpenAt(path, "years.txt", at);
  EXPECT_TRUE(cut.AtEnd());
  EXPECT_EQ(cut.LineNumber(), 2);
}

TEST(Writers, AppendGbkWithCrLfAndReportFailures) {
  test::TempDir dir;
  std::string path = dir / "out.txt";
  CreateEmptyFile(path, "out.txt");
  AppendLines(path, "out.txt", {"2001全年 1", "x"});
  AppendLine(path, "out.txt", "y");
  EXPECT_EQ(test::ReadBytes(path), "2001\xC8\xAB\xC4\xEA 1\r\nx\r\ny\r\n");
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
