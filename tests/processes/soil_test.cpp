#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "ProcessTestSupport.h"
#include "processes/Upsoil.h"

namespace tarnwell {
namespace {

using test::ExpectNear;
using test::kAny;

// One day of the snow and frost pass on a cell 500 m above the station plus `above`, and
// what it leaves (kAny: not asserted). A row with a starting pack begins afresh: layers of
// 40, 54 and 81 mm, no ice. Snowfall below 0 C, freezing below -2 C, melt 3 mm/C, snow
// evaporation half the demand, ice damping 0.1 per mm.
struct SnowDay {
  double startSnow, precip, intercepted, above, stationTemp, pet;
  double snow, frozen, throughfall, bypass, aet, drain, uz1, uz2;
};

TEST(SnowFrost, SnowfallMeltEvaporationFreezingAndThaw) {
  ParameterSet p = test::ProcessParams();
  p.SnowEvapRate = 0.5;
  const double _ = kAny;
  const SnowDay days[] = {
      // 1000 m above the station is 5 C colder: 3 C there is -2 C, snow; not below freezing.
      {0, 10, 2, 1000, 3, 0, 8, 0, 0, 0, 0, 0, 40, 54},
      {_, 10, 2, 0, 0, 0, 8, _, 8, _, _, _, _, _},  // at the snowfall temperature: no fall, no melt
      {_, 0, 0, 0, 1, 0, 5, _, 3, _, _, _, _, _},   // 1 C melts 3 mm
      {_, 0, 0, 0, 10, 0, 0, _, 5, _, _, _, _, _},  // never more than the pack
      {_, 0, 4, 0, 10, 0, _, _, 0, _, _, _, _, _},  // interception only on a day of precipitation
      // Snow evaporation never exceeds the pack.
      {3, 0, 0, 0, -1, 4, 1, _, _, _, 2, _, _, _},  // 2 mm of demand on 3 mm
      {_, 0, 0, 0, -1, 2, 0, _, _, _, 1, _, _, _},  // the demand empties it
      {_, 0, 0, 0, -1, 2, 0, _, _, _, 0, _, _, _},  // no pack, no evaporation
      // 10 C below the freezing temperature, no snow and no ice: 10 x rate from layer 1;
      // then ice damps the next day's freezing: 10 / (0.1 x 10 + 1) = 5 mm.
      {0, 0, 0, 0, -12, 0, _, 10, _, _, _, _, 30, 54},
      {_, 0, 0, 0, -12, 0, _, 15, _, _, _, _, 25, _},
      {_, 0, 0, 0, -2, 0, _, 15, _, _, _, _, _, _},  // at the freezing temperature: neither
      // Thaw at -1 C (a snowfall day): 3 mm, 10 % bypasses the matrix, 90 % goes to layer 2
      // and to the surface water alike; thaw never exceeds the ice.
      {_, 0, 0, 0, -1, 0, _, 12, 2.7, 0.3, _, _, _, 56.7},
      {_, 0, 0, 0, 30, 0, _, 0, _, 1.2, _, _, _, _},
  };
  double snow = 0, frozen = 0, uz1 = 0, uz2 = 0, uz3 = 0;
  int row = 0;
  for (const SnowDay& d : days) {
    ++row;
    if (d.startSnow != kAny) snow = d.startSnow, frozen = 0, uz1 = 40, uz2 = 54, uz3 = 81;
    double throughfall = -1, bypass = -1, aet = -1, drain = -1;
    SnowFrostCell(d.precip, d.intercepted, 500 + d.above, d.stationTemp, d.pet, 500, p, snow, frozen, uz1, uz2, uz3,
                  throughfall, bypass, aet, drain);
    const double got[] = {snow, frozen, throughfall, bypass, aet, drain, uz1, uz2};
    const double want[] = {d.snow, d.frozen, d.throughfall, d.bypass, d.aet, d.drain, d.uz1, d.uz2};
    for (int k = 0; k < 8; ++k)
      ExpectNear(got[k], want[k], "row " + std::to_string(row) + ", value " + std::to_string(k));
  }
}

TEST(SaturationExcess, CurveBranchesAndBounds) {
  const struct {
    const char* what;
    double input, storage, sealed, b, runoff;  // storage of 100 mm
  } cases[] = {
      {"linear curve below the full storage", 10, 50, 0, 0, 0},
      {"linear curve, the excess over the storage", 60, 50, 0, 0, 10},
      {"no input, whatever the sealed fraction", 0, 100, 1, 0.3, 0},
      {"a negative input", -3, 50, 0.5, 0.3, 0},
      {"full tension storage: all runs off", 7, 100, 0, 0.3, 7},
      {"sealed ground: all runs off", 7, 10, 1, 0.3, 7},
  };
  for (const auto& c : cases) {
    double r = -1;
    SaturationExcess(r, c.input, c.storage, 100, c.sealed, c.b);
    EXPECT_NEAR(r, c.runoff, 1e-12) << c.what;
  }
  EXPECT_NEAR(CurveRunoff(0.0, 50, 100, 10, 50), 0, 1e-12);
  // With a curved capacity part of the area is saturated: some runoff, less than the input,
  // growing with the input and with the storage.
  double r1 = 0, r2 = 0, r3 = 0;
  SaturationExcess(r1, 10, 50, 100, 0, 0.3);
  SaturationExcess(r2, 20, 50, 100, 0, 0.3);
  SaturationExcess(r3, 10, 80, 100, 0, 0.3);
  EXPECT_TRUE(0 < r1 && r1 < r2 && r1 < r3 && r3 < 10) << r1 << " " << r2 << " " << r3;
}

// One cell of the soil pass (tf: the throughfall, use: the land-use code).
struct SoilCellCase {
  double wt = 95, use = 15, precip = 0, bypass = 0;
  int flag = 1;
  double uz1 = 20, uz2 = 40, uz3 = 60, tf = 0, drain = -1, runoff = -1;
};

TEST(SoilPass, TensionCapacityOpenWaterSaturationAndWetnessClasses) {
  ParameterSet p = test::ProcessParams();  // layer 1 saturates at 45 mm
  const double _ = kAny, kPart = -50;      // kPart: some runoff, less than the throughfall
  constexpr int kSat = kCellSaturated;
  const struct {
    const char* what;
    SoilCellCase in;
    double want[7];  // uz1, uz2, uz3, drain, tf, runoff, flag
  } cases[] = {
      // Table 62.5 mm deep: 62.5 x 0.3 = 18.75 mm of tension capacity is raised to 20. The
      // tension water is layer 1's content less its saturated 37.5 mm: 36.875 - 16.875 = 20.
      {"raised to 20, full", {.wt = 99.9375, .uz1 = 36.875, .tf = 1}, {_, _, _, _, _, 1, _}},
      {"raised to 20, not full", {.wt = 99.9375, .uz1 = 36.5, .tf = 1}, {_, _, _, _, _, kPart, _}},
      // Table 2 m deep: 600 mm is lowered to 260; layers holding 260 mm are full.
      {"lowered to 260, full", {.wt = 98, .uz1 = 40, .uz2 = 80, .uz3 = 140, .tf = 1}, {_, _, _, _, _, 1, _}},
      {"lowered to 260, not full", {.wt = 98, .uz1 = 40, .uz2 = 80, .uz3 = 139, .tf = 1}, {_, _, _, _, _, kPart, _}},
      // Open water and built-up ground drain the day's precipitation.
      {"open water", {.use = 45, .precip = 12, .bypass = 0.5, .tf = 9}, {20, _, _, 12, _, 9, 1}},
      {"built-up", {.use = 55, .precip = 12, .bypass = 0.5, .tf = 9}, {20, _, _, 12, _, 9, 1}},
      // Saturated: layers at saturation, the bypass drains, the rest runs off.
      {"saturated",
       {.wt = 100.5, .use = 45, .precip = 20, .bypass = 3, .flag = kSat, .tf = 10},
       {45, 90, 135, 1, 1, 9, kSat}},
      // Table 1 cm below the surface: the same split; the thaw bypass is not added; the
      // wetness class follows layer 1 (91 % of saturation).
      {"near saturation", {.wt = 99.99, .bypass = 3, .uz1 = 41, .tf = 10}, {41, _, _, 1, _, 9, kCellWet90}},
      {"open water near it", {.wt = 99.99, .use = 42, .precip = 20, .tf = 10}, {_, _, _, 20, _, 9, _}},
  };
  for (const auto& c : cases) {
    SoilCellCase k = c.in;
    SoilCell(100, k.wt, k.use, k.precip, k.bypass, p, k.flag, k.uz1, k.uz2, k.uz3, k.tf, k.drain, k.runoff);
    const double got[] = {k.uz1, k.uz2, k.uz3, k.drain, k.tf, k.runoff, static_cast<double>(k.flag)};
    for (int i = 0; i < 7; ++i) {
      if (c.want[i] != kPart) ExpectNear(got[i], c.want[i], std::string(c.what) + ", value " + std::to_string(i));
      else EXPECT_TRUE(got[i] > 0 && got[i] < c.in.tf) << c.what << ": " << got[i];
    }
  }
  // Each wetness class holds from just above its share of saturation: exactly 70, 80 or 90 %
  // keeps the class below.
  p.UpperLayerDrainageRate = 0;
  const std::pair<double, int> classes[] = {{31.5, 1},          {31.6, kCellWet70}, {36, kCellWet70},
                                            {36.1, kCellWet80}, {40.5, kCellWet80}, {40.6, kCellWet90},
                                            {44.9, kCellWet90}};
  for (auto [uz1, flag] : classes) {
    SoilCellCase k{.uz1 = uz1};
    SoilCell(100, k.wt, k.use, k.precip, k.bypass, p, k.flag, k.uz1, k.uz2, k.uz3, k.tf, k.drain, k.runoff);
    EXPECT_EQ(k.flag, flag) << "layer 1 at " << uz1;
  }
}

TEST(FreeWater, OutflowsFromTheSameContentAndNoNegativeStore) {
  const ParameterSet p = test::ProcessParams();  // thresholds 5 and 2, coefficients 0.5
  const struct {
    const char* what;
    double store, runoff, surface, inter, gw, after;
  } cases[] = {
      {"above both thresholds", 10, 0, 2.5, 4, 5, 0},
      {"below both: only the groundwater share", 1, 0.5, 0, 0, 0.75, 0.75},
      {"exactly at the interflow threshold", 2, 0, 0, 0, 1, 1},
  };
  for (const auto& c : cases) {
    double store = c.store, gw = -1, inter = -1, surface = -1;
    FreeWaterCell(c.runoff, p, store, gw, inter, surface);
    const double got[] = {surface, inter, gw, store}, want[] = {c.surface, c.inter, c.gw, c.after};
    for (int k = 0; k < 4; ++k) ExpectNear(got[k], want[k], c.what);
  }
}

}  // namespace
}  // namespace tarnwell
