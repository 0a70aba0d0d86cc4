// How uncertain the simulated discharge is: generalised likelihood uncertainty estimation
// (GLUE; Beven and Binley 1992). Parameter sets sampled over the calibration file's ranges
// (a Latin hypercube, or a calibration's own trace) are scored on the calibration years;
// those whose loss is at or below a threshold are behavioural, each weighted by how far
// below it lies (threshold - loss, the weights summing to 1); every day's band is the
// weighted 5 and 95 % quantiles of the behavioural simulations.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "calibration/Trace.h"

namespace tarnwell {

struct GlueSet {
  std::size_t record = 0;  // index into the records
  double loss = 0, weight = 0;
};

// The threshold that keeps the best `share` (0-1] of the scored records: the loss of the
// first record beyond them (or the worst loss, nudged up, when all are kept), so that every
// set kept has a positive weight. None when no record was scored.
std::optional<double> ThresholdKeeping(const std::vector<TraceRecord>& records, double share);
// The behavioural records, best first (then by record), with their weights.
std::vector<GlueSet> BehaviouralSets(const std::vector<TraceRecord>& records, double threshold);

// The value below which `q` of the weight lies: values sorted, the first whose cumulative
// weight reaches q. Values that are not finite are left out; NaN when none is left.
double WeightedQuantile(std::vector<std::pair<double, double>> valueWeight, double q);

struct Band {
  std::vector<double> low, median, high;  // per day
};
// series[j][day] of set j with weights[j]: the 5, 50 and 95 % quantiles of every day.
Band WeightedBand(const std::vector<std::vector<double>>& series, const std::vector<double>& weights);

// A year's observed days (observed >= 0) inside [low, high], and the band's mean width over
// every day with a band.
struct BandYear {
  int year = 0, observed = 0, inside = 0;
  double meanWidth = 0;
  double Share() const { return observed > 0 ? static_cast<double>(inside) / observed : 0.0; }
};
BandYear BandYearStats(int year, const std::vector<double>& observed, const std::vector<double>& low,
                       const std::vector<double>& high);

}  // namespace tarnwell
