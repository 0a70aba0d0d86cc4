// The simulation driver: the run (year 1 of every sub-basin, then the whole basin) and
// the next-year step, with the sub-basin year in its two forms and the daily loop.
#pragma once

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "inputs/TextFile.h"

#include "app/CellMaps.h"
#include "app/Check.h"
#include "app/RankGroup.h"
#include "app/RunState.h"
#include "parameters/ParaDialog.h"
#include "results/Statistic.h"

namespace tarnwell {

struct Session;
class ProgressObserver;
class DayEngine;

// What the displays (window, summary) read of a sub-basin's year: its calendar and day
// series, no grid. A plain value: copied into the state the displays read, and sent as
// bytes from the rank that ran the sub-basin.
struct DisplayedYear {
  static constexpr DaySeries ModelState::*kSeries[] = {
      &ModelState::ObsFlow,          &ModelState::SimFlow,      &ModelState::MeanPrecip, &ModelState::ObsSediment,
      &ModelState::SimSediment,      &ModelState::MeanSnowPack, &ModelState::MeanFrozen, &ModelState::AirTempAdj,
      &ModelState::GroundWaterLevel, &ModelState::DailyTemp};
  int curYear = 0, daysInYear = 365, dayCount = 0, startDay = 1, stationElev = 0;
  double basinArea = 0, meanElev = 0;
  std::array<DaySeries, std::size(kSeries)> series{};

  static DisplayedYear Of(const ModelState& s);
  void ShowIn(ModelState& s) const;
};

class Driver {
 public:
  Driver(Session& session, ProgressObserver& observer, DayEngine& engine);

  // What a next-year step did.
  enum class StepResult {
    Simulated,   // one more year of every sub-basin and of the whole basin
    Finished,    // SimYears already reached: "have finished the simulation!"
    Browsed,     // browsing mode: the stored results of the next year were shown
    LastYear,    // browsing mode past the last year: "This is the last year!"
    NotStarted,  // no run yet: nothing to continue from
  };

  // The run. A repeated run starts over: the earlier run's outlet series is closed, the
  // line counters and the whole-basin creation flag are reset, every file is made anew.
  void Run();
  // The next-year step.
  StepResult NextYear();

  BasinAggregation& Aggregation() { return aggregation_; }

  // Inputs read (and checked) once, applied for every sub-basin and year instead of reading
  // the files again. The run's own check is then not repeated.
  void UseInputs(std::shared_ptr<const WorkspaceInputs> inputs) { inputs_ = std::move(inputs); }
  // This parameter set for every sub-basin instead of the current parameter file.
  void UseParameters(const ParameterSet& params) { fixedParameters_ = params; }
  // In memory only: no output file is made, written or read back; the whole-basin year is
  // routed and summed, and the observed outlet series taken from the inputs (UseInputs).
  void WriteNoFiles() { noFiles_ = true; }
  // How many years the run's check of the inputs covers (0: the parameter file's number).
  void SetYearsToCheck(int years) { yearsToCheck_ = years; }
  // Keeps the inputs the run's check read, up to this many bytes, and applies them every year
  // instead of reading the files again (a run that nothing else touches: the command line's).
  void ReuseCheckedInputs(std::size_t atMost) { reuseAtMost_ = atMost; }

  // Makes day engines of a given number of threads.
  using EngineFactory = std::function<std::unique_ptr<DayEngine>(int threads)>;
  // Lets the sub-basins of a year run side by side on up to `threads` threads, each on a
  // model state and an engine of its own, when that is faster than one sub-basin after the
  // other with the threads splitting its rows (many sub-basins, or sub-basins of like size).
  // The files are byte for byte those of the sequential run. The window's displays are told
  // of each sub-basin as it finishes.
  // always: side by side whenever there are two sub-basins and two threads (for tests).
  void RunSideBySide(int threads, EngineFactory makeEngine, bool always = false);
  // How many sub-basins the last year ran at once (1: one after the other).
  int LastLanes() const { return lastLanes_; }
  // Spreads the sub-basins over the ranks of a group (every rank runs a driver of its own on
  // the same workspace): each rank simulates and writes its own sub-basins, keeps their
  // carry-over, and sends rank 0 what the whole-basin year needs; rank 0 checks the inputs
  // before anything is written and forms the whole-basin year. A rank that fails ends the
  // year on every rank with its message.
  void DistributeOver(RankGroup* group) { group_ = group; }
  // Keeps the maps of every cell of every sub-basin's year and hands each to `sink` as the
  // year ends (one sub-basin at a time, whatever runs side by side).
  // Saved states: a run held at the start of each of these days (calendar year, month, day)
  // is handed to `sink` once every sub-basin has reached it, before the whole-basin year
  // (on rank 0 only, spread over ranks). The run itself goes on unchanged.
  struct Date {
    int year = 0, month = 0, day = 0;
    bool operator==(const Date&) const = default;
  };
  using StateSink = std::function<void(const RunState&)>;
  void SaveStatesAt(std::vector<Date> dates, StateSink sink);
  // The dates whose state was handed over so far.
  const std::vector<Date>& SavedDates() const { return saved_; }
  // Instead of the run: goes on from a saved state of this workspace. The inputs are checked
  // as the run checks them, every output file is cut back to its length at the state's day
  // (refused when one is shorter), then the rest of the state's year is simulated for every
  // sub-basin and the whole basin; the next-year steps follow as after a run.
  void ContinueFrom(const RunState& state);

