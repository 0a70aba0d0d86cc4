#include "sobol/Sobol.h"

#include <openturns/OT.hxx>

#include <cmath>
#include <mutex>

namespace tarnwell {

namespace {

// OpenTURNS draws from one generator for the whole process: a design and its bootstrap are
// each made under this lock, from their own seed, so that they do not depend on what else
// the process drew before.
std::mutex& GeneratorLock() {
  static std::mutex lock;
  return lock;
}

void Seed(std::uint64_t seed) {
  OT::Log::Show(OT::Log::NONE);  // a negative estimate of a small index is no news
  OT::RandomGenerator::SetSeed(static_cast<OT::UnsignedInteger>(seed));
}

OT::ComposedDistribution UnitCube(std::size_t dimensions) {
  return OT::ComposedDistribution(OT::Collection<OT::Distribution>(dimensions, OT::Uniform(0.0, 1.0)));
}

}  // namespace

std::vector<std::vector<double>> SobolPoints(std::size_t dimensions, long samples, std::uint64_t seed) {
  if (dimensions < 1 || samples < 2) return {};
  std::lock_guard<std::mutex> hold(GeneratorLock());
  Seed(seed);
  const OT::Sample design =
      OT::SobolIndicesExperiment(UnitCube(dimensions), static_cast<OT::UnsignedInteger>(samples), false).generate();
  std::vector<std::vector<double>> points(design.getSize(), std::vector<double>(dimensions));
  for (OT::UnsignedInteger j = 0; j < design.getSize(); ++j)
    for (std::size_t i = 0; i < dimensions; ++i) points[j][i] = design(j, i);
  return points;
}

std::vector<SobolIndex> SobolIndices(const std::vector<std::vector<double>>& points, const std::vector<double>& y,
                                     std::size_t dimensions, long samples, std::uint64_t seed, int resamples) {
  const double nan = std::nan("");
  std::vector<SobolIndex> out(dimensions, SobolIndex{nan, nan, nan, nan, nan, nan, 0});
  const auto n = static_cast<std::size_t>(std::max(0L, samples));
  const std::size_t blocks = dimensions + 2;
  if (dimensions < 1 || y.size() < n * blocks || points.size() < n * blocks) return out;
  // The base points whose every output was scored; the estimators need at least a few.
  std::vector<std::size_t> kept;
  for (std::size_t j = 0; j < n; ++j) {
    bool finite = true;
    for (std::size_t b = 0; b < blocks; ++b) finite = finite && std::isfinite(y[b * n + j]);
    if (finite) kept.push_back(j);
  }
  if (kept.size() < 4) {
    for (SobolIndex& s : out) s.samples = static_cast<int>(kept.size());
    return out;
  }
  const std::size_t m = kept.size();
  OT::Sample inputs(static_cast<OT::UnsignedInteger>(m * blocks), static_cast<OT::UnsignedInteger>(dimensions));
  OT::Sample outputs(static_cast<OT::UnsignedInteger>(m * blocks), 1);
  for (std::size_t b = 0; b < blocks; ++b)
    for (std::size_t k = 0; k < m; ++k) {
      const auto row = static_cast<OT::UnsignedInteger>(b * m + k);
      for (std::size_t i = 0; i < dimensions; ++i)
        inputs(row, static_cast<OT::UnsignedInteger>(i)) = points[b * n + kept[k]][i];
      outputs(row, 0) = y[b * n + kept[k]];
    }
  std::lock_guard<std::mutex> hold(GeneratorLock());
  Seed(seed);
  OT::MauntzKucherenkoSensitivityAlgorithm algorithm(inputs, outputs, static_cast<OT::UnsignedInteger>(m));
  algorithm.setBootstrapSize(static_cast<OT::UnsignedInteger>(std::max(1, resamples)));
  algorithm.setConfidenceLevel(0.95);
  const OT::Point first = algorithm.getFirstOrderIndices(), total = algorithm.getTotalOrderIndices();
  const OT::Interval firstBand = algorithm.getFirstOrderIndicesInterval();
  const OT::Interval totalBand = algorithm.getTotalOrderIndicesInterval();
  for (std::size_t i = 0; i < dimensions; ++i) {
    const auto at = static_cast<OT::UnsignedInteger>(i);
    out[i] = SobolIndex{first[at],          firstBand.getLowerBound()[at], firstBand.getUpperBound()[at],
                        total[at],          totalBand.getLowerBound()[at], totalBand.getUpperBound()[at],
                        static_cast<int>(m)};
  }
  return out;
}

}  // namespace tarnwell
