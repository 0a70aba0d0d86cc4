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
  struct Case {
    double wt, e;
  };
  // At the surface and above it e = 1; 2 m down e = exp(-1).
  for (const Case& c : {Case{100, 1}, Case{100.7, 1}, Case{98, 0.36787944117144233}}) {
    double flow = 1.5, leak = -1;
    RowPartialSum sum;
    GroundwaterExchangeCell(100, c.wt, 5, 100, none, p, flow, leak, sum);
    sum.EndRow();
    EXPECT_NEAR(leak, 0.1 * c.e, 1e-15) << c.wt;
    EXPECT_NEAR(flow, 1.5 + 0.2 * c.e, 1e-15) << c.wt;
    EXPECT_NEAR(sum.Total(), 2 * (1.5 + 0.2 * c.e), 1e-15) << c.wt;  // entered twice
  }
}

TEST(GroundwaterExchange, EqualNeighboursExchangeNothing) {
  ParameterSet p = test::ProcessParams();
  ModelState s;
  test::FlatBasin(s, 3, 3);  // every table at 97 m, 3 m down: e = exp(-1.5)
  s.GroundwaterFlow[4] = 1.0;  // the centre's free-water share
  GroundwaterExchange(s, p, 7);
  const double e = 0.22313016014842982;
  EXPECT_NEAR(s.GroundwaterFlow[4], 1.0 + 0.2 * e, 1e-15);
  EXPECT_NEAR(s.DeepLeakage[4], 0.1 * e, 1e-15);
  EXPECT_NEAR(s.GroundwaterFlow[0], 0.2 * e, 1e-15);
  // Nine cells, each entered twice: (8 x 0.2e + 1 + 0.2e) x 2 / 9.
  EXPECT_NEAR(s.GwFlow[7], (9 * 0.2 * e + 1) * 2 / 9, 1e-14);
}

TEST(GroundwaterExchange, LateralExchangeAndTheOutsideReset) {
  ParameterSet p = test::ProcessParams();
  p.WaterTableExponent = 0;  // e = 1: every basin cell gets 0.2 mm of outflow
  ModelState s;
  test::FlatBasin(s, 3, 3);  // conductivity 5 over cells of 100: 0.05 mm per m of head
  const double wt[9] = {96.8, 97.2, 97.4,  //
                        97.6, 97.0, 98.0,  //
                        50.0, 97.5, 97.1};
  for (int i = 0; i < 9; ++i) s.WTElev[i] = wt[i];
  s.CellFlag[6] = 0;  // row 3, column 1 lies outside the basin
  s.GroundwaterFlow[6] = 7;
  s.DeepLeakage[6] = 7;
  GroundwaterExchange(s, p, 2);
  // Centre, four basin neighbours: qx = 0.05 (0.5 + 0.2), qy = 0.05 (1.0 + 0.6).
  EXPECT_NEAR(s.GroundwaterFlow[4], 0.2 - 0.035 - 0.08, 1e-12);
  // Top middle: no previous row, so the next row's term is cancelled; qy = 0.05 (0.2 - 0.4).
  EXPECT_NEAR(s.GroundwaterFlow[1], 0.2 + 0.01, 1e-12);
  // Top left: no previous row and no previous column cancel both directions.
  EXPECT_NEAR(s.GroundwaterFlow[0], 0.2, 1e-12);
  // Top right: qx cancelled; no next column, then the previous one: qy = 0.05 (-0.2).
  EXPECT_NEAR(s.GroundwaterFlow[2], 0.2 + 0.01, 1e-12);
  // Middle left: the outside cell below resets qx, the row above gives 0.05 (-0.8); the
  // missing previous column cancels the centre's pull.
  EXPECT_NEAR(s.GroundwaterFlow[3], 0.2 + 0.04, 1e-12);
  // Middle right: qx = 0.05 (-0.9 - 0.6); qy = 0.05 (-1.0) from the previous column only.
  EXPECT_NEAR(s.GroundwaterFlow[5], 0.2 + 0.075 + 0.05, 1e-12);
  // Bottom middle: qx = 0.05 (-0.5); the outside previous column cancels qy.
  EXPECT_NEAR(s.GroundwaterFlow[7], 0.2 + 0.025, 1e-12);
  // Bottom right: qx = 0.05 (0.9), qy = 0.05 (0.4).
  EXPECT_NEAR(s.GroundwaterFlow[8], 0.2 - 0.045 - 0.02, 1e-12);
  // The outside cell is left alone and not counted: (8 x 0.2 + 1.63) / 8.
  EXPECT_EQ(s.GroundwaterFlow[6], 7);
  EXPECT_EQ(s.DeepLeakage[6], 7);
  EXPECT_NEAR(s.GwFlow[2], 3.23 / 8, 1e-12);
}

