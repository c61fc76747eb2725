#pragma once

// Work for the progress window: a pass of 60 clips, 12 done, copying v02.mp4 at 100 MB/s in
// steps of 20 ms, until it is told to stop or `length` has passed.
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "collector/report/Progress.h"

namespace marlowin::testing {

struct FakePass {
  using Clock = std::chrono::steady_clock;
  Clock::duration length = std::chrono::seconds(60);
  Clock::duration dropping{};  // how long dropping the copy under way takes, once told to stop
  std::u16string clip = u"/shoot/ab_cd_ef/MP4 HIGH RES/v02.mp4";
  std::thread::id thread;
  std::atomic<Clock::rep> stopSeen{0};  // since the clock's epoch; 0: never

  Clock::time_point StopSeen() const { return Clock::time_point(Clock::duration(stopSeen.load())); }

  void operator()(report::PassObserver& observer) {
    using namespace std::chrono_literals;
    thread = std::this_thread::get_id();
    const Clock::time_point start = Clock::now();
    report::PassProgress progress;
    progress.stage = report::PassProgress::Stage::kCopying;
    progress.clipsDone = 12;
    progress.clipsTotal = 60;
    progress.bytesToCopy = 3400ull * 1000 * 1000;
    progress.currentClip = clip;
    while (Clock::now() - start < length) {
      progress.bytesCopied = 1200ull * 1000 * 1000 + 2ull * 1000 * 1000 * ((Clock::now() - start) / 20ms);
      observer.OnProgress(progress);
      if (observer.StopRequested()) {
        stopSeen = Clock::now().time_since_epoch().count();
        std::this_thread::sleep_for(dropping);
        return;
      }
      std::this_thread::sleep_for(20ms);
    }
  }
};

}  // namespace marlowin::testing
