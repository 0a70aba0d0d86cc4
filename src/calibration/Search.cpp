#include "calibration/Search.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <stdexcept>

#include "calibration/Random.h"
#include "calibration/Sensitivity.h"

namespace tarnwell {

SearchSpace::SearchSpace(std::vector<SearchParameter> parameters) : parameters_(std::move(parameters)) {
  for (const SearchParameter& p : parameters_)
    if (!(p.lower < p.upper) || (p.log && !(p.lower > 0)))
      throw std::invalid_argument("search range of " + p.name + " is empty or not positive");
}

std::vector<double> SearchSpace::ToValues(const std::vector<double>& unit) const {
  std::vector<double> values(unit.size());
  for (std::size_t i = 0; i < unit.size() && i < parameters_.size(); ++i) {
    const SearchParameter& p = parameters_[i];
    double v;
    if (unit[i] <= 0) {
      v = p.lower;  // the bounds themselves, exactly (the log scale would round them)
    } else if (unit[i] >= 1) {
      v = p.upper;
    } else if (p.log) {
      const double lo = std::log(p.lower), hi = std::log(p.upper);
      v = std::exp(lo + unit[i] * (hi - lo));
    } else {
      v = p.lower + unit[i] * (p.upper - p.lower);
    }
    // Rounding (and exp of the log of a bound) may step a hair outside the range.
    values[i] = std::clamp(v, p.lower, p.upper);
  }
  return values;
}

std::vector<double> SearchSpace::ToUnit(const std::vector<double>& values) const {
  std::vector<double> unit(values.size());
  for (std::size_t i = 0; i < values.size() && i < parameters_.size(); ++i) {
    const SearchParameter& p = parameters_[i];
    const double u = p.log ? (std::log(values[i]) - std::log(p.lower)) / (std::log(p.upper) - std::log(p.lower))
                           : (values[i] - p.lower) / (p.upper - p.lower);
    unit[i] = std::isnan(u) ? 0 : std::clamp(u, 0.0, 1.0);
  }
  return unit;
}

namespace {

class LatinHypercube : public Search {
 public:
  LatinHypercube(std::size_t n, long evaluations, int batch, std::uint64_t seed) : batch_(std::max(1, batch)) {
    // Each dimension's [0, 1) cut into `evaluations` equal strata; every stratum is used
    // once per dimension, in an order shuffled per dimension, at a uniform place within it.
    const auto count = static_cast<std::size_t>(std::max(0L, evaluations));
    points_.assign(count, std::vector<double>(n));
    Random random(seed);
    std::vector<std::size_t> strata(count);
    for (std::size_t j = 0; j < n; ++j) {
      std::iota(strata.begin(), strata.end(), std::size_t{0});
      for (std::size_t i = count; i > 1; --i) std::swap(strata[i - 1], strata[random.Below(i)]);
      for (std::size_t i = 0; i < count; ++i)
        points_[i][j] = (static_cast<double>(strata[i]) + random.Uniform()) / static_cast<double>(count);
    }
  }

  std::vector<std::vector<double>> Propose() override {
    const std::size_t end = std::min(points_.size(), next_ + static_cast<std::size_t>(batch_));
    std::vector<std::vector<double>> out(points_.begin() + static_cast<std::ptrdiff_t>(next_),
                                         points_.begin() + static_cast<std::ptrdiff_t>(end));
    next_ = end;
    return out;
  }
  void Tell(const std::vector<double>&) override {}

 private:
  int batch_;
  std::vector<std::vector<double>> points_;
  std::size_t next_ = 0;
};

}  // namespace

std::unique_ptr<Search> MakeLatinHypercube(std::size_t dimensions, long evaluations, int batch, std::uint64_t seed) {
  return std::make_unique<LatinHypercube>(dimensions, evaluations, batch, seed);
}

std::unique_ptr<Search> MakeSearch(const SearchSettings& settings, std::size_t dimensions,
                                   const std::optional<std::vector<double>>& start) {
  switch (settings.method) {
    case SearchMethod::Dds:
      return MakeDdsSearch(dimensions, settings.evaluations, settings.batch, settings.seed, start);
    case SearchMethod::Sce:
      return MakeSceSearch(dimensions, settings.evaluations, settings.complexes, settings.seed, start);
    case SearchMethod::Lhs: return MakeLatinHypercube(dimensions, settings.evaluations, settings.batch, settings.seed);
    case SearchMethod::Morris:
      return MakeMorrisDesign(dimensions, settings.evaluations, settings.levels, settings.batch, settings.seed);
    case SearchMethod::Sobol: break;  // made beforehand (CalibrationRun::design)
  }
  throw std::invalid_argument("unknown search method");
}

}  // namespace tarnwell
