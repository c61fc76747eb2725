#pragma once

// What a person is told about a running pass: the speed and the time left, measured from the
// pass's snapshots against a clock the caller passes in, and the texts that show them.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

#include "collector/Progress.h"

namespace marlowin {

class ProgressMeter {
 public:
  using Clock = std::chrono::steady_clock;

  // The speed is measured over the last `window` of the copy.
  explicit ProgressMeter(Clock::duration window = std::chrono::seconds(8));

  // Takes the pass's latest snapshot, as seen at `now` (which must not go backwards).
  void Update(const PassProgress& progress, Clock::time_point now);

  const PassProgress& Progress() const { return progress_; }

  // Bytes per second over the window; unknown until the copy has run for a second.
  std::optional<double> BytesPerSecond() const;
  // The bytes left at the current speed; unknown without a speed above zero, and outside
  // the copying stage.
  std::optional<std::chrono::seconds> TimeLeft() const;
  // 0 to 100, of the bytes (of the clips when the clips hold no bytes); 100 only when done.
  int Percent() const;

  // The texts.
  std::u16string ClipText() const;      // "v02.mp4": the file name of the clip under way
  std::u16string ClipsText() const;     // "12 of 60 clips"
  std::u16string BytesText() const;     // "1.2 GB of 3.4 GB"
  std::u16string SpeedText() const;     // "85 MB/s"; empty while unknown
  std::u16string TimeLeftText() const;  // "about 2 minutes left"; empty while unknown
  std::u16string PercentText() const;   // "37%"
  std::u16string StageText() const;     // "Looking for clips", "Copying clips", "Done"

 private:
  struct Sample {
    Clock::time_point when;
    std::uint64_t bytes;
  };
  Clock::duration window_;
  PassProgress progress_;
  std::deque<Sample> samples_;  // of the copying stage, oldest first, spanning the window
};

// The text forms, for whoever needs them on their own.
std::u16string FormatBytes(std::uint64_t bytes);            // "0 B", "950 B", "1.2 kB", "85 MB", "3.4 GB"
std::u16string FormatSpeed(double bytesPerSecond);          // "85 MB/s"
std::u16string FormatTimeLeft(std::chrono::seconds left);   // "about 40 seconds left"
std::u16string FileNameOf(std::u16string_view path);        // after the last '/' or '\'

}  // namespace marlowin
