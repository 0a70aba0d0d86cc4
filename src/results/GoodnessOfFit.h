// Goodness of fit of a simulated daily series against an observed one: Nash-Sutcliffe
// efficiency, Kling-Gupta efficiency (with its three parts), percent bias and the
// Nash-Sutcliffe efficiency of the logarithms. Days without an observation are left out of
// every sum (IsObserved). The difference statistic D and the correlation R of the statistics
// files are ComputePeriodStats (Statistic.h).
#pragma once

#include <cstddef>
#include <span>

#include "model/Observation.h"

namespace tarnwell {

struct FitStatistics {
  int N = 0;  // days with an observation
  double MeanObs = 0, MeanSim = 0;
  double SumObs = 0, SumSim = 0;
  // NaN where the statistic is undefined (no day, an observed series without variance, an
  // observed sum of 0, ...).
  double NSE = 0;
  double KGE = 0;
  double r = 0;      // Pearson correlation
  double alpha = 0;  // sigma_sim / sigma_obs
  double beta = 0;   // mean_sim / mean_obs
  double PBIAS = 0;  // 100 * sum(sim - obs) / sum(obs), percent; positive: too much water
};

// Pairs day i of obs with day i of sim (equal lengths; the shorter length counts).
FitStatistics ComputeFit(std::span<const double> obs, std::span<const double> sim);

double NashSutcliffe(std::span<const double> obs, std::span<const double> sim);
double KlingGupta(std::span<const double> obs, std::span<const double> sim);
double PercentBias(std::span<const double> obs, std::span<const double> sim);

// NSE of ln(value + offset), which weighs low flows as much as floods. A dry day (0 m3/s,
// observed or simulated) has no logarithm, so every value is shifted by one hundredth of the
// mean observed value: an offset proportional to the river leaves its low flows their weight
// on a big river and a small one alike, and is small enough not to flatten the recessions.
double LogNashSutcliffe(std::span<const double> obs, std::span<const double> sim);
// The offset LogNashSutcliffe adds: MeanObs / 100 over the observed days.
inline constexpr double kLogOffsetFraction = 0.01;

// Biases of the flow-duration curve in three segments, percent, over the observed days: the
// observed and the simulated values of those days each sorted from the highest down, the
// exceedance of rank i (1-based) of n being i / (n + 1).
//   high: the volume of the flows exceeded at most 2 % of the time, 100 * sum(sim - obs) /
//     sum(obs): the floods;
//   mid: the slope between 20 % and 70 % exceedance of the logarithms, 100 * (slope_sim -
//     slope_obs) / slope_obs: how fast the river falls from wet to dry;
//   low: the volume of the logarithms above the lowest, beyond 70 % exceedance, 100 *
//     (sum_obs - sum_sim) / sum_obs: the low flows (a positive bias: too little water in the
//     recessions' tail).
// Logarithms take the offset of LogNashSutcliffe. NaN where a segment is empty or its
// observed measure is 0.
struct FlowDurationBiases {
  double high = 0, mid = 0, low = 0;
};
FlowDurationBiases FlowDurationCurveBiases(std::span<const double> obs, std::span<const double> sim);

}  // namespace tarnwell
