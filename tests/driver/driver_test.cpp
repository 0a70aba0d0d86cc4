// The driver on tiny workspaces: the run and next-year forms, the day loop, the files of
// every year and the meteorological block each year reads. The process sweeps are replaced
// by a scripted engine whose grids make every value workable by hand; the meteorological
// year and the sediment store are the real ones. (The whole runs' files of every engine and
// year boundary are checked against stored checksums in tests/baseline.)
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>

#include "TestSupport.h"
#include "TinyWorkspace.h"
#include "app/DayEngine.h"
#include "app/Driver.h"
#include "app/Progress.h"
#include "app/Session.h"
#include "app/Startup.h"
#include "hardening/HardeningSupport.h"
#include "results/Format.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;

// Every inside cell: precipitation of the station, AET 0.5, interflow 0.5, surface runoff
// 1/8 of the precipitation; groundwater outflow 1 mm. With both recession coefficients 0
// and 4 mm of rain the outlet gets 0.5 + 1 + 0.5 = 2 mm a day.
class ScriptedEngine : public DayEngine {
 public:
  const char* Name() const override { return "scripted"; }
  DayTotals RunDay(ModelState& s, const ParameterSet&, int day) override {
    ++days;
    for (std::size_t i = 0; i < s.CellCount(); ++i) {
      s.CellPrecip[i] = s.DailyPrecip[day];
      s.ActualET[i] = 0.5;
      s.Subflow[i] = 0.5;
      s.SurfaceRunoff[i] = 0.125 * s.DailyPrecip[day];
    }
    s.GwFlow[day] = 1.0;
    s.MeanSnowPack[day] = 0;
    s.MeanFrozen[day] = 0;
    return ReduceDay(s);
  }
  int days = 0;
};

class Recorder : public ProgressObserver {
 public:
  void ShowMessage(const std::string& t) override { messages.push_back(t); }
  std::vector<std::string> messages;
};

using test::FileLines;

// Every file under the output directory with its bytes.
std::map<std::string, std::string> Snapshot(const test::TempDir& dir) { return test::Snapshot(dir / "Output"); }

struct Fixture {
  explicit Fixture(const test::TinyWorkspace& w) : session(dir.Path().string()) {
    test::WriteTinyWorkspace(dir.Path().string(), w);
    StartUpWorkspace(session);
  }
  std::string Out(const std::string& rel) const { return dir / ("Output/" + rel); }
  test::TempDir dir;
  Session session;
  Recorder recorder;
  ScriptedEngine engine;
};

// Pass-through reservoirs; sub-basins 甲, 乙 of one default cell over the years.
test::TinyWorkspace PassThrough(const std::vector<int>& years, int subBasins = 1) {
  test::TinyWorkspace w;
  w.simYears = static_cast<int>(years.size());
  w.parameterLines = {{"壤中流调蓄系数", "壤中流调蓄系数 0"}, {"地下水调蓄系数", "地下水调蓄系数 0"}};
  w.subBasins.resize(static_cast<std::size_t>(subBasins));
  for (std::size_t k = 0; k < w.subBasins.size(); ++k) {
    test::TinySubBasin& b = w.subBasins[k];
    b.name = k == 0 ? "甲" : "乙";
    b.years.resize(years.size());
    for (std::size_t i = 0; i < years.size(); ++i) b.years[i].year = years[i];
  }
  return w;
}

