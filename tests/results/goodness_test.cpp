// Goodness of fit against values worked by hand, with missing observations left out.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "results/GoodnessOfFit.h"

namespace tarnwell {
namespace {

const double kNan = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// Observed 1, 2, 3, 4 and simulated 2, 2, 2, 6:
// means 2.5 and 3; squared residuals 6; squared deviations 5 (observed) and 12 (simulated);
// cross products 6. NSE = 1 - 6/5; r = 6/sqrt(60); alpha = sqrt(12/5); beta = 1.2;
// PBIAS = 100 (12 - 10) / 10.
void ExpectWorkedExample(const FitStatistics& f) {
  EXPECT_EQ(f.N, 4);
  EXPECT_DOUBLE_EQ(f.MeanObs, 2.5);
  EXPECT_DOUBLE_EQ(f.MeanSim, 3.0);
  EXPECT_DOUBLE_EQ(f.NSE, -0.2);
  EXPECT_NEAR(f.r, 0.7745966692414834, 1e-15);
  EXPECT_NEAR(f.alpha, 1.5491933384829668, 1e-15);
  EXPECT_DOUBLE_EQ(f.beta, 1.2);
  // 1 - sqrt(0.2254033307585166^2 + 0.5491933384829668^2 + 0.2^2)
  EXPECT_NEAR(f.KGE, 0.3735656582281749, 1e-14);
  EXPECT_DOUBLE_EQ(f.PBIAS, 20.0);
}

TEST(GoodnessOfFit, WorkedExample) {
  const std::vector<double> obs{1, 2, 3, 4}, sim{2, 2, 2, 6};
  ExpectWorkedExample(ComputeFit(obs, sim));
  EXPECT_DOUBLE_EQ(NashSutcliffe(obs, sim), -0.2);
  EXPECT_NEAR(KlingGupta(obs, sim), 0.3735656582281749, 1e-14);
  EXPECT_DOUBLE_EQ(PercentBias(obs, sim), 20.0);
}

TEST(GoodnessOfFit, MissingObservationsAreLeftOut) {
  // The model's -999, any other negative value and non-finite values mark a day without a
  // measurement; whatever was simulated that day does not count.
  const std::vector<double> obs{-999, 1, kNan, 2, 3, -0.5, kInf, 4, -999};
  const std::vector<double> sim{50, 2, 70, 2, 2, 80, 90, 6, kNan};
  ExpectWorkedExample(ComputeFit(obs, sim));
  // A zero is a measurement (a dry day).
  EXPECT_TRUE(IsObserved(0.0) && !IsObserved(-999) && !IsObserved(-kInf));
}

TEST(GoodnessOfFit, PerfectAndUndefined) {
  const std::vector<double> obs{3, 1, 4, 1, 5};
  const FitStatistics same = ComputeFit(obs, obs);
  EXPECT_EQ((std::vector<double>{same.NSE, same.KGE, same.PBIAS, LogNashSutcliffe(obs, obs)}),
            (std::vector<double>{1, 1, 0, 1}));

  // A constant observed series has no variance: NSE, r, alpha and KGE are undefined.
  const std::vector<double> flat{2, 2, 2}, sim{1, 2, 3};
  const FitStatistics f = ComputeFit(flat, sim);
  EXPECT_TRUE(std::isnan(f.NSE) && std::isnan(f.KGE));
  EXPECT_DOUBLE_EQ(f.PBIAS, 0);
  // No observed day at all.
  const FitStatistics none = ComputeFit(std::vector<double>{-999, -999}, std::vector<double>{1, 2});
  EXPECT_EQ(none.N, 0);
  EXPECT_TRUE(std::isnan(none.NSE) && std::isnan(none.PBIAS));
  EXPECT_TRUE(std::isnan(LogNashSutcliffe(std::vector<double>{-999}, std::vector<double>{1})));
}

TEST(GoodnessOfFit, LogNashSutcliffeWithDryDays) {
  // Observed 0, 0, 300 (mean 100, so the offset is 1): logarithms 0, 0, L = ln 301, whose
  // squared deviations from their mean L/3 add up to 2/3 L^2.
  const std::vector<double> obs{0, 0, 300, -999};
  const double L = std::log(301.0);
  // Simulated all dry: residuals 0, 0, L, so NSE = 1 - L^2 / (2/3 L^2) = -0.5.
  EXPECT_NEAR(LogNashSutcliffe(obs, std::vector<double>{0, 0, 0, 5}), -0.5, 1e-14);
  // Simulated e - 1, e - 1, 300: residuals 1, 1, 0.
  const double e1 = std::exp(1.0) - 1;
  EXPECT_NEAR(LogNashSutcliffe(obs, std::vector<double>{e1, e1, 300, 5}), 1 - 2 / (2.0 / 3 * L * L), 1e-14);
}

}  // namespace
}  // namespace tarnwell
