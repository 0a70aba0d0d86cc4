#include "geo/OutputFiles.h"

#include <cstdio>

#include "app/Workspace.h"
#include "inputs/TextFile.h"
#include "model/Errors.h"
#include "model/Observation.h"
#include "results/Format.h"

namespace tarnwell::geo {

namespace {

std::string TrimEnd(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
  return s;
}

bool IsHeader(const std::string& line, std::initializer_list<const char*> headers) {
  const std::string t = TrimEnd(line);
  for (const char* h : headers)
    if (t == TrimEnd(h)) return true;
  return false;
}

void CheckNumbers(const FieldLine& line, std::size_t from) {
  for (std::size_t i = from; i < line.Count(); ++i) line.Real(static_cast<int>(i));
}

// Day rows of a daily file: "<year> " lines, the header, then rows of a date and `values` numbers.
// The value at position `measured` is an observation: "nan" or a negative number (older
// files) is a day without one, kept as an empty value.
std::vector<DayRow> ReadDaily(const Workspace& ws, const std::string& path, const char* header, std::size_t values,
                              std::size_t measured) {
  TextReader file(ws.Resolve(path), ws.Display(path));
  std::vector<DayRow> rows;
  int year = 0;
  while (!file.AtEnd()) {
    const std::string text = file.ReadLine();
    FieldLine line(text, file.Name(), file.LineNumber());
    if (line.Count() == 0) continue;
    if (line.Count() == 1) {
      year = line.Integer(0);
      continue;
    }
    if (IsHeader(text, {header})) continue;
    int m = 0, d = 0, y = 0, used = 0;
    const std::string& date = line.Token(0);
    Day day;
    if (std::sscanf(date.c_str(), "%2d-%2d-%4d%n", &m, &d, &y, &used) != 3 || used != 10 ||
        !ParseIsoDate(Printf("%04d-%02d-%02d", y, m, d), day))
      throw ConversionError(file.Name(), file.LineNumber(), date, 0, "a date MM-DD-YYYY");
    if (y != year)
      throw InputError(file.Name(), file.LineNumber(), "the day " + date + " stands in the block of the year " + std::to_string(year));
    if (line.Count() != values + 1)
      throw InputError(file.Name(), file.LineNumber(),
                       "a row of " + std::to_string(line.Count()) + " tokens; " + std::to_string(values + 1) + " expected");
    for (std::size_t i = 1; i < line.Count(); ++i)
      if (i != measured + 1) line.Real(static_cast<int>(i));
    std::vector<std::string> tokens = line.Tokens();
    tokens.erase(tokens.begin());
    if (measured < values && !IsObserved(line.Measured(static_cast<int>(measured) + 1))) tokens[measured].clear();
    rows.push_back({day, std::move(tokens)});
  }
  return rows;
}

// Month rows ("07-1990") and year rows ("1990全年") of a budget file.
std::vector<BudgetRow> ReadBudget(const Workspace& ws, const std::string& path,
                                  std::initializer_list<const char*> headers, std::size_t values) {
  TextReader file(ws.Resolve(path), ws.Display(path));
  std::vector<BudgetRow> rows;
  while (!file.AtEnd()) {
    const std::string text = file.ReadLine();
    FieldLine line(text, file.Name(), file.LineNumber());
    if (line.Count() == 0 || IsHeader(text, headers)) continue;
    const std::string& label = line.Token(0);
    BudgetRow row;
    int used = 0;
    if (label.size() == 7 && std::sscanf(label.c_str(), "%2d-%4d%n", &row.month, &row.year, &used) == 2 && used == 7 &&
        row.month >= 1 && row.month <= 12) {
    } else if (label.size() == 10 && label.compare(4, 6, "全年") == 0 &&
               std::sscanf(label.c_str(), "%4d%n", &row.year, &used) == 1 && used == 4) {
      row.month = 0;
    } else {
      throw ConversionError(file.Name(), file.LineNumber(), label, 0, "a month MM-YYYY or a year YYYY全年");
    }
    if (line.Count() != values + 2)
      throw InputError(file.Name(), file.LineNumber(),
                       "a row of " + std::to_string(line.Count()) + " tokens; " + std::to_string(values + 2) + " expected");
    CheckNumbers(line, 1);
    row.values = line.Tokens();
    row.values.erase(row.values.begin());
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace

StationResults ReadStationResults(const Workspace& ws, const std::string& dir) {
  StationResults r;
  r.daily = ReadDaily(ws, dir + "\\Daily.out", kHeaderD, 14, kReFlowValue);
  r.sediment = ReadDaily(ws, dir + "\\Daily_s.out", kHeaderS, 4, kReChanshaValue);
  r.frozen = ReadDaily(ws, dir + "\\Daily_f.out", kHeaderF, 4, 4);
  r.budget = ReadBudget(ws, dir + "\\Budget.out", {kHeaderB1, kHeaderB2, kHeaderB3, kHeaderB4}, 12);
  r.sedimentBudget = ReadBudget(ws, dir + "\\Budget_s.out", {kHeaderT1, kHeaderT2, kHeaderT3}, 8);
  return r;
}

}  // namespace tarnwell::geo
