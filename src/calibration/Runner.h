// The calibration loop: the search proposes a batch, the pool evaluates it, each result is
// recorded in the trace in evaluation-number order as soon as every earlier one is, and the
// search is told the batch's losses. A resumed calibration replays the search from its
// seed, feeding it the trace's results and checking that each point it proposes is the one
// recorded, then carries on where the trace ends: it ends with exactly the result of an
// uninterrupted calibration.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "calibration/Evaluation.h"
#include "calibration/Search.h"
#include "calibration/Trace.h"

namespace tarnwell {

struct CalibrationRun {
  std::vector<SearchParameter> parameters;
  SearchSettings search;
  // A design made beforehand (Sobol's), evaluated in its order `search.batch` at a time
  // instead of a search; empty: the search of `search.method`.
  std::vector<std::vector<double>> design;
  // Values to start from (the parameter file's), clamped into the ranges; DDS and SCE-UA
  // evaluate it first. None: the searches start at random.
  std::optional<std::vector<double>> start;
  std::string lossName = "loss";
  std::vector<std::string> metricNames;
  std::string tracePath;  // on disk
  std::string traceName;  // in messages
  // Continue from the trace; without it an existing trace with evaluations is refused
  // rather than overwritten, unless replaceTrace.
  bool resume = false;
  bool replaceTrace = false;
  // Settings of the model's runs that the trace's losses follow from ("key", "value").
  std::vector<std::pair<std::string, std::string>> modelSettings;

  TraceLayout Layout() const;
};

// Told of the progress, on the thread that runs the calibration.
class CalibrationObserver {
 public:
  virtual ~CalibrationObserver() = default;
  // `count` evaluations were taken from the trace of an earlier run.
  virtual void Resumed(long count) { (void)count; }
  // A new evaluation is recorded; best is the best so far; total the budget.
  virtual void Recorded(const TraceRecord& record, const TraceRecord& best, long total) {
    (void)record, (void)best, (void)total;
  }
};

struct CalibrationResult {
  std::vector<TraceRecord> records;  // every evaluation, in order
  std::size_t best = 0;              // index of the lowest loss (the first, on a tie)
  long resumed = 0;                  // how many came from the trace
  const TraceRecord& Best() const { return records.at(best); }
};

CalibrationResult RunCalibration(const CalibrationRun& run, EvaluatorPool& pool,
                                 CalibrationObserver* observer = nullptr);

}  // namespace tarnwell
