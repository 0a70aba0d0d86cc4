// Grdwater: deep leakage and groundwater outflow of every cell, which fall off
// exponentially with the depth of the water table, and the lateral groundwater exchange
// with the four grid neighbours.
#pragma once

#include <cmath>

#include "parameters/ParaDialog.h"
#include "processes/BasinSum.h"
#include "processes/Processes.h"

namespace tarnwell {

// The four neighbours of a cell as the exchange sees them: water-table elevation (m) and
// whether the neighbour is a basin cell. A position outside the grid is outside the basin.
struct GwNeighbours {
  double nextRowWT = 0, prevRowWT = 0, nextColWT = 0, prevColWT = 0;
  bool nextRowInside = false, prevRowInside = false, nextColInside = false, prevColInside = false;
};

// The neighbours of cell (r, c) (0-based) from row-major grids of rows x cols: the
// wetness flags (basin cell when > 0) and the water-table elevations to use.
inline GwNeighbours GatherNeighbours(const int* cellFlag, const double* wtElev, int rows, int cols, int r, int c) {
  GwNeighbours nb;
  const long i = static_cast<long>(r) * cols + c;
  if (r + 1 < rows && cellFlag[i + cols] > 0) {
    nb.nextRowInside = true;
    nb.nextRowWT = wtElev[i + cols];
  }
  if (r > 0 && cellFlag[i - cols] > 0) {
    nb.prevRowInside = true;
    nb.prevRowWT = wtElev[i - cols];
  }
  if (c + 1 < cols && cellFlag[i + 1] > 0) {
    nb.nextColInside = true;
    nb.nextColWT = wtElev[i + 1];
  }
  if (c > 0 && cellFlag[i - 1] > 0) {
    nb.prevColInside = true;
    nb.prevColWT = wtElev[i - 1];
  }
  return nb;
}

// Lateral inflow of one grid direction: the next neighbour's term, then the previous
// neighbour's; an outside neighbour resets the sum, so an outside previous neighbour
// cancels the next one's term too. Absurd values (no-data elevations) count as none.
inline double LateralInflow(double wt, double conductance, double nextWT, bool nextInside, double prevWT,
                            bool prevInside, double cellSizeX) {
  double q = 0;
  if (nextInside) q = q + (nextWT - wt) * conductance / cellSizeX;
  else q = 0;
  if (prevInside) q = q + (prevWT - wt) * conductance / cellSizeX;
  else q = 0;
  if (std::fabs(q) > 1e11) q = 0;
  return q;
}

// Groundwater of one cell and day.
//   in:  surfElev, wtElev (m), gwConductivity, cellSizeX, the neighbours' water tables
//        (the day's starting elevations)
//   in/out: groundwaterFlow (mm; the free-water store's share on entry)
//   out: deepLeakage (mm)
//   in/out: gwFlowSum, the day's basin sum, which receives the cell's outflow twice (after
//        the depth-dependent outflow and after the lateral exchange), or once (after the
//        exchange: what the cell loses) as p.GroundwaterSumMode says
inline void GroundwaterExchangeCell(double surfElev, double wtElev, double gwConductivity, double cellSizeX,
                                    const GwNeighbours& nb, const ParameterSet& p, double& groundwaterFlow,
                                    double& deepLeakage, RowPartialSum& gwFlowSum) {
  double dm = surfElev - wtElev;  // depth of the table, m; a table above ground counts as at it
  if (dm < 0) dm = 0;
  const double e = std::exp(-p.WaterTableExponent * dm);
  deepLeakage = e * p.DeepLeakageCoef;
  groundwaterFlow = groundwaterFlow + e * p.GroundwaterOutflowCoef;
  if (p.GroundwaterSumMode == GroundwaterSum::Twice) gwFlowSum.Add(groundwaterFlow);
  const double qx = LateralInflow(wtElev, gwConductivity, nb.nextRowWT, nb.nextRowInside, nb.prevRowWT,
                                  nb.prevRowInside, cellSizeX);
  const double qy = LateralInflow(wtElev, gwConductivity, nb.nextColWT, nb.nextColInside, nb.prevColWT,
                                  nb.prevColInside, cellSizeX);
  groundwaterFlow = groundwaterFlow - qx - qy;
  gwFlowSum.Add(groundwaterFlow);
}

}  // namespace tarnwell
