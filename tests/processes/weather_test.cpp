#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <vector>

#include "ProcessTestSupport.h"
#include "inputs/TextFile.h"
#include "model/Errors.h"
#include "processes/Weather.h"

namespace tarnwell {
namespace {

TEST(Interception, CapacityAndDemandOfEachLandUse) {
  const struct {
    const char* what;
    double precip, growth, landUse, store, icp, after;
  } cases[] = {
      {"forest at full growth: demand 4.565 mm", 10, 1, 25, 30, 4.565, 34.565},
      {"forest: capacity 36.322 mm leaves 2.322", 10, 1, 25, 34, 2.322, 36.322},
      {"dormant grass: demand 0.21 mm", 10, 0, 35, 0, 0.21, 0.21},
      {"grass at full growth asks 2.31 mm, its canopy holds 1.27", 10, 1, 35, 0, 1.27, 1.27},
      {"dormant grass: capacity 1.27 mm", 10, 0, 35, 1.2, 0.07, 1.27},
      {"a store above the capacity: no room, not a negative one", 10, 0, 25, 40, 0, 40},
      {"a dry day", 0, 1, 25, 0, 0, 0},
      // Only forest and grass codes intercept.
      {"round code", 10, 1, 20, 0, 0, 0},
      {"open water", 10, 1, 45, 0, 0, 0},
      {"no class", 10, 1, -5, 0, 0, 0},
      {"area code", 10, 1, 160, 0, 0, 0},
      {"cultivated", 10, 1, 15, 0, 0, 0},
  };
  for (const auto& c : cases) {
    double cellPrecip = 0, icp = -1, store = c.store;
    InterceptCell(c.precip, c.growth, c.landUse, cellPrecip, icp, store);
    EXPECT_EQ(cellPrecip, c.precip) << c.what;
    EXPECT_NEAR(icp, c.icp, 1e-12) << c.what;
    EXPECT_NEAR(store, c.after, 1e-12) << c.what;
  }
}

TEST(GrowthIndex, SegmentsOfAYearAcrossTheYearEndAndDaysOfNoSegment) {
  const struct {
    const char* what;
    int season[4], days;
    std::vector<std::pair<int, double>> index;  // day, growth index
  } cases[] = {
      {"one year",
       {60, 120, 250, 300},
       365,
       {{90, 0.5}, {120, 1}, {200, 1}, {275, 0.5}, {300, 0}, {10, 0}, {330, 0}, {60, 0}}},
      // Southern-style calendar: full growth from day 331 over the year end to day 30; day
      // 366 is not a day of the year: untouched.
      {"southern",
       {300, 330, 30, 100},
       365,
       {{331, 1}, {365, 1}, {1, 1}, {30, 1}, {65, 0.5}, {200, 0}, {315, 0.5}, {366, 0}}},
      // Senescence across the year end: D3 = 350, D4 = 20 falls over 35 days.
      {"senescence over the year end",
       {60, 120, 350, 20},
       365,
       {{360, 1 - 10.0 / 35.0}, {5, 1 - 20.0 / 35.0}, {40, 0}}},
      // Days of no segment keep their value (0.25 and 0.75 before).
      {"no segment", {100, 100, 100, 100}, 365, {{50, 0.25}, {100, 0.75}}},
      // Absurd season days neither write out of the tables nor run for ages.
      {"absurd days", {-1000000000, 5, 2000000000, -7}, 366, {{5, 1}}},
  };
  for (const auto& c : cases) {
    ModelState s;
    s.SeasonDay1 = c.season[0], s.SeasonDay2 = c.season[1], s.SeasonDay3 = c.season[2], s.SeasonDay4 = c.season[3];
    s.GrowthIndex[50] = 0.25, s.GrowthIndex[100] = 0.75;
    ComputeGrowthIndex(s, c.days);
    for (auto [day, index] : c.index) EXPECT_DOUBLE_EQ(s.GrowthIndex[day], index) << c.what << ", day " << day;
  }
}

double Declination(int month, int day) { return 0.41014315 * std::sin(0.0174529 * EquinoxDayOffset(month, day)); }

TEST(HamonPet, EquinoxesAndTheDayLengthOfEveryLatitude) {
  // 22 March and 22 September: a 12-hour day, so PET = 0.1651 x rho (17.27 g/m3 at 20 C).
  double pet = 0, sep = 0;
  HamonPet(3, 22, pet, 20.0, 45.0, 1.0);
  EXPECT_NEAR(pet, 0.1651 * 17.274, 0.1651 * 0.002);
  HamonPet(9, 22, sep, 20.0, 45.0, 1.0);
  EXPECT_EQ(sep, pet);
  // Every month and latitude: close to the exact geometry, the arc cosine of the sunset angle.
  for (int m = 1; m <= 12; ++m) {
    const double delta = Declination(m, 15);
    for (double lat = -90; lat <= 90; lat += 2.5) {
      const double x = -std::tan(delta) * std::tan(lat * 0.0174529);
      const double exact = std::acos(std::fmax(-1.0, std::fmin(1.0, x))) * 12 / M_PI;
      ASSERT_NEAR(HalfDayLength(delta, lat), exact, 0.01) << m << " " << lat;
    }
  }
  const double jun = Declination(6, 21), dec = Declination(12, 21);
  EXPECT_EQ(HalfDayLength(jun, 80.0), 12.0);  // polar day
  EXPECT_EQ(HalfDayLength(jun, -80.0), 0.0);  // polar night
  // South of the equator the branch follows the sign of the sunset-angle cosine, not of the
  // declination: at 35 S long December days, short June days, both positive.
  const double summer = HalfDayLength(dec, -35.0), winter = HalfDayLength(jun, -35.0);
  EXPECT_GT(winter, 4.7);
  EXPECT_NEAR(summer + winter, 12.0, 0.01);
  double petSummer = 0, petWinter = 0;
  HamonPet(12, 21, petSummer, 20.0, -35.0, 1.0);
  HamonPet(6, 21, petWinter, 20.0, -35.0, 1.0);
  EXPECT_NEAR(petSummer / petWinter, summer / winter, 1e-12);
}

// A meteorological file of the year: a header line and one line per day with the year,
// month, day, a code, then P = base + day/100, T = 10, Q = 2 and C = 0.5 (and a ninth value
// when col8 != 1).
std::string MetYear(int year, int startDay, int col8, int station, double precipBase) {
  std::ostringstream out;
  out << year << " 12 " << startDay << " " << col8 << " " << station << "\r\n";
  for (int d = 1; d <= (IsLeapYear(year) ? 366 : 365); ++d) {
    out << year << "\t1\t" << d << "\t0\t" << precipBase + d / 100.0 << "\t10\t2\t0.5";
    if (col8 != 1) out << "\t9";
    out << "\r\n";
  }
  return out.str();
}

ModelState MetState(int yearIndex, long linesRead) {
  ModelState s;
  s.BasinArea = 43.2, s.YearIndex = yearIndex, s.MetLinesRead = linesRead;
  s.SeasonDay1 = 60, s.SeasonDay2 = 80, s.SeasonDay3 = 250, s.SeasonDay4 = 300;
  return s;
}

TEST(MeteorologicalYear, FirstAndLaterYearsSeriesCalendarAndReservoirs) {
  ParameterSet p = test::ProcessParams();
  const std::string text = MetYear(2001, 100, 1, 350, 1.0) + MetYear(2002, 1, 0, 400, 5.0);
  TextReader r = TextReader::FromString(text, "input/甲/met.txt");
  ModelState s = MetState(1, 0);
  ReadMeteorologicalYear(s, p, r);
  EXPECT_EQ((std::vector<int>{s.CurYear, s.StartDay, s.StationElev}), (std::vector<int>{2001, 100, 350}));
  EXPECT_DOUBLE_EQ(s.FlowToDepthFactor, 2.0);
  EXPECT_DOUBLE_EQ(s.DailyPrecip[365], 4.65);
  EXPECT_DOUBLE_EQ(s.ObsFlow[1], 4.0);       // 2 m3/s over 43.2 km2
  EXPECT_DOUBLE_EQ(s.ObsSediment[1], 86.4);  // 2 x 86400 x 0.5 / 1000 t, from the raw Q
  EXPECT_DOUBLE_EQ(s.RoutedInterflow, 1.6);  // the first year starts the reservoirs
  EXPECT_DOUBLE_EQ(s.RoutedGwFlow, 2.4);
  // 22 March (day 81) at full growth: the Hamon value itself; 31 December, dormant: 1/1.4 of it.
  double pet = 0;
  HamonPet(3, 22, pet, 10.0, p.Latitude, p.EvapConversionCoef);
  EXPECT_DOUBLE_EQ(s.DailyPET[81], pet);
  HamonPet(12, 31, pet, 10.0, p.Latitude, p.EvapConversionCoef);
  EXPECT_DOUBLE_EQ(s.DailyPET[365], pet / 1.4);
  // The second year skips the first block (365 + 1 lines) and carries the reservoirs over.
  TextReader again = TextReader::FromString(text, "met.txt");
  ModelState t = MetState(2, 366);
  t.RoutedInterflow = 7, t.RoutedGwFlow = 8;
  ReadMeteorologicalYear(t, p, again);
  EXPECT_EQ(std::pair(t.CurYear, t.Col8Flag), std::pair(2002, 0));
  EXPECT_DOUBLE_EQ(t.DailyPrecip[1], 5.01);
  EXPECT_DOUBLE_EQ(t.DailyExtra[1], 9);
  EXPECT_EQ(std::pair(t.RoutedInterflow, t.RoutedGwFlow), std::pair(7.0, 8.0));
  // Leap years: every fourth, not every hundredth, every four hundredth.
  for (auto [year, days] : {std::pair{1900, 365}, {2000, 366}, {2008, 366}, {2001, 365}}) {
    TextReader y = TextReader::FromString(MetYear(year, 1, 1, 0, 1.0), "met.txt");
    ModelState u = MetState(1, 0);
    ReadMeteorologicalYear(u, p, y);
    int total = 0;
    for (int m = 1; m <= 12; ++m) total += u.DaysInMonth[m];
    EXPECT_EQ((std::vector<int>{u.DaysInYear, u.DaysInMonth[2], total}), (std::vector<int>{days, days - 337, days}))
        << year;
    EXPECT_DOUBLE_EQ(u.DailyPrecip[days], 1.0 + days / 100.0) << year;
  }
}

TEST(MeteorologicalYear, ShortLinesAndMissingBlocks) {
  const std::string y1 = MetYear(2001, 1, 1, 350, 1.0);
  std::string nine = y1, seven = y1, cut = y1.substr(0, y1.rfind("2001\t"));
  nine.replace(nine.find(" 1 350"), 6, " 0 350");  // nine values wanted, eight given
  seven.replace(seven.find("\t0.5\r\n"), 4, "");
  struct Case {
    std::string text;
    long linesRead, line;
    int token;  // -1: the file ends
  } cases[] = {{nine, 0, 2, 8}, {seven, 0, 2, 7}, {y1, 366, 367, -1}, {cut, 0, 366, -1}};
  for (const Case& c : cases) {
    TextReader r = TextReader::FromString(c.text, "input/甲/met.txt");
    ModelState s = MetState(1, c.linesRead);
    try {
      ReadMeteorologicalYear(s, test::ProcessParams(), r);
      ADD_FAILURE() << "no error at line " << c.line;
    } catch (const ListIndexError& e) {
      EXPECT_EQ(e.Line(), c.line);
      EXPECT_EQ(e.TokenIndex(), c.token);
    } catch (const FileError& e) {
      EXPECT_EQ(e.Line(), c.line);
      EXPECT_EQ(c.token, -1);
      EXPECT_NE(std::string(e.what()).find("input/甲/met.txt line " + std::to_string(c.line)), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace tarnwell
