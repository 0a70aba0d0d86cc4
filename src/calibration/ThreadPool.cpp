#include "calibration/ThreadPool.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <stdexcept>

namespace tarnwell {

using Clock = std::chrono::steady_clock;

EvaluationOutcome RunEvaluation(const EvaluationFunction& evaluate, const std::vector<double>& values) {
  EvaluationOutcome outcome;
  const auto start = Clock::now();
  try {
    outcome.result = evaluate(values);
    outcome.ok = true;
  } catch (const std::exception& e) {
    outcome.error = e.what();
  } catch (...) {
    outcome.error = "an unknown exception";
  }
  outcome.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return outcome;
}

void FinishedJobs::Deliver(std::size_t index, EvaluationOutcome&& outcome) {
  if (error_) return;
  try {
    if (!finished_(index, std::move(outcome))) go_ = false;
  } catch (...) {
    error_ = std::current_exception();
    go_ = false;
  }
}

void FinishedJobs::RethrowIfFailed() const {
  if (error_) std::rethrow_exception(error_);
}

ThreadEvaluatorPool::ThreadEvaluatorPool(EvaluationFunction evaluate, int workers, ThreadStarter start)
    : evaluate_(std::move(evaluate)),
      workers_(std::max(1, workers), WorkerPool::Caller::Waits, "ask for fewer with --workers", std::move(start)) {}

ThreadEvaluatorPool::~ThreadEvaluatorPool() = default;

void ThreadEvaluatorPool::Submit(long tag, std::vector<double> values) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++busy_;
  }
  workers_.Post([this, tag, values = std::move(values)] {
    EvaluationOutcome outcome = RunEvaluation(evaluate_, values);
    std::lock_guard<std::mutex> lock(mutex_);
    done_.emplace_back(tag, std::move(outcome));
    workDone_.notify_all();
  });
}

std::vector<std::pair<long, EvaluationOutcome>> ThreadEvaluatorPool::TakeFinished(std::chrono::microseconds wait) {
  std::unique_lock<std::mutex> lock(mutex_);
  workDone_.wait_for(lock, wait, [this] { return !done_.empty(); });
  std::vector<std::pair<long, EvaluationOutcome>> out(std::make_move_iterator(done_.begin()),
                                                      std::make_move_iterator(done_.end()));
  done_.clear();
  busy_ -= static_cast<int>(out.size());
  return out;
}

int ThreadEvaluatorPool::Busy() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return busy_;
}

void ThreadEvaluatorPool::Evaluate(const std::vector<EvaluationJob>& jobs, const JobFinished& finished) {
  // At most one job per worker is queued, so a stop leaves the rest unstarted.
  std::size_t next = 0;
  int outstanding = 0;
  FinishedJobs ended(finished);
  auto fill = [&] {
    while (ended.StartMore() && next < jobs.size() && outstanding < Capacity()) {
      Submit(static_cast<long>(next), jobs[next].values);
      ++next;
      ++outstanding;
    }
  };
  fill();
  while (outstanding > 0) {
    for (auto& [index, outcome] : TakeFinished(std::chrono::seconds(1))) {
      --outstanding;
      ended.Deliver(static_cast<std::size_t>(index), std::move(outcome));
    }
    fill();
  }
  ended.RethrowIfFailed();
}

}  // namespace tarnwell
