#include "results/GoodnessOfFit.h"

#include <algorithm>
#include <cmath>
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

}  // namespace tarnwell
