#include "processes/Grdwater.h"

#include <algorithm>

#include "model/ModelState.h"

namespace tarnwell {

void GroundwaterExchange(ModelState& s, const ParameterSet& params, int day) {
  const int rows = s.GridRows, cols = s.GridCols;
  const int* flag = s.CellFlag.data();
  const double* wt = s.WTElev.data();  // no cell's table moves during this sweep
  RowPartialSum sum;
  int n = 0;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      const std::size_t i = static_cast<std::size_t>(r) * static_cast<std::size_t>(cols) + static_cast<std::size_t>(c);
      if (flag[i] <= 0) continue;
      ++n;
      const GwNeighbours nb = GatherNeighbours(flag, wt, rows, cols, r, c);
      GroundwaterExchangeCell(s.SurfElev[i], wt[i], s.GwConductivity[i], s.CellSizeX[i], nb, params,
                              s.GroundwaterFlow[i], s.DeepLeakage[i], sum);
    }
    sum.EndRow();
  }
  // The driver never runs a grid without basin cells; the guard keeps the mean defined.
  s.GwFlow[day] = n > 0 ? sum.Total() / n : 0.0;
}

void UpdateGroundwater(ModelState& s, const ParameterSet& params, int day) {
  std::copy(s.WTElev.begin(), s.WTElev.end(), s.WTPrev.begin());
  GroundwaterExchange(s, params, day);
  UpdateWaterTable(s, params);
}

}  // namespace tarnwell
