#include "calibration/Sensitivity.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "calibration/Random.h"
#include "inputs/TextFile.h"

namespace tarnwell {

std::vector<std::vector<double>> MorrisPoints(std::size_t dimensions, int trajectories, int levels,
                                              std::uint64_t seed) {
  const int p = std::max(2, levels);
  const double delta = p / (2.0 * (p - 1));
  Random random(seed);
  std::vector<std::vector<double>> points;
  for (int t = 0; t < trajectories; ++t) {
    // A start on the grid {0, 1 / (p - 1), ..., 1}; each step goes up by delta where that
    // stays within the cube, else down.
    std::vector<double> x(dimensions);
    for (double& v : x) v = static_cast<double>(random.Below(static_cast<std::uint64_t>(p))) / (p - 1);
    std::vector<std::size_t> order(dimensions);
    std::iota(order.begin(), order.end(), std::size_t{0});
    for (std::size_t i = dimensions; i > 1; --i) std::swap(order[i - 1], order[random.Below(i)]);
    points.push_back(x);
    for (std::size_t i : order) {
      x[i] = x[i] + delta <= 1 + 1e-12 ? x[i] + delta : x[i] - delta;
      x[i] = std::clamp(x[i], 0.0, 1.0);
      points.push_back(x);
    }
  }
  return points;
}

namespace {

class FixedDesign : public Search {
 public:
  FixedDesign(std::vector<std::vector<double>> points, int batch)
      : points_(std::move(points)), batch_(std::max(1, batch)) {}
  std::vector<std::vector<double>> Propose() override {
    std::vector<std::vector<double>> out;
    while (next_ < points_.size() && static_cast<int>(out.size()) < batch_) out.push_back(points_[next_++]);
    return out;
  }
  void Tell(const std::vector<double>&) override {}

