#include "model/YearEnd.h"

#include <algorithm>
#include <iterator>

#include "model/ModelState.h"

namespace tarnwell {

std::optional<CarryOver> ParseCarryOver(const std::string& text) {
  if (text == "mean") return CarryOver::Mean;
  if (text == "cells") return CarryOver::Cells;
  return std::nullopt;
}

const char* CarryOverName(CarryOver c) { return c == CarryOver::Cells ? "cells" : "mean"; }

namespace {

// The model state's grids in the order of kCellStores.
constexpr std::vector<double> ModelState::*kStateStores[] = {
    &ModelState::Uz1,    &ModelState::Uz2,     &ModelState::Uz3,         &ModelState::SnowPack,
    &ModelState::Frozen, &ModelState::Subflow, &ModelState::CanopyStore, &ModelState::FreeWater,
    &ModelState::WTElev, &ModelState::WTPrev,  &ModelState::SatZoneET};
static_assert(std::size(kStateStores) == std::size(kCellStores));

}  // namespace

CellStores CellStores::Take(const ModelState& s) {
  CellStores c;
  c.rows = s.GridRows;
  c.cols = s.GridCols;
  const auto n = static_cast<std::ptrdiff_t>(s.CellCount());
  for (std::size_t i = 0; i < std::size(kCellStores); ++i)
    (c.*kCellStores[i]).assign((s.*kStateStores[i]).begin(), (s.*kStateStores[i]).begin() + n);
  c.CellFlag.assign(s.CellFlag.begin(), s.CellFlag.begin() + n);
  return c;
}

void CellStores::Restore(ModelState& s) const {
  for (std::size_t i = 0; i < std::size(kCellStores); ++i)
    std::copy((this->*kCellStores[i]).begin(), (this->*kCellStores[i]).end(), (s.*kStateStores[i]).begin());
  std::copy(CellFlag.begin(), CellFlag.end(), s.CellFlag.begin());
}

}  // namespace tarnwell
