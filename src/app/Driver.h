// The simulation driver: the run (year 1 of every sub-basin, then the whole basin) and
// the next-year step, with the sub-basin year in its two forms and the daily loop.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "inputs/TextFile.h"

#include "app/Check.h"
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
  void Button3Click();
  // The next-year step.
  StepResult Button7Click();

  // One sub-basin's year; nextYear selects the next-year form (carry-over, files appended).
  void SimulateSubBasinYear(int k, bool nextYear);
  // The daily loop of sub-basin k's year.
  void SimulateYearDays(int k);

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

 private:
  void ReadInputs(int k, bool nextYear);
  void LoadParametersForSubBasin();
  void ReadMeteorologicalBlock(int k);
  void EndBasinYear();
  void SetInitialState(int k, bool nextYear);
  TextReader OpenMeteorologicalFile(int k);

  // Where each sub-basin's meteorological file holds its next year, so a year's reading
  // does not pass over every earlier year again.
  struct MetResume {
    std::string fsPath;
    TextCursor at;
  };

  Session& session_;
  ProgressObserver& observer_;
  DayEngine& engine_;
  YearFiles files_;
  OutputFile mark_;
  BasinAggregation aggregation_;
  std::vector<MetResume> metResume_;
  int yearsToCheck_ = 0;
  std::shared_ptr<const WorkspaceInputs> inputs_;
  std::optional<ParameterSet> fixedParameters_;
  bool noFiles_ = false;
  int yearOfFirst_ = 0;  // the calendar year sub-basin 1 simulates in the current step
};

// Refuses a sub-basin without any inside cell (its mean elevation and every cell mean
// would be a mean over nothing).
void RequireInsideCells(const Session& session, int k, long insideCells);
// Refuses a sub-basin whose land-use grid has no code below 150 (no area, so no depth).
void RequireArea(const Session& session, int k);

}  // namespace tarnwell
