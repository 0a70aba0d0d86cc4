#include "geo/GeoSupport.h"

#include <cpl_error.h>
#include <gdal.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>

#include "model/InputRanges.h"

namespace tarnwell::geo {

namespace {

std::mutex gMessageMutex;
std::string gLastMessage;

void CPL_STDCALL KeepMessage(CPLErr level, CPLErrorNum, const char* message) {
  if (level < CE_Failure) return;  // warnings and debug output are not errors here
  std::lock_guard<std::mutex> lock(gMessageMutex);
  gLastMessage = message ? message : "";
}

}  // namespace

void InitGdal() {
  static std::once_flag once;
  std::call_once(once, [] {
    GDALAllRegister();
    CPLSetErrorHandler(KeepMessage);
  });
}

std::string TakeGdalMessage() {
  std::lock_guard<std::mutex> lock(gMessageMutex);
  std::string m;
  m.swap(gLastMessage);
  return m;
}

Day MakeDay(int year, int month, int day) {
  return Day(std::chrono::year(year) / std::chrono::month(static_cast<unsigned>(month)) /
             std::chrono::day(static_cast<unsigned>(day)));
}

int YearOf(Day d) { return static_cast<int>(std::chrono::year_month_day(d).year()); }
int MonthOf(Day d) { return static_cast<int>(static_cast<unsigned>(std::chrono::year_month_day(d).month())); }
int DayOfMonthOf(Day d) { return static_cast<int>(static_cast<unsigned>(std::chrono::year_month_day(d).day())); }

std::string IsoDate(Day d) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", YearOf(d), MonthOf(d), DayOfMonthOf(d));
  return buf;
}

bool ParseIsoDate(const std::string& text, Day& day) {
  int y = 0, m = 0, d = 0, used = 0;
  if (text.size() < 10 || std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &y, &m, &d, &used) != 3 || used != 10)
    return false;
  if (text.size() > 10 && text[10] != 'T' && text[10] != ' ') return false;
  std::chrono::year_month_day ymd{std::chrono::year(y), std::chrono::month(static_cast<unsigned>(m)),
                                  std::chrono::day(static_cast<unsigned>(d))};
  if (m < 1 || d < 1 || !ymd.ok()) return false;
  day = Day(ymd);
  return true;
}

std::string DailyValueProblem(DailyQuantity q, double v) {
  auto shown = [](double x) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%g", x);
    return std::string(buf);
  };
  if (!std::isfinite(v)) return "is not a number";
  switch (q) {
    case DailyQuantity::Precipitation:
      if (v < 0) return "is negative: a no-data value the source does not declare?";
      if (v > kLargestDailyPrecipitation)
        return "is more than " + shown(kLargestDailyPrecipitation) +
               " mm in a day, beyond any measured: a no-data value or another unit?";
      return "";
    case DailyQuantity::Temperature:
      if (v < kLowestAirTemperature || v > kHighestAirTemperature)
        return "lies beyond any air temperature measured (" + shown(kLowestAirTemperature) + " to " +
               shown(kHighestAirTemperature) + " degrees C): a no-data value or another unit?";
      return "";
    case DailyQuantity::Discharge:
    case DailyQuantity::Concentration:
      if (v < 0) return "is negative: a no-data value the source does not declare?";
      if (v > kLargestInputValue) return "is beyond any measured value (at most 1e9)";
      return "";
  }
  return "";
}

std::string Fixed(double value, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
  std::string s = buf;
  if (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
  return s;
}

std::string CompactReal(double value, int decimals) {
  std::string s = Fixed(value, decimals);
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  return s;
}

}  // namespace tarnwell::geo
