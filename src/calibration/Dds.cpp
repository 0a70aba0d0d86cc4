// Dynamically dimensioned search. Early on every dimension is perturbed; the chance of
// perturbing each falls with the logarithm of the evaluation number, so the search turns
// from global to local as the budget is spent, without any tuning beyond the perturbation
// size r = 0.2 of each range.
#include <algorithm>
#include <cmath>

#include "calibration/Random.h"
#include "calibration/Search.h"

namespace tarnwell {

namespace {

constexpr double kPerturbation = 0.2;  // r, as a fraction of each range

class DdsSearch : public Search {
 public:
  DdsSearch(std::size_t n, long evaluations, int batch, std::uint64_t seed,
            const std::optional<std::vector<double>>& start)
      : n_(n), budget_(std::max(0L, evaluations)), batch_(std::max(1, batch)), random_(seed) {
    // The first point: the given start, or the best of max(5, 0.5 % of the budget) uniform
    // random points.
    if (start) {
      startGiven_ = true;
      initial_.push_back(*start);
    } else {
      const long count = std::min(budget_, std::max(5L, std::lround(0.005 * static_cast<double>(budget_))));
      for (long i = 0; i < count; ++i) {
        std::vector<double> x(n_);
        for (double& v : x) v = random_.Uniform();
        initial_.push_back(std::move(x));
      }
    }
  }

  std::vector<std::vector<double>> Propose() override {
    batchPoints_.clear();
    const long left = budget_ - proposed_;
    if (left <= 0) return {};
    const long size = std::min<long>(left, batch_);
    if (nextInitial_ < initial_.size()) {
      const std::size_t end = std::min(initial_.size(), nextInitial_ + static_cast<std::size_t>(size));
      batchPoints_.assign(initial_.begin() + static_cast<std::ptrdiff_t>(nextInitial_),
                          initial_.begin() + static_cast<std::ptrdiff_t>(end));
      nextInitial_ = end;
      // A given start is the point to perturb before its loss is known: the rest of the
      // first batch perturbs it, so that no worker waits for it.
      if (startGiven_) {
        best_ = initial_[0];
        for (long k = static_cast<long>(batchPoints_.size()); k < size; ++k)
          batchPoints_.push_back(Perturb(proposed_ + k + 1));
      }
    } else {
      for (long k = 0; k < size; ++k) batchPoints_.push_back(Perturb(proposed_ + k + 1));
    }
    proposed_ += static_cast<long>(batchPoints_.size());
    return batchPoints_;
  }

  void Tell(const std::vector<double>& losses) override {
    for (std::size_t i = 0; i < losses.size() && i < batchPoints_.size(); ++i) {
      // The first point is taken whatever its loss; later ones when no worse than the best
      // (moving along a plateau keeps the search going).
      if (!haveBest_ || losses[i] <= bestLoss_) {
        best_ = batchPoints_[i];
        bestLoss_ = losses[i];
        haveBest_ = true;
      }
    }
  }

 private:
  // A new point around the best for the evaluation numbered `number` (1-based).
  std::vector<double> Perturb(long number) {
    const double m = static_cast<double>(budget_);
    const double probability = budget_ > 1 ? 1 - std::log(static_cast<double>(number)) / std::log(m) : 1.0;
    std::vector<char> chosen(n_, 0);
    bool any = false;
    for (std::size_t j = 0; j < n_; ++j)
      if (random_.Uniform() < probability) chosen[j] = 1, any = true;
    if (!any && n_ > 0) chosen[random_.Below(n_)] = 1;
    std::vector<double> x = best_;
    for (std::size_t j = 0; j < n_; ++j) {
      if (!chosen[j]) continue;
      double v = best_[j] + kPerturbation * random_.Normal();
      // Reflection at the bounds; a point thrown beyond the opposite bound goes to the bound.
      if (v < 0) {
        v = -v;
        if (v > 1) v = 0;
      } else if (v > 1) {
        v = 2 - v;
        if (v < 0) v = 1;
      }
      x[j] = v;
    }
    return x;
  }

  std::size_t n_;
  long budget_;
  int batch_;
  Random random_;
  std::vector<std::vector<double>> initial_;
  std::size_t nextInitial_ = 0;
  bool startGiven_ = false;
  long proposed_ = 0;
  std::vector<std::vector<double>> batchPoints_;
  std::vector<double> best_;
  double bestLoss_ = 0;
  bool haveBest_ = false;
};

}  // namespace

std::unique_ptr<Search> MakeDdsSearch(std::size_t dimensions, long evaluations, int batch, std::uint64_t seed,
                                      const std::optional<std::vector<double>>& start) {
  return std::make_unique<DdsSearch>(dimensions, evaluations, batch, seed, start);
}

}  // namespace tarnwell
