#include "app/WorkerPool.h"

#include <exception>
#include <stdexcept>
#include <utility>

namespace tarnwell {

WorkerPool::WorkerPool(int threads, Caller caller, std::string askFewer, ThreadStarter start)
    : size_(threads < 1 ? 1 : threads), callerWorks_(caller == Caller::Works) {
  if (!start) start = [](std::function<void()> body) { return std::thread(std::move(body)); };
  const int own = callerWorks_ ? 1 : 0;
  for (int k = own; k < size_; ++k) {
    try {
      threads_.push_back(start([this] { Work(); }));
    } catch (const std::exception& e) {
      const std::size_t started = threads_.size() + static_cast<std::size_t>(own);
      Stop();
      throw std::runtime_error("cannot start " + std::to_string(size_) + " worker threads (" + std::to_string(started) +
                               " started): " + e.what() + "; " + askFewer);
    }
  }
}

WorkerPool::~WorkerPool() { Stop(); }

void WorkerPool::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  for (std::thread& t : threads_)
    if (t.joinable()) t.join();
  threads_.clear();
}

void WorkerPool::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
    if (stop_) return;
    std::function<void()> job = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    job();
    lock.lock();
  }
}

void WorkerPool::Post(std::function<void()> job) {
  if (threads_.empty()) {
    job();
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(job));
  }
  wake_.notify_one();
}

void WorkerPool::Run(const std::function<void(int)>& task) {
  if (size_ == 1 && callerWorks_) {
    task(0);
    return;
  }
  std::mutex doneMutex;
  std::condition_variable done;
  int pending = 0;
  std::vector<std::exception_ptr> failures(static_cast<std::size_t>(size_));
  auto share = [&](int k) {
    try {
      task(k);
    } catch (...) {
      failures[static_cast<std::size_t>(k)] = std::current_exception();
    }
  };
  const int first = callerWorks_ ? 1 : 0;
  pending = size_ - first;  // before any share is queued, so none can end before it is counted
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (int k = first; k < size_; ++k)
      queue_.push_back([&, k] {
        share(k);
        std::lock_guard<std::mutex> hold(doneMutex);
        if (--pending == 0) done.notify_one();
      });
  }
  wake_.notify_all();
  if (callerWorks_) share(0);
  {
    std::unique_lock<std::mutex> hold(doneMutex);
    done.wait(hold, [&] { return pending == 0; });
  }
  for (const std::exception_ptr& e : failures)
    if (e) std::rethrow_exception(e);
}

int HardwareThreads() {
  const unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : static_cast<int>(n);
}

}  // namespace tarnwell