TEST(GroundwaterExchange, AbsurdHeadsGiveNoExchange) {
  ParameterSet p = test::ProcessParams();
  p.WaterTableExponent = 0;
  GwNeighbours nb;
  nb.nextRowInside = nb.prevRowInside = nb.nextColInside = nb.prevColInside = true;
  nb.nextRowWT = 2e30;  // a no-data elevation
  nb.prevRowWT = 98;
  nb.nextColWT = 98;
  nb.prevColWT = 97;
  double flow = 0, leak = 0;
  RowPartialSum sum;
  GroundwaterExchangeCell(100, 97, 5, 100, nb, p, flow, leak, sum);
  EXPECT_NEAR(flow, 0.2 - 0.05, 1e-12);  // qx dropped, qy = 0.05 x 1
}

// One cell of the water-table step.
struct TableCase {
  double surf = 100, wt = 97, drain = 0, satEt = 0, leak = 0, gw = 0;
  double uz1 = 30, uz2 = 60, uz3 = 90, prev = -1;
  int flag = 1;
  void Run(const ParameterSet& p) {
    WaterTableCell(surf, drain, satEt, leak, gw, p, wt, prev, uz1, uz2, uz3, flag);
  }
};

TEST(WaterTable, RiseThroughLayersTwoAndOneToAboveTheSurface) {
  ParameterSet p = test::ProcessParams();
  // Table 0.2 m down, in layer 2; layer 3 is set saturated. Layer 2's unsaturated 0.1 m
  // holds (0.06 - 0.1 x 0.45) / 0.1 = 0.15 and takes 0.1 x 0.3 = 30 mm to fill; layer 1 at
  // 0.3 takes 0.1 x 0.15 = 15 mm. N = 60 - 5 - 2 - 3 = 50 mm leaves 5 mm above the surface.
  TableCase c;
  c.wt = 99.8;
  c.uz3 = 10;
  c.drain = 60;
  c.satEt = 5;
  c.leak = 2;
  c.gw = 3;
  c.Run(p);
  EXPECT_NEAR(c.wt, 100.005, 1e-9);
  EXPECT_DOUBLE_EQ(c.prev, 99.8);
  EXPECT_NEAR(c.uz3, 135, 1e-9);
  EXPECT_NEAR(c.uz2, 90, 1e-9);
  EXPECT_NEAR(c.uz1, 45, 1e-9);
  EXPECT_EQ(c.flag, kCellSaturated);
  // With 15 mm the table rises 0.015 / 0.3 = 0.05 m within layer 2.
  TableCase d;
  d.wt = 99.8;
  d.drain = 15;
  d.Run(p);
  EXPECT_NEAR(d.wt, 99.85, 1e-9);
  EXPECT_NEAR(d.uz2, 75, 1e-9);
  EXPECT_DOUBLE_EQ(d.uz1, 30);
  EXPECT_EQ(d.flag, kCellOrdinary);
}

