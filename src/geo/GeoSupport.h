// What the import and export code shares: GDAL set up once with its messages captured,
// calendar days, and number texts in the model's files.
#pragma once

#include <chrono>
#include <string>

namespace tarnwell::geo {

// Registers GDAL's drivers once and keeps its messages off standard error; the last one
// is kept for the error this code raises.
void InitGdal();
// The last message GDAL gave (empty when none), cleared.
std::string TakeGdalMessage();

using Day = std::chrono::sys_days;

Day MakeDay(int year, int month, int day);
int YearOf(Day d);
int MonthOf(Day d);
int DayOfMonthOf(Day d);
std::string IsoDate(Day d);
// "1990-01-31", optionally followed by a time ("T00:00", " 00:00:00"): false when the text
// is no such date.
bool ParseIsoDate(const std::string& text, Day& day);

// The kinds of daily value the import writes into the meteorological and outlet files.
enum class DailyQuantity { Precipitation, Temperature, Discharge, Concentration };
// Why a day's value cannot be imported, as the end of a sentence naming it ("is negative:
// ..."); empty when it can. The ranges are the quantity's own within what the model's
// readers take.
std::string DailyValueProblem(DailyQuantity quantity, double value);

// A real with at most `decimals` decimals, trailing zeros dropped ("5.70" -> "5.7"; "-0" -> "0").
std::string CompactReal(double value, int decimals);
// "%.*f" with "-0.00" written as "0.00".
std::string Fixed(double value, int decimals);

}  // namespace tarnwell::geo
