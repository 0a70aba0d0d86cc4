#include "calibration/Summary.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "results/GoodnessOfFit.h"

namespace tarnwell {

// The discharge of the given years, one after another; a year not simulated adds nothing.
void GatherDischarge(const std::vector<BasinYear>& years, const std::vector<int>& which, std::vector<double>& obs,
                     std::vector<double>& sim) {
  for (int y : which)
    for (const BasinYear& b : years)
      if (b.year == y) {
        const std::size_t n = std::min(b.obsFlow.size(), b.simFlow.size());
        obs.insert(obs.end(), b.obsFlow.begin(), b.obsFlow.begin() + static_cast<std::ptrdiff_t>(n));
        sim.insert(sim.end(), b.simFlow.begin(), b.simFlow.begin() + static_cast<std::ptrdiff_t>(n));
      }
}

namespace {

struct YearFit {
  FitStatistics fit;
  double logNse = 0;
};

YearFit Fit(const std::vector<BasinYear>& years, const std::vector<int>& which) {
  std::vector<double> obs, sim;
  GatherDischarge(years, which, obs, sim);
  return {ComputeFit(obs, sim), LogNashSutcliffe(obs, sim)};
}

std::string Value(double v, const char* format) {
  char buf[32];
  if (std::isfinite(v)) std::snprintf(buf, sizeof buf, format, v);
  else std::snprintf(buf, sizeof buf, "%s", "n/a");
  return buf;
}

std::string Row(const std::string& year, const char* period, const YearFit& b, const YearFit& a) {
  char buf[200];
  std::snprintf(buf, sizeof buf, "%-10s %-12s %10s %10s %10s %10s %13s %13s %12s %12s\n", year.c_str(), period,
                Value(b.fit.KGE, "%.3f").c_str(), Value(a.fit.KGE, "%.3f").c_str(), Value(b.fit.NSE, "%.3f").c_str(),
                Value(a.fit.NSE, "%.3f").c_str(), Value(b.logNse, "%.3f").c_str(), Value(a.logNse, "%.3f").c_str(),
                Value(b.fit.PBIAS, "%.1f").c_str(), Value(a.fit.PBIAS, "%.1f").c_str());
  return buf;
}

}  // namespace

std::string FormatCalibrationSummary(const std::vector<BasinYear>& before, const std::vector<BasinYear>& after,
                                     const std::vector<int>& calibrationYears,
                                     const std::vector<int>& validationYears) {
  char header[200];
  std::snprintf(header, sizeof header, "%-10s %-12s %10s %10s %10s %10s %13s %13s %12s %12s\n", "Year", "Period",
                "KGE before", "KGE after", "NSE before", "NSE after", "logNSE before", "logNSE after", "PBIAS before",
                "PBIAS after");
  std::string out = header;
  const std::pair<const char*, const std::vector<int>*> periods[] = {{"calibration", &calibrationYears},
                                                                     {"validation", &validationYears}};
  for (const auto& [period, years] : periods) {
    for (int y : *years) out += Row(std::to_string(y), period, Fit(before, {y}), Fit(after, {y}));
    // The period as a whole: every day of its years together, as the search scored it.
    if (years->size() > 1) out += Row("all", period, Fit(before, *years), Fit(after, *years));
  }
  out +=
      "PBIAS in percent of the observed discharge; logNSE of the discharge plus 1 % of its observed mean; days "
      "without an observation are left out.\n";
  return out;
}

std::string BoundFlag(const SearchParameter& p, double value) {
  if (!std::isfinite(value) || !(p.upper > p.lower)) return "";
  // Where the value stands in the space the search moved in (the logarithm for a log range).
  const bool log = p.log && p.lower > 0 && value > 0;
  const double at = log ? (std::log(value) - std::log(p.lower)) / (std::log(p.upper) - std::log(p.lower))
                        : (value - p.lower) / (p.upper - p.lower);
  const double nearer = std::min(at, 1 - at);
  const char* side = at < 0.5 ? "lower" : "upper";
  char buf[64];
  if (nearer <= kOnBound) std::snprintf(buf, sizeof buf, "  on the %s bound", side);
  else if (nearer <= kNearBound) std::snprintf(buf, sizeof buf, "  near the %s bound (%.1f %%)", side, 100 * nearer);
  else return "";
  return buf;
}

std::string FormatParameterTable(const std::vector<SearchParameter>& parameters, const std::vector<double>& before,
                                 const std::vector<double>& after) {
  char line[200];
  std::snprintf(line, sizeof line, "%-28s %12s %12s %12s %12s\n", "Parameter", "Lower", "Upper", "Before", "After");
  std::string out = line;
  int flagged = 0;
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    const SearchParameter& p = parameters[i];
    std::snprintf(line, sizeof line, "%-28s %12s %12s %12s %12s%s\n", p.name.c_str(), Value(p.lower, "%.6g").c_str(),
                  Value(p.upper, "%.6g").c_str(),
                  Value(i < before.size() ? before[i] : std::numeric_limits<double>::quiet_NaN(), "%.6g").c_str(),
                  Value(i < after.size() ? after[i] : std::numeric_limits<double>::quiet_NaN(), "%.6g").c_str(),
                  p.log ? "  (log)" : "");
    out += line;
    if (i < after.size() && !BoundFlag(p, after[i]).empty()) {
      out.insert(out.size() - 1, BoundFlag(p, after[i]));
      ++flagged;
    }
  }
  if (flagged > 0)
    out += std::to_string(flagged) + (flagged == 1 ? " parameter ends" : " parameters end") +
           " on or near a bound (within 3 % of " + (flagged == 1 ? "its" : "their") +
           " range, in the space searched): the bound may hold the fit back. Widen the range where the hydrology "
           "allows, or fix the parameter.\n";
  return out;
}

}  // namespace tarnwell
