// The one pool of worker threads of the program: the fused engine's row blocks, the
// sub-basins side by side, the calibration's evaluations and the benchmark all run on it.
// Under a memory or process limit (a cluster job, a container) a thread may not start: the
// threads that did are woken and joined, and the pool says so, naming how many were asked
// for and how many started.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tarnwell {

class WorkerPool {
 public:
  // How a worker thread is started; the default is a std::thread. Tests replace it to see a
  // thread that cannot start.
  using ThreadStarter = std::function<std::thread(std::function<void()>)>;
  // Whether the thread that calls Run is one of the pool's threads (its share 0), or every
  // thread is started and the owner only feeds them (jobs given with Post).
  enum class Caller { Works, Waits };

  // `threads` threads of work (at least 1). A thread that cannot start throws
  // std::runtime_error "cannot start N worker threads (K started): <reason>; <askFewer>".
  explicit WorkerPool(int threads, Caller caller = Caller::Works, std::string askFewer = "ask for fewer threads",
                      ThreadStarter start = {});
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  int Size() const { return size_; }

  // task(k) for every k in 0 .. Size() - 1, each on one thread; returns when all have
  // finished, rethrowing the exception of the lowest share that threw.
  void Run(const std::function<void(int)>& task);

  // Queues one job for the next free started thread (none with Caller::Works and Size() 1:
  // then it runs at once on the caller). The job must not throw.
  void Post(std::function<void()> job);

 private:
  void Work();
  void Stop();

  int size_;
  bool callerWorks_;
  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> queue_;
  bool stop_ = false;
};

// Every hardware thread of this machine (1 when it cannot tell).
int HardwareThreads();

}  // namespace tarnwell
