#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "ProcessTestSupport.h"
#include "processes/Errod.h"

namespace tarnwell {
namespace {

// One cell of the soil-loss step. By default 10 mm of surface runoff and 5 mm of interflow
// (Q = 11, R = 0.06 x 121 + 22 = 29.26) on a slope of sine 1/32 (sine^0.6 = 1/8) in
// 100 m cells ((0.005 x 200)^0.35 = 1), so LS = 0.08 x 1/8 = 0.01, and K = 0.25.
struct ErosionCase {
  double surface = 10, interflow = 5, landUse = 15, slopeSine = 1.0 / 32, slopeMask = 1;
  double sizeX = 100, sizeY = 100;
  double q = -1, r = -1, k = -1, ls = -1, f = -1, c = -1, pr = -1, loss = -1;
  void Run(const ParameterSet& p) {
    ErosionCell(surface, interflow, landUse, slopeSine, slopeMask, sizeX, sizeY, p, q, r, k, ls, f, c, pr, loss);
  }
};

constexpr double kRLsK = 29.26 * 0.01 * 0.25;        // 0.07315
constexpr double kCultivatedC = 0.7875321869797122;  // 0.6508 - 0.3436 log10(0.4)

TEST(SoilErosion, CoverAndPracticeFactorsOfTheLandUseClasses) {
  const ParameterSet p = test::ProcessParams();
  struct Expect {
    double code, f, c, pr;
  };
  std::vector<Expect> cases = {
      {15, 0.4, kCultivatedC, 0.4},   // cultivated
      {101, 0.4, kCultivatedC, 0.4},  // cultivated above 100
      {149, 0.4, kCultivatedC, 0.4},
      {25, 0.9, 0, 0.9},  // forest: dense cover, no loss
      {35, 0.8, 0, 0.8},  // grass: above 0.783, no loss
      {45, 0, 1, 0.6},    // open water
      {55, 0, 1, 0.7},    // built-up
      {75, 0, 1, 0},      // barren
  };
  // Round codes belong to no class; nor do those outside the sub-basin's codes.
  for (double code : {20, 30, 40, 50, 60, 100, 150, 0, -9999}) cases.push_back({code, 0, 1, 0});
  for (const Expect& x : cases) {
    ErosionCase e;
    e.landUse = x.code;
    e.Run(p);
    EXPECT_NEAR(e.f, x.f, 1e-15) << x.code;
    EXPECT_NEAR(e.c, x.c, 1e-12) << x.code;
    EXPECT_NEAR(e.pr, x.pr, 1e-15) << x.code;
    EXPECT_NEAR(e.loss, kRLsK * x.c * (1 - 0.5 * x.pr), 1e-12) << x.code;
  }
}

TEST(SoilErosion, CoverFactorBoundsSlopeFactorAndNoDataSlope) {
  // 0.783 itself is not above the bound: the logarithmic law still holds there.
  const std::pair<double, double> cover[] = {{0, 1}, {0.7831, 0}, {0.783, 0.6873034585568907}, {1, 0}};
  for (auto [f, c] : cover) EXPECT_NEAR(CoverManagementFactor(f), c, 1e-12) << f;
  ParameterSet p = test::ProcessParams();
  // Cells of 3200 m: (0.005 x 6400)^0.35 = 2^1.75.
  ErosionCase big;
  big.sizeX = big.sizeY = 3200;
  big.Run(p);
  EXPECT_NEAR(big.ls, 0.08 * 3.363585661014858 * 0.125, 1e-12);
  // Where the slope value is unusable the mask is 0: no slope factor, no loss, and no NaN
  // from the power of a negative or huge no-data value.
  for (double nodata : {-9999.0, -1.0, 2e30, 1e38}) {
    ErosionCase e;
    e.slopeSine = nodata, e.slopeMask = 0;
    e.Run(p);
    EXPECT_EQ(std::pair(e.ls, e.loss), std::pair(0.0, 0.0)) << nodata;  // NaN compares unequal too
  }
}

TEST(SoilErosion, ErodibilityOfUniformAndNonUniformBasins) {
  ParameterSet p = test::ProcessParams();  // Erodibility 0.25, then 0.31 .. 0.38 for 1..8
  // Uniform: K = Erodibility[0] whatever the mask. Non-uniform: the mask value selects the
  // class; any other value keeps what the cell had.
  const struct {
    int mode;
    double mask, k;
  } cases[] = {{0, 3, 0.25}, {1, 3, 0.33},   {1, 8, 0.38}, {1, 1, 0.31},
               {1, 0, 0.77}, {1, 2.5, 0.77}, {1, 9, 0.77}, {1, -1, 0.77}};
  for (const auto& c : cases) {
    p.ErodibilityMode = c.mode;
    ErosionCase e;
    e.k = 0.77, e.slopeMask = c.mask;
    e.Run(p);
    EXPECT_DOUBLE_EQ(e.k, c.k) << c.mode << " " << c.mask;
    EXPECT_TRUE(c.mask <= 0 || std::abs(e.loss - 29.26 * 0.01 * c.k * kCultivatedC * 0.8) < 1e-12) << e.loss;
  }
}

// The channel store of one day: v = 0.2 x flow against Vd = 0.2 and Vs = 0.5; settling 0.3,
// scour 0.1, consolidation 0.01; 100 t of erosion on a store of 50 t.
struct SedimentDay {
  ModelState s;
  explicit SedimentDay(double store) { s.SedStore = store; }
  double Run(double flow, const ParameterSet& p, int day = 10) {
    s.SimErosion[day] = 100;
    s.SimFlow[day] = flow;
    RouteSediment(s, p, day, 3);
    return s.SimSediment[day];
  }
};

TEST(SedimentStore, DepositionPassThroughScourAndNoNegativeStore) {
  const struct {
    const char* what;
    double scour, flow, out, store;
  } cases[] = {
      // Still water (v = 0): the outlet gets 70 % of the erosion, the store gains 30 %, then
      // consolidates by 1 %; v = 0.1, half the critical deposition velocity: half the shares.
      {"still", 0.1, 0, 70, 80 * 0.99},
      {"slow", 0.1, 0.5, 35, 65 * 0.99},
      // Exactly at either critical velocity, and between them, the erosion passes unchanged;
      // the store still consolidates.
      {"at the deposition velocity", 0.1, 1, 100, 49.5},
      {"between", 0.1, 1.5, 100, 49.5},
      {"at the scour velocity", 0.1, 2.5, 100, 49.5},
      {"twice the scour velocity: x = 0.1, 5 t scoured", 0.1, 5, 105, 45 * 0.99},
      // v = 2.0: x = (4 - 1) x 0.5 = 1.5; the outlet gets 1.5 x 50 + 100, the store ends at 0.
      {"flood", 0.5, 10, 175, 0},
  };
  for (const auto& c : cases) {
    ParameterSet p = test::ProcessParams();
    p.SedimentScourExponent = c.scour;
    SedimentDay day(50);
    EXPECT_DOUBLE_EQ(day.Run(c.flow, p), c.out) << c.what;
    EXPECT_DOUBLE_EQ(day.s.SedStore, c.store) << c.what;
    EXPECT_DOUBLE_EQ(day.s.DailySedStore[10], c.store) << c.what;
    // An empty store stays empty on the next day of scour.
    if (c.store == 0) {
      EXPECT_DOUBLE_EQ(day.Run(10, p, 11), 100);
      EXPECT_EQ(day.s.SedStore, 0);
    }
  }
}

}  // namespace
}  // namespace tarnwell
