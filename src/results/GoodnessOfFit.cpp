#include "results/GoodnessOfFit.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

namespace tarnwell {

FitStatistics ComputeFit(std::span<const double> obs, std::span<const double> sim) {
  const std::size_t days = std::min(obs.size(), sim.size());
  FitStatistics f;
  for (std::size_t i = 0; i < days; ++i) {
    if (!IsObserved(obs[i])) continue;
    ++f.N;
    f.SumObs += obs[i];
    f.SumSim += sim[i];
  }
  const double nan = std::nan("");
  const double n = static_cast<double>(f.N);
  if (f.N > 0) {
    f.MeanObs = f.SumObs / n;
    f.MeanSim = f.SumSim / n;
  }
  // Squared residuals, squared deviations from the means, their cross products and the
  // summed differences, each its own sum taken in day order.
  double ssRes = 0, ssObs = 0, ssSim = 0, cross = 0, sumDiff = 0;
  for (std::size_t i = 0; i < days; ++i) {
    if (!IsObserved(obs[i])) continue;
    const double o = obs[i], m = sim[i];
    ssRes += (o - m) * (o - m);
    ssObs += (o - f.MeanObs) * (o - f.MeanObs);
    ssSim += (m - f.MeanSim) * (m - f.MeanSim);
    cross += (o - f.MeanObs) * (m - f.MeanSim);
    sumDiff += m - o;
  }
  f.NSE = ssObs > 0 ? 1 - ssRes / ssObs : nan;
  f.r = ssObs > 0 && ssSim > 0 ? cross / std::sqrt(ssObs * ssSim) : nan;
  // The standard deviations' ratio: the 1/N of both variances cancels.
  f.alpha = ssObs > 0 ? std::sqrt(ssSim / ssObs) : nan;
  f.beta = f.MeanObs != 0 ? f.MeanSim / f.MeanObs : nan;
  f.KGE = 1 - std::sqrt((f.r - 1) * (f.r - 1) + (f.alpha - 1) * (f.alpha - 1) + (f.beta - 1) * (f.beta - 1));
  f.PBIAS = f.SumObs != 0 ? 100 * sumDiff / f.SumObs : nan;
  return f;
}

double NashSutcliffe(std::span<const double> obs, std::span<const double> sim) { return ComputeFit(obs, sim).NSE; }

double KlingGupta(std::span<const double> obs, std::span<const double> sim) { return ComputeFit(obs, sim).KGE; }

double PercentBias(std::span<const double> obs, std::span<const double> sim) { return ComputeFit(obs, sim).PBIAS; }

double LogNashSutcliffe(std::span<const double> obs, std::span<const double> sim) {
  const std::size_t days = std::min(obs.size(), sim.size());
  const double offset = kLogOffsetFraction * ComputeFit(obs, sim).MeanObs;
  // The observed days only: logarithms can be negative, so the missing-day rule cannot be
  // applied after the change of scale.
  std::vector<double> logObs, logSim;
  for (std::size_t i = 0; i < days; ++i) {
    if (!IsObserved(obs[i])) continue;
    logObs.push_back(std::log(obs[i] + offset));
    logSim.push_back(std::log(sim[i] + offset));
  }
  if (logObs.empty()) return std::nan("");
  double sum = 0;
  for (double v : logObs) sum += v;
  const double mean = sum / static_cast<double>(logObs.size());
  double ssRes = 0, ssObs = 0;
  for (std::size_t i = 0; i < logObs.size(); ++i) {
    ssRes += (logObs[i] - logSim[i]) * (logObs[i] - logSim[i]);
    ssObs += (logObs[i] - mean) * (logObs[i] - mean);
  }
  return ssObs > 0 ? 1 - ssRes / ssObs : std::nan("");
}

FlowDurationBiases FlowDurationCurveBiases(std::span<const double> obs, std::span<const double> sim) {
  const std::size_t days = std::min(obs.size(), sim.size());
  std::vector<double> o, s;
  for (std::size_t i = 0; i < days; ++i) {
    if (!IsObserved(obs[i])) continue;
    o.push_back(obs[i]);
    s.push_back(sim[i]);
  }
  FlowDurationBiases b;
  const double nan = std::nan("");
  b.high = b.mid = b.low = nan;
  const std::size_t n = o.size();
  if (n < 2) return b;
  std::sort(o.begin(), o.end(), std::greater<>());
  std::sort(s.begin(), s.end(), std::greater<>());
  double mean = 0;
  for (double v : o) mean += v;
  const double offset = kLogOffsetFraction * mean / static_cast<double>(n);
  const auto logOf = [offset](double v) { return std::log(v + offset); };
  // Rank i (0-based) stands at exceedance (i + 1) / (n + 1).
  const auto exceedance = [n](std::size_t i) { return static_cast<double>(i + 1) / static_cast<double>(n + 1); };
  double highObs = 0, highSim = 0;
  for (std::size_t i = 0; i < n && exceedance(i) <= 0.02; ++i) {
    highObs += o[i];
    highSim += s[i];
  }
  if (highObs > 0) b.high = 100 * (highSim - highObs) / highObs;
  // The ranks nearest 20 % and 70 % exceedance.
  const auto rankAt = [n](double p) {
    const double r = p * static_cast<double>(n + 1) - 1;
    return static_cast<std::size_t>(std::clamp(std::round(r), 0.0, static_cast<double>(n - 1)));
  };
  const std::size_t r20 = rankAt(0.2), r70 = rankAt(0.7);
  const double slopeObs = logOf(o[r20]) - logOf(o[r70]), slopeSim = logOf(s[r20]) - logOf(s[r70]);
  if (r70 > r20 && slopeObs != 0) b.mid = 100 * (slopeSim - slopeObs) / slopeObs;
  double lowObs = 0, lowSim = 0;
  const double minObs = logOf(o.back()), minSim = logOf(s.back());
  std::size_t low = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (exceedance(i) <= 0.7) continue;
    lowObs += logOf(o[i]) - minObs;
    lowSim += logOf(s[i]) - minSim;
    ++low;
  }
  if (low > 0 && lowObs > 0) b.low = 100 * (lowObs - lowSim) / lowObs;
  return b;
}

}  // namespace tarnwell
