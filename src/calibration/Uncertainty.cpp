#include "calibration/Uncertainty.h"

#include <algorithm>
#include <cmath>

namespace tarnwell {

std::optional<double> ThresholdKeeping(const std::vector<TraceRecord>& records, double share) {
  std::vector<double> losses;
  for (const TraceRecord& r : records)
    if (std::isfinite(r.loss)) losses.push_back(r.loss);
  if (losses.empty()) return std::nullopt;
  std::sort(losses.begin(), losses.end());
  const auto kept = std::max<std::size_t>(
      1, static_cast<std::size_t>(std::floor(std::clamp(share, 0.0, 1.0) * static_cast<double>(losses.size()))));
  if (kept < losses.size() && losses[kept] > losses[kept - 1]) return losses[kept];
  // Ties at the edge, or every set kept: just above the worst kept.
  const double worst = losses[kept - 1];
  return worst + std::max(1e-9, std::fabs(worst) * 1e-6);
}

std::vector<GlueSet> BehaviouralSets(const std::vector<TraceRecord>& records, double threshold) {
  std::vector<GlueSet> sets;
  double sum = 0;
  for (std::size_t i = 0; i < records.size(); ++i)
    if (std::isfinite(records[i].loss) && records[i].loss < threshold) {
      sets.push_back({i, records[i].loss, threshold - records[i].loss});
      sum += threshold - records[i].loss;
    }
  for (GlueSet& s : sets) s.weight /= sum;
  std::stable_sort(sets.begin(), sets.end(), [](const GlueSet& a, const GlueSet& b) { return a.loss < b.loss; });
  return sets;
}

double WeightedQuantile(std::vector<std::pair<double, double>> valueWeight, double q) {
  std::erase_if(valueWeight, [](const auto& p) { return !std::isfinite(p.first) || !(p.second > 0); });
  if (valueWeight.empty()) return std::nan("");
  std::sort(valueWeight.begin(), valueWeight.end());
  double total = 0;
  for (const auto& p : valueWeight) total += p.second;
  double cumulative = 0;
  for (const auto& [value, weight] : valueWeight) {
    cumulative += weight;
    if (cumulative >= q * total * (1 - 1e-12)) return value;
  }
  return valueWeight.back().first;
}

Band WeightedBand(const std::vector<std::vector<double>>& series, const std::vector<double>& weights) {
  Band band;
  std::size_t days = 0;
  for (const auto& s : series) days = std::max(days, s.size());
  std::vector<std::pair<double, double>> day;
  for (std::size_t d = 0; d < days; ++d) {
    day.clear();
    for (std::size_t j = 0; j < series.size() && j < weights.size(); ++j)
      day.emplace_back(d < series[j].size() ? series[j][d] : std::nan(""), weights[j]);
    band.low.push_back(WeightedQuantile(day, 0.05));
    band.median.push_back(WeightedQuantile(day, 0.5));
    band.high.push_back(WeightedQuantile(day, 0.95));
  }
  return band;
}

BandYear BandYearStats(int year, const std::vector<double>& observed, const std::vector<double>& low,
                       const std::vector<double>& high) {
  BandYear y;
  y.year = year;
  double width = 0;
  int banded = 0;
  for (std::size_t d = 0; d < low.size() && d < high.size(); ++d) {
    if (!std::isfinite(low[d]) || !std::isfinite(high[d])) continue;
    width += high[d] - low[d], ++banded;
    if (d < observed.size() && observed[d] >= 0) {
      ++y.observed;
      if (observed[d] >= low[d] && observed[d] <= high[d]) ++y.inside;
    }
  }
  y.meanWidth = banded > 0 ? width / banded : std::nan("");
  return y;
}

}  // namespace tarnwell
