#include "app/DayEngine.h"

#include <stdexcept>

#include "app/FusedEngine.h"
#include "processes/Processes.h"

namespace tarnwell {

DayTotals ReferenceDayEngine::RunDay(ModelState& s, const ParameterSet& p, int day) {
  ComputeInterception(s, p, day);        // precipitation, interception, canopy store
  UpdateSoilWater(s, p, day);            // snow, frozen soil, soil layers, runoff generation
  UpdateFreeWater(s, p);                 // free water: surface runoff, interflow, recharge
  ComputeErosion(s, p, day);             // soil loss of every cell
  UpdateGroundwater(s, p, day);          // lateral exchange, outflow, water table
  ComputeEvapotranspiration(s, p, day);  // actual evapotranspiration from the layers
  return ReduceDay(s);
}

std::unique_ptr<DayEngine> MakeDayEngine(const std::string& name, int threads) {
  if (name == "reference") return std::make_unique<ReferenceDayEngine>();
  if (name == "fused" || name.empty()) return std::make_unique<FusedDayEngine>(threads);
  throw std::invalid_argument("unknown engine \"" + name + "\" (reference or fused)");
}

}  // namespace tarnwell