TEST(WaterTable, RiseFromBelowTheLayersIntoLayerThree) {
  ParameterSet p = test::ProcessParams();
  // Table 1 m down, layer 3 at 0.2: 0.4 m to the bottom of the layers take 0.4 x 0.25 =
  // 100 mm; the other 20 mm lift it 0.02 / 0.25 = 0.08 m into layer 3.
  TableCase c;
  c.wt = 99;
  c.uz3 = 60;
  c.drain = 120;
  c.Run(p);
  EXPECT_NEAR(c.wt, 99.48, 1e-9);
  EXPECT_NEAR(c.uz3, 80, 1e-9);
  EXPECT_DOUBLE_EQ(c.uz2, 60);
  EXPECT_DOUBLE_EQ(c.uz1, 30);
  EXPECT_EQ(c.flag, kCellOrdinary);
  // Below the layers a smaller recharge lifts the table without touching the storages.
  TableCase d;
  d.wt = 99;
  d.uz3 = 60;
  d.drain = 50;
  d.Run(p);
  EXPECT_NEAR(d.wt, 99.2, 1e-9);
  EXPECT_DOUBLE_EQ(d.uz3, 60);
}

TEST(WaterTable, FallingTable) {
  ParameterSet p = test::ProcessParams();
  // In layer 1, 0.05 m down: layers 2 and 3 are set saturated; a 3 mm deficit lowers the
  // table by 0.003 / 0.15 = 0.02 m and layer 1 by 1000 x 0.02 x 0.15 = 3 mm.
  TableCase a;
  a.wt = 99.95;
  a.uz1 = 40;
  a.satEt = 1;
  a.leak = 1;
  a.gw = 1;
  a.Run(p);
  EXPECT_NEAR(a.wt, 99.93, 1e-9);
  EXPECT_NEAR(a.uz1, 37, 1e-9);
  EXPECT_NEAR(a.uz2, 90, 1e-9);
  EXPECT_NEAR(a.uz3, 135, 1e-9);
  EXPECT_EQ(a.flag, kCellOrdinary);
  // A 15 mm deficit empties the last 0.05 m of layer 1 (7.5 mm) and goes on into layer 2.
  TableCase b;
  b.wt = 99.95;
  b.uz1 = 40;
  b.gw = 15;
  b.Run(p);
  EXPECT_NEAR(b.wt, 99.85, 1e-9);
  EXPECT_NEAR(b.uz1, 32.5, 1e-9);
  EXPECT_NEAR(b.uz2, 82.5, 1e-9);
  // Above the surface the water drains off first: still saturated while above it.
  TableCase c;
  c.wt = 100.01;
  c.gw = 4;
  c.Run(p);
  EXPECT_NEAR(c.wt, 100.006, 1e-9);
  EXPECT_EQ(c.flag, kCellSaturated);
  EXPECT_NEAR(c.uz1, 45, 1e-9);
  // ... and the rest of a larger deficit comes out of layer 1: 3 mm lower it 0.02 m.
  TableCase d;
  d.wt = 100.01;
  d.gw = 13;
  d.flag = kCellSaturated;
  d.Run(p);
  EXPECT_NEAR(d.wt, 99.98, 1e-9);
  EXPECT_NEAR(d.uz1, 42, 1e-9);
  EXPECT_EQ(d.flag, kCellOrdinary);
}

TEST(WaterTable, NoRechargeStillSaturatesAndTopsUpLayerTwo) {
  ParameterSet p = test::ProcessParams();
  // Table in layer 2 with N = 0: it does not move, layer 3 is saturated whatever it held,
  // and layer 2 is raised to half its wilting-point storage, 0.5 x 0.1 x 200 = 10 mm.
  TableCase c;
  c.wt = 99.75;
  c.uz2 = 4;
  c.uz3 = 10;
  c.flag = kCellWet80;  // the day's wetness class is replaced
  c.Run(p);
  EXPECT_DOUBLE_EQ(c.wt, 99.75);
  EXPECT_NEAR(c.uz2, 10, 1e-12);
  EXPECT_NEAR(c.uz3, 135, 1e-12);
  EXPECT_DOUBLE_EQ(c.uz1, 30);
  EXPECT_EQ(c.flag, kCellOrdinary);
  // A table exactly at the surface stays there and the cell is saturated.
  TableCase s;
  s.wt = 100;
  s.Run(p);
  EXPECT_DOUBLE_EQ(s.wt, 100);
  EXPECT_EQ(s.flag, kCellSaturated);
  EXPECT_NEAR(s.uz1, 45, 1e-12);
}

