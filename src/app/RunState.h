// A run held at the start of a day: everything a later run needs to go on from that day to
// the bit, as if it had never stopped. Saved at chosen dates (tarnwell run --save-state),
// started from (--start-state): spin up once and start many runs from it, or restart a long
// run that failed.
//
// The day is the first one still to simulate; day 1 is a year boundary. Every sub-basin is
// held at the same day of the same year, whatever order the sub-basins ran in; the whole
// basin is held at the end of the year before.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "model/ModelState.h"
#include "model/YearEnd.h"
#include "parameters/ParaDialog.h"
#include "results/Statistic.h"

namespace tarnwell {

// The day series of a sub-basin's year that the days so far have written and the year's end
// needs (its statistics, its frozen-soil and sediment files, the whole-basin routing).
inline constexpr DaySeries ModelState::*kStateSeries[] = {
    &ModelState::SimFlow,       &ModelState::SimSediment,  &ModelState::SimErosion,    &ModelState::MeanPrecip,
    &ModelState::MeanIntercep,  &ModelState::MeanAET,      &ModelState::MeanSoilDrain, &ModelState::GroundWaterLevel,
    &ModelState::DailySedStore, &ModelState::MeanSnowPack, &ModelState::MeanFrozen,    &ModelState::GwFlow};
inline constexpr const char* kStateSeriesNames[] = {
    "SimFlow",       "SimSediment",      "SimErosion",    "MeanPrecip",   "MeanIntercep", "MeanAET",
    "MeanSoilDrain", "GroundWaterLevel", "DailySedStore", "MeanSnowPack", "MeanFrozen",   "GwFlow"};
inline constexpr std::size_t kStateSeriesCount = std::size(kStateSeries);

// One sub-basin at the state's day.
struct SubBasinState {
  int rows = 0, cols = 0;
  CellStores cells;  // every store at the start of the day
  YearEnd yearEnd;   // the year-end record as the days so far left it
  double routedInterflow = 0, routedGwFlow = 0, sedStore = 0;
  int dayCount = 0;      // days of the year done
  int monthSimDays = 0;  // simulated days of the day's month done
  int cellCount = 0;
  std::array<DaySeries, kStateSeriesCount> series{};
  DayIntSeries dayYear{}, dayMonth{}, dayOfMonth{};
  YearWater water;  // the year's stores at its start and deep leakage so far
  // Bytes of its five files (Daily, Daily_s, Daily_f, Budget, Budget_s) at the day.
  std::array<std::uint64_t, 5> fileBytes{};
  bool operator==(const SubBasinState&) const = default;

  // The sub-basin as a model state holds it at the start of its next day (the stores as the
  // engine has written them back; the file sizes are the caller's), and back into a model
  // state of the same grid.
  static SubBasinState Take(const ModelState& s);
  void Restore(ModelState& s) const;
};

struct RunState {
  // Where the run stands.
  int yearIndex = 0;  // 1-based year of the run
  int calendarYear = 0;
  int day = 0;  // day of that year still to simulate
  int month = 0, dayOfMonth = 0;
  CarryOver carryOver = CarryOver::Mean;
  GroundwaterSum groundwaterSum = GroundwaterSum::Twice;
  // Counters of the run at the start of the year.
  long metLinesRead = 0, basinDailyLinesDone = 0, basinBudgetLinesDone = 0;
  int basinFilesCreated = 0;
  DaySeries growthBefore{};  // the growth index the year's weather starts from
  // The whole basin at the end of the year before: where each sub-basin's files are
  // aggregated to, and the bytes of its own five files.
  std::vector<std::array<FileCursor, 5>> cursors;  // index by sub-basin - 1
  std::array<std::uint64_t, 5> basinFileBytes{};
  // What identifies the workspace.
  std::vector<std::string> names;
  std::string parameterHash;
  std::vector<SubBasinState> subBasins;  // index by sub-basin - 1
  std::string source;                    // how messages name the state (its file), when read from one

  // "YYYY-MM-DD" of the day.
  std::string Date() const;
};

// A hash of a parameter file's bytes (64-bit FNV-1a, 16 hexadecimal digits).
std::string ParameterFileHash(const std::string& bytes);

// The bytes of one sub-basin's state and back, for the ranks of a run spread over machines
// (both ends are the same program on the same kind of machine).
std::string EncodeSubBasinState(const SubBasinState& s);
SubBasinState DecodeSubBasinState(const std::string& bytes, std::size_t& at);

}  // namespace tarnwell
