// W_Stage: the movement of the water table through the three soil layers. A net recharge
// lifts the table and saturates the layers it rises into; a deficit lowers it and drains
// the specific yield from the layers it leaves.
#pragma once

#include "parameters/ParaDialog.h"
#include "processes/Processes.h"
#include "processes/Upsoil.h"

namespace tarnwell {

// Water table of one cell and day.
//   in:  surfElev (m), unsatDrain, satZoneEt (the previous day's), deepLeakage,
//        groundwaterFlow (mm)
//   in/out: wtElev (m), uz1, uz2, uz3 (mm)
//   out: wtPrev (the table at the start of the movement, m), cellFlag (10 when the table
//        stands at or above the surface, else 1)
// Each stage handles the layer that holds the table and hands what is left of the
// recharge (or deficit) to the next layer once the table reaches the layer's boundary.
inline void WaterTableCell(double surfElev, double unsatDrain, double satZoneEt, double deepLeakage,
                           double groundwaterFlow, const ParameterSet& p, double& wtElev, double& wtPrev, double& uz1,
                           double& uz2, double& uz3, int& cellFlag) {
  const double ths = p.SaturatedWaterContent;
  const double thf = p.FieldCapacity;
  const double thw = p.WiltingPoint;
  const double h1 = 0.001 * p.LayerThickness1, h2 = 0.001 * p.LayerThickness2, h3 = 0.001 * p.LayerThickness3;
  const double hAll = h1 + h2 + h3;
  const double sy = ths - thf;  // specific yield
  const double w0 = wtElev;

  // Net recharge, m of water.
  double n = 0.001 * (unsatDrain - satZoneEt - deepLeakage - groundwaterFlow);

  // Layers wholly below the table are saturated.
  const double dm = surfElev - wtElev;
  int layerState = dm > hAll ? 4 : 3;
  if (dm <= h1 + h2) {
    layerState = 2;
    uz3 = 1000 * h3 * ths;
  }
  if (dm <= h1) {
    layerState = 1;
    uz2 = 1000 * h2 * ths;
  }
  if (dm <= 0) {
    layerState = 0;
    uz1 = 1000 * h1 * ths;
  }

  if (n > 0) {
    if (layerState == 4) {
      const double th3 = uz3 / (1000 * h3);
      const double delta = n / (ths - th3);
      const double before = wtElev;
      if (wtElev + delta < surfElev - hAll) {
        wtElev = wtElev + delta;
      } else {
        wtElev = surfElev - hAll;
        layerState = 3;
      }
      n = n - (wtElev - before) * (ths - th3);
    }
    if (layerState == 3) {
      double u = (surfElev - wtElev) - h1 - h2;
      if (u > h3) u = h3;
      const double thu = (0.001 * uz3 - (h3 - u) * ths) / u;
      double delta = ths - thu > 0 ? n / (ths - thu) : 2.0;
      if (wtElev + delta < surfElev - h1 - h2) {
        n = 0;
      } else {
        delta = (surfElev - wtElev) - (h1 + h2);
        n = n - (ths - thu) * delta;
        layerState = 2;
      }
      wtElev = wtElev + delta;
      uz3 = uz3 + 1000 * delta * (ths - thu);
    }
    if (layerState == 2) {
      double u = (surfElev - wtElev) - h1;
      if (u > h2) u = h2;
      const double thu = (0.001 * uz2 - (h2 - u) * ths) / u;
      double delta = ths - thu > 0 ? n / (ths - thu) : 1.0;
      if (wtElev + delta < surfElev - h1) {
        n = 0;
      } else {
        delta = (surfElev - wtElev) - h1;
        n = n - (ths - thu) * delta;
        layerState = 1;
      }
      wtElev = wtElev + delta;
      uz2 = uz2 + 1000 * delta * (ths - thu);
    }
    if (layerState == 1) {
      double u = surfElev - wtElev;
      if (u > h1) u = h1;
      const double thu = (0.001 * uz1 - (h1 - u) * ths) / u;
      double delta = ths - thu > 0 ? n / (ths - thu) : 1.0;
      if (wtElev + delta < surfElev) {
        n = 0;
      } else {
        delta = surfElev - wtElev;
        n = n - (ths - thu) * delta;
        layerState = 0;
      }
      wtElev = wtElev + delta;
      uz1 = uz1 + 1000 * delta * (ths - thu);
    }
    if (layerState == 0) wtElev = wtElev + n;  // water stands above the surface
  } else {
    double m = -n;  // deficit, m of water
    if (layerState == 0) {
      double delta = m;
      if (wtElev - delta < surfElev) {
        delta = wtElev - surfElev;
        layerState = 1;
      }
      m = m - delta;
      wtElev = wtElev - delta;
    }
    if (layerState == 1) {
      double delta = m / sy;
      if (wtElev - delta < surfElev - h1) {
        delta = h1 - (surfElev - wtElev);
        layerState = 2;
      }
      m = m - sy * delta;
      wtElev = wtElev - delta;
      uz1 = uz1 - 1000 * delta * sy;
    }
    if (layerState == 2) {
      const double room = (h1 + h2) - (surfElev - wtElev);
      double delta = m / sy;
      if (delta > room) {
        delta = room;
        layerState = 3;
      }
      m = m - sy * delta;
      wtElev = wtElev - delta;
      uz2 = uz2 - 1000 * delta * sy;
      // Layer 2 keeps at least half its wilting-point water.
      if (1000 * 0.5 * thw * h2 > uz2) {
        m = m - 0.5 * thw * h2 - 0.001 * uz2;
        uz2 = 1000 * 0.5 * thw * h2;
      }
    }
    if (layerState == 3) {
      double delta = m / sy;
      if (wtElev - delta < surfElev - hAll) {
        delta = hAll - (surfElev - wtElev);
        layerState = 4;
      }
      m = m - sy * delta;
      uz3 = uz3 - 1000 * delta * sy;
      wtElev = wtElev - delta;
    }
    if (layerState == 4) wtElev = wtElev - m / sy;
  }

  wtPrev = w0;
  cellFlag = wtElev >= surfElev ? kCellSaturated : kCellOrdinary;
}

}  // namespace tarnwell
