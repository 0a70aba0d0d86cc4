// EvaTrans: actual evapotranspiration of the day, drawn from the canopy of forest cells,
// from the soil layers by forest transpiration, from the top layer by soil evaporation,
// from open water, and from the saturated zone below the water table.
#pragma once

#include <cmath>

#include "parameters/ParaDialog.h"
#include "processes/LandUse.h"
#include "processes/Processes.h"

namespace tarnwell {

// Transpiration factor of a layer at volumetric moisture theta: unlimited above field
// capacity, none at or below the wilting point, a power-law decline with exponent a
// between.
inline double MoistureFactor(double theta, double fieldCapacity, double wiltingPoint, double a) {
  if (theta > fieldCapacity) return 1;
  if (theta <= wiltingPoint) return 0;
  return 1 - std::pow((fieldCapacity - theta) / (fieldCapacity - wiltingPoint), a);
}

// Evapotranspiration of one cell and day.
//   in:  surfElev, wtElev (m), k (land-use class), groundwaterFlow (mm), pet (the day's
//        potential evapotranspiration, mm), growth (growth index 0..1)
//   in/out: canopyStore, uz1, uz2, uz3 (mm), actualEt (mm; holds the snow evaporation on
//        entry), satZoneEt (mm; what the saturated zone gave, kept from the previous day
//        where no rule sets it)
inline void EvapotranspirationCell(double surfElev, double wtElev, const LandUseClass& k, double groundwaterFlow,
                                   double pet, double growth, const ParameterSet& p, double& canopyStore, double& uz1,
                                   double& uz2, double& uz3, double& actualEt, double& satZoneEt) {
  const double t1 = p.LayerThickness1, t2 = p.LayerThickness2, t3 = p.LayerThickness3;
  const double thf = p.FieldCapacity, thw = p.WiltingPoint;
  const double w1 = p.SoilLayerEvapWeight[0], w2 = p.SoilLayerEvapWeight[1], w3 = p.SoilLayerEvapWeight[2];
  const double forest = k.Forest, water = k.Water;

  // Depth of the water table (mm) and the lowest layer with an unsaturated part.
  const double d = 1000 * (surfElev - wtElev);
  int layerState;
  double x = 0;  // unsaturated thickness of that layer, mm
  if (d - t1 - t2 > 0) {
    layerState = 3;
    x = d - t1 - t2;
  } else if (d - t1 > 0) {
    layerState = 2;
    x = d - t1;
  } else if (d > 0) {
    layerState = 1;
    x = d;
  } else {
    layerState = 0;
  }

  double e = pet;
  double et = 0;          // transpiration from the layers
  double canopyEvap = 0;  // what the canopy gave today
  if (forest == 1) {
    // The canopy evaporates first; its evaporation replaces the snow evaporation.
    if (canopyStore >= e) {
      actualEt = e;
      canopyStore = canopyStore - e;
      canopyEvap = e;
      e = 0;
    } else {
      actualEt = canopyStore;
      e = e - canopyStore;
      canopyEvap = canopyStore;
      canopyStore = 0;
    }
    const double a = e > 1 ? p.EtAvailabilityParam / e : 10;
    switch (layerState) {
      case 3: {
        const double r3 = uz3 / t3;
        const double e3 = r3 * w3 * e;
        const double e2 = MoistureFactor(uz2 / t2, thf, thw, a) * w2 * e;
        const double e1 = MoistureFactor(uz1 / t1, thf, thw, a) * w1 * e;
        uz2 -= e2;
        uz1 -= e1;
        et = e1 + e2 + e3;
        satZoneEt = e3;
        if (groundwaterFlow == 0) {
          // Without groundwater outflow layer 3 supplies the roots itself, and also
          // covers layer 2 when that has dried below the wilting point.
          uz3 -= e3;
          satZoneEt = 0;
          if (uz2 / t2 < thw) {
            const double e2d = r3 * w2 * p.TranspirationDeficitCoef * e;
            uz3 -= e2d;
            et = e1 + e2d + e3;
          }
        }
        break;
      }
      case 2: {
        const double e2 = MoistureFactor(uz2 / x, thf, thw, a) * w2 * e;
        const double e1 = MoistureFactor(uz1 / t1, thf, thw, a) * w1 * e;
        const double e3 = w3 * e;
        uz2 -= e2;
        uz1 -= e1;
        et = e1 + e2 + e3;
        satZoneEt = e3;
        break;
      }
      case 1: {
        const double e1 = MoistureFactor(uz1 / t1, thf, thw, a) * w1 * e;
        const double e2 = w2 * e;
        const double e3 = w3 * e;
        uz1 -= e1;
        et = e1 + e2 + e3;
        satZoneEt = e2 + e3;
        break;
      }
      default: {
        const double e1 = w1 * e, e2 = w2 * e, e3 = w3 * e;
        uz1 -= e1;
        et = e1 + e2 + e3;
        satZoneEt = et;
        break;
      }
    }
  }

  // Soil evaporation from the top layer (or from the soil above a shallow table).
  const double d1 = layerState == 1 ? d : t1;
  double ke, se;
  if (d1 <= 20) {
    ke = p.SoilEvapParam;
    se = 1;
  } else {
    const double theta = uz1 / d1;
    ke = theta < thw ? p.SoilEvapParam * theta / thw : p.SoilEvapParam;
    const double mid = 0.5 * (thw + thf);
    se = theta <= mid ? 0 : (theta - mid) / (thf - mid);
  }
  const double rest = e - et * forest;
  const double es = rest * ke + (rest - rest * ke) * se * (1 - growth);
  if (es >= uz1) {
    uz2 = uz2 - es - uz1;
    uz1 = 0;
  } else {
    uz1 = uz1 - es;
  }

  actualEt = actualEt + (et + es) * (1 - water) + pet * p.OpenWaterEvapCoef * water;
  satZoneEt = (1 - water) * satZoneEt;
  if (satZoneEt < 0) satZoneEt = 0;
  if (groundwaterFlow == 0) satZoneEt = 0;

  if (layerState == 0) {
    // Water at or above the surface evaporates at the potential rate; all of it but
    // the canopy's share comes from the saturated zone.
    actualEt = (1 - water) * pet + pet * p.OpenWaterEvapCoef * water;
    satZoneEt = actualEt - canopyEvap;
  }
}

// The same from the cell's land-use code.
inline void EvapotranspirationCell(double surfElev, double wtElev, double landUse, double groundwaterFlow, double pet,
                                   double growth, const ParameterSet& p, double& canopyStore, double& uz1, double& uz2,
                                   double& uz3, double& actualEt, double& satZoneEt) {
  EvapotranspirationCell(surfElev, wtElev, ClassifyLandUse(landUse), groundwaterFlow, pet, growth, p, canopyStore, uz1,
                         uz2, uz3, actualEt, satZoneEt);
}

}  // namespace tarnwell
