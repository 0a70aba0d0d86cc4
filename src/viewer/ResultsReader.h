// The stored results as the window shows them, read from the output files only: the rows
// of the two statistics tables for years 1..n, and the day series of one year for the
// charts. Each year block is read by its own structure (the rows it has up to its year
// row, the days it has up to the next year line), so a year with a late start day or
// fewer months shows what it holds.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace tarnwell {

struct Session;
struct ModelState;

// The texts of the two statistics tables, row 0 the headings.
struct ResultTables {
  std::vector<std::vector<std::string>> runoff, sediment;
};

// The directory of the results of sub-basin k ("流域" + k, even for k = 0, which no run
// writes), or of the whole basin when k is past the last sub-basin (a model path).
std::string ResultDirectory(const Session& session, int k);

// Budget.out and Budget_s.out of dir, years 1..years.
ResultTables ReadStatTables(const Session& session, const std::string& dir, int years);

// Daily.out, Daily_s.out and Daily_f.out of dir, year `year` (1-based): the chart series,
// CurYear, DaysInYear and DayCount (the last day the files hold).
std::shared_ptr<ModelState> ReadDailySeries(const Session& session, const std::string& dir, int year);

// The number of years the last simulation stored ("..\output\Mark.out", token 0).
int StoredYears(const Session& session);

}  // namespace tarnwell
