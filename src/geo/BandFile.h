// The uncertainty band of the outlet discharge as a CF-1.8 NetCDF time series: the
// observations and the band's low, median and high discharge on the days it covers.
#pragma once

#include <string>
#include <vector>

namespace tarnwell::geo {

// days: each day's number since 1 January of firstYear; a value that is not finite (or an
// observation below 0) is written as the fill value.
void WriteBandFile(const std::string& fsPath, const std::string& displayName, int firstYear,
                   const std::vector<int>& days, const std::vector<double>& observed, const std::vector<double>& low,
                   const std::vector<double>& median, const std::vector<double>& high);

}  // namespace tarnwell::geo
