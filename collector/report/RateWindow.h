#pragma once

// A rate measured over the most recent stretch of the time its work was under way. Time when
// the work waited does not count: a copy that pauses while copies are read back keeps its own
// pace, and so does a read-back that runs only now and then.
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>

namespace marlowin::report {

class RateWindow {
 public:
  using Duration = std::chrono::steady_clock::duration;

  // Measures over the last `window` of busy time; unknown before `shortest` of it.
  RateWindow(Duration window, Duration shortest) : window_(window), shortest_(shortest) {}

  // `busy` of time under way, in which `bytes` were done.
  void Add(Duration busy, std::uint64_t bytes);
  void Clear();

  std::optional<double> BytesPerSecond() const;
  Duration Busy() const { return busy_; }

 private:
  struct Piece {
    Duration busy{};
    std::uint64_t bytes = 0;
  };
  Duration window_;
  Duration shortest_;
  std::deque<Piece> pieces_;  // oldest first
  Duration busy_{};           // of the pieces kept
  std::uint64_t bytes_ = 0;
};

}  // namespace marlowin::report
