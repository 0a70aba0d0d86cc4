// The whole-basin step reads the sub-basin files back: damaged rows in them are refused
// naming the file, never an exception from the depths of the library.
#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"
#include "app/OutputBinding.h"
#include "app/Session.h"
#include "model/Errors.h"
#include "results/Statistic.h"

namespace tarnwell {
namespace {

// Two years of the five files of one sub-basin, as a run wrote them (rows cut short),
// joined by form feeds: the seed of the read-back fuzz target.
std::vector<std::string> SeedFiles() {
  std::string all = test::ReadBytes(std::string(TARNWELL_TEST_DATA) +
                                    "/fuzz/corpus/fuzz_basin_readback/seed-two-years.txt");
  std::vector<std::string> parts;
  std::size_t at = 0;
  for (std::size_t ff; (ff = all.find('\f', at)) != std::string::npos; at = ff + 1)
    parts.push_back(all.substr(at, ff - at));
  parts.push_back(all.substr(at));
  return parts;
}

TEST(ReadBack, YearRowWithAnOverlongYearIsRefusedNamingTheFile) {
  std::vector<std::string> files = SeedFiles();
  ASSERT_EQ(files.size(), 5u);
  const std::string yearRow = EncodeGbk("2000全年");
  ASSERT_NE(files[3].find(yearRow), std::string::npos);
  files[3].replace(files[3].find(yearRow), yearRow.size(), EncodeGbk("99999999999全年"));

  test::TempDir dir;
  const char* names[] = {"Daily.out", "Daily_s.out", "Daily_f.out", "Budget.out", "Budget_s.out"};
  for (int i = 0; i < 5; ++i) {
    test::WriteBytes(dir / (std::string("Output/流域1/") + names[i]), files[i]);
    test::WriteBytes(dir / (std::string("Output/全流域/") + names[i]), "");
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