TEST(GroundwaterSweep, ExchangeThenTableMovement) {
  ParameterSet p = test::ProcessParams();
  p.WaterTableExponent = 0;  // leakage 0.1 and outflow 0.2 everywhere
  ModelState s;
  test::FlatBasin(s, 1, 3);
  s.CellFlag[0] = kCellWet80;
  s.CellFlag[2] = 0;  // outside
  s.WTElev[2] = 50;
  s.WTPrev[2] = 0;
  for (int i = 0; i < 3; ++i) s.Uz3[i] = 90;  // layer 3 at field capacity
  // Cell 0: 3.3 mm of drainage less 0.3 mm of leakage and outflow lifts the table
  // 0.003 / 0.15 = 0.02 m; cell 1: nothing left over, the table stays.
  s.UnsatDrain[0] = 3.3;
  s.UnsatDrain[1] = 0.3;
  UpdateGroundwater(s, p, 9);
  EXPECT_NEAR(s.WTElev[0], 97.02, 1e-9);
  EXPECT_NEAR(s.WTElev[1], 97, 1e-9);
  EXPECT_DOUBLE_EQ(s.WTPrev[0], 97);
  EXPECT_EQ(s.CellFlag[0], kCellOrdinary);
  EXPECT_NEAR(s.GwFlow[9], 0.4, 1e-12);
  // The outside cell's table is only recorded as the day's start.
  EXPECT_EQ(s.WTElev[2], 50);
  EXPECT_EQ(s.WTPrev[2], 50);
  EXPECT_EQ(s.CellFlag[2], 0);
}

// One cell of the evapotranspiration step. Test parameters: weights 0.5, 0.3, 0.2;
// availability 2; open water 1.1; soil evaporation 0.3; deficit coefficient 0.5; layers
// of 100, 200, 300 mm; field capacity 0.3, wilting point 0.1.
struct EtCase {
  double surf = 100, wt = 98, landUse = 25, gw = 0.5, pet = 0, growth = 0.5;
  double canopy = 0, uz1 = 20, uz2 = 40, uz3 = 90, aet = 0, satEt = 0;
  void Run(const ParameterSet& p) {
    EvapotranspirationCell(surf, wt, landUse, gw, pet, growth, p, canopy, uz1, uz2, uz3, aet,
                           satEt);
  }
};

TEST(Evapotranspiration, MoistureFactor) {
  // a = 10: 1 above field capacity, 0 at and below the wilting point, 1 - 0.5^10 halfway.
  EXPECT_EQ(MoistureFactor(0.31, 0.3, 0.1, 10), 1);
  EXPECT_EQ(MoistureFactor(0.3, 0.3, 0.1, 10), 1);
  EXPECT_DOUBLE_EQ(MoistureFactor(0.2, 0.3, 0.1, 10), 1 - 1.0 / 1024);
  EXPECT_EQ(MoistureFactor(0.1, 0.3, 0.1, 10), 0);
  EXPECT_EQ(MoistureFactor(0.05, 0.3, 0.1, 10), 0);
  EXPECT_DOUBLE_EQ(MoistureFactor(0.2, 0.3, 0.1, 2), 0.75);
}

