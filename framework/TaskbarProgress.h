#pragma once

#include <cstdint>

namespace marlowin::framework {

// What the program's taskbar button (Windows) or its entry in the desktop's launcher (Linux)
// shows of the work under way, as Windows' taskbar knows it.
struct TaskbarProgress {
  enum class State {
    kNone,    // no work shown
    kBusy,    // work whose size is not known yet
    kNormal,  // done of total
    kPaused,  // done of total, the work stopping or held
    kError,   // done of total, the work failed
  };
  State state = State::kNone;
  std::uint32_t done = 0;
  std::uint32_t total = 0;
};

}  // namespace marlowin::framework
