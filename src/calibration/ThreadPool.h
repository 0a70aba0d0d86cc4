// Evaluations on worker threads of this process: each evaluation runs on one thread, up to
// `workers` at once. The threads live as long as the pool, so an evaluation function may
// keep per-thread scratch space between calls.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>
#include <vector>

#include "app/WorkerPool.h"
#include "calibration/Evaluation.h"

namespace tarnwell {

class ThreadEvaluatorPool : public EvaluatorPool {
 public:
  using ThreadStarter = WorkerPool::ThreadStarter;

  // Starts the workers; one that cannot start stops those already started and throws
  // std::runtime_error saying so.
  ThreadEvaluatorPool(EvaluationFunction evaluate, int workers, ThreadStarter start = {});
  ~ThreadEvaluatorPool() override;
  ThreadEvaluatorPool(const ThreadEvaluatorPool&) = delete;
  ThreadEvaluatorPool& operator=(const ThreadEvaluatorPool&) = delete;

  int Capacity() const override { return workers_.Size(); }
  void Evaluate(const std::vector<EvaluationJob>& jobs, const JobFinished& finished) override;

  // For pools that feed this one job by job (the MPI ranks): queue one evaluation, and take
  // the outcomes that have ended (waiting up to `wait` for the first).
  void Submit(long tag, std::vector<double> values);
  std::vector<std::pair<long, EvaluationOutcome>> TakeFinished(std::chrono::microseconds wait);
  int Busy() const;  // submitted and not yet taken

 private:
  EvaluationFunction evaluate_;
  mutable std::mutex mutex_;
  std::condition_variable workDone_;
  std::deque<std::pair<long, EvaluationOutcome>> done_;
  int busy_ = 0;
  WorkerPool workers_;  // last: its threads are joined before the members they use go
};

}  // namespace tarnwell
