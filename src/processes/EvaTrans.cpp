#include "processes/EvaTrans.h"

#include "model/ModelState.h"

namespace tarnwell {

void ComputeEvapotranspiration(ModelState& s, const ParameterSet& params, int day) {
  const double pet = s.DailyPET[day];
  const double growth = s.GrowthIndex[day];
  const std::size_t cells = s.CellCount();
  for (std::size_t i = 0; i < cells; ++i) {
    if (s.CellFlag[i] <= 0) continue;
    EvapotranspirationCell(s.SurfElev[i], s.WTElev[i], s.LandUse[i], s.GroundwaterFlow[i], pet, growth, params,
                           s.CanopyStore[i], s.Uz1[i], s.Uz2[i], s.Uz3[i], s.ActualET[i], s.SatZoneET[i]);
  }
}

}  // namespace tarnwell