TEST(Evapotranspiration, ForestCanopyThenLayers) {
  ParameterSet p = test::ProcessParams();
  // Table 2 m down (state 3). PET 1.5 on a canopy of 0.6: the canopy gives 0.6, which
  // replaces the 0.2 of snow evaporation, and leaves E = 0.9, so a = 10 and f = 1 - 2^-10
  // for layers 1 and 2 at 0.2.
  EtCase c;
  c.pet = 1.5;
  c.canopy = 0.6;
  c.aet = 0.2;
  c.Run(p);
  const double f = 1 - 1.0 / 1024;
  const double e3 = 0.3 * 0.2 * 0.9, e2 = f * 0.3 * 0.9, e1 = f * 0.5 * 0.9;
  const double et = e1 + e2 + e3;  // 0.773296875
  // Layer 1 after transpiration holds 0.1955 < the midpoint 0.2: no moisture term, k = 0.3.
  const double es = 0.3 * (0.9 - et);
  EXPECT_EQ(c.canopy, 0);
  EXPECT_NEAR(c.uz2, 40 - e2, 1e-12);
  EXPECT_NEAR(c.uz1, 20 - e1 - es, 1e-12);
  EXPECT_DOUBLE_EQ(c.uz3, 90);
  EXPECT_NEAR(c.satEt, 0.054, 1e-15);
  EXPECT_NEAR(c.aet, 1.4113078125, 1e-12);
  // A canopy that covers the PET is all there is: E = 0 leaves nothing for the layers.
  EtCase d;
  d.pet = 2;
  d.canopy = 3;
  d.aet = 0.7;
  d.Run(p);
  EXPECT_DOUBLE_EQ(d.aet, 2);
  EXPECT_DOUBLE_EQ(d.canopy, 1);
  EXPECT_DOUBLE_EQ(d.uz1, 20);
  EXPECT_DOUBLE_EQ(d.uz2, 40);
  EXPECT_DOUBLE_EQ(d.uz3, 90);
  EXPECT_EQ(d.satEt, 0);
}

TEST(Evapotranspiration, LayerThreeCoversDryLayerTwoWithoutGroundwaterFlow) {
  ParameterSet p = test::ProcessParams();
  // PET 4, no canopy, groundwater flow exactly 0. Layer 1 is above field capacity (f = 1,
  // E1 = 2); layer 2 below the wilting point (E2 = 0). Layer 3 at 0.2 gives E3 = 0.16 and
  // the deficit transpiration 0.2 x 0.3 x 0.5 x 4 = 0.12.
  EtCase c;
  c.pet = 4;
  c.gw = 0;
  c.aet = 0.5;
  c.uz1 = 35;
  c.uz2 = 18;
  c.uz3 = 60;
  c.Run(p);
  EXPECT_NEAR(c.uz3, 60 - 0.16 - 0.12, 1e-12);
  EXPECT_DOUBLE_EQ(c.uz2, 18);
  EXPECT_EQ(c.satEt, 0);
  // Soil evaporation of E' = 4 - 2.28 from layer 1 at 0.33: s = 1.3 (no bound at 1),
  // Es = 1.72 x 0.3 + 1.204 x 1.3 x 0.5 = 1.2986.
  EXPECT_NEAR(c.uz1, 33 - 1.2986, 1e-12);
  EXPECT_NEAR(c.aet, 2.28 + 1.2986, 1e-12);
}

TEST(Evapotranspiration, SoilEvaporationOfOtherCells) {
  ParameterSet p = test::ProcessParams();
  // Grass, table 15 mm down (state 1, evaporating depth 15 <= 20): k = 0.3 and s = 1 whatever
  // the moisture; with growth 1 that is 0.3 x PET. The canopy is not touched and the
  // saturated-zone share kept from the day before stays.
  EtCase g;
  g.landUse = 35;
  g.wt = 99.985;
  g.pet = 3;
  g.growth = 1;
  g.canopy = 5;
  g.uz1 = 10;
  g.aet = 0.4;
  g.satEt = 0.8;
  g.Run(p);
  EXPECT_NEAR(g.uz1, 9.1, 1e-12);
  EXPECT_NEAR(g.aet, 1.3, 1e-12);
  EXPECT_DOUBLE_EQ(g.canopy, 5);
  EXPECT_DOUBLE_EQ(g.satEt, 0.8);
  EtCase h = g;
  h.growth = 0.5;
  h.uz1 = 10;
  h.aet = 0;
  h.Run(p);
  EXPECT_NEAR(h.aet, 0.9 + 2.1 * 0.5, 1e-12);
  // Cropland with a dry top layer (0.05 < wilting point): k = 0.3 x 0.5; 6 mm of demand on
  // 5 mm empties layer 1 and takes both from layer 2.
  EtCase dry;
  dry.landUse = 15;
  dry.pet = 40;
  dry.uz1 = 5;
  dry.uz2 = 50;
  dry.Run(p);
  EXPECT_EQ(dry.uz1, 0);
  EXPECT_NEAR(dry.uz2, 39, 1e-12);
  EXPECT_NEAR(dry.aet, 6, 1e-12);
  // Open water: PET x 1.1 counts, the soil evaporation still leaves the layers (k = 0.3,
  // s = 0.5 at 0.25, growth 0: Es = 0.9 + 2.1 x 0.5), and no saturated-zone share.
  EtCase w;
  w.landUse = 45;
  w.pet = 3;
  w.growth = 0;
  w.uz1 = 25;
  w.aet = 0.2;
  w.satEt = 0.8;
  w.Run(p);
  EXPECT_NEAR(w.aet, 0.2 + 3.3, 1e-12);
  EXPECT_NEAR(w.uz1, 25 - 1.95, 1e-12);
  EXPECT_EQ(w.satEt, 0);
}

