#include "viewer/ResultsReader.h"

#include <algorithm>
#include <cstdio>

#include "app/Session.h"
#include "app/Startup.h"
#include "inputs/TextFile.h"
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

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

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
int DayOfYear(const std::string& date) {
  int m = 0, d = 0, y = 0;
  if (std::sscanf(date.c_str(), "%d-%d-%d", &m, &d, &y) != 3 || m < 1 || m > 12) return 0;
  static const int before[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  return before[m - 1] + d + (m > 2 && IsLeap(y) ? 1 : 0);
}

// The day rows of one year block after its year line and column heading; stops before the
// next year line. For every row, store(day, line).
template <class Store>
void ReadDayRows(TextReader& file, Store store) {
  while (!file.AtEnd()) {
    const std::size_t offset = file.Offset();
    const long lineNumber = file.LineNumber();
    FieldLine line = file.ReadFields();
    if (line.Count() <= 1) {  // the next year's line (or an empty line at the end)
      file.Seek(offset, lineNumber);
      return;
    }
    const int day = DayOfYear(line.Token(0));
    if (day < 1 || day > kMaxDays)
      throw ConversionError(file.Name(), line.LineNumber(), line.Token(0), 0, "a date MM-DD-YYYY");
    store(day, line);
  }
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
    s->DaysInYear = IsLeap(s->CurYear) ? 366 : 365;
    int last = 0;
    const auto d = [](int day) { return static_cast<std::size_t>(day); };
    ReadDayRows(daily, [&](int day, const FieldLine& line) {
      s->MeanPrecip[d(day)] = line.Real(1);
      s->SimFlow[d(day)] = line.Real(11);
      s->ObsFlow[d(day)] = line.Real(12);
      last = std::max(last, day);
    });
    ReadDayRows(dailyS, [&](int day, const FieldLine& line) {
      s->ObsSediment[d(day)] = line.Real(2);
      s->SimSediment[d(day)] = line.Real(3);
    });
    ReadDayRows(dailyF, [&](int day, const FieldLine& line) {
      s->MeanSnowPack[d(day)] = line.Real(1);
      s->MeanFrozen[d(day)] = line.Real(2);
      s->AirTempAdj[d(day)] = line.Real(3);
      s->GroundWaterLevel[d(day)] = line.Real(4);
    });
    s->DayCount = last;
  }
  return s;
}

int StoredYears(const Session& session) {
  TextReader mark = session.Open(session.state.ProgramDir + kMarkFilePath);
  return mark.ReadFields().Integer(0);
}

}  // namespace tarnwell
