// The calibration report a hydrologist reads in a browser: one self-contained HTML page
// with, for every calibration and validation year, KGE and its three parts (correlation,
// variability ratio, bias ratio), NSE, log-NSE and PBIAS of the parameter values before and
// after; the hydrograph, observed against simulated (with an uncertainty band when there is
// one); the flow-duration curves; and the parameters, each on or near a bound flagged.
// The charts are inline SVG.
#pragma once

#include <string>
#include <vector>

#include "calibration/Search.h"
#include "calibration/Uncertainty.h"

namespace tarnwell {

struct BasinYear;

struct CalibrationReport {
  std::string workspace, lossName;
  long evaluations = 0, bestNumber = 0;
  std::vector<SearchParameter> parameters;
  std::vector<double> before, after;               // parameter values
  std::vector<BasinYear> beforeYears, afterYears;  // every year simulated
  std::vector<int> calibrationYears, validationYears;
  // A band over the named years' days, in their order (empty: none), and what made it.
  Band band;
  std::string bandSource;
};

std::string CalibrationReportHtml(const CalibrationReport& report);

// "&", "<", ">" and '"' as HTML entities.
std::string EscapeHtml(const std::string& text);

}  // namespace tarnwell
