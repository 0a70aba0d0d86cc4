#include <gtest/gtest.h>

#include <cmath>

#include "ProcessTestSupport.h"
#include "processes/EvaTrans.h"
#include "processes/Grdwater.h"
#include "processes/Upsoil.h"
#include "processes/W_Stage.h"

namespace tarnwell {
namespace {

// The test parameters give layers of 0.1, 0.2 and 0.3 m (saturated storages 45, 90 and
// 135 mm), a specific yield of 0.45 - 0.3 = 0.15, leakage 0.1, outflow 0.2, and an
// exponent of 0.5 per metre of table depth.

TEST(GroundwaterExchange, LeakageAndOutflowFallOffWithDepth) {
  ParameterSet p = test::ProcessParams();
  GwNeighbours none;  // all four outside: no lateral exchange
  // At the surface and above it e = 1; 2 m down e = exp(-1).
  for (const auto& [wt, e] : {std::pair{100.0, 1.0}, {100.7, 1.0}, {98.0, 0.36787944117144233}}) {
    double flow = 1.5, leak = -1;
    RowPartialSum sum;
    GroundwaterExchangeCell(100, wt, 5, 100, none, p, flow, leak, sum);
    sum.EndRow();
    EXPECT_NEAR(leak, 0.1 * e, 1e-15) << wt;
    EXPECT_NEAR(flow, 1.5 + 0.2 * e, 1e-15) << wt;
    EXPECT_NEAR(sum.Total(), 2 * (1.5 + 0.2 * e), 1e-15) << wt;  // entered twice
  }
}

TEST(GroundwaterExchange, LateralExchangeAndTheOutsideReset) {
  ParameterSet p = test::ProcessParams();
  p.WaterTableExponent = 0;  // e = 1: every basin cell gets 0.2 mm of outflow
  ModelState s;
  test::FlatBasin(s, 3, 3);  // conductivity 5 over cells of 100: 0.05 mm per m of head
  const double wt[9] = {96.8, 97.2, 97.4, 97.6, 97.0, 98.0, 50.0, 97.5, 97.1};
  for (int i = 0; i < 9; ++i) s.WTElev[i] = wt[i];
  s.CellFlag[6] = 0;  // row 3, column 1 lies outside the basin
  s.GroundwaterFlow[6] = s.DeepLeakage[6] = 7;
  GroundwaterExchange(s, p, 2);
  // Each cell's exchange with the neighbours inside; a missing previous row or column
  // cancels the next one's term, an outside neighbour resets the direction.
  const double expected[9] = {0.2, 0.21, 0.21, 0.24, 0.2 - 0.035 - 0.08, 0.325, 7, 0.225, 0.2 - 0.045 - 0.02};
  for (int i = 0; i < 9; ++i) EXPECT_NEAR(s.GroundwaterFlow[i], expected[i], 1e-12) << i;
  EXPECT_EQ(s.DeepLeakage[6], 7);
  EXPECT_NEAR(s.GwFlow[2], 3.23 / 8, 1e-12);  // the outside cell is not counted
  // A no-data head drops its direction instead of pulling all the water.
  GwNeighbours nb;
  nb.nextRowInside = nb.prevRowInside = nb.nextColInside = nb.prevColInside = true;
  nb.nextRowWT = 2e30, nb.prevRowWT = nb.nextColWT = 98, nb.prevColWT = 97;
  double flow = 0, leak = 0;
  RowPartialSum sum;
  GroundwaterExchangeCell(100, 97, 5, 100, nb, p, flow, leak, sum);
  EXPECT_NEAR(flow, 0.2 - 0.05, 1e-12);
}

// One cell of the water-table step.
struct TableCase {
  double wt = 97, drain = 0, satEt = 0, leak = 0, gw = 0;
  double uz1 = 30, uz2 = 60, uz3 = 90, prev = -1;
  int flag = 1;
  void Run(const ParameterSet& p) { WaterTableCell(100, drain, satEt, leak, gw, p, wt, prev, uz1, uz2, uz3, flag); }
};

TEST(WaterTable, RisingAndFallingThroughTheLayersAndAboveTheSurface) {
  ParameterSet p = test::ProcessParams();
  struct Case {
    const char* what;
    TableCase in;
    double wt, uz1, uz2, uz3;
    int flag;
  };
  auto with = [](double wt, double drain, double gw, double uz1, double uz2, double uz3, int flag = 1) {
    TableCase c;
    c.wt = wt, c.drain = drain, c.gw = gw, c.uz1 = uz1, c.uz2 = uz2, c.uz3 = uz3, c.flag = flag;
    return c;
  };
  const Case cases[] = {
      // 60 mm less 10 fill layer 2 (30 mm) and layer 1 (15 mm) and leave 5 mm above the surface.
      {"through layers 2 and 1", with(99.8, 60, 10, 30, 60, 10), 100.005, 45, 90, 135, kCellSaturated},
      {"within layer 2", with(99.8, 15, 0, 30, 60, 90), 99.85, 30, 75, 135, kCellOrdinary},
      {"from below into layer 3", with(99, 120, 0, 30, 60, 60), 99.48, 30, 60, 80, kCellOrdinary},
      {"below the layers", with(99, 50, 0, 30, 60, 60), 99.2, 30, 60, 60, kCellOrdinary},
      {"falling in layer 1", with(99.95, 0, 3, 40, 60, 90), 99.93, 37, 90, 135, kCellOrdinary},
      {"falling into layer 2", with(99.95, 0, 15, 40, 60, 90), 99.85, 32.5, 82.5, 135, kCellOrdinary},
      {"draining above the surface", with(100.01, 0, 4, 30, 60, 90), 100.006, 45, 90, 135, kCellSaturated},
      {"from above the surface into layer 1", with(100.01, 0, 13, 30, 60, 90, kCellSaturated), 99.98, 42, 90, 135,
       kCellOrdinary},
      // No recharge: the table stays, layer 3 saturates, layer 2 reaches half its wilting storage.
      {"no recharge", with(99.75, 0, 0, 30, 4, 10, kCellWet80), 99.75, 30, 10, 135, kCellOrdinary},
      {"at the surface", with(100, 0, 0, 30, 60, 90), 100, 45, 90, 135, kCellSaturated},
  };
  for (const Case& k : cases) {
    TableCase c = k.in;
    const double start = c.wt;
    c.Run(p);
    const double got[] = {c.wt, c.uz1, c.uz2, c.uz3}, want[] = {k.wt, k.uz1, k.uz2, k.uz3};
    for (int i = 0; i < 4; ++i) test::ExpectNear(got[i], want[i], k.what, 1e-9);
    EXPECT_EQ(c.flag, k.flag) << k.what;
    EXPECT_EQ(c.prev, start) << k.what;
  }
}

// One cell of the evapotranspiration step. Test parameters: weights 0.5, 0.3, 0.2;
// availability 2; open water 1.1; soil evaporation 0.3; deficit coefficient 0.5; layers
// of 100, 200, 300 mm; field capacity 0.3, wilting point 0.1.
struct EtCase {
  double wt = 98, landUse = 25, gw = 0.5, pet = 0, growth = 0.5;
  double canopy = 0, uz1 = 20, uz2 = 40, uz3 = 90, aet = 0, satEt = 0;
  void Run(const ParameterSet& p) {
    EvapotranspirationCell(100, wt, landUse, gw, pet, growth, p, canopy, uz1, uz2, uz3, aet, satEt);
  }
};

TEST(Evapotranspiration, MoistureFactor) {
  // a = 10: 1 at and above field capacity, 0 at and below the wilting point.
  const std::pair<double, double> cases[] = {{0.31, 1}, {0.3, 1}, {0.2, 1 - 1.0 / 1024}, {0.1, 0}, {0.05, 0}};
  for (auto [theta, f] : cases) EXPECT_DOUBLE_EQ(MoistureFactor(theta, 0.3, 0.1, 10), f) << theta;
}

TEST(Evapotranspiration, SoilEvaporationOfEachLandUseAndTableDepth) {
  ParameterSet p = test::ProcessParams();
  struct Case {
    const char* what;
    EtCase in;
    double aet, uz1, uz2, uz3, satEt;
  };
  auto et = [](double landUse, double wt, double pet, double growth, double gw, double aet, double uz1, double uz2,
               double uz3, double canopy = 0, double satEt = 0) {
    EtCase c;
    c.landUse = landUse, c.wt = wt, c.pet = pet, c.growth = growth, c.gw = gw, c.aet = aet;
    c.uz1 = uz1, c.uz2 = uz2, c.uz3 = uz3, c.canopy = canopy, c.satEt = satEt;
    return c;
  };
  const Case cases[] = {
      // No groundwater flow: layer 3 covers the dry layer 2 (E3 0.16 and deficit 0.12); the
      // soil evaporation of layer 1 at 0.33 has s = 1.3, not bounded at 1.
      {"forest, dry layer 2", et(25, 98, 4, 0.5, 0, 0.5, 35, 18, 60), 2.28 + 1.2986, 33 - 1.2986, 18, 59.72, 0},
      // Grass 15 mm above the table: k = 0.3 and s = 1; the canopy and yesterday's share stay.
      {"grass near the table", et(35, 99.985, 3, 1, 0.5, 0.4, 10, 40, 90, 5, 0.8), 1.3, 9.1, 40, 90, 0.8},
      {"grass half grown", et(35, 99.985, 3, 0.5, 0.5, 0, 10, 40, 90, 5, 0.8), 0.9 + 2.1 * 0.5, 8.05, 40, 90, 0.8},
      // Cropland with a dry top layer: 6 mm of demand empties layer 1 and takes the rest from layer 2.
      {"cropland, dry top", et(15, 98, 40, 0.5, 0.5, 0, 5, 50, 90), 6, 0, 39, 90, 0},
      // Open water: PET x 1.1 and the soil evaporation, no saturated-zone share.
      {"open water", et(45, 98, 3, 0, 0.5, 0.2, 25, 40, 90, 0, 0.8), 3.5, 23.05, 40, 90, 0},
      // A table at the surface evaporates at the potential rate from the saturated zone.
      {"forest, table at the surface", et(25, 100, 2, 0.5, 0, 0, 45, 40, 90, 0.6), 2, 44.3, 40, 90, 1.4},
      {"forest, canopy covers it", et(25, 100.2, 2, 0.5, 0.5, 0, 20, 40, 90, 3), 2, 20, 40, 90, 0},
      {"grass, table at the surface", et(35, 100, 2, 0.5, 0.5, 0.3, 20, 40, 90, 5), 2, test::kAny, 40, 90, 2},
      {"open water, table at the surface", et(45, 100, 2, 0.5, 0.5, 0.3, 20, 40, 90, 5), 2.2, test::kAny, 40, 90, 2.2},
  };
  for (const Case& k : cases) {
    EtCase c = k.in;
    c.Run(p);
    const double got[] = {c.aet, c.uz1, c.uz2, c.uz3, c.satEt}, want[] = {k.aet, k.uz1, k.uz2, k.uz3, k.satEt};
    for (int i = 0; i < 5; ++i) test::ExpectNear(got[i], want[i], k.what + std::string(", value ") + std::to_string(i));
  }
}

}  // namespace
}  // namespace tarnwell
