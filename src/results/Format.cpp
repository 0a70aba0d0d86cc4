#include "results/Format.h"

#include <cstdarg>
#include <cstdio>
#include <limits>
#include <vector>

#include "model/Observation.h"

namespace tarnwell {

std::string Printf(const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  std::string out;
  if (n < 0) {
    va_end(again);
    return out;
  }
  if (static_cast<std::size_t>(n) < sizeof buffer) {
    out.assign(buffer, static_cast<std::size_t>(n));
  } else {
    // A value wider than its field widens the row; the row is still written whole.
    std::vector<char> big(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(big.data(), big.size(), format, again);
    out.assign(big.data(), static_cast<std::size_t>(n));
  }
  va_end(again);
  return out;
}

const char* const kHeaderD =
    "    Date     Precip  Intercep  PET   AET    Uzone1  Uzone2  Uzone3  U_drain Subflow G_Flow "
    "Si_flow Re_flow  G_drain G_Stable";
const char* const kHeaderS = "    Date    Si_errosion   Re_chansha     Si_chansha     Sediment";
const char* const kHeaderF = "    Date    SnowPack   FrostSoil     AirTemp     GroundWater";
const char* const kHeaderB1 =
    "  MONTH    N  MEASURED  SIMULAT    MEAN   ST.DEV.   CORR.  TOTAL     TOTAL     PRECIP     "
    "AET  INTERCEP    SOIL   GROUND ";
const char* const kHeaderB2 =
    "  YEAR         MEAN      MEAN      DIFF.  OF DIFF.  COEF.  MEASURED  SIMULAT              "
    "                 DRAIN   WATER ";
const char* const kHeaderB3 =
    "               FLOW      FLOW      FLOW    FLOW                                           "
    "                         FLOW  ";
const char* const kHeaderB4 =
    "               (mm)      (mm)      (mm)    (mm)                       (mm)      (mm)      "
    "(mm)    (mm)     (mm)    (mm)  ";
const char* const kHeaderT1 =
    "  MONTH        N     MEASURED    SIMULAT     MEAN      ST.DEV.     CORR.    TOTAL      "
    "TOTAL     TOTAL    ";
const char* const kHeaderT2 =
    "  YEAR                MEAN        MEAN       DIFF.     OF DIFF.    COEF.   MEASURED   "
    "SIMULAT  Errosion  ";
const char* const kHeaderT3 =
    "                     Chansha     Chansha    Chansha    Chansha                            "
    "           ";

const char* const kDailyColumns[] = {"Precip",
                                     "Intercep",
                                     "PET",
                                     "AET",
                                     "Uzone1",
                                     "Uzone2",
                                     "Uzone3",
                                     "U_drain",
                                     "Subflow",
                                     "G_Flow",
                                     "Si_flow (simulated outflow)",
                                     "Re_flow (observed outflow)",
                                     "G_drain",
                                     "G_Stable (water-table depth)"};
const char* const kFrozenColumns[] = {"SnowPack", "FrostSoil", "AirTemp", "GroundWater"};
const char* const kSedimentColumns[] = {"Si_errosion (soil loss)", "Re_chansha (observed load)",
                                        "Si_chansha (simulated load)", "Sediment (channel store)"};
const char* const kBudgetColumns[] = {"measured mean flow",
                                      "simulated mean flow",
                                      "mean difference",
                                      "st. dev. of the difference",
                                      "correlation",
                                      "measured total",
                                      "simulated total",
                                      "precipitation",
                                      "AET",
                                      "interception",
                                      "soil drainage",
                                      "groundwater"};
const char* const kSedBudgetColumns[] = {
    "measured mean load", "simulated mean load", "mean difference", "st. dev. of the difference",
    "correlation",        "measured total",      "simulated total", "erosion"};

std::string YearLine(int year) { return Printf("%04d ", year); }

std::string DateText(int month, int dayOfMonth, int year) { return Printf("%.2d-%.2d-%04d", month, dayOfMonth, year); }

namespace {

// The fourteen values after the date of a "Daily.out" row.
const char* const kDailyValues =
    "   %5.3f   %5.3f   %5.3f   %5.3f   %3.2f   %3.2f   %3.2f   %.3f   %.3f   %.3f   %.3f   "
    "%.3f   %.3f   %.3f";

std::string DailyTail(const DailyValues& v) {
  return Printf(kDailyValues, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10], v[11], v[12], v[13]);
}

std::string FourTail(const FourValues& v) {
  return Printf("   %10.3f   %10.3f   %10.3f   %10.3f   ", v[0], v[1], v[2], v[3]);
}

// "Budget.out" values after N (month rows and whole-basin rows share the uneven blanks).
std::string BudgetTail(const BudgetValues& v) {
  return Printf(
      "   %5.3f     %5.3f     %5.3f   %5.3f    %5.3f   %5.3f    %5.3f     %5.3f     %5.3f    "
      "%5.3f   %5.3f   %5.3f   ",
      v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10], v[11]);
}

std::string SedBudgetTail(const SedBudgetValues& v) {
  return Printf("   %10.3f     %10.3f     %10.3f   %10.3f     %10.3f     %10.3f   %10.3f     %10.3f     ", v[0], v[1],
                v[2], v[3], v[4], v[5], v[6], v[7]);
}

}  // namespace

double MeasuredValue(double observed) {
  return IsObserved(observed) ? observed : std::numeric_limits<double>::quiet_NaN();
}

std::string DailyRow(int month, int dayOfMonth, int year, const DailyValues& v) {
  return DateText(month, dayOfMonth, year) + DailyTail(v);
}

std::string FourValueRow(int month, int dayOfMonth, int year, const FourValues& v) {
  return DateText(month, dayOfMonth, year) + FourTail(v);
}

std::string BudgetMonthRow(int month, int year, int n, const BudgetValues& v) {
  return Printf("%.2d-%04d   %2d", month, year, n) + BudgetTail(v);
}

std::string BudgetYearRow(int year, int n, const BudgetValues& v) {
  // Three blanks between all values, unlike the month row.
  return Printf(
      "%04d全年 %3d   %5.3f   %5.3f   %5.3f   %5.3f   %5.3f   %5.3f   %5.3f   %5.3f   %5.3f   "
      "%5.3f   %5.3f   %5.3f   ",
      year, n, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10], v[11]);
}

std::string SedBudgetMonthRow(int month, int year, int n, const SedBudgetValues& v) {
  return Printf("%.2d-%04d   %2d", month, year, n) + SedBudgetTail(v);
}

std::string SedBudgetYearRow(int year, int n, const SedBudgetValues& v) {
  return Printf("%04d全年  %3d", year, n) + SedBudgetTail(v);
}

std::string BasinDailyRow(const std::string& date, const DailyValues& v) {
  return Printf("%10s", date.c_str()) + DailyTail(v);
}

std::string BasinFourValueRow(const std::string& date, const FourValues& v) {
  return Printf("%7s", date.c_str()) + FourTail(v);
}

std::string BasinBudgetRow(const std::string& label, int n, const BudgetValues& v) {
  return Printf("%7s   %2d", label.c_str(), n) + BudgetTail(v);
}

std::string BasinSedBudgetRow(const std::string& label, int n, const SedBudgetValues& v) {
  return Printf("%7s   %2d", label.c_str(), n) + SedBudgetTail(v);
}

}  // namespace tarnwell
