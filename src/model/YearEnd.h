// What one sub-basin's year leaves for the next: its means at the year's end and, when the
// year boundary keeps every cell, its cells' stores as the last day left them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnwell {

struct ModelState;

// How a later year starts.
//   Mean: every cell of a sub-basin starts from the sub-basin's means of the year before
//     (soil water of the three layers, interflow, water table, snow, frozen water); the
//     canopy, free water and saturated-zone evapotranspiration start from 0. This is the
//     program's documented behaviour, on which stored results rely.
//   Cells: every cell keeps every store across the boundary, so 1 January starts exactly
//     where 31 December ended; the water table keeps its shape instead of becoming a plane
//     at the mean elevation.
enum class CarryOver { Mean, Cells };

// "mean" or "cells"; nullopt for anything else.
std::optional<CarryOver> ParseCarryOver(const std::string& text);
const char* CarryOverName(CarryOver c);

// A sub-basin's means on the last simulated day (the outlet reservoirs and the channel
// sediment store as they stand), which the next year starts from.
struct YearEnd {
  double Uz1 = 0, Uz2 = 0, Uz3 = 0;  // soil water of the three layers, mm
  double Subflow = 0;                // interflow, mm
  double RoutedGwFlow = 0;           // groundwater reservoir at the outlet, mm/day
  double WTElev = 0;                 // water-table elevation, m
  double SedStore = 0;               // channel sediment store
  double SnowPack = 0, Frozen = 0;   // mm
  double RoutedInterflow = 0;        // interflow reservoir at the outlet, mm/day
  bool operator==(const YearEnd&) const = default;
};

// Every per-cell store that crosses a day, over the sub-basin's whole grid (row-major, as
// the model state holds it). CellFlag holds the wetness marks of the inside cells.
struct CellStores {
  int rows = 0, cols = 0;
  std::vector<double> Uz1, Uz2, Uz3, SnowPack, Frozen, Subflow, CanopyStore, FreeWater, WTElev, WTPrev, SatZoneET;
  std::vector<std::int32_t> CellFlag;

  bool Empty() const { return CellFlag.empty(); }
  // The stores of the state's grid as they stand.
  static CellStores Take(const ModelState& s);
  // Puts the stores back into a state of the same grid size.
  void Restore(ModelState& s) const;
  bool operator==(const CellStores&) const = default;
};

// The stores in a fixed order (the model state's grids of the same names, a saved state's
// variables); the wetness marks beside them.
inline constexpr std::vector<double> CellStores::*kCellStores[] = {
    &CellStores::Uz1,    &CellStores::Uz2,     &CellStores::Uz3,         &CellStores::SnowPack,
    &CellStores::Frozen, &CellStores::Subflow, &CellStores::CanopyStore, &CellStores::FreeWater,
    &CellStores::WTElev, &CellStores::WTPrev,  &CellStores::SatZoneET};

}  // namespace tarnwell
