// The fused day engine: one pass per day over the inside cells that runs every process
// step of a cell, in the order of the reference sweeps, through the same per-cell kernels,
// and forms the day's cell sums on the way.
//
// What makes one pass equal to the sweeps: the lateral groundwater exchange must see every
// neighbour's water table as it stood at the start of the day, so the table is kept in two
// buffers, read from one and written to the other, swapped after the day. Every other
// step reads only its own cell.
//
// The state lives in structure-of-arrays form over the inside cells alone, in row-major
// order: what persists from day to day (soil layers, snow, frozen water, canopy and free
// water, the two water-table buffers, saturated-zone evapotranspiration, the wetness
// flag) and what the year never changes (terrain, land-use class, conductance, cell size,
// the erosion factors, the neighbours). The day's scratch values stay in registers.
//
// The rows are split into contiguous blocks, one per thread. Each row keeps its own
// partial sums, and the rows are added in row order afterwards, so that the totals are
// the reference's bits for every thread count.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "app/DayEngine.h"

namespace tarnwell {

class WorkerPool;

class FusedDayEngine : public DayEngine {
 public:
  // threads < 1: the machine's hardware threads.
  explicit FusedDayEngine(int threads);
  ~FusedDayEngine() override;
  const char* Name() const override { return "fused"; }
  void BeginYear(ModelState& state, const ParameterSet& params) override;
  DayTotals RunDay(ModelState& state, const ParameterSet& params, int day) override;
  void EndYear(ModelState& state) override;
  void SyncState(ModelState& state) override;

  int Threads() const;
  std::size_t InsideCells() const { return surfElev_.size(); }
  // Bytes of the engine's own state (per-cell arrays, row tables).
  std::size_t StateBytes() const;
  // Bytes a day reads and writes per inside cell in the per-cell arrays.
  static double BytesPerCellDay();

  // Sums of one row of inside cells, in the order the cells come.
  struct RowSums {
    double precip = 0, intercep = 0, drain = 0, uz1 = 0, uz2 = 0, uz3 = 0, aet = 0, subflow = 0, surface = 0,
           leakage = 0, erosion = 0, wt = 0, snow = 0, ice = 0, gw = 0;
  };

 private:
  struct Day {
    double precip, temp, pet, growth, stationElev;
  };
  // KeepMaps: also add every cell's day to the year's cell maps.
  template <bool KeepMaps>
  void RunSpans(std::size_t first, std::size_t last, const Day& day, const ParameterSet& p);

  // Inside cells of one grid row: compact indices [begin, end).
  struct Span {
    int row;
    std::uint32_t begin, end;
  };
  std::vector<Span> spans_;
  std::vector<std::size_t> blockStart_;  // per thread: first span; one more at the end
  std::vector<RowSums> rowSums_;         // per span

  // Persistent per inside cell.
  std::vector<double> snow_, frozen_, uz1_, uz2_, uz3_, canopy_, freeWater_, satEt_;
  std::vector<double> wt_[2];
  int current_ = 0;  // wt_[current_] holds the table at the start of the day
  std::vector<std::int8_t> flag_;
  // Static per inside cell over the year.
  std::vector<double> surfElev_, conductance_, cellSizeX_;
  std::vector<std::uint8_t> landClass_;  // LandUseClassIndex
  std::vector<double> erodibility_, slopeLength_, cover_, practice_;
  // Neighbours: compact index of the cell in the previous / next row (-1 outside), and
  // bit 0 for an inside cell before it in its row, bit 1 after it.
  std::vector<std::int32_t> prevRow_, nextRow_;
  std::vector<std::uint8_t> rowNeighbours_;

  std::unique_ptr<WorkerPool> pool_;
  bool begun_ = false;
  int daysRun_ = 0;
};

}  // namespace tarnwell
