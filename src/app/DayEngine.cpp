#include "app/DayEngine.h"

#include <cmath>
#include <stdexcept>

#include "app/FusedEngine.h"
#include "processes/Processes.h"

namespace tarnwell {

void ReferenceDayEngine::BeginYear(ModelState& s, const ParameterSet&) {
  if (!keepMaps_) return;
  std::size_t inside = 0;
  for (std::size_t i = 0; i < s.CellCount(); ++i) inside += s.CellFlag[i] > 0;
  cellYear_.Reset(inside);
}

DayTotals ReferenceDayEngine::RunDay(ModelState& s, const ParameterSet& p, int day) {
  ComputeInterception(s, p, day);        // precipitation, interception, canopy store
  UpdateSoilWater(s, p, day);            // snow, frozen soil, soil layers, runoff generation
  UpdateFreeWater(s, p);                 // free water: surface runoff, interflow, recharge
  ComputeErosion(s, p, day);             // soil loss of every cell
  UpdateGroundwater(s, p, day);          // lateral exchange, outflow, water table
  ComputeEvapotranspiration(s, p, day);  // actual evapotranspiration from the layers
  if (keepMaps_) {
    std::size_t j = 0;
    for (std::size_t i = 0; i < s.CellCount(); ++i) {
      if (s.CellFlag[i] <= 0) continue;
      cellYear_.Add(j++, s.CellPrecip[i], s.ActualET[i], s.RunoffGenerated[i], s.CellErosion[i],
                    s.SurfElev[i] - s.WTElev[i], s.SnowPack[i]);
    }
    ++cellYear_.days;
  }
  return ReduceDay(s);
}

CellMaps DayEngine::TakeCellMaps(const ModelState& s) const {
  CellMaps m;
  if (!keepMaps_) return m;
  m.rows = s.GridRows;
  m.cols = s.GridCols;
  m.year = s.CurYear;
  const std::size_t n = s.CellCount();
  const double nan = std::nan("");
  for (std::vector<double>* v :
       {&m.precipitation, &m.evapotranspiration, &m.runoff, &m.soilLoss, &m.waterTableDepth, &m.snowPack})
    v->assign(n, nan);
  const double days = cellYear_.days > 0 ? cellYear_.days : nan;
  std::size_t j = 0;
  for (std::size_t i = 0; i < n && j < cellYear_.precipitation.size(); ++i) {
    if (s.CellFlag[i] <= 0) continue;
    // Soil loss per hectare of the cell (its sizes in m).
    const double hectares = s.CellSizeX[i] * s.CellSizeY[i] / 10000.0;
    m.precipitation[i] = cellYear_.precipitation[j];
    m.evapotranspiration[i] = cellYear_.evapotranspiration[j];
    m.runoff[i] = cellYear_.runoff[j];
    m.soilLoss[i] = cellYear_.erosion[j] / hectares;
    m.waterTableDepth[i] = cellYear_.depthSum[j] / days;
    m.snowPack[i] = cellYear_.snowMax[j];
    ++j;
  }
  return m;
}

std::unique_ptr<DayEngine> MakeDayEngine(const std::string& name, int threads) {
  if (name == "reference") return std::make_unique<ReferenceDayEngine>();
  if (name == "fused" || name.empty()) return std::make_unique<FusedDayEngine>(threads);
  throw std::invalid_argument("unknown engine \"" + name + "\" (reference or fused)");
}

}  // namespace tarnwell
