// One simulated day of a sub-basin: the process sweeps in their fixed order, ending with
// the day's cell totals. The driver then writes the day (reservoirs, day tables, the
// "Daily.out" row) and runs the sediment store, whatever engine did the sweeps. An engine
// may fuse or parallelise the sweeps; it must give the same day series and totals, to the
// last bit, as the reference engine, and leave the same state grids (soil layers, snow,
// frozen water, canopy and free-water stores, water table, wetness flags, saturated-zone
// evapotranspiration) at the end of the year. The day's scratch grids (precipitation,
// runoff, erosion terms of a cell) are only the reference engine's.
#pragma once

#include <memory>
#include <string>

#include "app/CellMaps.h"
#include "results/Statistic.h"

namespace tarnwell {

struct ModelState;
struct ParameterSet;

class DayEngine {
 public:
  virtual ~DayEngine() = default;
  virtual const char* Name() const = 0;
  // Once per sub-basin and year, before the first day: the grids, CellFlag and the
  // initial state are set, the meteorological year is read.
  virtual void BeginYear(ModelState& state, const ParameterSet& params) { (void)state, (void)params; }
  // Simulated day `day` (= DayCount, at least StartDay): interception, snow/frozen soil
  // and soil water, free water, erosion, groundwater and water table, evapotranspiration;
  // then the cell totals of the day in the order DayTotals describes.
  virtual DayTotals RunDay(ModelState& state, const ParameterSet& params, int day) = 0;
  // After the last day of the year: the state grids as the days left them.
  virtual void EndYear(ModelState& state) { (void)state; }
  // Within the year: the state grids as the days so far left them, the year going on (a
  // saved state is taken from them).
  virtual void SyncState(ModelState& state) { (void)state; }

  // Whether the coming years keep the maps of every cell (off unless asked: they cost memory
  // and a little time, and change no other result).
  void KeepCellMaps(bool keep) { keepMaps_ = keep; }
  bool KeepsCellMaps() const { return keepMaps_; }
  // After EndYear: the year's maps over the state's grid (empty when not kept).
  CellMaps TakeCellMaps(const ModelState& state) const;

 protected:
  // The year's sums of the inside cells in row-major order, as the engine gathered them.
  CellYear cellYear_;
  bool keepMaps_ = false;
};

// The sweeps of the process modules one after the other, then ReduceDay.
class ReferenceDayEngine : public DayEngine {
 public:
  const char* Name() const override { return "reference"; }
  void BeginYear(ModelState& state, const ParameterSet& params) override;
  DayTotals RunDay(ModelState& state, const ParameterSet& params, int day) override;
};

// "reference", or "fused" (one pass over the inside cells per day, split by rows over
// `threads` threads; the empty name means fused). Throws std::invalid_argument for an
// unknown name.
std::unique_ptr<DayEngine> MakeDayEngine(const std::string& name, int threads);

}  // namespace tarnwell
