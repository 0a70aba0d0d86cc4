// A saved state as a CF NetCDF file (Output/state/state_YYYY-MM-DD.nc): the run's position
// and counters as global attributes, every sub-basin's per-cell stores as (y_k, x_k) grids,
// its day series of the year so far over a day axis, its scalars as attributes of a variable
// of its own. Every number is stored as the double (or integer) the model holds, so a run
// from the file goes on to the bit.
#pragma once

#include <string>

#include "app/RunState.h"

namespace tarnwell::geo {

// Writes the state (to a temporary name, renamed when whole).
void WriteStateFile(const RunState& state, const std::string& fsPath, const std::string& displayName);
// Reads a state; anything missing or out of shape is refused naming the file and the
// attribute or variable.
RunState ReadStateFile(const std::string& fsPath, const std::string& displayName);

}  // namespace tarnwell::geo
