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

#include "collector/report/Progress.h"
#include "platform/Text.h"

namespace marlowin::report {

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

  // The values for a progress bar whose control holds no more than 32-bit numbers: the bytes
  // (of the clips when the clips hold no bytes) scaled by ScaledForBar; {0, 0} while planning.
  struct BarValues {
    std::uint32_t done = 0;
    std::uint32_t total = 0;
  };
  BarValues Bar() const;

  // The texts. Clip names are quoted by QuotedName, so that each text stays on its line.
  // ClipText: "harbour_dawn_wide/v02.mp4", the shot folder and the clip under way; without one,
  // what the pass is doing ("Listing the shot folders", "Reading the copies back from the
  // disk", "Putting the copies in place", "Finished"), never empty.
  std::u16string ClipText() const;
  std::u16string ClipsText() const;     // "12 of 60 clips"
  std::u16string BytesText() const;     // "1.2 GB of 3.4 GB"
  std::u16string SpeedText() const;     // "85 MB/s"; empty while unknown
  std::u16string TimeLeftText() const;  // "about 2 minutes left"; empty while unknown
  std::u16string PercentText() const;   // "37%"
  std::u16string StageText() const;     // "Looking for clips", "Copying clips", "Verifying copies", "Done"
  // Both in one line, for a display with room for one: the stage while planning and when done,
  // ClipText while copying, "Verifying harbour_dawn_wide/v02.mp4" (or "Verifying copies:
  // reading them back from the disk") while the copies are read back.
  std::u16string LineText() const;

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
std::u16string FormatSpeed(double bytesPerSecond);          // "85 MB/s"
std::u16string FormatTimeLeft(std::chrono::seconds left);   // "about 40 seconds left"
// "harbour_dawn_wide/v02.mp4" for ".../harbour_dawn_wide/MP4 HIGH RES/v02.mp4": the file name
// and the name of the folder two up ('/' or '\'), or the file name alone without one. Not quoted.
std::u16string ShotAndClipOf(std::u16string_view path);
// `done` of `total` scaled so that the total is at most `range`, the ratio kept (rounded
// down), for controls that hold 32-bit numbers; unchanged when the total fits already.
ProgressMeter::BarValues ScaledForBar(std::uint64_t done, std::uint64_t total, std::uint32_t range = 1000000);

}  // namespace marlowin::report
