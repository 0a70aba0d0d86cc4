// The searches on test functions of known minimum (budgets and tolerances stated in each
// test), their budgets, the Latin hypercube's strata and the portable random numbers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "TestFunctions.h"
#include "calibration/Random.h"
#include "calibration/Search.h"

namespace tarnwell {
namespace {

struct Minimum {
  double loss = INFINITY;
  std::vector<double> at;
  long evaluations = 0;
};

Minimum Minimise(Search& search, const SearchSpace& space, double (*f)(const std::vector<double>&)) {
  Minimum best;
  for (;;) {
    const auto batch = search.Propose();
    if (batch.empty()) return best;
    std::vector<double> losses;
    for (const auto& u : batch) {
      const std::vector<double> x = space.ToValues(u);
      losses.push_back(f(x));
      if (losses.back() < best.loss) best.loss = losses.back(), best.at = x;
      ++best.evaluations;
    }
    search.Tell(losses);
  }
}

TEST(Random, ReferenceSequenceAndDistributions) {
  // xoshiro256** seeded by splitmix64 from 1, as its authors define them.
  Random r(1);
  for (std::uint64_t want : {0xb3f2af6d0fc710c5ULL, 0x853b559647364ceaULL, 0x92f89756082a4514ULL})
    EXPECT_EQ(r.Next(), want);
  EXPECT_EQ(r.Uniform(), 0.39132860204190445);

  Random g(7);
  double sum = 0, sum2 = 0;
  const int n = 200000;
  std::vector<int> counts(7, 0);
  for (int i = 0; i < n; ++i) {
    const double z = g.Normal();
    sum += z, sum2 += z * z;
    const double u = g.Uniform();
    ASSERT_TRUE(u >= 0 && u < 1);
    ++counts[g.Below(7)];
  }
  EXPECT_NEAR(sum / n, 0, 0.01);
  EXPECT_NEAR(sum2 / n, 1, 0.01);
  for (int c : counts) EXPECT_NEAR(c, n / 7.0, 0.02 * n / 7.0);
}

TEST(Searches, SceAndDdsReachTheMinimaOfTestFunctions) {
  // SCE-UA on Rosenbrock in 5 dimensions on [-2.048, 2.048]: 3000 evaluations, 2 complexes.
  auto sce = MakeSceSearch(5, 3000, 2, 1, std::nullopt);
  const Minimum r = Minimise(*sce, SearchSpace(test::Box(5, -2.048, 2.048)), test::Rosenbrock);
  EXPECT_EQ(r.evaluations, 3000);
  EXPECT_LT(r.loss, 1e-6);
  for (double x : r.at) EXPECT_NEAR(x, 1, 1e-3);
  // DDS spends a fixed budget to come near the global optimum, not to home in on it: the
  // tolerances are those of its design. Griewank in 10 dimensions on [-600, 600], 10000
  // evaluations in batches of 8: below 0.3 (the local minima around the origin start at
  // 0.0074 and rise to 1 away from it), every coordinate within 3 % of its range.
  auto dds = MakeDdsSearch(10, 10000, 8, 1, std::nullopt);
  const Minimum g = Minimise(*dds, SearchSpace(test::Box(10, -600, 600)), test::Griewank);
  EXPECT_EQ(g.evaluations, 10000);
  EXPECT_LT(g.loss, 0.3);
  for (double x : g.at) EXPECT_LT(std::fabs(x), 36);
}

TEST(Searches, BudgetsAndStartPoints) {
  const std::vector<double> start{0.25, 0.5, 0.75};
  for (long budget : {1L, 2L, 7L, 61L}) {
    for (int method = 0; method < 3; ++method) {
      SearchSettings s;
      s.method = static_cast<SearchMethod>(method), s.evaluations = budget, s.batch = 4;
      s.complexes = 3;  // a first population of 21: a budget of 7 ends within it
      auto search = MakeSearch(s, 3, start);
      long proposed = 0;
      for (auto batch = search->Propose(); !batch.empty(); batch = search->Propose()) {
        if (proposed == 0 && s.method != SearchMethod::Lhs) {
          EXPECT_EQ(batch[0], start);
        }
        for (const auto& u : batch)
          for (double v : u) ASSERT_TRUE(v >= 0 && v <= 1);
        proposed += static_cast<long>(batch.size());
        search->Tell(std::vector<double>(batch.size(), 1.0));
      }
      EXPECT_EQ(proposed, budget) << "method " << method;
    }
  }
}

TEST(Searches, LatinHypercubeUsesEveryStratumOnceInLogAndLinearSpace) {
  // 60 points; the second parameter from 1e-3 to 1e3 in its logarithm: ten points per decade.
  const SearchSpace space({{"a", -1, 1, false}, {"b", 1e-3, 1e3, true}});
  auto search = MakeLatinHypercube(2, 60, 7, 99);
  std::set<int> strataA, strataB;
  std::vector<int> decades(6, 0);
  for (auto batch = search->Propose(); !batch.empty(); batch = search->Propose()) {
    EXPECT_LE(batch.size(), 7u);
    for (const auto& u : batch) {
      const std::vector<double> v = space.ToValues(u);
      strataA.insert(static_cast<int>((v[0] + 1) / 2 * 60));
      strataB.insert(static_cast<int>(u[1] * 60));
      ++decades[static_cast<std::size_t>(std::floor(std::log10(v[1]) + 3))];
    }
    search->Tell(std::vector<double>(batch.size(), 0.0));
  }
  EXPECT_EQ(strataA.size(), 60u);
  EXPECT_EQ(strataB.size(), 60u);
  for (int d : decades) EXPECT_EQ(d, 10);
}

TEST(Searches, SpaceMapsLogRangesAndClamps) {
  const SearchSpace space({{"lin", 2, 4, false}, {"log", 0.01, 100, true}});
  EXPECT_EQ(space.ToValues({0, 0}), (std::vector<double>{2, 0.01}));
  EXPECT_EQ(space.ToValues({1, 1}), (std::vector<double>{4, 100}));
  EXPECT_NEAR(space.ToValues({0.5, 0.5})[1], 1, 1e-12);
  EXPECT_EQ(space.ToUnit({3, 1})[0], 0.5);
  EXPECT_NEAR(space.ToUnit({3, 1})[1], 0.5, 1e-12);
  // A start outside the ranges is pulled onto them.
  EXPECT_EQ(space.ToUnit({10, 1e-9}), (std::vector<double>{1, 0}));
}

}  // namespace
}  // namespace tarnwell
