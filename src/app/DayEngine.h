// One simulated day of a sub-basin: the process sweeps in their fixed order, ending with
// the day's cell totals. The driver then writes the day (reservoirs, day tables, the
// "Daily.out" row) and runs the sediment store, whatever engine did the sweeps. An engine
// may fuse or parallelise the sweeps; it must leave the same grids and the same totals,
// to the last bit, as the reference engine.
#pragma once

#include <memory>
#include <string>

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
};

// The sweeps of the process modules one after the other, then ReduceDay.
class ReferenceDayEngine : public DayEngine {
 public:
  const char* Name() const override { return "reference"; }
  DayTotals RunDay(ModelState& state, const ParameterSet& params, int day) override;
};

// "reference", or "fused" (the reference engine until a fused one exists); threads is
// the number of worker threads an engine may use. Throws std::invalid_argument for an
// unknown name.
std::unique_ptr<DayEngine> MakeDayEngine(const std::string& name, int threads);

}  // namespace tarnwell
