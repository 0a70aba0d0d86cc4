// The simulation driver: the run (year 1 of every sub-basin, then the whole basin) and the
// next-year step. Each year it makes every sub-basin's year start (the run's first, a later
// one, or a saved state's day), hands the sub-basins to the scheduler with their input
// source, stores their years for the whole basin, and forms the whole-basin year.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "inputs/TextFile.h"

#include "app/CellMaps.h"
#include "app/Check.h"
#include "app/InputSource.h"
#include "app/RankGroup.h"
#include "app/RunState.h"
#include "app/Scheduler.h"
#include "app/SubBasinYear.h"
#include "parameters/ParaDialog.h"
#include "results/Statistic.h"

namespace tarnwell {

struct Session;
class ProgressObserver;
class DayEngine;

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
  // routed and summed, and the observed outlet series taken from the inputs (UseInputs, or
  // else those the run's check reads).
  void WriteNoFiles() { noFiles_ = true; }
  // How many years the run's check of the inputs covers (0: the parameter file's number).
  void SetYearsToCheck(int years) { yearsToCheck_ = years; }
  // Keeps the inputs the run's check read, up to this many bytes, and applies them every year
  // instead of reading the files again (a run that nothing else touches: the command line's).
  void ReuseCheckedInputs(std::size_t atMost) { reuseAtMost_ = atMost; }

  // Makes day engines of a given number of threads.
  using EngineFactory = Scheduler::EngineFactory;
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
  void DistributeOver(RankGroup* group) {
    group_ = group;
    scheduler_.DistributeOver(group);
  }
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
  // How the outlet's groundwater series counts each cell's outflow (GroundwaterSum::Twice
  // unless set).
  void SetGroundwaterSum(GroundwaterSum g) { groundwaterSum_ = g; }
  using CellMapSink = std::function<void(int subBasin, const CellMaps& maps)>;
  void KeepCellMaps(CellMapSink sink) { mapSink_ = std::move(sink); }

 private:
  // The year of every sub-basin: the first of the run, or a later one, which starts from
  // what each sub-basin's year before left. Its years are then stored for the whole basin.
  void RunSubBasins(bool laterYear);
  void EndBasinYear();
  void CheckRun();
  void BeginYearStates();
  void CaptureDue(int k, Lane& lane);
  RunState& PendingState(const Date& date, int day);
  void FinishYearStates();
  void CutBackFiles(const RunState& state, bool cut);

  Session& session_;
  ProgressObserver& observer_;
  Scheduler scheduler_;
  FileInputs fileInputs_;
  CheckedInputs checkedInputs_;
  int lastLanes_ = 1;
  RankGroup* group_ = nullptr;
  CellMapSink mapSink_;
  BasinAggregation aggregation_;
  int yearsToCheck_ = 0;
  std::shared_ptr<const WorkspaceInputs> inputs_;
  std::optional<ParameterSet> fixedParameters_;
  bool noFiles_ = false;
  CarryOver carryOver_ = CarryOver::Mean;
  GroundwaterSum groundwaterSum_ = GroundwaterSum::Twice;
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
};

}  // namespace tarnwell