 private:
  std::vector<std::vector<double>> points_;
  int batch_;
  std::size_t next_ = 0;
};

struct Effect {
  std::size_t parameter;
  double value;
};

}  // namespace

std::unique_ptr<Search> MakeMorrisDesign(std::size_t dimensions, long evaluations, int levels, int batch,
                                         std::uint64_t seed) {
  const long per = static_cast<long>(dimensions) + 1;
  const int trajectories = static_cast<int>(std::max(1L, evaluations / per));
  return MakeFixedDesign(MorrisPoints(dimensions, trajectories, levels, seed), batch);
}

std::unique_ptr<Search> MakeFixedDesign(std::vector<std::vector<double>> points, int batch) {
  return std::make_unique<FixedDesign>(std::move(points), batch);
}

std::vector<MorrisIndex> MorrisIndices(const std::vector<std::vector<double>>& points, const std::vector<double>& y,
                                       std::size_t dimensions, std::uint64_t seed, int resamples) {
  // The effects of each trajectory: consecutive points differ in one parameter.
  const std::size_t per = dimensions + 1;
  const std::size_t trajectories = std::min(points.size(), y.size()) / per;
  std::vector<std::vector<Effect>> byTrajectory(trajectories);
  for (std::size_t t = 0; t < trajectories; ++t)
    for (std::size_t s = 0; s < dimensions; ++s) {
      const std::size_t a = t * per + s, b = a + 1;
      for (std::size_t i = 0; i < dimensions; ++i) {
        const double step = points[b][i] - points[a][i];
        if (step == 0) continue;
        if (std::isfinite(y[a]) && std::isfinite(y[b])) byTrajectory[t].push_back({i, (y[b] - y[a]) / step});
        break;
      }
    }
  // mu* of a set of trajectories, for each parameter.
  const auto muStars = [&](const std::vector<std::size_t>& which) {
    std::vector<double> sum(dimensions, 0.0);
    std::vector<int> n(dimensions, 0);
    for (std::size_t t : which)
      for (const Effect& e : byTrajectory[t]) sum[e.parameter] += std::fabs(e.value), ++n[e.parameter];
    for (std::size_t i = 0; i < dimensions; ++i) sum[i] = n[i] > 0 ? sum[i] / n[i] : std::nan("");
    return sum;
  };
  std::vector<MorrisIndex> out(dimensions);
  std::vector<std::vector<double>> values(dimensions);
  for (const auto& effects : byTrajectory)
    for (const Effect& e : effects) values[e.parameter].push_back(e.value);
  for (std::size_t i = 0; i < dimensions; ++i) {
    MorrisIndex& m = out[i];
    const std::vector<double>& v = values[i];
    m.effects = static_cast<int>(v.size());
    if (v.empty()) {
      m.muStar = m.mu = m.sigma = m.muStarLow = m.muStarHigh = std::nan("");
      continue;
    }
    double abs = 0, sum = 0;
    for (double e : v) abs += std::fabs(e), sum += e;
    m.muStar = abs / static_cast<double>(v.size());
    m.mu = sum / static_cast<double>(v.size());
    double ss = 0;
    for (double e : v) ss += (e - m.mu) * (e - m.mu);
    m.sigma = v.size() > 1 ? std::sqrt(ss / static_cast<double>(v.size() - 1)) : 0.0;
  }
  // The interval of mu*: the trajectories drawn again with replacement, the 2.5 and 97.5
  // percentiles of the mu* so formed.
  Random random(seed);
  std::vector<std::vector<double>> draws(dimensions);
  std::vector<std::size_t> which(trajectories);
  for (int r = 0; r < resamples && trajectories > 0; ++r) {
    for (std::size_t& t : which) t = random.Below(trajectories);
    const std::vector<double> m = muStars(which);
    for (std::size_t i = 0; i < dimensions; ++i)
      if (std::isfinite(m[i])) draws[i].push_back(m[i]);
  }
  for (std::size_t i = 0; i < dimensions; ++i) {
    std::vector<double>& d = draws[i];
    if (d.empty()) {
      out[i].muStarLow = out[i].muStarHigh = out[i].muStar;
      continue;
    }
    std::sort(d.begin(), d.end());
    const auto at = [&](double q) {
      return d[static_cast<std::size_t>(std::floor(q * static_cast<double>(d.size() - 1)))];
    };
    out[i].muStarLow = at(0.025);
    out[i].muStarHigh = at(0.975);
  }
  return out;
}

namespace {
std::string Number(double v) { return std::isfinite(v) ? ShortestReal(v) : std::string(); }
}  // namespace

std::string FormatMorrisCsv(const std::vector<std::string>& outputs, const std::vector<std::string>& parameters,
                            const std::vector<std::vector<MorrisIndex>>& indices) {
  std::string csv = "output,parameter,mu_star,mu_star_low,mu_star_high,mu,sigma,effects\n";
  for (std::size_t o = 0; o < outputs.size() && o < indices.size(); ++o)
    for (std::size_t i = 0; i < parameters.size() && i < indices[o].size(); ++i) {
      const MorrisIndex& m = indices[o][i];
      csv += outputs[o] + "," + parameters[i] + "," + Number(m.muStar) + "," + Number(m.muStarLow) + "," +
             Number(m.muStarHigh) + "," + Number(m.mu) + "," + Number(m.sigma) + "," + std::to_string(m.effects) + "\n";
    }
  return csv;
}

std::string FormatSobolCsv(const std::vector<std::string>& outputs, const std::vector<std::string>& parameters,
                           const std::vector<std::vector<SobolIndex>>& indices) {
  std::string csv = "output,parameter,first,first_low,first_high,total,total_low,total_high,samples\n";
  for (std::size_t o = 0; o < outputs.size() && o < indices.size(); ++o)
    for (std::size_t i = 0; i < parameters.size() && i < indices[o].size(); ++i) {
      const SobolIndex& s = indices[o][i];
      csv += outputs[o] + "," + parameters[i] + "," + Number(s.first) + "," + Number(s.firstLow) + "," +
             Number(s.firstHigh) + "," + Number(s.total) + "," + Number(s.totalLow) + "," + Number(s.totalHigh) + "," +
             std::to_string(s.samples) + "\n";
    }
  return csv;
}

}  // namespace tarnwell
