// Shared set-up of the process tests: a plausible parameter set, small grids, and the
// check of a table's expected value.
#pragma once

#include <gtest/gtest.h>

#include "model/ModelState.h"
#include "parameters/ParaDialog.h"

namespace tarnwell::test {

// Thicknesses 100, 200, 300 mm; saturation 0.45, field capacity 0.3, wilting point 0.1.
inline ParameterSet ProcessParams() {
  ParameterSet p;
  p.Latitude = 45;
  p.EvapConversionCoef = 1.0;
  p.SoilLayerEvapWeight = {0.5, 0.3, 0.2};
  p.EtAvailabilityParam = 2.0, p.OpenWaterEvapCoef = 1.1, p.SoilEvapParam = 0.3, p.TranspirationDeficitCoef = 0.5;
  p.FreeWaterOutflowSurface = p.FreeWaterOutflowInterflow = p.FreeWaterOutflowGroundwater = 0.5;
  p.FreeWaterThresholdSurface = 5, p.FreeWaterThresholdInterflow = 2;
  p.WmCurveExponent = 0.3;
  p.DeepLeakageCoef = 0.1, p.GroundwaterOutflowCoef = 0.2, p.WaterTableExponent = 0.5;
  p.SnowMeltRate = 3.0, p.SnowEvapRate = 0.1, p.SnowfallTemp = 0.0;
  p.PreferentialFlowPorosity = 0.1, p.SoilFreezeRate = 1.0, p.SoilFreezeTemp = -2.0;
  p.SaturatedWaterContent = 0.45, p.FieldCapacity = 0.3, p.WiltingPoint = 0.1;
  p.LayerThickness1 = 100, p.LayerThickness2 = 200, p.LayerThickness3 = 300;
  p.UpperLayerDrainageRate = 0.1;
  p.Erodibility = {0.25, 0.31, 0.32, 0.33, 0.34, 0.35, 0.36, 0.37, 0.38};
  p.SedimentScourExponent = 0.1, p.SedimentSettlingExponent = 0.3, p.SedimentConsolidationCoef = 0.01;
  p.CriticalDepositionVelocity = 0.2, p.CriticalScourVelocity = 0.5;
  return p;
}

// A rows x cols grid with every cell inside the basin, flat at 100 m, water table 3 m
// down, cells 100 x 100, grass.
inline void FlatBasin(ModelState& s, int rows, int cols) {
  s.AllocateGrids(rows, cols);
  for (std::size_t i = 0; i < s.CellCount(); ++i) {
    s.CellFlag[i] = 1;
    s.SurfElev[i] = 100;
    s.WTElev[i] = s.WTPrev[i] = 97;
    s.CellSizeX[i] = s.CellSizeY[i] = 100;
    s.GwConductivity[i] = 5.0;
    s.LandUse[i] = 35;
  }
}

// A value of a table of cases that is not asserted.
constexpr double kAny = -99;

inline void ExpectNear(double got, double want, const std::string& what, double tolerance = 1e-12) {
  if (want != kAny) {
    EXPECT_NEAR(got, want, tolerance) << what;
  }
}

}  // namespace tarnwell::test
