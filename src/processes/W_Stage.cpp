#include "processes/W_Stage.h"

#include "model/ModelState.h"

namespace tarnwell {

void UpdateWaterTable(ModelState& s, const ParameterSet& params) {
  const std::size_t cells = s.CellCount();
  for (std::size_t i = 0; i < cells; ++i) {
    if (s.CellFlag[i] <= 0) continue;
    WaterTableCell(s.SurfElev[i], s.UnsatDrain[i], s.SatZoneET[i], s.DeepLeakage[i], s.GroundwaterFlow[i], params,
                   s.WTElev[i], s.WTPrev[i], s.Uz1[i], s.Uz2[i], s.Uz3[i], s.CellFlag[i]);
  }
}

}  // namespace tarnwell