// Three years, the last step finished; a repeated run then starts over.
TEST(Driver, OneCellLeapAndCommonYearsByHand) {
  Fixture f(PassThrough({2000, 2001, 2002}));
  Driver driver(f.session, f.recorder, f.engine);
  driver.Run();
  const ModelState& s = f.session.state;
  EXPECT_EQ(s.YearIndex, 1);
  EXPECT_EQ(s.MetLinesRead, 367);
  EXPECT_EQ(f.engine.days, 366);
  const auto once = Snapshot(f.dir);

  // Rows worked by hand: soil water 0.6 x 0.3 x (100, 300, 600) mm, the table 3 m below the
  // surface; no erosion and a flow between the two critical velocities, so the sediment store
  // of 100 t consolidates by 1 % a day.
  const struct {
    const char* file;
    std::size_t lines, at;
    std::string row;
  } rows[] = {
      {"流域1/Daily.out", 2 + 366, 0, "2000 "},
      {"流域1/Daily.out", 2 + 366, 1, kHeaderD},
      {"流域1/Daily.out", 2 + 366, 2,
       "01-01-2000   4.000   0.000   " + Printf("%5.3f", s.DailyPET[1]) +
           "   0.500   18.00   54.00   108.00   0.000   0.500   1.000   2.000   1.000   1.000   -3.000"},
      {"流域1/Budget.out", 18, 5,
       "01-2000   31   1.000     2.000     1.000   0.000    0.990   31.000    62.000     124.000     15.500    "
       "0.000   0.000   31.000   "},
      {"流域1/Budget.out", 18, 17,
       "2000全年 366   1.000   2.000   1.000   0.000   0.990   366.000   732.000   1464.000   183.000   0.000   "
       "0.000   366.000   "},
      {"流域1/Daily_s.out", 2 + 366, 2, "01-01-2000        0.000        0.000        0.000       99.000   "},
      {"流域1/Daily_s.out", 2 + 366, 3, "01-02-2000        0.000        0.000        0.000       98.010   "},
      {"流域1/Daily_f.out", 2 + 366, 2, "01-01-2000        0.000        0.000       10.000       -3.000   "},
      {"全流域/Budget.out", 18, 6, ""},
      {"全流域/Budget_s.out", 18, 6, ""},
  };
  for (const auto& r : rows) {
    const std::vector<std::string> lines = FileLines(f.Out(r.file));
    ASSERT_EQ(lines.size(), r.lines) << r.file;
    EXPECT_TRUE(r.row.empty() || lines[r.at] == r.row) << r.file << " line " << r.at << ": " << lines[r.at];
  }
  EXPECT_EQ(FileLines(f.Out("流域1/Budget.out"))[6].substr(0, 12), "02-2000   29");
  EXPECT_EQ(test::ReadBytes(f.dir / "Output/Mark.out"), " 1\r\n");
  // One sub-basin with K = 0: the whole basin is the sub-basin.
  for (const char* name : {"Daily.out", "Daily_s.out", "Daily_f.out"})
    EXPECT_TRUE(test::SameBytes(test::ReadBytes(f.Out(std::string("流域1/") + name)),
                                test::ReadBytes(f.Out(std::string("全流域/") + name))))
        << name;

  // Year 2, a common year: 365 rows, day 366 of the whole-basin tables empty.
  ASSERT_EQ(driver.NextYear(), Driver::StepResult::Simulated);
  EXPECT_EQ(s.MetLinesRead, 367 + 366);
  EXPECT_EQ(s.SubBasinFlow[1][365], 2.0 * s.BasinArea / 86.4);
  EXPECT_EQ(s.SubBasinFlow[1][366], 0.0);
  EXPECT_EQ(FileLines(f.Out("流域1/Daily.out")).size(), 368u + 2u + 365u);
  EXPECT_EQ(FileLines(f.Out("流域1/Budget.out")).back().substr(0, 14), "2001全年 365");
  EXPECT_EQ(FileLines(f.Out("全流域/Daily.out")).size(), 368u + 367u);
  ASSERT_EQ(driver.NextYear(), Driver::StepResult::Simulated);
  EXPECT_EQ(test::ReadBytes(f.dir / "Output/Mark.out"), " 3\r\n");
  auto before = Snapshot(f.dir);
  EXPECT_EQ(driver.NextYear(), Driver::StepResult::Finished);
  EXPECT_EQ(f.recorder.messages, std::vector<std::string>{"have finished the simulation!"});
  EXPECT_EQ(s.YearIndex, 3);
  EXPECT_EQ(Snapshot(f.dir), before);
  driver.Run();
  EXPECT_EQ(s.YearIndex, 1);
  EXPECT_EQ(s.MetLinesRead, 367);
  EXPECT_EQ(Snapshot(f.dir), once);
}

