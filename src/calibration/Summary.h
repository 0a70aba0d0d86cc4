// The text tables of a finished calibration: the fit of the daily discharge before and
// after (KGE, NSE, log-NSE, PBIAS) for every calibration and validation year and for each period as
// a whole, and the calibrated parameters with their ranges and values before and after.
#pragma once

#include <string>
#include <vector>

#include "calibration/Objective.h"
#include "calibration/Search.h"

namespace tarnwell {

// The observed and simulated discharge of the given years, one after another; a year not
// simulated adds nothing.
void GatherDischarge(const std::vector<BasinYear>& years, const std::vector<int>& which, std::vector<double>& obs,
                     std::vector<double>& sim);

std::string FormatCalibrationSummary(const std::vector<BasinYear>& before, const std::vector<BasinYear>& after,
                                     const std::vector<int>& calibrationYears, const std::vector<int>& validationYears);

// A value within kOnBound of its range (as a share of the range, in the space searched: the
// logarithm for a log range) stands on the bound, within kNearBound near it; the table flags
// both after the value and says how many there are.
inline constexpr double kOnBound = 0.005, kNearBound = 0.03;
std::string FormatParameterTable(const std::vector<SearchParameter>& parameters, const std::vector<double>& before,
                                 const std::vector<double>& after);
// "  on the upper bound", "  near the lower bound (2.4 %)" or "" (the table's flag).
std::string BoundFlag(const SearchParameter& p, double value);

}  // namespace tarnwell