TEST(Evapotranspiration, TableAtTheSurfaceEvaporatesAtThePotentialRate) {
  ParameterSet p = test::ProcessParams();
  // Forest whose canopy (0.6) falls short of PET 2: all but the canopy's share comes from
  // the saturated zone, even with no groundwater flow.
  EtCase a;
  a.wt = 100;
  a.pet = 2;
  a.canopy = 0.6;
  a.uz1 = 45;
  a.gw = 0;
  a.Run(p);
  EXPECT_DOUBLE_EQ(a.aet, 2);
  EXPECT_NEAR(a.satEt, 1.4, 1e-12);
  EXPECT_NEAR(a.uz1, 45 - 0.5 * 1.4, 1e-12);
  // Forest whose canopy covers the PET: nothing from the saturated zone.
  EtCase b;
  b.wt = 100.2;
  b.pet = 2;
  b.canopy = 3;
  b.Run(p);
  EXPECT_DOUBLE_EQ(b.aet, 2);
  EXPECT_EQ(b.satEt, 0);
  EXPECT_DOUBLE_EQ(b.canopy, 1);
  // Grass: no canopy evaporation, all of PET from the saturated zone; open water at 1.1.
  EtCase g;
  g.wt = 100;
  g.landUse = 35;
  g.pet = 2;
  g.canopy = 5;
  g.aet = 0.3;
  g.Run(p);
  EXPECT_DOUBLE_EQ(g.aet, 2);
  EXPECT_DOUBLE_EQ(g.satEt, 2);
  EXPECT_DOUBLE_EQ(g.canopy, 5);
  EtCase w = g;
  w.landUse = 45;
  w.aet = 0.3;
  w.Run(p);
  EXPECT_NEAR(w.aet, 2.2, 1e-12);
  EXPECT_NEAR(w.satEt, 2.2, 1e-12);
}

TEST(Evapotranspiration, SweepUsesTheDaysPetAndSkipsOutsideCells) {
  ParameterSet p = test::ProcessParams();
  ModelState s;
  test::FlatBasin(s, 1, 2);  // grass, table 3 m down
  s.CellFlag[1] = -1;
  s.DailyPET[40] = 3;
  s.GrowthIndex[40] = 1;
  for (int i = 0; i < 2; ++i) {
    s.Uz1[i] = 25;  // k = 0.3, s = 0.5; growth 1 leaves 0.3 x 3
    s.ActualET[i] = 0.1;
  }
  ComputeEvapotranspiration(s, p, 40);
  EXPECT_NEAR(s.ActualET[0], 1.0, 1e-12);
  EXPECT_NEAR(s.Uz1[0], 24.1, 1e-12);
  EXPECT_EQ(s.ActualET[1], 0.1);
  EXPECT_EQ(s.Uz1[1], 25);
}

}  // namespace
}  // namespace tarnwell
