// Evaluations on worker threads of this process: each evaluation runs on one thread, up to
// `workers` at once. The threads live as long as the pool, so an evaluation function may
// keep per-thread scratch space between calls.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "calibration/Evaluation.h"

namespace tarnwell {

class ThreadEvaluatorPool : public EvaluatorPool {
 public:
  // How a worker thread is started; the default is a std::thread. Tests replace it to see a
  // thread that cannot start.
  using ThreadStarter = std::function<std::thread(std::function<void()>)>;

  // Starts the workers; one that cannot start stops those already started and throws
  // std::runtime_error saying so.
  ThreadEvaluatorPool(EvaluationFunction evaluate, int workers, ThreadStarter start = {});
  ~ThreadEvaluatorPool() override;
  ThreadEvaluatorPool(const ThreadEvaluatorPool&) = delete;
  ThreadEvaluatorPool& operator=(const ThreadEvaluatorPool&) = delete;

  int Capacity() const override { return static_cast<int>(threads_.size()); }
  void Evaluate(const std::vector<EvaluationJob>& jobs, const JobFinished& finished) override;

  // For pools that feed this one job by job (the MPI ranks): queue one evaluation, and take
  // the outcomes that have ended (waiting up to `wait` for the first).
  void Submit(long tag, std::vector<double> values);
  std::vector<std::pair<long, EvaluationOutcome>> TakeFinished(std::chrono::microseconds wait);
  int Busy() const;  // submitted and not yet taken

 private:
  void Work();
  void Shutdown();

  EvaluationFunction evaluate_;
  std::vector<std::thread> threads_;
  mutable std::mutex mutex_;
  std::condition_variable workReady_, workDone_;
  std::deque<std::pair<long, std::vector<double>>> queue_;
  std::deque<std::pair<long, EvaluationOutcome>> done_;
  int running_ = 0;
  bool shutdown_ = false;
};

}  // namespace tarnwell
