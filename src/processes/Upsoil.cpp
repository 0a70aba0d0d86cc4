#include "processes/Upsoil.h"

#include "model/ModelState.h"
#include "processes/BasinSum.h"

namespace tarnwell {

void UpdateSoilWater(ModelState& s, const ParameterSet& params, int day) {
  const int rows = s.GridRows, cols = s.GridCols;
  const double airTemp = s.DailyTemp[day];
  const double pet = s.DailyPET[day];
  const double stationElev = s.StationElev;

  // Snow and frost, with the basin sums of snow pack and frozen water.
  RowPartialSum snow, ice;
  int n = 0;
  for (int r = 0; r < rows; ++r) {
    const std::size_t row = static_cast<std::size_t>(r) * static_cast<std::size_t>(cols);
    for (std::size_t i = row; i < row + static_cast<std::size_t>(cols); ++i) {
      if (s.CellFlag[i] <= 0) continue;
      SnowFrostCell(s.CellPrecip[i], s.Interception[i], s.SurfElev[i], airTemp, pet, stationElev, params, s.SnowPack[i],
                    s.Frozen[i], s.Uz1[i], s.Uz2[i], s.Uz3[i], s.Throughfall[i], s.ThawBypass[i], s.ActualET[i],
                    s.UnsatDrain[i]);
      snow.Add(s.SnowPack[i]);
      ice.Add(s.Frozen[i]);
      ++n;
    }
    snow.EndRow();
    ice.EndRow();
  }
  // The divisor is one more than the number of basin cells.
  s.MeanSnowPack[day] = snow.Total() / (n + 1);
  s.MeanFrozen[day] = ice.Total() / (n + 1);

  const std::size_t cells = s.CellCount();
  for (std::size_t i = 0; i < cells; ++i) {
    if (s.CellFlag[i] <= 0) continue;
    SoilCell(s.SurfElev[i], s.WTElev[i], s.LandUse[i], s.CellPrecip[i], s.ThawBypass[i], params, s.CellFlag[i],
             s.Uz1[i], s.Uz2[i], s.Uz3[i], s.Throughfall[i], s.UnsatDrain[i], s.RunoffGenerated[i]);
  }
}

void UpdateFreeWater(ModelState& s, const ParameterSet& params) {
  const std::size_t cells = s.CellCount();
  for (std::size_t i = 0; i < cells; ++i) {
    if (s.CellFlag[i] <= 0) continue;
    FreeWaterCell(s.RunoffGenerated[i], params, s.FreeWater[i], s.GroundwaterFlow[i], s.Interflow[i],
                  s.SurfaceRunoff[i]);
  }
  // The interflow store reported in the outputs.
  for (std::size_t i = 0; i < cells; ++i)
    if (s.CellFlag[i] > 0) s.Subflow[i] = s.Interflow[i];
}

}  // namespace tarnwell
