// The text tables of a finished calibration: the fit of the daily discharge before and
// after (KGE, NSE, PBIAS) for every calibration and validation year and for each period as
// a whole, and the calibrated parameters with their ranges and values before and after.
#pragma once

#include <string>
#include <vector>

#include "calibration/Objective.h"
#include "calibration/Search.h"

namespace tarnwell {

std::string FormatCalibrationSummary(const std::vector<BasinYear>& before, const std::vector<BasinYear>& after,
                                     const std::vector<int>& calibrationYears, const std::vector<int>& validationYears);

std::string FormatParameterTable(const std::vector<SearchParameter>& parameters, const std::vector<double>& before,
                                 const std::vector<double>& after);

}  // namespace tarnwell
