#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace marlowin::testing {

struct SeenMessage {
  std::u16string caption, text;
  bool errorIcon = false, onlyOk = false, onTop = false, blocksProgram = false, ownerless = false;
  std::u16string details = {};  // behind "Show Details..." where the box has them
};

// A person answering the real windows the code under test opens on this thread: each folder
// browser picks the next of `choices` (none left: cancel), each message box is read and closed.
class ScriptedUser {
 public:
  ScriptedUser();
  ~ScriptedUser();

  std::deque<std::u16string> choices;
  std::vector<std::u16string> captions, selections;  // of each browser, as it opened
  std::vector<SeenMessage> messages;

 private:
  struct Platform;
  std::unique_ptr<Platform> platform_;
  // A window nobody answers must fail the test, not hang the build.
  std::jthread watchdog_{[](std::stop_token stop) {
    std::mutex mutex;
    std::unique_lock lock(mutex);
    if (!std::condition_variable_any().wait_for(lock, stop, std::chrono::seconds(120),
                                                [&] { return stop.stop_requested(); })) {
      std::fputs("watchdog: the test hung on a window\n", stderr);
      std::_Exit(99);
    }
  }};
};

}  // namespace marlowin::testing
