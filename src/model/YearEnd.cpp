#include "model/YearEnd.h"

#include <algorithm>

#include "model/ModelState.h"

namespace tarnwell {

std::optional<CarryOver> ParseCarryOver(const std::string& text) {
  if (text == "mean") return CarryOver::Mean;
  if (text == "cells") return CarryOver::Cells;
  return std::nullopt;
}

const char* CarryOverName(CarryOver c) { return c == CarryOver::Cells ? "cells" : "mean"; }

namespace {

// The state's grids and the record's vectors in the same order.
template <typename State, typename Stores, typename F>
void Pair(State& s, Stores& c, F&& f) {
  f(s.Uz1, c.Uz1);
  f(s.Uz2, c.Uz2);
  f(s.Uz3, c.Uz3);
  f(s.SnowPack, c.SnowPack);
  f(s.Frozen, c.Frozen);
  f(s.Subflow, c.Subflow);
  f(s.CanopyStore, c.CanopyStore);
  f(s.FreeWater, c.FreeWater);
  f(s.WTElev, c.WTElev);
  f(s.WTPrev, c.WTPrev);
  f(s.SatZoneET, c.SatZoneET);
  f(s.CellFlag, c.CellFlag);
}

}  // namespace

CellStores CellStores::Take(const ModelState& s) {
  CellStores c;
  c.rows = s.GridRows;
  c.cols = s.GridCols;
  const auto n = static_cast<std::ptrdiff_t>(s.CellCount());
  Pair(s, c, [n](const auto& from, auto& to) { to.assign(from.begin(), from.begin() + n); });
  return c;
}

void CellStores::Restore(ModelState& s) const {
  Pair(s, *this, [](auto& to, const auto& from) { std::copy(from.begin(), from.end(), to.begin()); });
}

}  // namespace tarnwell
