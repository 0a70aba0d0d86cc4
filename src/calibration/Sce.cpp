// Shuffled complex evolution. A population of complexes, each of 2n + 1 points, evolves
// by competitive simplex steps: a subcomplex of n + 1 points drawn with a preference for the
// better ones, its worst point reflected through the centroid of the others, or contracted
// towards it, or replaced by a random point of the complex's hypercube. After 2n + 1 steps
// of every complex the points are pooled, sorted and dealt out again (the shuffle), so
// what one complex learnt reaches the others.
#include <algorithm>
#include <cmath>

#include "calibration/Random.h"
#include "calibration/Search.h"

namespace tarnwell {

namespace {

struct Point {
  std::vector<double> x;
  double loss = 0;
};

void SortByLoss(std::vector<Point>& points) {
  std::stable_sort(points.begin(), points.end(), [](const Point& a, const Point& b) { return a.loss < b.loss; });
}

enum class Stage { Idle, Reflected, Contracted, Mutated };

struct Complex {
  std::vector<Point> points;  // sorted, best first
  int step = 0;               // evolution steps done since the last shuffle
  Stage stage = Stage::Idle;
  std::vector<std::size_t> sub;  // subcomplex: indices into points, best first
  std::vector<double> centroid;  // of the subcomplex without its worst point
  std::vector<double> pending;   // the point being evaluated
};

class SceSearch : public Search {
 public:
  SceSearch(std::size_t n, long evaluations, int complexes, std::uint64_t seed,
            const std::optional<std::vector<double>>& start)
      : n_(n),
        budget_(std::max(0L, evaluations)),
        complexCount_(static_cast<std::size_t>(std::max(1, complexes))),
        m_(2 * n + 1),
        q_(n + 1),
        beta_(static_cast<int>(2 * n + 1)),
        random_(seed) {
    // The first population: uniform over the space, the start point in place of the first.
    const std::size_t size = complexCount_ * m_;
    for (std::size_t i = 0; i < size; ++i) {
      std::vector<double> x(n_);
      for (double& v : x) v = random_.Uniform();
      population_.push_back({std::move(x), 0});
    }
    if (start) population_[0].x = *start;
  }

  std::vector<std::vector<double>> Propose() override {
    owners_.clear();
    std::vector<std::vector<double>> batch;
    const long left = budget_ - proposed_;
    if (left <= 0) return {};
    if (!started_) {
      for (std::size_t i = 0; i < population_.size() && static_cast<long>(i) < left; ++i)
        batch.push_back(population_[i].x);
    } else {
      if (AllStepsDone()) Shuffle();
      for (std::size_t k = 0; k < complexes_.size() && static_cast<long>(batch.size()) < left; ++k) {
        Complex& c = complexes_[k];
        if (c.step >= beta_) continue;
        if (c.stage == Stage::Idle) BeginStep(c);
        owners_.push_back(k);
        batch.push_back(c.pending);
      }
    }
    proposed_ += static_cast<long>(batch.size());
    return batch;
  }

  void Tell(const std::vector<double>& losses) override {
    if (!started_) {
      for (std::size_t i = 0; i < losses.size() && i < population_.size(); ++i) population_[i].loss = losses[i];
      started_ = true;
      Deal();
      return;
    }
    for (std::size_t i = 0; i < losses.size() && i < owners_.size(); ++i) Advance(complexes_[owners_[i]], losses[i]);
  }

 private:
  bool AllStepsDone() const {
    for (const Complex& c : complexes_)
      if (c.step < beta_) return false;
    return true;
  }

  // The population sorted and dealt out: complex k takes points k, k + p, k + 2p, ...
  void Deal() {
    SortByLoss(population_);
    complexes_.assign(complexCount_, Complex{});
    for (std::size_t k = 0; k < complexCount_; ++k)
      for (std::size_t j = 0; j < m_; ++j) complexes_[k].points.push_back(population_[k + complexCount_ * j]);
  }

  void Shuffle() {
    population_.clear();
    for (const Complex& c : complexes_) population_.insert(population_.end(), c.points.begin(), c.points.end());
    Deal();
  }

  // Picks the subcomplex (the i-th best point with weight proportional to m + 1 - i, without
  // repeats) and proposes the reflection of its worst point.
  void BeginStep(Complex& c) {
    std::vector<char> taken(m_, 0);
    c.sub.clear();
    const double total = static_cast<double>(m_ * (m_ + 1)) / 2;
    while (c.sub.size() < q_) {
      const double u = random_.Uniform() * total;
      double cumulative = 0;
      std::size_t i = 0;
      for (; i + 1 < m_; ++i) {
        cumulative += static_cast<double>(m_ - i);
        if (u < cumulative) break;
      }
      if (taken[i]) continue;
      taken[i] = 1;
      c.sub.push_back(i);
    }
    std::sort(c.sub.begin(), c.sub.end());
    c.centroid.assign(n_, 0);
    for (std::size_t s = 0; s + 1 < c.sub.size(); ++s)
      for (std::size_t j = 0; j < n_; ++j) c.centroid[j] += c.points[c.sub[s]].x[j];
    for (double& v : c.centroid) v /= static_cast<double>(q_ - 1);
    const std::vector<double>& worst = c.points[c.sub.back()].x;
    c.pending.assign(n_, 0);
    bool inside = true;
    for (std::size_t j = 0; j < n_; ++j) {
      c.pending[j] = 2 * c.centroid[j] - worst[j];
      if (c.pending[j] < 0 || c.pending[j] > 1) inside = false;
    }
    // A reflection that leaves the space becomes a random point of the complex's hypercube.
    if (!inside) c.pending = RandomInHull(c);
    c.stage = Stage::Reflected;
  }

  // A uniform point of the smallest box holding the complex.
  std::vector<double> RandomInHull(const Complex& c) {
    std::vector<double> x(n_);
    for (std::size_t j = 0; j < n_; ++j) {
      double lo = c.points[0].x[j], hi = lo;
      for (const Point& p : c.points) lo = std::min(lo, p.x[j]), hi = std::max(hi, p.x[j]);
      x[j] = random_.Uniform(lo, hi);
    }
    return x;
  }

  void Advance(Complex& c, double loss) {
    Point& worst = c.points[c.sub.back()];
    if (loss < worst.loss || c.stage == Stage::Mutated) {
      worst = {c.pending, loss};
      SortByLoss(c.points);
      c.stage = Stage::Idle;
      ++c.step;
      return;
    }
    if (c.stage == Stage::Reflected) {
      // Contraction: halfway between the centroid and the worst point.
      for (std::size_t j = 0; j < n_; ++j) c.pending[j] = (c.centroid[j] + worst.x[j]) / 2;
      c.stage = Stage::Contracted;
    } else {
      c.pending = RandomInHull(c);
      c.stage = Stage::Mutated;
    }
  }

  std::size_t n_;
  long budget_;
  std::size_t complexCount_, m_, q_;
  int beta_;
  Random random_;
  std::vector<Point> population_;
  std::vector<Complex> complexes_;
  std::vector<std::size_t> owners_;  // the complex of each point of the batch
  bool started_ = false;
  long proposed_ = 0;
};

}  // namespace

std::unique_ptr<Search> MakeSceSearch(std::size_t dimensions, long evaluations, int complexes, std::uint64_t seed,
                                      const std::optional<std::vector<double>>& start) {
  return std::make_unique<SceSearch>(dimensions, evaluations, complexes, seed, start);
}

}  // namespace tarnwell
