#include "calibration/ThreadPool.h"

#include <chrono>
#include <exception>
#include <stdexcept>
#include <system_error>

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
    : evaluate_(std::move(evaluate)) {
  if (!start) start = [](std::function<void()> body) { return std::thread(std::move(body)); };
  const int count = std::max(1, workers);
  for (int i = 0; i < count; ++i) {
    try {
      threads_.push_back(start([this] { Work(); }));
    } catch (const std::exception& e) {
      Shutdown();
      throw std::runtime_error("cannot start worker thread " + std::to_string(i + 1) + " of " +
                               std::to_string(count) + ": " + e.what() +
                               " (ask for fewer with --workers)");
    }
  }
}

ThreadEvaluatorPool::~ThreadEvaluatorPool() { Shutdown(); }

void ThreadEvaluatorPool::Shutdown() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    shutdown_ = true;
  }
  workReady_.notify_all();
  for (std::thread& t : threads_)
    if (t.joinable()) t.join();
  threads_.clear();
}

void ThreadEvaluatorPool::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    workReady_.wait(lock, [this] { return shutdown_ || !queue_.empty(); });
    if (shutdown_) return;
    auto job = std::move(queue_.front());
    queue_.pop_front();
    ++running_;
    lock.unlock();
    EvaluationOutcome outcome = RunEvaluation(evaluate_, job.second);
    lock.lock();
    --running_;
    done_.emplace_back(job.first, std::move(outcome));
    workDone_.notify_all();
  }
}

void ThreadEvaluatorPool::Submit(long tag, std::vector<double> values) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.emplace_back(tag, std::move(values));
  }
  workReady_.notify_one();
}

std::vector<std::pair<long, EvaluationOutcome>> ThreadEvaluatorPool::TakeFinished(std::chrono::microseconds wait) {
  std::unique_lock<std::mutex> lock(mutex_);
  workDone_.wait_for(lock, wait, [this] { return !done_.empty(); });
  std::vector<std::pair<long, EvaluationOutcome>> out(std::make_move_iterator(done_.begin()),
                                                      std::make_move_iterator(done_.end()));
  done_.clear();
  return out;
}

int ThreadEvaluatorPool::Busy() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(queue_.size() + done_.size()) + running_;
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
