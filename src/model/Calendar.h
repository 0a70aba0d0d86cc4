// The Gregorian calendar of the model's years: every reader, writer and series of days
// counts its days from these.
#pragma once

namespace tarnwell {

constexpr bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

// Days in the calendar year: 365 or 366.
constexpr int YearLength(int year) { return IsLeapYear(year) ? 366 : 365; }

// Days in month 1..12 of the calendar year.
constexpr int MonthLength(int year, int month) {
  constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return kDays[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

// Day of the year (1 January is 1) of a date; month 1..12.
constexpr int DayOfYear(int year, int month, int day) {
  constexpr int kBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  return kBefore[month - 1] + day + (month > 2 && IsLeapYear(year) ? 1 : 0);
}

static_assert(YearLength(1900) == 365 && YearLength(2000) == 366 && YearLength(1996) == 366);
static_assert(MonthLength(2000, 2) == 29 && MonthLength(1900, 2) == 28 && DayOfYear(2000, 3, 1) == 61);

}  // namespace tarnwell