// A first day late in a year of six months: the whole basin has every date of the months,
// and its days of a month or year are the mean of the sub-basins' ((22 + 30) / 2 and
// (83 + 182) / 2, rounded). The stored whole runs hold no such half day.
TEST(Driver, TheWholeBasinAveragesTheDaysOfALateShortYear) {
  test::TinyWorkspace w = PassThrough({2000}, 2);
  for (test::TinySubBasin& b : w.subBasins) b.years[0].months = 6;
  w.subBasins[0].years[0].startDay = 100;  // 9 April
  Fixture f(w);
  Driver driver(f.session, f.recorder, f.engine);
  driver.Run();
  const std::vector<std::string> daily = FileLines(f.Out("流域1/Daily.out")),
                                 budget = FileLines(f.Out("流域1/Budget.out"));
  ASSERT_EQ(daily.size(), 2u + 83u);
  ASSERT_EQ(budget.size(), 5u + 3u + 1u);
  EXPECT_EQ(daily[2].substr(0, 10) + budget[5].substr(0, 12) + budget[8].substr(0, 14),
            "04-09-200004-2000   222000全年  83");
  const std::vector<std::string> basin = FileLines(f.Out("全流域/Daily.out")),
                                 basinBudget = FileLines(f.Out("全流域/Budget.out"));
  ASSERT_EQ(basin.size(), 2u + 182u);
  ASSERT_EQ(basinBudget.size(), 5u + 6u + 1u);
  EXPECT_EQ(basin[2].substr(0, 10) + basin.back().substr(0, 10), "01-01-200006-30-2000");
  EXPECT_EQ(basinBudget[5].substr(0, 12) + basinBudget[8].substr(0, 12) + basinBudget[11].substr(0, 16),
            "01-2000   3104-2000   262000全年   133");
  // Both sub-basins of 86.4 km2 pass 2 mm on day 100: 2 m3/s each at the outlet.
  EXPECT_NE(basin[101].find("   4.000   1.000   "), std::string::npos) << basin[101];
}

// Each sub-basin's meteorological file is read on from where its year before ended: over
// leap and common years (2000 and 2100 included), with a file rewritten between years,
// every sub-basin gets its own block of every year. A year before 1000 is written with four
// digits, so its dates stay one token and the whole-basin step reads the files back.
TEST(Driver, EachYearReadsItsOwnMeteorologicalBlock) {
  const std::vector<int> years = {999, 2000, 2001, 2100, 2004};
  test::TinyWorkspace w = PassThrough(years, 2);
  for (int b = 0; b < 2; ++b)
    for (test::TinyYear& t : w.subBasins[static_cast<std::size_t>(b)].years)
      t.precip = [y = t.year, b](int d) { return y % 100 + 0.5 * b + 1e-3 * d; };
  Fixture f(w);
  Driver driver(f.session, f.recorder, f.engine);
  const ModelState& s = f.session.state;
  long lines = 0;
  for (std::size_t i = 0; i < years.size(); ++i) {
    if (i == 0) driver.Run();
    else ASSERT_EQ(driver.NextYear(), Driver::StepResult::Simulated);
    const int days = test::DaysOf(years[i]);
    lines += days + 1;
    EXPECT_EQ(s.MetLinesRead, lines);
    EXPECT_EQ(s.CurYear, years[i]);
    EXPECT_EQ(s.DaysInYear, days);
    EXPECT_DOUBLE_EQ(s.DailyPrecip[days], years[i] % 100 + 0.5 + 1e-3 * days);
    if (i == 1) {
      // The same text written anew: the reader cannot trust its cursor and reads it whole.
      const std::string met = f.dir / "input/甲/met.txt";
      const std::string bytes = test::ReadBytes(met);
      fs::remove(met);
      test::WriteBytes(met, bytes);
      fs::last_write_time(met, fs::last_write_time(met) + std::chrono::seconds(5));
    }
  }
  // The first sub-basin's last day of every year, as its daily file shows it.
  const std::vector<std::string> daily = FileLines(f.Out("流域1/Daily.out"));
  for (int y : years) {
    const std::string date = Printf("12-31-%04d", y);
    auto row = std::find_if(daily.begin(), daily.end(), [&](const std::string& l) { return l.rfind(date, 0) == 0; });
    ASSERT_NE(row, daily.end()) << y;
    EXPECT_EQ(SplitFields(*row)[1], Printf("%.3f", y % 100 + 1e-3 * test::DaysOf(y))) << y;
  }
  const std::vector<std::string> budget = FileLines(f.Out("全流域/Budget.out"));
  EXPECT_EQ(
      std::count_if(budget.begin(), budget.end(), [](const std::string& l) { return l.rfind("0999全年", 0) == 0; }), 1);
}

}  // namespace
}  // namespace tarnwell
