// The one worker pool: every share of a task runs once, each on its own thread; a share that
// throws is rethrown after all have ended; jobs given one by one all run; a thread that
// cannot start leaves no thread behind and is told with how many were asked for and started.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "app/WorkerPool.h"

namespace tarnwell {
namespace {

TEST(WorkerPool, EveryShareRunsOnceOnAThreadOfItsOwn) {
  for (WorkerPool::Caller caller : {WorkerPool::Caller::Works, WorkerPool::Caller::Waits}) {
    WorkerPool pool(4, caller);
    for (int round = 0; round < 50; ++round) {
      std::mutex m;
      std::multiset<int> shares;
      std::set<std::thread::id> threads;
      std::atomic<int> waiting{0};
      pool.Run([&](int k) {
        // Every share waits for all the others: only distinct threads get past.
        ++waiting;
        while (waiting < 4) std::this_thread::yield();
        std::lock_guard<std::mutex> hold(m);
        shares.insert(k);
        threads.insert(std::this_thread::get_id());
      });
      EXPECT_EQ(shares, (std::multiset<int>{0, 1, 2, 3}));
      EXPECT_EQ(threads.size(), 4u);
      EXPECT_EQ(threads.count(std::this_thread::get_id()), caller == WorkerPool::Caller::Works ? 1u : 0u);
    }
  }
}

TEST(WorkerPool, AShareThatThrowsIsRethrownAfterEveryShareHasEnded) {
  WorkerPool pool(3);
  std::atomic<int> ended{0};
  try {
    pool.Run([&](int k) {
      if (k > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ++ended;
        throw std::runtime_error("share " + std::to_string(k));
      }
      ++ended;
    });
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "share 1");  // the lowest share that threw speaks
  }
  EXPECT_EQ(ended, 3);
  // The pool goes on working.
  std::atomic<int> again{0};
  pool.Run([&](int) { ++again; });
  EXPECT_EQ(again, 3);
}

TEST(WorkerPool, PostedJobsAllRun) {
  std::atomic<int> done{0};
  {
    WorkerPool pool(2, WorkerPool::Caller::Waits);
    for (int i = 0; i < 100; ++i) pool.Post([&] { ++done; });
    while (done < 100) std::this_thread::yield();
  }
  // One thread with the caller working: the job runs at once.
  WorkerPool alone(1);
  bool ran = false;
  alone.Post([&] { ran = true; });
  EXPECT_TRUE(ran);
}

TEST(WorkerPool, ThreadsThatCannotStartAreJoinedAndTold) {
  std::atomic<int> running{0};
  int calls = 0;
  auto starter = [&](std::function<void()> body) {
    if (++calls == 3) throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    return std::thread([&running, body = std::move(body)] {
      ++running;
      body();
      --running;
    });
  };
  try {
    WorkerPool pool(5, WorkerPool::Caller::Works, "ask for fewer threads", starter);
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    const std::string m = e.what();
    // The caller and two started threads: three of five.
    EXPECT_EQ(m.rfind("cannot start 5 worker threads (3 started): ", 0), 0u) << m;
    EXPECT_NE(m.find("; ask for fewer threads"), std::string::npos) << m;
  }
  EXPECT_EQ(running, 0);  // the two that started were joined before the error was thrown
}

}  // namespace
}  // namespace tarnwell
