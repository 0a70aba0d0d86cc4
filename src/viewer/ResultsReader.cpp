#include "viewer/ResultsReader.h"

#include <algorithm>

#include "inputs/TextFile.h"
#include "model/Calendar.h"
#include "model/Errors.h"
#include "model/ModelState.h"
#include "results/OutputParser.h"

namespace tarnwell {

namespace {

const char* kRunoffHeadings =
    "年月 天数 实测平均流量 模拟平均流量 流量平均差 流量标准差  相关系数 实测径流深 模拟径流深 "
    "降雨量 蒸发量 截留雨量 土壤排水量 地下水";
const char* kSedimentHeadings =
    "年月 天数 实测流域产沙 模拟流域产沙 产沙平均差 产沙标准差  相关系数 实测产沙量 模拟产沙量 "
    "模拟总侵蚀量";

// The next year block of a file: year `y` (1-based) of it.
ResultBlock NextYear(ResultFile file, TextReaderLines& lines, int y) {
  ResultBlock block;
  if (!ParseResultBlock(file, lines, block))
    throw FileError(lines.Name(), lines.LineNumber() + 1, "year " + std::to_string(y) + " is not in the file");
  return block;
}

// One year of a budget file for a table: its rows (label, N, the values), up to its year row.
void AddBudgetYear(ResultFile file, TextReaderLines& lines, int y, std::vector<std::vector<std::string>>& rows) {
  ResultBlock block = NextYear(file, lines, y);
  if (!block.complete) throw FileError(lines.Name(), lines.LineNumber() + 1, "the year ends before its year row");
  for (ResultRow& r : block.rows) {
    std::vector<std::string> row{r.label};
    row.insert(row.end(), r.tokens.begin(), r.tokens.end());
    rows.push_back(std::move(row));
  }
}

void RequireDayRows(const TextReader& file, const ResultBlock& block, int yearNumber) {
  if (!block.rows.empty()) return;
  throw InputError(file.Name(), 0,
                   "year " + std::to_string(block.year) + " (stored year " + std::to_string(yearNumber) +
                       ") has no day rows: there is nothing to draw");
}

}  // namespace

std::string ResultDirectory(const StoredResults& results, int k) {
  if (k <= results.subBasinCount) return results.programDir + "..\\Output\\流域" + std::to_string(k);
  return results.programDir + "..\\Output\\全流域";
}

ResultTables ReadStatTables(const StoredResults& results, const std::string& dir, int years) {
  ResultTables t;
  t.runoff.push_back(SplitFields(kRunoffHeadings));
  t.sediment.push_back(SplitFields(kSedimentHeadings));
  TextReader budget = results.open(dir + "\\Budget.out");
  TextReader budgetS = results.open(dir + "\\Budget_s.out");
  TextReaderLines b(budget), bs(budgetS);
  for (int y = 1; y <= years; ++y) {
    AddBudgetYear(ResultFile::Budget, b, y, t.runoff);
    AddBudgetYear(ResultFile::SedimentBudget, bs, y, t.sediment);
  }
  return t;
}

std::shared_ptr<ModelState> ReadDailySeries(const StoredResults& results, const std::string& dir, int year) {
  auto s = std::make_shared<ModelState>();
  // The whole basin's series are outlet discharges (m3/s): the charts label them so.
  if (dir == ResultDirectory(results, results.subBasinCount + 1)) {
    s->SubBasinCount = results.subBasinCount;
    s->SelectedSubBasin = s->SubBasinCount + 1;
  }
  TextReader daily = results.open(dir + "\\Daily.out");
  TextReader dailyS = results.open(dir + "\\Daily_s.out");
  TextReader dailyF = results.open(dir + "\\Daily_f.out");
  TextReaderLines d(daily), g(dailyS), f(dailyF);
  // Earlier years are read (and so checked) and passed over.
  for (int y = 1; y < year; ++y) {
    NextYear(ResultFile::Daily, d, y);
    NextYear(ResultFile::DailySediment, g, y);
    NextYear(ResultFile::DailyFrozen, f, y);
  }
  const ResultBlock rows = NextYear(ResultFile::Daily, d, year);
  const ResultBlock rowsS = NextYear(ResultFile::DailySediment, g, year);
  const ResultBlock rowsF = NextYear(ResultFile::DailyFrozen, f, year);
  for (const ResultBlock* other : {&rowsS, &rowsF})
    if (other->year != rows.year)
      throw InputError(other == &rowsS ? dailyS.Name() : dailyF.Name(), other->firstLine,
                       "stored year " + std::to_string(year) + " is " + std::to_string(other->year) + ", in " +
                           daily.Name() + " " + std::to_string(rows.year));
  s->CurYear = rows.year;
  s->DaysInYear = YearLength(s->CurYear);
  RequireDayRows(daily, rows, year);
  RequireDayRows(dailyS, rowsS, year);
  RequireDayRows(dailyF, rowsF, year);
  const auto at = [](const ResultRow& r) { return static_cast<std::size_t>(DayOfYear(r.year, r.month, r.day)); };
  for (const ResultRow& r : rows.rows) {
    s->MeanPrecip[at(r)] = r.values[0];
    s->SimFlow[at(r)] = r.values[10];
    s->ObsFlow[at(r)] = r.values[11];
    s->DayCount = std::max(s->DayCount, static_cast<int>(at(r)));
  }
  for (const ResultRow& r : rowsS.rows) {
    s->ObsSediment[at(r)] = r.values[1];
    s->SimSediment[at(r)] = r.values[2];
  }
  for (const ResultRow& r : rowsF.rows) {
    s->MeanSnowPack[at(r)] = r.values[0];
    s->MeanFrozen[at(r)] = r.values[1];
    s->AirTempAdj[at(r)] = r.values[2];
    s->GroundWaterLevel[at(r)] = r.values[3];
  }
  return s;
}

int StoredYearNumber(const StoredResults& results, const std::string& dir, int calendarYear, int storedYears) {
  TextReader daily = results.open(dir + "\\Daily.out");
  TextReaderLines lines(daily);
  ResultBlock block;
  for (int y = 1; y <= storedYears && ParseResultBlock(ResultFile::Daily, lines, block); ++y)
    if (block.year == calendarYear) return y;
  return 0;
}

int StoredYears(const StoredResults& results) {
  const std::string& path = results.markFile;
  if (!results.exists(path)) return 0;
  TextReader mark = results.open(path);
  const FieldLine first = mark.ReadFields();
  if (first.Count() == 0) return 0;
  const int years = first.Integer(0);
  if (years < 0) throw ConversionError(mark.Name(), 1, first.Token(0), 0, "a number of years (0 or more)");
  return years;
}

int RequireStoredYears(const StoredResults& results) {
  const int years = StoredYears(results);
  if (years == 0) throw NoStoredResults();
  return years;
}

}  // namespace tarnwell
