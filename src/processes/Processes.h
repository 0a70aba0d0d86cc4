// The daily process steps of a sub-basin, in the order the day runs them. Each entry
// point is a sweep over the cells in row-major order that calls the per-cell kernels of
// its module; the kernels themselves are declared in the module headers (Weather.h,
// Upsoil.h, Errod.h, Grdwater.h, W_Stage.h, EvaTrans.h) so that other engines can call
// them cell by cell.
//
// Cell sums (basin means of the day) are formed as one partial sum per grid row, the row
// sums then added in row order, so that every engine and thread count gives the same bits.
#pragma once

#include <vector>

namespace tarnwell {

struct ModelState;
struct ParameterSet;
class TextReader;

// One year block of a meteorological file as read: the header's fields (checked) and the
// day values, day d at index d - 1.
struct MetBlock {
  long headerLine = 0;
  int year = 0, monthCount = 0, startDay = 1, col8Flag = 1, stationElev = 0;
  std::vector<double> precip, temp, flow, sedConc, extra;
};
// Reads the block that begins at the reader's next line, refusing a short or long block.
MetBlock ReadMetBlock(TextReader& metFile);
// What the model takes from a block: the calendar, the day series, the growth index, the
// potential evapotranspiration; in year 1 (state.YearIndex == 1) the two outlet reservoirs.
void ApplyMeteorologicalYear(ModelState& state, const ParameterSet& params, const MetBlock& block);

// Weather: reads this year's block of the open meteorological file (skipping
// state.MetLinesRead lines first), fixes the calendar, the day series, the growth index
// and the potential evapotranspiration; in year 1 (state.YearIndex == 1) also the two
// outlet reservoirs.
void ReadMeteorologicalYear(ModelState& state, const ParameterSet& params, TextReader& metFile);
void ComputeGrowthIndex(ModelState& state, int daysInYear);
void HamonPet(int month, int dayOfMonth, double& pet, double temperature, double latitude, double coef);

// Day steps (day = state.DayCount).
void ComputeInterception(ModelState& state, const ParameterSet& params, int day);
void UpdateSoilWater(ModelState& state, const ParameterSet& params, int day);
void UpdateFreeWater(ModelState& state, const ParameterSet& params);
void ComputeErosion(ModelState& state, const ParameterSet& params, int day);
void UpdateGroundwater(ModelState& state, const ParameterSet& params, int day);
// The two parts of UpdateGroundwater: leakage, outflow, lateral exchange and the day's
// basin mean GwFlow[day]; then the movement of the water table.
void GroundwaterExchange(ModelState& state, const ParameterSet& params, int day);
void UpdateWaterTable(ModelState& state, const ParameterSet& params);
void ComputeEvapotranspiration(ModelState& state, const ParameterSet& params, int day);
// Last step of the day, after the daily reduction has set SimFlow[day] and SimErosion[day].
void RouteSediment(ModelState& state, const ParameterSet& params, int day, int dayOfMonth);

}  // namespace tarnwell
