#include "viewer/ResultsReader.h"

#include <algorithm>
#include <cstdio>

#include "app/Session.h"
#include "app/Startup.h"
#include "inputs/TextFile.h"
#include "model/Calendar.h"
#include "model/Errors.h"
#include "model/ModelState.h"

namespace tarnwell {

namespace {

const char* kRunoffHeadings =
    "年月 天数 实测平均流量 模拟平均流量 流量平均差 流量标准差  相关系数 实测径流深 模拟径流深 "
    "降雨量 蒸发量 截留雨量 土壤排水量 地下水";
const char* kSedimentHeadings =
    "年月 天数 实测流域产沙 模拟流域产沙 产沙平均差 产沙标准差  相关系数 实测产沙量 模拟产沙量 "
    "模拟总侵蚀量";

// One year of a budget file: 5 heading lines, the month rows, the year row ("YYYY全年").
void ReadBudgetYear(TextReader& file, std::size_t columns, std::vector<std::vector<std::string>>& rows) {
  file.SkipLines(5);
  for (int guard = 0; guard < 13; ++guard) {
    if (file.AtEnd()) throw FileError(file.Name(), file.LineNumber() + 1, "the year ends before its year row");
    FieldLine line = file.ReadFields();
    std::vector<std::string> row = line.Tokens();
    row.resize(columns);
    rows.push_back(row);
    if (line.Count() > 0 && line.Token(0).find("全年") != std::string::npos) return;
  }
  throw FileError(file.Name(), file.LineNumber(), "no year row after twelve month rows");
}

// A day row's day of the year from its date "MM-DD-YYYY"; 0 when it is not a day row.
int DayOfYearOf(const std::string& date) {
  int m = 0, d = 0, y = 0;
  if (std::sscanf(date.c_str(), "%d-%d-%d", &m, &d, &y) != 3 || m < 1 || m > 12) return 0;
  return DayOfYear(y, m, d);
}

// The day rows of one year block after its year line and column heading; stops before the
// next year line. For every row, store(day, line); returns the number of rows.
template <class Store>
int ReadDayRows(TextReader& file, Store store) {
  int rows = 0;
  while (!file.AtEnd()) {
    const std::size_t offset = file.Offset();
    const long lineNumber = file.LineNumber();
    FieldLine line = file.ReadFields();
    if (line.Count() <= 1) {  // the next year's line (or an empty line at the end)
      file.Seek(offset, lineNumber);
      return rows;
    }
    const int day = DayOfYearOf(line.Token(0));
    if (day < 1 || day > kMaxDays)
      throw ConversionError(file.Name(), line.LineNumber(), line.Token(0), 0, "a date MM-DD-YYYY");
    store(day, line);
    ++rows;
  }
  return rows;
}

void RequireDayRows(const TextReader& file, int rows, int calendarYear, int yearNumber) {
  if (rows > 0) return;
  throw InputError(file.Name(), 0,
                   "year " + std::to_string(calendarYear) + " (stored year " + std::to_string(yearNumber) +
                       ") has no day rows: there is nothing to draw");
}

}  // namespace

std::string ResultDirectory(const Session& session, int k) {
  const ModelState& s = session.state;
  if (k <= s.SubBasinCount) return s.ProgramDir + "..\\Output\\流域" + std::to_string(k);
  return s.ProgramDir + "..\\Output\\全流域";
}

ResultTables ReadStatTables(const Session& session, const std::string& dir, int years) {
  ResultTables t;
  t.runoff.push_back(SplitFields(kRunoffHeadings));
  t.sediment.push_back(SplitFields(kSedimentHeadings));
  TextReader budget = session.Open(dir + "\\Budget.out");
  TextReader budgetS = session.Open(dir + "\\Budget_s.out");
  for (int y = 1; y <= years; ++y) {
    ReadBudgetYear(budget, 14, t.runoff);
    ReadBudgetYear(budgetS, 10, t.sediment);
  }
  return t;
}

std::shared_ptr<ModelState> ReadDailySeries(const Session& session, const std::string& dir, int year) {
  auto s = std::make_shared<ModelState>();
  // The whole basin's series are outlet discharges (m3/s): the charts label them so.
  if (dir == ResultDirectory(session, session.state.SubBasinCount + 1)) {
    s->SubBasinCount = session.state.SubBasinCount;
    s->SelectedSubBasin = s->SubBasinCount + 1;
  }
  TextReader daily = session.Open(dir + "\\Daily.out");
  TextReader dailyS = session.Open(dir + "\\Daily_s.out");
  TextReader dailyF = session.Open(dir + "\\Daily_f.out");
  for (int y = 1; y <= year; ++y) {
    // Earlier years are read and overwritten.
    s->MeanPrecip = s->SimFlow = s->ObsFlow = s->ObsSediment = s->SimSediment = DaySeries{};
    s->MeanSnowPack = s->MeanFrozen = s->AirTempAdj = s->GroundWaterLevel = DaySeries{};
    if (daily.AtEnd()) throw FileError(daily.Name(), daily.LineNumber() + 1, "year " + std::to_string(y) + " is not in the file");
    s->CurYear = daily.ReadFields().Integer(0);
    daily.SkipLines(1);
    dailyS.SkipLines(2);
    dailyF.SkipLines(2);
    s->DaysInYear = YearLength(s->CurYear);
    int last = 0;
    const auto d = [](int day) { return static_cast<std::size_t>(day); };
    const int rows = ReadDayRows(daily, [&](int day, const FieldLine& line) {
      s->MeanPrecip[d(day)] = line.Real(1);
      s->SimFlow[d(day)] = line.Real(11);
      s->ObsFlow[d(day)] = line.Measured(12);
      last = std::max(last, day);
    });
    const int rowsS = ReadDayRows(dailyS, [&](int day, const FieldLine& line) {
      s->ObsSediment[d(day)] = line.Measured(2);
      s->SimSediment[d(day)] = line.Real(3);
    });
    const int rowsF = ReadDayRows(dailyF, [&](int day, const FieldLine& line) {
      s->MeanSnowPack[d(day)] = line.Real(1);
      s->MeanFrozen[d(day)] = line.Real(2);
      s->AirTempAdj[d(day)] = line.Real(3);
      s->GroundWaterLevel[d(day)] = line.Real(4);
    });
    // Only the year drawn must have days: an earlier year is read over.
    if (y == year) {
      RequireDayRows(daily, rows, s->CurYear, y);
      RequireDayRows(dailyS, rowsS, s->CurYear, y);
      RequireDayRows(dailyF, rowsF, s->CurYear, y);
    }
    s->DayCount = last;
  }
  return s;
}

int StoredYearNumber(const Session& session, const std::string& dir, int calendarYear, int storedYears) {
  TextReader daily = session.Open(dir + "\\Daily.out");
  for (int y = 1; y <= storedYears && !daily.AtEnd(); ++y) {
    if (daily.ReadFields().Integer(0) == calendarYear) return y;
    daily.SkipLines(1);
    ReadDayRows(daily, [](int, const FieldLine&) {});
  }
  return 0;
}

int StoredYears(const Session& session) {
  const std::string path = session.state.ProgramDir + kMarkFilePath;
  if (!session.ws.FileExists(path)) return 0;
  TextReader mark = session.Open(path);
  const FieldLine first = mark.ReadFields();
  if (first.Count() == 0) return 0;
  const int years = first.Integer(0);
  if (years < 0) throw ConversionError(mark.Name(), 1, first.Token(0), 0, "a number of years (0 or more)");
  return years;
}

int RequireStoredYears(const Session& session) {
  const int years = StoredYears(session);
  if (years == 0) throw NoStoredResults();
  return years;
}

}  // namespace tarnwell