  // How every later year starts (CarryOver::Mean unless set).
  void SetCarryOver(CarryOver c) { carryOver_ = c; }
  CarryOver GetCarryOver() const { return carryOver_; }
  using CellMapSink = std::function<void(int subBasin, const CellMaps& maps)>;
  void KeepCellMaps(CellMapSink sink) { mapSink_ = std::move(sink); }

 private:
  // Where one sub-basin's year runs: the driver's own session, engine and observer for a
  // year of one sub-basin after the other; a session and engine of its own side by side.
  struct Lane {
    Session* session = nullptr;
    std::unique_ptr<Session> own;
    DayEngine* engine = nullptr;
    std::unique_ptr<DayEngine> ownEngine;
    ProgressObserver* observer = nullptr;
    YearFiles files;
    OutputFile mark;
  };

  // One sub-basin's year; nextYear selects the next-year form (carry-over, files appended).
  void SimulateSubBasinYear(int k, bool nextYear, Lane& lane);
  // The daily loop of sub-basin k's year.
  void SimulateYearDays(int k, Lane& lane, const SubBasinState* from);
  void RunSubBasins(bool nextYear);
  std::vector<int> OwnSubBasins() const;
  void ExchangeYear(const std::vector<int>& mine);
  int LanesFor(int subBasins) const;
  void RunLanes(bool nextYear, int lanes, const std::vector<int>& subBasins);
  void Publish(int k, const DisplayedYear& year, bool finished);
  void ReadInputs(int k, bool nextYear, Lane& lane);
  void LoadParametersForSubBasin(Lane& lane);
  void ReadMeteorologicalBlock(int k, Lane& lane);
  void EndBasinYear();
  void SetInitialState(int k, bool nextYear, Lane& lane);
  void RestoreCells(int k, Lane& lane);
  void CheckRun();
  void BeginYearStates();
  void CaptureDue(int k, Lane& lane);
  RunState& PendingState(const Date& date, int day);
  void FinishYearStates();
  void CutBackFiles(const RunState& state, bool cut);
  void RestoreSubBasin(int k, Lane& lane, const SubBasinState& from);
  TextReader OpenMeteorologicalFile(int k, Lane& lane);

  // Where each sub-basin's meteorological file holds its next year, so a year's reading
  // does not pass over every earlier year again.
  struct MetResume {
    std::string fsPath;
    TextCursor at;
  };

  Session& session_;
  ProgressObserver& observer_;
  DayEngine& engine_;
  Lane main_;
  std::vector<Lane> lanes_;  // side by side
  int threads_ = 1;
  bool alwaysSideBySide_ = false;
  EngineFactory makeEngine_;
  int lastLanes_ = 1;
  std::vector<SubBasinCheck> sizes_;  // of the run's check: what a sub-basin's year costs
  std::mutex publish_;
  RankGroup* group_ = nullptr;
  CellMapSink mapSink_;
  std::map<std::size_t, DisplayedYear> views_;  // spread over ranks: each own sub-basin's displayed year
  BasinAggregation aggregation_;
  std::vector<MetResume> metResume_;
  int yearsToCheck_ = 0;
  std::shared_ptr<const WorkspaceInputs> inputs_;
  std::optional<ParameterSet> fixedParameters_;
  bool noFiles_ = false;
  CarryOver carryOver_ = CarryOver::Mean;
  // Saved states: the dates asked for, the run's part of this year's states (taken at the
  // year's start), the states being gathered (by date), those handed over.
  std::vector<Date> saveDates_;
  StateSink stateSink_;
  std::optional<RunState> yearStart_;
  std::vector<std::pair<Date, RunState>> pending_;
  std::vector<Date> saved_;
  const RunState* resume_ = nullptr;  // while the state's year is resumed
  std::size_t reuseAtMost_ = 0;
  bool inputsKept_ = false;
  int yearOfFirst_ = 0;  // the calendar year sub-basin 1 simulates in the current step
};

// Refuses a sub-basin without any inside cell (its mean elevation and every cell mean
// would be a mean over nothing).
void RequireInsideCells(const Session& session, int k, long insideCells);
// Refuses a sub-basin whose land-use grid has no code below 150 (no area, so no depth).
void RequireArea(const Session& session, int k);

}  // namespace tarnwell
