// The searches and Morris's design through one harness on functions of known minimum or known
// effects; budgets and start points, the Latin hypercube's strata, the portable random numbers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <set>

#include "TestFunctions.h"
#include "calibration/Random.h"
#include "calibration/Search.h"
#include "calibration/Sensitivity.h"

namespace tarnwell {
namespace {

// Minimum 0 at the origin, with a regular lattice of local minima over a broad bowl.
double Griewank(const std::vector<double>& x) {
  double sum = 0, product = 1;
  for (std::size_t i = 0; i < x.size(); ++i)
    sum += x[i] * x[i] / 4000, product *= std::cos(x[i] / std::sqrt(static_cast<double>(i + 1)));
  return 1 + sum - product;
}

std::vector<SearchParameter> Box(std::size_t n, double lower, double upper) {
  std::vector<SearchParameter> box;
  for (std::size_t i = 0; i < n; ++i) box.push_back({"x" + std::to_string(i), lower, upper, false});
  return box;
}

// Every point a search proposes (as values) and its loss, in the order proposed.
struct Driven {
  std::vector<std::vector<double>> units, points;  // unit coordinates, values
  std::vector<double> losses;
  std::size_t Best() const { return std::min_element(losses.begin(), losses.end()) - losses.begin(); }
};

Driven Drive(Search& search, const SearchSpace& space, const std::function<double(const std::vector<double>&)>& f) {
  Driven d;
  for (auto batch = search.Propose(); !batch.empty(); batch = search.Propose()) {
    for (const auto& u : batch)
      d.units.push_back(u), d.points.push_back(space.ToValues(u)), d.losses.push_back(f(d.points.back()));
    search.Tell(std::vector<double>(d.losses.end() - static_cast<long>(batch.size()), d.losses.end()));
  }
  return d;
}

TEST(Searches, ReachTheMinimaOfTestFunctions) {
  const auto reaches = [](std::unique_ptr<Search> search, std::size_t n, double bound,
                          double (*f)(const std::vector<double>&), std::size_t budget, double loss, double at,
                          double within) {
    const Driven d = Drive(*search, SearchSpace(Box(n, -bound, bound)), f);
    EXPECT_EQ(d.losses.size(), budget);
    EXPECT_LT(d.losses[d.Best()], loss);
    for (double x : d.points[d.Best()]) EXPECT_NEAR(x, at, within);
  };
  // SCE-UA homes in: Rosenbrock in 5 dimensions, 2 complexes.
  reaches(MakeSceSearch(5, 3000, 2, 1, std::nullopt), 5, 2.048, test::Rosenbrock, 3000, 1e-6, 1, 1e-3);
  // DDS spends a fixed budget to come near the global optimum, not to home in on it: on
  // Griewank in 10 dimensions below 0.3 (the local minima around the origin start at 0.0074
  // and rise to 1 away from it), every coordinate within 3 % of its range.
  reaches(MakeDdsSearch(10, 10000, 8, 1, std::nullopt), 10, 600, Griewank, 10000, 0.3, 0, 36);
}

// A linear function has the same effect everywhere (sigma 0); a product's effects vary with
// the other factor.
TEST(Morris, DesignAndTheEffectsOfKnownFunctions) {
  const SearchSpace cube(Box(3, 0, 1));
  const auto design = [&](double (*f)(const std::vector<double>&)) {
    return Drive(*MakeMorrisDesign(3, 120, 4, 7, 7), cube, f);  // 30 trajectories of 4 points
  };
  const Driven linear = design([](const std::vector<double>& x) { return 3 * x[0] - 2 * x[1] + 5; });
  ASSERT_EQ(linear.points.size(), 120u);
  for (std::size_t p = 1; p < 120; ++p) {  // after each trajectory's start one parameter a step, by 2/3
    int moved = 0;
    double size = 0;
    for (std::size_t i = 0; i < 3; ++i)
      if (const double step = linear.points[p][i] - linear.points[p - 1][i]; step != 0)
        ++moved, size += std::fabs(step);
    EXPECT_TRUE(p % 4 == 0 || (moved == 1 && std::fabs(size - 2.0 / 3) < 1e-12)) << p;
  }
  const std::vector<MorrisIndex> l = MorrisIndices(linear.points, linear.losses, 3, 1);
  const double got[] = {l[0].muStar, l[0].mu, l[1].muStar, l[1].mu, l[2].muStar, l[0].muStarLow, l[0].sigma};
  const double want[] = {3, 3, 2, -2, 0, 3, 0};
  for (int i = 0; i < 7; ++i) EXPECT_NEAR(got[i], want[i], 1e-12) << i;
  EXPECT_EQ(l[0].effects, 30);
  const Driven product = design([](const std::vector<double>& x) { return x[0] * x[1]; });
  const std::vector<MorrisIndex> p = MorrisIndices(product.points, product.losses, 3, 1);
  EXPECT_GT(p[0].sigma, 0.1);
  EXPECT_TRUE(p[0].muStarLow <= p[0].muStar && p[0].muStar <= p[0].muStarHigh);
  // A point that could not be scored leaves out the two effects it takes part in.
  std::vector<double> holed = linear.losses;
  holed[5] = std::nan("");
  const std::vector<MorrisIndex> h = MorrisIndices(linear.points, holed, 3, 1);
  EXPECT_EQ(h[0].effects + h[1].effects + h[2].effects, 3 * 30 - 2);
  EXPECT_NEAR(h[0].muStar, 3, 1e-12);
}

TEST(Searches, BudgetsAndStartPoints) {
  const std::vector<double> start{0.25, 0.5, 0.75};
  for (long budget : {1L, 2L, 7L, 61L})
    for (SearchMethod method : {SearchMethod::Dds, SearchMethod::Sce, SearchMethod::Lhs}) {
      SearchSettings s;
      s.method = method, s.evaluations = budget, s.batch = 4;
      s.complexes = 3;  // a first population of 21: a budget of 7 ends within it
      auto search = MakeSearch(s, 3, start);
      const Driven d = Drive(*search, SearchSpace(Box(3, 0, 1)), [](const std::vector<double>&) { return 1.0; });
      EXPECT_EQ(d.losses.size(), static_cast<std::size_t>(budget)) << "method " << static_cast<int>(method);
      EXPECT_TRUE(method == SearchMethod::Lhs || d.units[0] == start);
      for (const auto& x : d.units)
        EXPECT_TRUE(std::all_of(x.begin(), x.end(), [](double v) { return v >= 0 && v <= 1; }));
    }
}

TEST(Searches, LatinHypercubeUsesEveryStratumOnceInLogAndLinearSpace) {
  // 60 points; the second parameter from 1e-3 to 1e3 in its logarithm: ten points per decade.
  const SearchSpace space({{"a", -1, 1, false}, {"b", 1e-3, 1e3, true}});
  std::set<int> strata;
  std::vector<int> decades(6, 0);
  for (const auto& v :
       Drive(*MakeLatinHypercube(2, 60, 7, 99), space, [](const std::vector<double>&) { return 0.0; }).points) {
    strata.insert(static_cast<int>((v[0] + 1) / 2 * 60));
    ++decades[static_cast<std::size_t>(std::floor(std::log10(v[1]) + 3))];
  }
  EXPECT_EQ(strata.size(), 60u);
  EXPECT_EQ(decades, std::vector<int>(6, 10));
  EXPECT_EQ(space.ToUnit({2, 1e-9}), (std::vector<double>{1, 0}));  // a start outside pulled onto the ranges
}

TEST(Random, ReferenceSequenceAndDistributions) {
  // xoshiro256** seeded by splitmix64 from 1, as its authors define them.
  Random r(1);
  for (std::uint64_t want : {0xb3f2af6d0fc710c5ULL, 0x853b559647364ceaULL, 0x92f89756082a4514ULL})
    EXPECT_EQ(r.Next(), want);
  EXPECT_EQ(r.Uniform(), 0.39132860204190445);
  std::vector<int> counts(7, 0);
  double sum = 0, sum2 = 0;
  for (int i = 0; i < 140000; ++i) {
    const double z = r.Normal();
    sum += z, sum2 += z * z, ++counts[r.Below(7)];
  }
  for (int c : counts) EXPECT_NEAR(c, 20000, 400);
  EXPECT_NEAR(sum / 140000, 0, 0.01);
  EXPECT_NEAR(sum2 / 140000, 1, 0.01);
}

}  // namespace
}  // namespace tarnwell
