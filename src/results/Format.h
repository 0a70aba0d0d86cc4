// Text of the output files: the header lines and the row layouts, and the one printf-style
// formatter behind them. Rows are composed in UTF-8 here; the file layer turns them into
// GBK with CR LF when they are written.
#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace tarnwell {

// printf into a std::string (any length).
std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Header lines of the year blocks.
extern const char* const kHeaderD;
extern const char* const kHeaderS;
extern const char* const kHeaderF;
extern const char* const kHeaderB1;
extern const char* const kHeaderB2;
extern const char* const kHeaderB3;
extern const char* const kHeaderB4;
extern const char* const kHeaderT1;
extern const char* const kHeaderT2;
extern const char* const kHeaderT3;

// What each value of a row stands for, in column order, for messages about a row.
extern const char* const kDailyColumns[14];
extern const char* const kFrozenColumns[4];
extern const char* const kSedimentColumns[4];
extern const char* const kBudgetColumns[12];
extern const char* const kSedBudgetColumns[8];

// The year line: the calendar year in four characters and one blank.
std::string YearLine(int year);
// "07-15-2001": the date token of every day row.
std::string DateText(int month, int dayOfMonth, int year);

// Values of a "Daily.out" row in column order: Precip, Intercep, PET, AET, Uzone1..3,
// U_drain, Subflow, G_Flow, Si_flow, Re_flow, G_drain, G_Stable.
using DailyValues = std::array<double, 14>;
// Values of a "Daily_s.out" row (Si_errosion, Re_chansha, Si_chansha, Sediment) or a
// "Daily_f.out" row (SnowPack, FrostSoil, AirTemp, GroundWater).
using FourValues = std::array<double, 4>;
// Values after N of a "Budget.out" row (12) and of a "Budget_s.out" row (8).
using BudgetValues = std::array<double, 12>;
using SedBudgetValues = std::array<double, 8>;

// A measured value as a row shows it: a day without observation becomes NaN, which the
// row formats write "nan", right-aligned in the column's width (pandas and spreadsheets
// read it as a missing value). Rows are checked for finite values before this.
double MeasuredValue(double observed);
// The positions of the measured values in DailyValues (Re_flow) and in the FourValues of
// "Daily_s.out" (Re_chansha).
inline constexpr std::size_t kReFlowValue = 11, kReChanshaValue = 1;

std::string DailyRow(int month, int dayOfMonth, int year, const DailyValues& v);
std::string FourValueRow(int month, int dayOfMonth, int year, const FourValues& v);
std::string BudgetMonthRow(int month, int year, int n, const BudgetValues& v);
std::string BudgetYearRow(int year, int n, const BudgetValues& v);
std::string SedBudgetMonthRow(int month, int year, int n, const SedBudgetValues& v);
std::string SedBudgetYearRow(int year, int n, const SedBudgetValues& v);

// Whole-basin rows: the date text or period label as read back from the sub-basin files.
std::string BasinDailyRow(const std::string& date, const DailyValues& v);
std::string BasinFourValueRow(const std::string& date, const FourValues& v);
std::string BasinBudgetRow(const std::string& label, int n, const BudgetValues& v);
std::string BasinSedBudgetRow(const std::string& label, int n, const SedBudgetValues& v);

}  // namespace tarnwell
