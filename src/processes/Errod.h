// Errod: the daily soil loss of every cell (a universal-soil-loss-equation form) and the
// channel sediment store between the cells and the sub-basin outlet.
#pragma once

#include <cmath>

#include "parameters/ParaDialog.h"
#include "processes/LandUse.h"
#include "processes/Processes.h"

namespace tarnwell {

// Cover-management factor of a vegetation cover fraction f: bare ground 1, a dense cover
// (above 0.783) 0, a logarithmic decline between.
inline double CoverManagementFactor(double f) {
  if (f == 0) return 1.0;
  if (f > 0.783) return 0;
  return 0.6508 - 0.3436 * std::log10(f);
}

// The factors of a cell's soil loss that stay the same all year: erodibility K, slope
// length LS, vegetation cover f, cover management C and practice P.
struct ErosionFactors {
  double erodibility = 0, slopeLength = 0, vegCover = 0, cover = 0, practice = 0;
};

// The year's factors of one cell.
//   in:  landUse (code), slopeSine, slopeMask (usable slope 1, else 0; in a non-uniform
//        basin the erodibility class 1..8), cellSizeX, cellSizeY (map units),
//        erodibility (K as it stands; kept when no rule assigns one)
// A cell without a usable slope value has no slope factor and loses no soil.
inline ErosionFactors CellErosionFactors(double landUse, double slopeSine, double slopeMask, double cellSizeX,
                                         double cellSizeY, const ParameterSet& p, double erodibility) {
  ErosionFactors e;
  if (p.ErodibilityMode == 0) {
    erodibility = p.Erodibility[0];
  } else {
    for (int j = 1; j <= 8; ++j)
      if (slopeMask == static_cast<double>(j)) erodibility = p.Erodibility[j];
  }
  e.erodibility = erodibility;
  if (slopeMask != 0) e.slopeLength = 0.08 * std::pow(0.005 * (cellSizeX + cellSizeY), 0.35) * std::pow(slopeSine, 0.6);
  const LandUseClass k = ClassifyLandUse(landUse);
  e.vegCover = 0.9 * k.Forest + 0.4 * k.Cultivated + 0.8 * k.Grass;
  e.cover = CoverManagementFactor(e.vegCover);
  e.practice = 0.9 * k.Forest + 0.8 * k.Grass + 0.4 * k.Cultivated + 0.7 * k.BuiltUp + 0.6 * k.Water;
  return e;
}

// Erosive runoff Q (mm) of the day's surface runoff and interflow.
inline double ErosiveRunoff(double surfaceRunoff, double interflow) { return 0.2 * interflow + surfaceRunoff; }
// Runoff erosivity R of the erosive runoff.
inline double RunoffErosivity(double q) { return 0.06 * (q * q) + 2.0 * q; }
// Soil loss of the day from the erosivity and the year's factors.
inline double SoilLoss(double runoffErosivity, const ErosionFactors& e) {
  return runoffErosivity * e.slopeLength * e.erodibility * e.cover * (1 - 0.5 * e.practice);
}

// Soil loss of one cell and day.
//   in:  surfaceRunoff, interflow (mm), landUse, slopeSine, slopeMask, cellSizeX,
//        cellSizeY as CellErosionFactors takes them
//   in/out: cellErodibility (K; kept when no rule assigns one)
//   out: erosiveRunoff (Q), runoffErosivity (R), slopeLengthFactor (LS), vegCover (f),
//        coverFactor (C), practiceFactor (P), cellErosion
inline void ErosionCell(double surfaceRunoff, double interflow, double landUse, double slopeSine, double slopeMask,
                        double cellSizeX, double cellSizeY, const ParameterSet& p, double& erosiveRunoff,
                        double& runoffErosivity, double& cellErodibility, double& slopeLengthFactor, double& vegCover,
                        double& coverFactor, double& practiceFactor, double& cellErosion) {
  const double q = ErosiveRunoff(surfaceRunoff, interflow);
  const double r = RunoffErosivity(q);
  const ErosionFactors e = CellErosionFactors(landUse, slopeSine, slopeMask, cellSizeX, cellSizeY, p, cellErodibility);
  cellErodibility = e.erodibility;
  erosiveRunoff = q;
  runoffErosivity = r;
  slopeLengthFactor = e.slopeLength;
  vegCover = e.vegCover;
  coverFactor = e.cover;
  practiceFactor = e.practice;
  cellErosion = SoilLoss(r, e);
}

// Channel sediment store of one day.
//   in:  simErosion (the day's basin soil loss, t), simFlow (outlet runoff, mm/day)
//   in/out: sedStore (t)
//   returns the day's outlet sediment (t)
// Slow water deposits part of the day's erosion, fast water scours the store, water
// between the two critical velocities passes the erosion through; the store consolidates
// every day.
inline double SedimentStoreDay(double simErosion, double simFlow, const ParameterSet& p, double& sedStore) {
  const double v = 0.2 * simFlow;  // flow velocity index
  const double vd = p.CriticalDepositionVelocity;
  const double vs = p.CriticalScourVelocity;
  double out;
  if (v < vd) {
    out = (1 - p.SedimentSettlingExponent) * (1 - v / vd) * simErosion;
    sedStore = sedStore + (1 - v / vd) * p.SedimentSettlingExponent * simErosion;
  } else if (v > vs) {
    const double x = (v / vs - 1) * p.SedimentScourExponent;
    out = x * sedStore + simErosion;
    sedStore = (1 - x) * sedStore;
    if (sedStore < 0) sedStore = 0;
  } else {
    out = simErosion;
  }
  sedStore = (1 - p.SedimentConsolidationCoef) * sedStore;
  return out;
}

}  // namespace tarnwell
