#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace marlowin::testing {

// Ends the test program when it is still alive after the given time: a window that nobody
// answers must fail the test, not hang the build.
class Watchdog {
 public:
  explicit Watchdog(std::chrono::seconds limit)
      : thread_([this, limit] {
          std::unique_lock lock(mutex_);
          if (!stop_.wait_for(lock, limit, [this] { return stopped_; })) {
            std::fputs("watchdog: the test hung on a window; ending it\n", stderr);
            std::fflush(stderr);
            std::_Exit(99);
          }
        }) {}
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;
  ~Watchdog() {
    {
      std::lock_guard lock(mutex_);
      stopped_ = true;
    }
    stop_.notify_one();
    thread_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable stop_;
  bool stopped_ = false;
  std::thread thread_;
};

}  // namespace marlowin::testing
