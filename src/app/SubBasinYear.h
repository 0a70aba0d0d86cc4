// One sub-basin's year as a function of explicit values: where it runs (a lane: a session
// holding its model state, a day engine, what it tells the displays, its bound files), how
// its year starts, and what every year of the step shares (the input source, the parameter
// set, the year boundary). It returns what the year yields: its series for the displays,
// its outflow and sediment at the outlet, and what it carries into the next year.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "app/CellMaps.h"
#include "app/RunState.h"
#include "app/Session.h"
#include "model/YearEnd.h"
#include "results/Statistic.h"

namespace tarnwell {

class DayEngine;
class InputSource;
class ProgressObserver;

// What the displays (window, summary) read of a sub-basin's year: its year series and the
// figures that scale them, no grid. A plain value: shown in the state the displays read, and
// sent as bytes from the rank that ran the sub-basin.
struct DisplayedYear {
  YearSeries year;
  int stationElev = 0;
  double basinArea = 0, meanElev = 0;

  static DisplayedYear Of(const ModelState& s) { return {s, s.StationElev, s.BasinArea, s.MeanElev}; }
  void ShowIn(ModelState& s) const {
    static_cast<YearSeries&>(s) = year;
    s.StationElev = stationElev;
    s.BasinArea = basinArea;
    s.MeanElev = meanElev;
  }
};

// Where a sub-basin's year runs: the driver's own session, engine and observer one after the
// other; a session and engine of its own side by side.
struct Lane {
  Session* session = nullptr;
  std::unique_ptr<Session> own;
  DayEngine* engine = nullptr;
  std::unique_ptr<DayEngine> ownEngine;
  ProgressObserver* observer = nullptr;
  YearFiles files;
  OutputFile mark;
};

// How the year starts. The run's first year starts from the parameter file's initial
// values; a later year from what the sub-basin's year before left. A saved state inside the
// year puts back every store and series of its day.
struct YearStart {
  bool laterYear = false;
  YearEnd carried;                    // a later year: the means of the year before
  const CellStores* cells = nullptr;  // a later year under carry-over cells: every cell's stores (empty: the means)
  const SubBasinState* resumed = nullptr;
  std::string resumedFrom;  // how messages name the saved state
};

// What every sub-basin's year of a step shares.
struct YearSettings {
  InputSource* inputs = nullptr;
  const ParameterSet* parameters = nullptr;  // this set instead of the parameter file (null: the file)
  CarryOver carryOver = CarryOver::Mean;
  GroundwaterSum groundwaterSum = GroundwaterSum::Twice;
  bool writeFiles = true;
  // Side by side: held while the run marker, one file of every sub-basin, is written and
  // while the maps are handed over.
  std::mutex* shared = nullptr;
  // Before every day, with the lane's state as the days so far left it (saved states).
  std::function<void(int k, Lane& lane)> beforeDay;
  // As the year ends: the maps of every cell (null: none kept).
  std::function<void(int k, const CellMaps& maps)> maps;
};

// What one sub-basin's year yields.
struct SubBasinYear {
  int subBasin = 0;
  DisplayedYear shown;
  DaySeries flow{}, sediment{};  // at the sub-basin's outlet: m3/s and t/day
  YearEnd end;
  CellStores cells;  // under carry-over cells
};

SubBasinYear SimulateSubBasinYear(int k, YearStart start, const YearSettings& settings, Lane& lane);

// Refuses a sub-basin without any inside cell (its mean elevation and every cell mean
// would be a mean over nothing).
void RequireInsideCells(const Session& session, int k, long insideCells);
// Refuses a sub-basin whose land-use grid has no code below 150 (no area, so no depth).
void RequireArea(const Session& session, int k);

}  // namespace tarnwell
