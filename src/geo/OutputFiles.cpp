#include "geo/OutputFiles.h"

#include "app/Workspace.h"
#include "inputs/TextFile.h"
#include "model/Observation.h"
#include "results/OutputParser.h"

namespace tarnwell::geo {

namespace {

// The day rows of a daily file; a measured value of a day without observation ("nan", or a
// negative number in older files) is kept as an empty value.
std::vector<DayRow> ReadDaily(const Workspace& ws, const std::string& dir, ResultFile kind) {
  const std::string path = dir + "\\" + ResultFileName(kind);
  TextReader file(ws.Resolve(path), ws.Display(path));
  const std::size_t measured = MeasuredValueIndex(kind);
  std::vector<DayRow> rows;
  for (ResultBlock& block : ParseResultFile(kind, file))
    for (ResultRow& r : block.rows) {
      if (measured != kNotMeasured && !IsObserved(r.values[measured])) r.tokens[measured].clear();
      rows.push_back({MakeDay(r.year, r.month, r.day), std::move(r.tokens)});
    }
  return rows;
}

// Month rows and year rows (month 0) of a budget file, N first.
std::vector<BudgetRow> ReadBudget(const Workspace& ws, const std::string& dir, ResultFile kind) {
  const std::string path = dir + "\\" + ResultFileName(kind);
  TextReader file(ws.Resolve(path), ws.Display(path));
  std::vector<BudgetRow> rows;
  for (ResultBlock& block : ParseResultFile(kind, file))
    for (ResultRow& r : block.rows) rows.push_back({r.year, r.month, std::move(r.tokens)});
  return rows;
}

}  // namespace

StationResults ReadStationResults(const Workspace& ws, const std::string& dir) {
  StationResults r;
  r.daily = ReadDaily(ws, dir, ResultFile::Daily);
  r.sediment = ReadDaily(ws, dir, ResultFile::DailySediment);
  r.frozen = ReadDaily(ws, dir, ResultFile::DailyFrozen);
  r.budget = ReadBudget(ws, dir, ResultFile::Budget);
  r.sedimentBudget = ReadBudget(ws, dir, ResultFile::SedimentBudget);
  return r;
}

}  // namespace tarnwell::geo
