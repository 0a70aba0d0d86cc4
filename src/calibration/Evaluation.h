// What the runner evaluates and how: an evaluation function (a parameter set's values in,
// its loss and metrics out; several calls at once from different threads), and pools that
// run a batch of evaluations, on this process's threads or spread over MPI ranks.
#pragma once

#include <exception>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarnwell {

struct EvaluationResult {
  double loss = 0;              // what the search minimises; not finite: could not be scored
  std::vector<double> metrics;  // further measures recorded beside it (KGE, NSE, ...)
};

// Must be safe to call from several threads at once.
using EvaluationFunction = std::function<EvaluationResult(const std::vector<double>& values)>;

struct EvaluationJob {
  long number = 0;  // 1-based evaluation number
  std::vector<double> values;
};

struct EvaluationOutcome {
  bool ok = false;
  EvaluationResult result;
  double seconds = 0;  // wall-clock time of the evaluation
  std::string error;   // the evaluation's message when it failed
};

// Calls evaluate on values, timing it; an exception becomes a failed outcome with its message.
EvaluationOutcome RunEvaluation(const EvaluationFunction& evaluate, const std::vector<double>& values);

// Called as each job of a batch ends, on the thread that called Evaluate: the job's index in
// the batch and its outcome. Returning false starts no further job of the batch.
using JobFinished = std::function<bool(std::size_t index, EvaluationOutcome&& outcome)>;

// What a pool does with each job that ends: hands it to `finished` unless an earlier call
// threw, keeping the first exception, and remembers whether to start further jobs.
class FinishedJobs {
 public:
  explicit FinishedJobs(const JobFinished& finished) : finished_(finished) {}
  void Deliver(std::size_t index, EvaluationOutcome&& outcome);
  bool StartMore() const { return go_; }
  // Once every job started has ended: rethrows what `finished` threw.
  void RethrowIfFailed() const;

 private:
  const JobFinished& finished_;
  bool go_ = true;
  std::exception_ptr error_;
};

class EvaluatorPool {
 public:
  virtual ~EvaluatorPool() = default;
  // How many evaluations run at once.
  virtual int Capacity() const = 0;
  // Runs the jobs, starting them in order, and returns when every job started has ended.
  // Jobs end in any order. Problems of the pool itself (a worker that cannot start, a
  // process that is lost) are thrown; so is whatever `finished` throws, once the jobs
  // already running have ended.
  virtual void Evaluate(const std::vector<EvaluationJob>& jobs, const JobFinished& finished) = 0;
};

// An evaluation failed: ends the calibration with its number, its values and its message.
class EvaluationFailed : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace tarnwell
