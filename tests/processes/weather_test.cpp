#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "ProcessTestSupport.h"
#include "inputs/TextFile.h"
#include "model/Errors.h"
#include "processes/Weather.h"

namespace tarnwell {
namespace {

TEST(Interception, CapacityAndDemandOfForestAndGrass) {
  double cellPrecip = 0, icp = 0;
  // Forest at full growth: demand 4.565 mm of 10 mm while the free storage allows it.
  double store = 30;
  InterceptCell(10, 1.0, 25, cellPrecip, icp, store);
  EXPECT_DOUBLE_EQ(cellPrecip, 10);
  EXPECT_NEAR(icp, 4.565, 1e-12);
  EXPECT_NEAR(store, 34.565, 1e-12);
  // Its capacity is 36.322 mm: a store of 34 leaves room for 2.322 mm only.
  store = 34;
  InterceptCell(10, 1.0, 25, cellPrecip, icp, store);
  EXPECT_NEAR(icp, 2.322, 1e-12);
  EXPECT_NEAR(store, 36.322, 1e-12);
  // Grass when dormant: demand 0.21 mm, capacity 1.27 mm.
  store = 0;
  InterceptCell(10, 0.0, 35, cellPrecip, icp, store);
  EXPECT_NEAR(icp, 0.21, 1e-12);
  store = 1.2;
  InterceptCell(10, 0.0, 35, cellPrecip, icp, store);
  EXPECT_NEAR(icp, 0.07, 1e-12);
  EXPECT_NEAR(store, 1.27, 1e-12);
  // A store above the capacity (the growth index fell) gives no room, not a negative one.
  store = 40;
  InterceptCell(10, 0.0, 25, cellPrecip, icp, store);
  EXPECT_EQ(icp, 0);
  EXPECT_EQ(store, 40);
  // A dry day intercepts nothing (the cap by the precipitation).
  store = 0;
  InterceptCell(0, 1.0, 25, cellPrecip, icp, store);
  EXPECT_EQ(icp, 0);
}

TEST(Interception, OnlyForestAndGrassCodesIntercept) {
  for (double code : {20.0, 30.0, 40.0, 45.0, 0.0, -5.0, 150.0, 160.0, 15.0, 120.0}) {
    double cellPrecip = 0, icp = 1, store = 0;
    InterceptCell(10, 1.0, code, cellPrecip, icp, store);
    EXPECT_EQ(icp, 0) << code;
    EXPECT_EQ(store, 0) << code;
  }
}

TEST(Interception, SweepClearsEveryCellAndFillsBasinCells) {
  ModelState s;
  test::FlatBasin(s, 2, 2);
  s.CellFlag[3] = -1;
  s.Interception[3] = 7;  // yesterday's value of an outside cell
  s.LandUse[0] = 25;
  s.DailyPrecip[5] = 10;
  s.GrowthIndex[5] = 1;
  ComputeInterception(s, test::ProcessParams(), 5);
  EXPECT_NEAR(s.Interception[0], 4.565, 1e-12);
  // Grass at full growth asks 2.31 mm but its canopy holds 1.27 mm whatever the growth.
  EXPECT_NEAR(s.Interception[1], 1.27, 1e-12);
  EXPECT_EQ(s.Interception[3], 0);
  EXPECT_EQ(s.CellPrecip[3], 0);
  EXPECT_EQ(s.CellPrecip[2], 10);
}

ModelState SeasonState(int d1, int d2, int d3, int d4) {
  ModelState s;
  s.SeasonDay1 = d1;
  s.SeasonDay2 = d2;
  s.SeasonDay3 = d3;
  s.SeasonDay4 = d4;
  return s;
}

TEST(GrowthIndex, SegmentsOfAYearAndAcrossTheYearEnd) {
  ModelState s = SeasonState(60, 120, 250, 300);
  ComputeGrowthIndex(s, 365);
  EXPECT_DOUBLE_EQ(s.GrowthIndex[90], 0.5);
  EXPECT_DOUBLE_EQ(s.GrowthIndex[120], 1.0);
  EXPECT_DOUBLE_EQ(s.GrowthIndex[200], 1.0);
  EXPECT_DOUBLE_EQ(s.GrowthIndex[275], 0.5);
  EXPECT_DOUBLE_EQ(s.GrowthIndex[300], 0.0);
  EXPECT_DOUBLE_EQ(s.GrowthIndex[10], 0.0);
  EXPECT_DOUBLE_EQ(s.GrowthIndex[330], 0.0);
  EXPECT_DOUBLE_EQ(s.GrowthIndex[60], 0.0);
  // Southern-style calendar: full growth from day 331 over the year end to day 30.
  ModelState w = SeasonState(300, 330, 30, 100);
  ComputeGrowthIndex(w, 365);
  EXPECT_DOUBLE_EQ(w.GrowthIndex[331], 1.0);
  EXPECT_DOUBLE_EQ(w.GrowthIndex[365], 1.0);
  EXPECT_DOUBLE_EQ(w.GrowthIndex[1], 1.0);
  EXPECT_DOUBLE_EQ(w.GrowthIndex[30], 1.0);
  EXPECT_DOUBLE_EQ(w.GrowthIndex[65], 0.5);
  EXPECT_DOUBLE_EQ(w.GrowthIndex[200], 0.0);
  EXPECT_DOUBLE_EQ(w.GrowthIndex[315], 0.5);
  EXPECT_EQ(w.GrowthIndex[366], 0.0);  // not a day of the year: untouched
  // Senescence across the year end: D3 = 350, D4 = 20 falls over 35 days.
  ModelState f = SeasonState(60, 120, 350, 20);
  ComputeGrowthIndex(f, 365);
  EXPECT_DOUBLE_EQ(f.GrowthIndex[360], 1 - 10.0 / 35.0);
  EXPECT_DOUBLE_EQ(f.GrowthIndex[5], 1 - 20.0 / 35.0);
  EXPECT_DOUBLE_EQ(f.GrowthIndex[40], 0.0);
}

TEST(GrowthIndex, DaysOfNoSegmentKeepTheirValue) {
  ModelState s = SeasonState(100, 100, 100, 100);
  s.GrowthIndex[50] = 0.25;
  s.GrowthIndex[100] = 0.75;
  ComputeGrowthIndex(s, 365);
  EXPECT_EQ(s.GrowthIndex[50], 0.25);
  EXPECT_EQ(s.GrowthIndex[100], 0.75);
  // Absurd season days neither write out of the tables nor run for ages.
  ModelState a = SeasonState(-1000000000, 5, 2000000000, -7);
  ComputeGrowthIndex(a, 366);
  EXPECT_DOUBLE_EQ(a.GrowthIndex[5], 1.0);
}

// Exact solar geometry, for comparison: half-day length from the arc cosine.
double ReferenceHalfDay(double declination, double latitudeDeg) {
  double x = -std::tan(declination) * std::tan(latitudeDeg * 0.0174529);
  x = std::fmax(-1.0, std::fmin(1.0, x));
  return std::acos(x) * 12 / M_PI;
}

TEST(HamonPet, EquinoxesJuneAndSaturatedVapourDensity) {
  // 22 March and 22 September: J = 0, a 12-hour day, so L = 1 and PET = 0.1651 x rho.
  double pet = 0;
  HamonPet(3, 22, pet, 20.0, 45.0, 1.0);
  EXPECT_NEAR(pet, 0.1651 * 17.274, 0.1651 * 0.002);  // 17.27 g/m3 of vapour at 20 C
  double sep = 0;
  HamonPet(9, 22, sep, 20.0, 45.0, 1.0);
  EXPECT_EQ(sep, pet);
  double twice = 0;
  HamonPet(9, 22, twice, 20.0, 45.0, 2.0);
  EXPECT_DOUBLE_EQ(twice, 2 * pet);
  EXPECT_EQ(EquinoxDayOffset(3, 22), 0);
  EXPECT_EQ(EquinoxDayOffset(9, 22), 0);
  EXPECT_EQ(HalfDayLength(0.0, 45.0), 6.0);
  // June at 45 N: longer than 6 hours, and close to the exact geometry.
  double delta = 0.41014315 * std::sin(0.0174529 * EquinoxDayOffset(6, 21));
  double h = HalfDayLength(delta, 45.0);
  EXPECT_GT(h, 7.5);
  EXPECT_NEAR(h, ReferenceHalfDay(delta, 45.0), 0.01);
  double june = 0;
  HamonPet(6, 21, june, 20.0, 45.0, 1.0);
  EXPECT_NEAR(june, pet * 2 * h / 12, 1e-12);
  // December at 45 N: shorter.
  double dec = 0.41014315 * std::sin(0.0174529 * EquinoxDayOffset(12, 21));
  EXPECT_LT(HalfDayLength(dec, 45.0), 4.5);
  EXPECT_NEAR(HalfDayLength(dec, 45.0), ReferenceHalfDay(dec, 45.0), 0.01);
}

TEST(HamonPet, EquatorPolesAndSouthernLatitudes) {
  for (int m = 1; m <= 12; ++m) {
    double delta = 0.41014315 * std::sin(0.0174529 * EquinoxDayOffset(m, 15));
    EXPECT_EQ(HalfDayLength(delta, 0.0), 6.0) << m;
    for (double lat = -90; lat <= 90; lat += 2.5) {
      double h = HalfDayLength(delta, lat);
      ASSERT_FALSE(std::isnan(h)) << m << " " << lat;
      ASSERT_GE(h, 0.0);
      ASSERT_LE(h, 12.0);
      EXPECT_NEAR(h, ReferenceHalfDay(delta, lat), 0.01) << m << " " << lat;
    }
  }
  double june = 0.41014315 * std::sin(0.0174529 * EquinoxDayOffset(6, 21));
  EXPECT_EQ(HalfDayLength(june, 80.0), 12.0);   // polar day
  EXPECT_EQ(HalfDayLength(-june, 80.0), 0.0);   // polar night
  EXPECT_EQ(HalfDayLength(june, -80.0), 0.0);
  EXPECT_LT(HalfDayLength(june, -45.0), 6.0);   // southern winter
}

// South of the equator the branch follows the sign of the sunset-angle cosine, not of the
// declination (the rule by the declination would give a negative day length there): at 35 S
// the December days are long and the June days short, both positive, and the potential
// evapotranspiration follows.
TEST(HamonPet, SouthernLatitudeInBothSeasons) {
  const double december = 0.41014315 * std::sin(0.0174529 * EquinoxDayOffset(12, 21));
  const double june = 0.41014315 * std::sin(0.0174529 * EquinoxDayOffset(6, 21));
  const double summer = HalfDayLength(december, -35.0), winter = HalfDayLength(june, -35.0);
  EXPECT_GT(summer, 6.9);
  EXPECT_LT(summer, 7.3);
  EXPECT_GT(winter, 4.7);
  EXPECT_LT(winter, 5.1);
  EXPECT_NEAR(summer + winter, 12.0, 0.01);  // mirror images about the equinox
  EXPECT_NEAR(summer, ReferenceHalfDay(december, -35.0), 0.01);
  double petSummer = 0, petWinter = 0;
  HamonPet(12, 21, petSummer, 20.0, -35.0, 1.0);
  HamonPet(6, 21, petWinter, 20.0, -35.0, 1.0);
  EXPECT_GT(petWinter, 0.0);
  EXPECT_NEAR(petSummer / petWinter, summer / winter, 1e-12);
}

// A meteorological file of the given years: a header line and one line per day with the
// year, month, day, a code, then P = 1 + day/100, T = 10, Q = 2 and C = 0.5 (and a ninth
// value when col8 != 1).
std::string MetYear(int year, int startDay, int col8, int station, double precipBase) {
  std::ostringstream out;
  out << year << " 12 " << startDay << " " << col8 << " " << station << "\r\n";
  int days = IsLeapYear(year) ? 366 : 365;
  for (int d = 1; d <= days; ++d) {
    out << year << "\t1\t" << d << "\t0\t" << precipBase + d / 100.0 << "\t10\t2\t0.5";
    if (col8 != 1) out << "\t9";
    out << "\r\n";
  }
  return out.str();
}

ModelState MetState(int yearIndex, long linesRead) {
  ModelState s;
  s.BasinArea = 43.2;
  s.YearIndex = yearIndex;
  s.MetLinesRead = linesRead;
  s.SeasonDay1 = 60;
  s.SeasonDay2 = 80;
  s.SeasonDay3 = 250;
  s.SeasonDay4 = 300;
  return s;
}

TEST(MeteorologicalYear, FirstYearSeriesCalendarAndReservoirs) {
  ParameterSet p = test::ProcessParams();
  std::string text = MetYear(2001, 100, 1, 350, 1.0) + MetYear(2002, 1, 0, 350, 5.0);
  TextReader r = TextReader::FromString(text, "input/甲/met.txt");
  ModelState s = MetState(1, 0);
  ReadMeteorologicalYear(s, p, r);
  EXPECT_EQ(s.CurYear, 2001);
  EXPECT_EQ(s.MonthCount, 12);
  EXPECT_EQ(s.StartDay, 100);
  EXPECT_EQ(s.Col8Flag, 1);
  EXPECT_EQ(s.StationElev, 350);
  EXPECT_EQ(s.DaysInYear, 365);
  EXPECT_EQ(s.DaysInMonth[2], 28);
  EXPECT_DOUBLE_EQ(s.FlowToDepthFactor, 2.0);
  EXPECT_DOUBLE_EQ(s.DailyPrecip[365], 4.65);
  EXPECT_DOUBLE_EQ(s.ObsFlow[1], 4.0);          // 2 m3/s over 43.2 km2
  EXPECT_DOUBLE_EQ(s.ObsSediment[1], 86.4);     // 2 x 86400 x 0.5 / 1000 t, from the raw Q
  EXPECT_DOUBLE_EQ(s.DailySedConc[1], 0.5);
  EXPECT_DOUBLE_EQ(s.RoutedInterflow, 1.6);
  EXPECT_DOUBLE_EQ(s.RoutedGwFlow, 2.4);
  // 22 March (day 81) at full growth: the Hamon value itself; 1 Jan, dormant: 1/1.4 of it.
  double pet = 0;
  HamonPet(3, 22, pet, 10.0, p.Latitude, p.EvapConversionCoef);
  EXPECT_DOUBLE_EQ(s.GrowthIndex[81], 1.0);
  EXPECT_DOUBLE_EQ(s.DailyPET[81], pet);
  HamonPet(1, 1, pet, 10.0, p.Latitude, p.EvapConversionCoef);
  EXPECT_DOUBLE_EQ(s.DailyPET[1], pet / 1.4);
  HamonPet(12, 31, pet, 10.0, p.Latitude, p.EvapConversionCoef);
  EXPECT_DOUBLE_EQ(s.DailyPET[365], pet / 1.4);
}

TEST(MeteorologicalYear, SecondYearSkipsTheFirstBlock) {
  ParameterSet p = test::ProcessParams();
  std::string text = MetYear(2001, 1, 1, 350, 1.0) + MetYear(2002, 1, 0, 400, 5.0);
  // The driver reopens the file every year and counts 365 + 1 lines for 2001.
  TextReader r = TextReader::FromString(text, "met.txt");
  ModelState s = MetState(2, 366);
  s.RoutedInterflow = 7;
  s.RoutedGwFlow = 8;
  ReadMeteorologicalYear(s, p, r);
  EXPECT_EQ(s.CurYear, 2002);
  EXPECT_EQ(s.StationElev, 400);
  EXPECT_EQ(s.Col8Flag, 0);
  EXPECT_DOUBLE_EQ(s.DailyPrecip[1], 5.01);
  EXPECT_DOUBLE_EQ(s.DailyExtra[1], 9);
  EXPECT_EQ(r.LineNumber(), 366 + 366);
  // Later years carry the reservoirs over.
  EXPECT_EQ(s.RoutedInterflow, 7);
  EXPECT_EQ(s.RoutedGwFlow, 8);
  // MetLinesRead = 1 skips nothing.
  TextReader one = TextReader::FromString(text, "met.txt");
  ModelState t = MetState(1, 1);
  ReadMeteorologicalYear(t, p, one);
  EXPECT_EQ(t.CurYear, 2001);
}

TEST(MeteorologicalYear, LeapYears) {
  ParameterSet p = test::ProcessParams();
  for (auto [year, days] : {std::pair{1900, 365}, {2000, 366}, {2008, 366}, {2001, 365}}) {
    TextReader r = TextReader::FromString(MetYear(year, 1, 1, 0, 1.0), "met.txt");
    ModelState s = MetState(1, 0);
    ReadMeteorologicalYear(s, p, r);
    EXPECT_EQ(s.DaysInYear, days) << year;
    EXPECT_EQ(s.DaysInMonth[2], days - 337) << year;
    int total = 0;
    for (int m = 1; m <= 12; ++m) total += s.DaysInMonth[m];
    EXPECT_EQ(total, days);
  }
}

// Reads year block (linesRead lines skipped) and hands the error of type E to check.
template <typename E, typename Check>
void ExpectFailure(const std::string& text, long linesRead, Check check) {
  TextReader r = TextReader::FromString(text, "input/甲/met.txt");
  ModelState s = MetState(1, linesRead);
  try {
    ReadMeteorologicalYear(s, test::ProcessParams(), r);
    ADD_FAILURE() << "no error";
  } catch (const E& e) {
    check(e);
  }
}

TEST(MeteorologicalYear, ErrorsNameFileLineAndToken) {
  std::string y1 = MetYear(2001, 1, 1, 350, 1.0);
  std::string y2 = MetYear(2002, 1, 1, 350, 1.0);
  // A decimal point in an integer token of a day line of year 2: line 366 + 1 + 3.
  std::string bad = y2;
  std::size_t at = 0;
  for (int k = 0; k < 3; ++k) at = bad.find("\r\n", at) + 2;
  bad.replace(at, 4, "20.2");
  ExpectFailure<ConversionError>(y1 + bad, 366, [](const ConversionError& e) {
    EXPECT_EQ(e.Line(), 370);
    EXPECT_EQ(e.Token(), "20.2");
    EXPECT_EQ(e.TokenIndex(), 0);
    EXPECT_NE(std::string(e.what()).find("input/甲/met.txt line 370"), std::string::npos)
        << e.what();
  });
  // A header with a real station elevation.
  std::string header = y1;
  header.replace(header.find(" 350"), 4, " 3.5");
  ExpectFailure<ConversionError>(header, 0, [](const ConversionError& e) {
    EXPECT_EQ(e.Line(), 1);
    EXPECT_EQ(e.TokenIndex(), 4);
  });
}

TEST(MeteorologicalYear, ShortLinesAndMissingBlocks) {
  std::string y1 = MetYear(2001, 1, 1, 350, 1.0);
  // Nine values wanted (Col8Flag 0) but day lines carry eight: line 2, token 8.
  std::string nine = MetYear(2001, 1, 1, 350, 1.0);
  nine.replace(nine.find(" 1 350"), 6, " 0 350");
  TextReader r = TextReader::FromString(nine, "met.txt");
  ModelState s = MetState(1, 0);
  try {
    ReadMeteorologicalYear(s, test::ProcessParams(), r);
    FAIL();
  } catch (const ListIndexError& e) {
    EXPECT_EQ(e.Line(), 2);
    EXPECT_EQ(e.TokenIndex(), 8);
  }
  // A day line with seven values.
  std::string seven = y1;
  seven.replace(seven.find("\t0.5\r\n"), 4, "");
  TextReader r7 = TextReader::FromString(seven, "met.txt");
  try {
    ReadMeteorologicalYear(s, test::ProcessParams(), r7);
    FAIL();
  } catch (const ListIndexError& e) {
    EXPECT_EQ(e.Line(), 2);
    EXPECT_EQ(e.TokenIndex(), 7);
  }
  // Year 2 asked of a file holding year 1 only: the header line 367 is missing.
  ExpectFailure<FileError>(y1, 366, [](const FileError& e) {
    EXPECT_EQ(e.Line(), 367);
    EXPECT_NE(std::string(e.what()).find("input/甲/met.txt line 367"), std::string::npos);
  });
  // A year cut short: day 365 on line 366 is missing.
  std::string cut = y1.substr(0, y1.rfind("2001\t"));
  ExpectFailure<FileError>(cut, 0, [](const FileError& e) { EXPECT_EQ(e.Line(), 366); });
}

}  // namespace
}  // namespace tarnwell
