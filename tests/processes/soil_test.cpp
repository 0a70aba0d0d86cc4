#include <gtest/gtest.h>

#include <cmath>

#include "ProcessTestSupport.h"
#include "processes/Upsoil.h"

namespace tarnwell {
namespace {

// One cell of the snow and frost pass, with its stores.
struct SnowCell {
  double snow = 0, frozen = 0, uz1 = 27, uz2 = 54, uz3 = 81;
  double throughfall = -1, bypass = -1, aet = -1, drain = -1;
  void Run(double precip, double intercepted, double elevAboveStation, double stationTemp, double pet,
           const ParameterSet& p) {
    SnowFrostCell(precip, intercepted, 500 + elevAboveStation, stationTemp, pet, 500, p, snow, frozen, uz1, uz2, uz3,
                  throughfall, bypass, aet, drain);
  }
};

TEST(SnowFrost, SnowfallMeltAndThresholdsAreStrict) {
  ParameterSet p = test::ProcessParams();  // snowfall below 0 C, freezing below -2 C
  p.SnowEvapRate = 0;
  // 1000 m above the station is 5 C colder: 3 C at the station is -2 C there: snow.
  SnowCell c;
  c.Run(10, 2, 1000, 3, 0, p);
  EXPECT_DOUBLE_EQ(c.snow, 8);
  EXPECT_EQ(c.throughfall, 0);
  EXPECT_EQ(c.bypass, 0);
  EXPECT_EQ(c.aet, 0);
  EXPECT_EQ(c.drain, 0);
  EXPECT_DOUBLE_EQ(c.uz1, 27);  // -2 C is not below the freezing temperature
  // Exactly at the snowfall temperature: neither snowfall nor melt.
  c.Run(10, 2, 0, 0, 0, p);
  EXPECT_DOUBLE_EQ(c.snow, 8);
  EXPECT_DOUBLE_EQ(c.throughfall, 8);
  // 1 C: melt of 3 mm/C; never more than the pack.
  c.Run(0, 0, 0, 1, 0, p);
  EXPECT_DOUBLE_EQ(c.snow, 5);
  EXPECT_DOUBLE_EQ(c.throughfall, 3);
  c.Run(0, 0, 0, 10, 0, p);
  EXPECT_EQ(c.snow, 0);
  EXPECT_DOUBLE_EQ(c.throughfall, 5);
  // Interception only counts on a day with precipitation.
  c.Run(0, 4, 0, 10, 0, p);
  EXPECT_EQ(c.throughfall, 0);
}

TEST(SnowFrost, SnowEvaporationNeverExceedsThePack) {
  ParameterSet p = test::ProcessParams();
  p.SnowEvapRate = 0.5;
  SnowCell c;
  c.snow = 3;
  c.Run(0, 0, 0, -1, 4, p);  // 2 mm of demand on 3 mm of snow
  EXPECT_DOUBLE_EQ(c.snow, 1);
  EXPECT_DOUBLE_EQ(c.aet, 2);
  c.Run(0, 0, 0, -1, 2, p);  // demand equal to the pack empties it
  EXPECT_EQ(c.snow, 0);
  EXPECT_DOUBLE_EQ(c.aet, 1);
  c.Run(0, 0, 0, -1, 2, p);  // no pack, no evaporation
  EXPECT_EQ(c.aet, 0);
}

TEST(SnowFrost, FreezingAndThawOfTheSoil) {
  ParameterSet p = test::ProcessParams();
  p.SnowEvapRate = 0;
  // 10 C below the freezing temperature, no snow and no ice: 10 x rate from layer 1.
  SnowCell c;
  c.uz1 = 40;
  c.Run(0, 0, 0, -12, 0, p);
  EXPECT_DOUBLE_EQ(c.frozen, 10);
  EXPECT_DOUBLE_EQ(c.uz1, 30);
  EXPECT_DOUBLE_EQ(c.uz2, 54);
  // Ice damps the next day's freezing: 10 / (0.1 x 10 + 1) = 5 mm.
  c.Run(0, 0, 0, -12, 0, p);
  EXPECT_DOUBLE_EQ(c.frozen, 15);
  EXPECT_DOUBLE_EQ(c.uz1, 25);
  // Exactly at the freezing temperature: neither freezing nor thaw.
  c.Run(0, 0, 0, -2, 0, p);
  EXPECT_DOUBLE_EQ(c.frozen, 15);
  // Thaw at -1 C (still a snowfall day): 3 mm, of which 10 % bypasses the matrix and
  // 90 % goes to layer 2 and to the surface water alike.
  c.Run(0, 0, 0, -1, 0, p);
  EXPECT_DOUBLE_EQ(c.frozen, 12);
  EXPECT_NEAR(c.bypass, 0.3, 1e-12);
  EXPECT_NEAR(c.uz2, 54 + 2.7, 1e-12);
  EXPECT_NEAR(c.throughfall, 2.7, 1e-12);
  // Thaw never exceeds the ice.
  c.Run(0, 0, 0, 30, 0, p);
  EXPECT_EQ(c.frozen, 0);
  EXPECT_NEAR(c.bypass, 1.2, 1e-12);
}

TEST(SaturationExcess, CurveBranchesAndBounds) {
  double r = -1;
  // Linear curve (B = 0): below the full storage, nothing runs off.
  SaturationExcess(r, 10, 50, 100, 0, 0.0);
  EXPECT_NEAR(r, 0, 1e-12);
  EXPECT_NEAR(CurveRunoff(0.0, 50, 100, 10, 50), 0, 1e-12);
  // ... and once storage is full, the excess runs off.
  SaturationExcess(r, 60, 50, 100, 0, 0.0);
  EXPECT_NEAR(r, 10, 1e-12);
  // No input, no runoff, whatever the sealed fraction.
  SaturationExcess(r, 0, 100, 100, 1, 0.3);
  EXPECT_EQ(r, 0);
  SaturationExcess(r, -3, 50, 100, 0.5, 0.3);
  EXPECT_EQ(r, 0);
  // Full tension storage: all of the input runs off; sealed ground likewise.
  SaturationExcess(r, 7, 100, 100, 0, 0.3);
  EXPECT_NEAR(r, 7, 1e-12);
  SaturationExcess(r, 7, 10, 100, 1, 0.3);
  EXPECT_DOUBLE_EQ(r, 7);
  // With a curved capacity part of the area is saturated: some runoff, less than the input,
  // growing with the input and with the storage.
  double r1 = 0, r2 = 0, r3 = 0;
  SaturationExcess(r1, 10, 50, 100, 0, 0.3);
  SaturationExcess(r2, 20, 50, 100, 0, 0.3);
  SaturationExcess(r3, 10, 80, 100, 0, 0.3);
  EXPECT_GT(r1, 0);
  EXPECT_LT(r1, 10);
  EXPECT_GT(r2, r1);
  EXPECT_GT(r3, r1);
  EXPECT_LT(r3, 10);
}

// One cell of the soil pass.
struct SoilCellCase {
  double surf = 100, wt = 95, landUse = 15, precip = 0, bypass = 0;
  int flag = 1;
  double uz1 = 20, uz2 = 40, uz3 = 60, throughfall = 0, drain = -1, runoff = -1;
  void Run(const ParameterSet& p) {
    SoilCell(surf, wt, landUse, precip, bypass, p, flag, uz1, uz2, uz3, throughfall, drain, runoff);
  }
};

TEST(SoilPass, TensionCapacityStaysWithin20And260) {
  ParameterSet p = test::ProcessParams();
  // Table 62.5 mm deep: 62.5 x 0.3 = 18.75 mm is raised to 20. The tension water is layer
  // 1's content less its saturated 37.5 mm: 36.875 - 16.875 = 20 fills it, all runs off.
  SoilCellCase a;
  a.wt = 99.9375;
  a.uz1 = 36.875;
  a.throughfall = 1;
  a.Run(p);
  EXPECT_DOUBLE_EQ(a.runoff, 1);
  SoilCellCase b = a;
  b.uz1 = 36.5;
  b.throughfall = 1;
  b.Run(p);
  EXPECT_LT(b.runoff, 1);
  // Table 2 m deep: 600 mm is lowered to 260; layers holding 260 mm are full.
  SoilCellCase c;
  c.wt = 98;
  c.uz1 = 40;
  c.uz2 = 80;
  c.uz3 = 140;
  c.throughfall = 1;
  c.Run(p);
  EXPECT_DOUBLE_EQ(c.runoff, 1);
  SoilCellCase d = c;
  d.uz3 = 139;
  d.throughfall = 1;
  d.Run(p);
  EXPECT_LT(d.runoff, 1);
}

TEST(SoilPass, OpenWaterAndBuiltUpDrainTheirPrecipitation) {
  ParameterSet p = test::ProcessParams();
  for (double code : {45.0, 55.0}) {
    SoilCellCase c;
    c.landUse = code;
    c.precip = 12;
    c.throughfall = 9;
    c.bypass = 0.5;
    c.Run(p);
    EXPECT_DOUBLE_EQ(c.runoff, 9) << code;
    EXPECT_DOUBLE_EQ(c.drain, 12) << code;
    EXPECT_DOUBLE_EQ(c.uz1, 20) << code;
  }
}

TEST(SoilPass, SaturatedAndNearSaturatedCells) {
  ParameterSet p = test::ProcessParams();
  // Saturated (CellFlag 10): layers at saturation, the bypass drains, the rest runs off.
  SoilCellCase s;
  s.flag = kCellSaturated;
  s.wt = 100.5;
  s.throughfall = 10;
  s.bypass = 3;
  s.landUse = 45;
  s.precip = 20;
  s.Run(p);
  EXPECT_DOUBLE_EQ(s.uz1, 45);
  EXPECT_DOUBLE_EQ(s.uz2, 90);
  EXPECT_DOUBLE_EQ(s.uz3, 135);
  EXPECT_DOUBLE_EQ(s.drain, 1);
  EXPECT_DOUBLE_EQ(s.throughfall, 1);
  EXPECT_DOUBLE_EQ(s.runoff, 9);
  EXPECT_EQ(s.flag, kCellSaturated);
  // Table 1 cm below the surface: the same split; the thaw bypass is not added; the
  // wetness class follows layer 1.
  SoilCellCase n;
  n.wt = 99.99;
  n.throughfall = 10;
  n.bypass = 3;
  n.uz1 = 41;  // 91 % of saturation
  n.Run(p);
  EXPECT_DOUBLE_EQ(n.drain, 1);
  EXPECT_DOUBLE_EQ(n.runoff, 9);
  EXPECT_DOUBLE_EQ(n.uz1, 41);
  EXPECT_EQ(n.flag, kCellWet90);
  // ... and an open-water cell there drains its precipitation.
  SoilCellCase w = SoilCellCase();
  w.wt = 99.99;
  w.landUse = 42;
  w.precip = 20;
  w.throughfall = 10;
  w.Run(p);
  EXPECT_DOUBLE_EQ(w.drain, 20);
  EXPECT_DOUBLE_EQ(w.runoff, 9);
}

TEST(SoilPass, WetnessClassesOfLayerOneAtTheirBounds) {
  ParameterSet p = test::ProcessParams();  // layer 1 saturates at 45 mm
  p.UpperLayerDrainageRate = 0;
  // Each class holds from just above its share of saturation: exactly 70, 80 or 90 % keeps
  // the class below.
  const struct {
    double uz1;
    int flag;
  } cases[] = {{31.5, 1},          {31.6, kCellWet70}, {36, kCellWet70},  {36.1, kCellWet80},
               {40.5, kCellWet80}, {40.6, kCellWet90}, {44.9, kCellWet90}};
  for (const auto& k : cases) {
    SoilCellCase c;
    c.uz1 = k.uz1;
    c.Run(p);
    EXPECT_EQ(c.flag, k.flag) << "layer 1 at " << k.uz1 << " mm";
  }
}

TEST(FreeWater, OutflowsFromTheSameContentAndNoNegativeStore) {
  ParameterSet p = test::ProcessParams();  // thresholds 5 and 2, coefficients 0.5
  double store = 10, gw = 0, inter = 0, surface = 0;
  FreeWaterCell(0, p, store, gw, inter, surface);
  EXPECT_DOUBLE_EQ(surface, 2.5);
  EXPECT_DOUBLE_EQ(inter, 4);
  EXPECT_DOUBLE_EQ(gw, 5);
  EXPECT_EQ(store, 0);
  // Below both thresholds only the groundwater share leaves.
  store = 1;
  FreeWaterCell(0.5, p, store, gw, inter, surface);
  EXPECT_EQ(surface, 0);
  EXPECT_EQ(inter, 0);
  EXPECT_DOUBLE_EQ(gw, 0.75);
  EXPECT_DOUBLE_EQ(store, 0.75);
  // Exactly at the interflow threshold: none.
  store = 2;
  FreeWaterCell(0, p, store, gw, inter, surface);
  EXPECT_EQ(inter, 0);
}

TEST(SoilWaterSweep, BasinMeansDivideByOneMoreThanTheCells) {
  ParameterSet p = test::ProcessParams();
  ModelState s;
  test::FlatBasin(s, 2, 2);
  s.CellFlag[1] = -1;  // outside: never touched
  s.SnowPack[1] = 100;
  s.DailyTemp[3] = -5;  // snow and freezing everywhere
  for (int i = 0; i < 4; ++i) {
    s.CellPrecip[i] = 6;
    s.Uz1[i] = 30;
    s.Uz2[i] = 60;
    s.Uz3[i] = 90;
  }
  s.StationElev = 100;
  UpdateSoilWater(s, p, 3);
  EXPECT_DOUBLE_EQ(s.SnowPack[0], 6);
  EXPECT_EQ(s.SnowPack[1], 100);
  // Three basin cells of 6 mm snow: 18 / 4.
  EXPECT_DOUBLE_EQ(s.MeanSnowPack[3], 4.5);
  const double ice = 3.0 / (0.1 * 6 + 1);
  EXPECT_DOUBLE_EQ(s.MeanFrozen[3], (ice + ice + ice) / 4);
  EXPECT_DOUBLE_EQ(s.Uz1[0], 30 - ice);
  EXPECT_EQ(s.Uz1[1], 30);
  EXPECT_EQ(s.RunoffGenerated[0], 0);

  // The free-water sweep copies the interflow to the reported store.
  s.RunoffGenerated[0] = 10;
  UpdateFreeWater(s, p);
  EXPECT_DOUBLE_EQ(s.Interflow[0], 4);
  EXPECT_DOUBLE_EQ(s.Subflow[0], 4);
  EXPECT_EQ(s.Subflow[1], 0);
}

}  // namespace
}  // namespace tarnwell
