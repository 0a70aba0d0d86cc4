// The stored results as the window shows them, read from the output files only: the rows
// of the two statistics tables for years 1..n, and the day series of one year for the
// charts; and whether there are stored results at all. Each year block is read by its own structure (the rows it has up
// to its year row, the days it has up to the next year line), so a year with a late start day or fewer months shows
// what it holds.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarnwell {

struct ModelState;
struct StoredResults;

// The texts of the two statistics tables, row 0 the headings.
struct ResultTables {
  std::vector<std::vector<std::string>> runoff, sediment;
};

// The directory of the results of sub-basin k ("流域" + k, even for k = 0, which no run
// writes), or of the whole basin when k is past the last sub-basin (a model path).
std::string ResultDirectory(const StoredResults& results, int k);

// Budget.out and Budget_s.out of dir, years 1..years.
ResultTables ReadStatTables(const StoredResults& results, const std::string& dir, int years);

// Daily.out, Daily_s.out and Daily_f.out of dir, year `year` (1-based): the chart series,
// CurYear, DaysInYear and DayCount (the last day the files hold); for the whole basin's
// directory also SubBasinCount and SelectedSubBasin = SubBasinCount + 1, which the charts
// read as the whole basin. Re_flow and Re_chansha read "nan" or a negative value as a day
// without observation (kNoObservation). A year that has no day
// row in one of the files is refused (InputError naming the file and the year): it would
// draw empty charts.
std::shared_ptr<ModelState> ReadDailySeries(const StoredResults& results, const std::string& dir, int year);

// Which stored year (1-based) of dir's Daily.out is the calendar year `calendarYear`,
// looking at its first `storedYears` years; 0 when none is.
int StoredYearNumber(const StoredResults& results, const std::string& dir, int calendarYear, int storedYears);

// The number of years the last simulation stored ("..\output\Mark.out", token 0); 0 when
// the marker is missing or empty or says 0: nothing has been stored yet.
int StoredYears(const StoredResults& results);

// StoredYears, refusing a workspace without stored results with NoStoredResults.
int RequireStoredYears(const StoredResults& results);

// Browsing a workspace that holds no results yet.
class NoStoredResults : public std::runtime_error {
 public:
  NoStoredResults() : std::runtime_error("No stored results yet: a run (模拟计算) makes them.") {}
};

}  // namespace tarnwell
