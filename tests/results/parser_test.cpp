// The one parser of the output files: it takes every file the writers write (two years of a
// run's five files, a day without observation as "nan", a negative measured value of an
// older file as missing, a budget block a run is still writing) and refuses any other line,
// naming the file, the line and the token.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "app/OutputBinding.h"
#include "app/Session.h"
#include "model/Errors.h"
#include "model/Observation.h"
#include "results/OutputParser.h"
#include "results/Statistic.h"

namespace tarnwell {
namespace {

// The five files of one sub-basin as a run wrote them, two years of a few days each.
std::vector<std::string> RunFiles() {
  const std::string all = DecodeText(
      test::ReadBytes(std::string(TARNWELL_TEST_DATA) + "/fuzz/corpus/fuzz_stored_output/seed-two-years.txt"));
  std::vector<std::string> parts;
  std::size_t at = 0;
  for (std::size_t ff; (ff = all.find('\f', at)) != std::string::npos; at = ff + 1)
    parts.push_back(all.substr(at, ff - at));
  parts.push_back(all.substr(at));
  return parts;
}

constexpr ResultFile kKinds[] = {ResultFile::Daily, ResultFile::DailySediment, ResultFile::DailyFrozen,
                                 ResultFile::Budget, ResultFile::SedimentBudget};

std::vector<ResultBlock> Parse(ResultFile kind, const std::string& text) {
  TextReader r = TextReader::FromString(text, ResultFileName(kind));
  return ParseResultFile(kind, r);
}

// The text with the first occurrence of `from` replaced.
std::string With(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

TEST(OutputParser, TakesWhatARunWrote) {
  const std::vector<std::string> files = RunFiles();
  ASSERT_EQ(files.size(), 5u);
  for (int i = 0; i < 5; ++i) {
    const std::vector<ResultBlock> blocks = Parse(kKinds[i], files[static_cast<std::size_t>(i)]);
    ASSERT_EQ(blocks.size(), 2u) << ResultFileName(kKinds[i]);
    EXPECT_EQ(std::pair(blocks[0].year, blocks[1].year), std::pair(2000, 2001));
    for (const ResultBlock& b : blocks)
      for (const ResultRow& r : b.rows)
        EXPECT_TRUE(r.tokens.size() == ResultValueCount(kKinds[i]) && r.values.size() == r.tokens.size()) << r.line;
  }
  const std::vector<ResultBlock> daily = Parse(ResultFile::Daily, files[0]);
  ASSERT_EQ(daily[0].rows.size(), 3u);
  const ResultRow& second = daily[0].rows[1];
  EXPECT_EQ(second.label, "01-02-2000");
  EXPECT_EQ(std::pair(second.line, second.day), std::pair(4L, 2));
  EXPECT_EQ(second.tokens[11], "nan");  // Re_flow of a day without observation
  EXPECT_EQ(second.values[11], kNoObservation);
  EXPECT_EQ(daily[0].rows[0].values[11], 2.1);
  const std::vector<ResultBlock> budget = Parse(ResultFile::Budget, files[3]);
  // The year row ends the block: month 0, N 366.
  EXPECT_EQ(std::pair(budget[0].rows.back().month, budget[0].rows.back().values[0]), std::pair(0, 366.0));
  EXPECT_EQ(budget[0].rows.back().label, "2000全年");
  EXPECT_TRUE(budget[0].complete);
}

TEST(OutputParser, ANegativeMeasuredValueOfAnOlderFileIsMissing) {
  const std::string text = With(RunFiles()[0], "2.100", "-999.000");
  EXPECT_EQ(Parse(ResultFile::Daily, text)[0].rows[0].values[11], kNoObservation);
  const std::string sediment = With(RunFiles()[1], "1.814", "-999.000");
  EXPECT_EQ(Parse(ResultFile::DailySediment, sediment)[0].rows[0].values[1], kNoObservation);
}

TEST(OutputParser, ABudgetBlockOnlyTheEndOfTheFileCutsShort) {
  const std::string budget = RunFiles()[3];
  const std::string cut = budget.substr(0, budget.find("2000全年"));
  const std::vector<ResultBlock> blocks = Parse(ResultFile::Budget, cut);
  ASSERT_EQ(blocks.size(), 1u);
  EXPECT_FALSE(blocks[0].complete);
  EXPECT_EQ(blocks[0].rows.size(), 2u);
  // Without its year row, the next block may not begin.
  const std::string cutRow = budget.substr(0, budget.find("2000全年")) + budget.substr(budget.find(" \r\n  MONTH", 10));
  EXPECT_THROW(Parse(ResultFile::Budget, cutRow), TarnwellError);
}

TEST(OutputParser, RefusesEveryOtherLineNamingFileLineAndToken) {
  const std::vector<std::string> files = RunFiles();
  struct Case {
    int file;
    std::string from, to;
    long line;
    std::string says;
  };
  const Case cases[] = {
      {0, "01-02-2000", "1-02-2000 ", 4, "\"1-02-2000\" is not a date MM-DD-YYYY"},
      {0, "01-02-2000", "02-30-2000", 4, "\"02-30-2000\" is not a date MM-DD-YYYY"},
      {0, "01-02-2000", "01-02-2001", 4, "the day 01-02-2001 stands in the block of the year 2000"},
      {0, "01-03-2000", "01-01-2000", 5, "does not follow the day row before it"},
      {0, "   -3.001\r\n01-02", "\r\n01-02", 3, "a row of 14 tokens; 15 expected"},
      {0, "1.685", "nan", 4, "\"nan\" is not a number (token 11)"},
      {0, "1.685", "1,685", 4, "a row of 16 tokens"},
      {0, "2.300", "inf", 5, "\"inf\" is not a number (or nan: no observation) (token 12)"},
      {0, "\r\n01-03-2000", "\r\n\r\n01-03-2000", 5, "an empty line"},
      {0, "Re_flow", "Re_flux", 2, "\"Re_flux\" is not the header lines of a year block"},
      {0, "2001 \r\n", "2001x\r\n", 6, "\"2001x\" is not a date MM-DD-YYYY"},
      {1, "2000 \r\n", "20000 \r\n", 1, "\"20000\" is not the year line of a year block"},
      {3, "02-2000", "13-2000", 7, "\"13-2000\" is not a month MM-YYYY or a year YYYY全年"},
      {3, "2000全年", "99999999999全年", 8, "\"99999999999全年\" is not a month MM-YYYY or a year"},
      {3, "02-2000   29", "02-2000   -1", 7, "\"-1\" is not a number of days (0 or more) (token 1)"},
      {3, "02-2000   29", "02-2000   29.5", 7, "\"29.5\" is not an integer (token 1)"},
      {3, "02-2000", "02-2001", 7, "the row 02-2001 stands in the block of the year 2000"},
      {3, "02-2000", "01-2000", 7, "the month 01-2000 does not follow the month row before it"},
      {4, " \r\n \r\n  MONTH", " \r\n#\r\n  MONTH", 2, "the header lines of a year block"},
  };
  for (const Case& c : cases) {
    const ResultFile kind = kKinds[c.file];
    const std::string text = With(files[static_cast<std::size_t>(c.file)], c.from, c.to);
    try {
      Parse(kind, text);
      ADD_FAILURE() << c.to << ": taken";
    } catch (const TarnwellError& e) {
      const std::string m = e.what();
      EXPECT_EQ(m.rfind(std::string(ResultFileName(kind)) + " line " + std::to_string(c.line) + ": ", 0), 0u) << m;
      EXPECT_NE(m.find(c.says), std::string::npos) << m;
    }
  }
}

// The whole-basin step reads the sub-basin files back: a damaged row is refused naming the
// file, never an exception from the depths of the library.
TEST(ReadBack, YearRowWithAnOverlongYearIsRefusedNamingTheFile) {
  std::vector<std::string> files = RunFiles();
  files[3] = With(files[3], "2000全年", "99999999999全年");
  test::TempDir dir;
  for (int i = 0; i < 5; ++i) {
    const std::string name = ResultFileName(kKinds[i]);
    test::WriteBytes(dir / ("Output/流域1/" + name), EncodeGbk(files[static_cast<std::size_t>(i)]));
    test::WriteBytes(dir / ("Output/全流域/" + name), "");
  }
  Session session(dir.Path().string());
  session.state.ProgramDir = session.ws.ProgramDir();
  session.state.ResizeSubBasins(1);
  session.state.SubBasinName[1] = "甲";
  session.state.DaysInYear = 366;
  BasinAggregation agg;
  AggregateBasinDaily(session, agg, 1, 2000);
  try {
    AggregateBasinBudget(session, agg, 1);
    FAIL() << "a year row of eleven digits was taken";
  } catch (const InputError& e) {
    EXPECT_EQ(e.File(), "Output/流域1/Budget.out") << e.what();
  }
}

}  // namespace
}  // namespace tarnwell
