// The five output files of a sub-basin or of the whole basin for the export, through the
// model's strict parser of them (results/OutputParser.h); the values are kept as the text
// the file holds, so what is exported is exactly what the model wrote.
#pragma once

#include <string>
#include <vector>

#include "geo/GeoSupport.h"

namespace tarnwell {
class Workspace;
}

namespace tarnwell::geo {

struct DayRow {
  Day date;
  std::vector<std::string> values;  // the tokens after the date; a measured value of a day
                                    // without observation is empty
};

struct BudgetRow {
  int year = 0, month = 0;          // month 0: the year row
  std::vector<std::string> values;  // N, then the values
};

struct StationResults {
  std::vector<DayRow> daily, sediment, frozen;    // Daily.out, Daily_s.out, Daily_f.out
  std::vector<BudgetRow> budget, sedimentBudget;  // Budget.out, Budget_s.out
};

// The files of the output directory dir (a model path such as "..\Output\流域1").
StationResults ReadStationResults(const Workspace& ws, const std::string& dir);

}  // namespace tarnwell::geo
