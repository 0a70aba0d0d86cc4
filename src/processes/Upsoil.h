// Upsoil: snow pack and frozen soil, the soil water of the three layers with
// saturation-excess runoff, and the free-water store that feeds surface runoff,
// interflow and groundwater.
#pragma once

#include <cmath>

#include "parameters/ParaDialog.h"
#include "processes/LandUse.h"
#include "processes/Processes.h"

namespace tarnwell {

// Wetness classes of a basin cell (CellFlag).
constexpr int kCellOrdinary = 1;
constexpr int kCellWet70 = 7;
constexpr int kCellWet80 = 8;
constexpr int kCellWet90 = 9;
constexpr int kCellSaturated = 10;

// Snow and frost pass of one cell and day.
//   in:  cellPrecip, interception (mm), surfElev (m), airTemp (station, degrees C),
//        pet (mm), stationElev (m)
//   in/out: snowPack, frozen, uz1, uz2, uz3 (mm)
//   out: throughfall (water at the soil surface, mm), thawBypass (mm; negative for the
//        freezing shortfall of layer 2), actualEt (snow evaporation, mm), unsatDrain (0)
// The cell temperature falls 0.005 degrees C per metre above the station. Snowfall and
// freezing are tested before melt and thaw; every threshold comparison is strict.
inline void SnowFrostCell(double cellPrecip, double interception, double surfElev, double airTemp, double pet,
                          double stationElev, const ParameterSet& p, double& snowPack, double& frozen, double& uz1,
                          double& uz2, double& uz3, double& throughfall, double& thawBypass, double& actualEt,
                          double& unsatDrain) {
  thawBypass = 0;
  unsatDrain = 0;
  actualEt = 0;
  throughfall = cellPrecip != 0 ? cellPrecip - interception : 0;
  const double tc = airTemp - 0.005 * (surfElev - stationElev);

  if (tc < p.SnowfallTemp) {
    snowPack = snowPack + throughfall;
    throughfall = 0;
  }
  if (tc < p.SoilFreezeTemp) {
    // Snow and ice already present insulate the soil.
    double f = p.SoilFreezeRate * (p.SoilFreezeTemp - tc) / (0.1 * (snowPack + frozen) + 1);
    frozen = frozen + f;
    uz1 = uz1 - f;
    const double wilt1 = p.WiltingPoint * p.LayerThickness1;
    if (wilt1 > uz1) {
      // Layer 2 makes up layer 1's shortfall below the wilting point.
      uz2 = uz2 + (uz1 - wilt1);
      uz1 = wilt1;
    }
    const double wilt2 = p.WiltingPoint * p.LayerThickness2;
    if (wilt2 > uz2) {
      double s = uz2 - wilt2;  // negative
      thawBypass = 0.6 * s;
      uz3 = uz3 - 0.4 * s;
      uz2 = wilt2;
    }
  }
  if (tc > p.SnowfallTemp && snowPack > 0) {
    double m = p.SnowMeltRate * (tc - p.SnowfallTemp);
    if (m > snowPack) m = snowPack;
    snowPack = snowPack - m;
    throughfall = throughfall + m;
  }
  if (tc > p.SoilFreezeTemp && frozen > 0) {
    double t = p.SnowMeltRate * (tc - p.SoilFreezeTemp);
    if (t > frozen) t = frozen;
    frozen = frozen - t;
    // Part of the thaw water runs through the macropores past the soil matrix.
    thawBypass = p.PreferentialFlowPorosity * t;
    uz2 = uz2 + (1 - p.PreferentialFlowPorosity) * t;
    throughfall = throughfall + (1 - p.PreferentialFlowPorosity) * t;
  }
  if (snowPack > 0) {
    double e = p.SnowEvapRate * pet;
    if (e < snowPack) {
      snowPack = snowPack - e;
      actualEt = actualEt + e;
    } else {
      actualEt = actualEt + snowPack;
      snowPack = 0;
    }
  }
}

// Runoff of the partial-area branch of the storage-capacity curve.
inline double CurveRunoff(double b, double w, double wm, double pe, double a) {
  double wmm = (1 + b) * wm;
  double r = wm * std::pow(1 - (a + pe) / wmm, 1 + b) + (pe - wm + w);
  return r < 0 ? 0 : r;
}

// Saturation-excess runoff r (mm) of net input pe on a cell holding tension water w
// below the areal mean capacity wm, with curve exponent b and a sealed fraction imperv.
inline void SaturationExcess(double& r, double pe, double w, double wm, double imperv, double b) {
  const double wmm = (1 + b) * wm;
  if (pe <= 0) {
    r = 0;
    pe = 0;
  } else {
    // The ordinate of the cell's tension water on the capacity curve; only a day with
    // input needs it.
    const double a = w >= wm ? wmm : wmm * (1 - std::pow(1 - w / wm, 1 / (1 + b)));
    if (a + pe >= wmm) r = pe + w - wm;
    else r = CurveRunoff(b, w, wm, pe, a);
  }
  r = (1 - imperv) * r + pe * imperv;
  if (r < 0) r = 0;
}

// Soil pass of one cell and day.
//   in:  surfElev, wtElev (m), k (land-use class), cellPrecip, thawBypass (mm)
//   in/out: cellFlag (wetness class), uz1, uz2, uz3 (mm), throughfall (in: water at the
//        surface; out: what enters the soil, or the bypass part of a (near-)saturated cell)
//   out: unsatDrain (drainage towards the water table, mm), runoffGenerated (mm)
// A saturated or near-saturated cell lets the bypass fraction through and hands the rest
// of its surface water to the free-water store.
inline void SoilCell(double surfElev, double wtElev, const LandUseClass& k, double cellPrecip, double thawBypass,
                     const ParameterSet& p, int& cellFlag, double& uz1, double& uz2, double& uz3, double& throughfall,
                     double& unsatDrain, double& runoffGenerated) {
  const double ths = p.SaturatedWaterContent;
  const double thf = p.FieldCapacity;
  const double pf = p.PreferentialFlowPorosity;
  const double t1 = p.LayerThickness1, t2 = p.LayerThickness2, t3 = p.LayerThickness3;
  const double sealed = k.Water + k.BuiltUp;
  double r = 0;

  if (cellFlag == kCellSaturated) {
    uz1 = ths * t1;
    uz2 = ths * t2;
    uz3 = ths * t3;
    unsatDrain = pf * throughfall;
    r = (1 - pf) * throughfall;
    throughfall = unsatDrain;
  } else {
    if (surfElev - 0.02 < wtElev) {
      // Water table within 2 cm of the surface.
      unsatDrain = pf * throughfall;
      r = (1 - pf) * throughfall;
      throughfall = unsatDrain;
    } else {
      const double d = 1000 * (surfElev - wtElev);  // water-table depth, mm
      int layerState;
      if (d <= 0) layerState = 0;
      else if (d <= t1) layerState = 1;
      else if (d <= t1 + t2) layerState = 2;
      else if (d <= t1 + t2 + t3) layerState = 3;
      else layerState = 4;

      double wm = d * thf;
      if (wm <= 20) wm = 20;
      if (wm > 260) wm = 260;

      // Tension water of the unsaturated part above the water table.
      double w;
      switch (layerState) {
        case 1: w = uz1 - (t1 - d) * ths; break;
        case 2: w = uz1 + uz2 - (t1 + t2 - d) * ths; break;
        case 3: w = uz1 + uz2 + uz3 - (t1 + t2 + t3 - d) * ths; break;
        case 4: w = uz1 + uz2 + uz3; break;
        default: w = wm; break;
      }
      if (w > wm) w = wm;

      const double pe = throughfall;
      if (w >= wm || sealed == 1) r = pe;
      else SaturationExcess(r, pe, w, wm, sealed, p.WmCurveExponent);
      double q = pe - r;  // infiltration
      throughfall = q;

      // Down through the layers above the water table; a saturated layer passes its
      // input on unchanged.
      double* const store[3] = {&uz1, &uz2, &uz3};
      const double thick[3] = {t1, t2, t3};
      double above = 0;  // thickness of the layers above layer i
      for (int i = 1; i <= 3; ++i) {
        const double ti = thick[i - 1];
        double& ui = *store[i - 1];
        if (layerState >= i) {
          const double bypass = pf * q;
          double s = ui + q - bypass;
          double out = 0;
          if (s > ths * ti) {
            out = s - ths * ti;
            s = ths * ti;
          }
          if (s > thf * ti) {
            double du = d - above;  // unsaturated thickness of the layer
            if (du > ti) du = ti;
            double thu = (s - (ti - du) * ths) / du;
            if (thu < thf) thu = thf;
            if (thu > ths) thu = ths;
            ui = thu * du + (ti - du) * ths;
            const double g = p.UpperLayerDrainageRate * ui * (thu - thf) / (ths - thf);
            ui = s - g;
            out = out + g + bypass;
          } else {
            ui = s;
            out = out + bypass;
          }
          q = out;
        }
        above = above + ti;
      }
      unsatDrain = thawBypass + q;
    }
    // Open water and sealed ground drain the day's precipitation itself.
    unsatDrain = (1 - k.Water - k.BuiltUp) * unsatDrain + (k.Water + k.BuiltUp) * cellPrecip;

    const double wet = uz1 / (ths * t1);
    if (wet > 0.7) cellFlag = kCellWet70;
    if (wet > 0.8) cellFlag = kCellWet80;
    if (wet > 0.9) cellFlag = kCellWet90;
  }
  if (r > 1e11) r = 0;
  runoffGenerated = r;
}

// The same from the cell's land-use code.
inline void SoilCell(double surfElev, double wtElev, double landUse, double cellPrecip, double thawBypass,
                     const ParameterSet& p, int& cellFlag, double& uz1, double& uz2, double& uz3, double& throughfall,
                     double& unsatDrain, double& runoffGenerated) {
  SoilCell(surfElev, wtElev, ClassifyLandUse(landUse), cellPrecip, thawBypass, p, cellFlag, uz1, uz2, uz3, throughfall,
           unsatDrain, runoffGenerated);
}

// Free-water store of one cell and day.
//   in:  runoffGenerated (mm)
//   in/out: freeWater (mm)
//   out: groundwaterFlow, interflow, surfaceRunoff (mm)
// All three outflows are drawn from the same content; the store never goes negative.
inline void FreeWaterCell(double runoffGenerated, const ParameterSet& p, double& freeWater, double& groundwaterFlow,
                          double& interflow, double& surfaceRunoff) {
  const double s = freeWater + runoffGenerated;
  groundwaterFlow = p.FreeWaterOutflowGroundwater * s;
  interflow = s > p.FreeWaterThresholdInterflow ? (s - p.FreeWaterThresholdInterflow) * p.FreeWaterOutflowInterflow : 0;
  surfaceRunoff = s > p.FreeWaterThresholdSurface ? (s - p.FreeWaterThresholdSurface) * p.FreeWaterOutflowSurface : 0;
  freeWater = s - surfaceRunoff - interflow - groundwaterFlow;
  if (freeWater < 0) freeWater = 0;
}

}  // namespace tarnwell
