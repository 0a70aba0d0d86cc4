#include "processes/Errod.h"

#include "model/ModelState.h"

namespace tarnwell {

void ComputeErosion(ModelState& s, const ParameterSet& params, int /*day*/) {
  const std::size_t cells = s.CellCount();
  for (std::size_t i = 0; i < cells; ++i) {
    if (s.CellFlag[i] <= 0) continue;
    ErosionCell(s.SurfaceRunoff[i], s.Interflow[i], s.LandUse[i], s.SlopeSine[i], s.SlopeMask[i], s.CellSizeX[i],
                s.CellSizeY[i], params, s.ErosiveRunoff[i], s.RunoffErosivity[i], s.CellErodibility[i],
                s.SlopeLengthFactor[i], s.VegCover[i], s.CoverFactor[i], s.PracticeFactor[i], s.CellErosion[i]);
  }
}

void RouteSediment(ModelState& s, const ParameterSet& params, int day, int dayOfMonth) {
  s.DayYear[day] = s.CurYear;
  s.DayMonth[day] = s.CurMonth;
  s.DayOfMonth[day] = dayOfMonth;
  s.SimSediment[day] = SedimentStoreDay(s.SimErosion[day], s.SimFlow[day], params, s.SedStore);
  s.DailySedStore[day] = s.SedStore;
}

}  // namespace tarnwell
