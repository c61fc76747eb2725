#pragma once

// What a person is told about a running pass: its speed and the time left, measured from the
// pass's snapshots against a clock the caller passes in, and the texts that show them.
//
// The pass has two figures: the clips' bytes copied, and the copies' bytes read back to prove
// them. Each has its own rate, measured over the time it was under way; the time left is the
// work left of both at those rates, as the pass's batches interleave them (TimeLeft.h). The share
// done is the share of the time: elapsed against elapsed and left.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "collector/report/Progress.h"
#include "collector/report/RateWindow.h"

namespace marlowin::report {

class ProgressMeter {
 public:
  using Clock = std::chrono::steady_clock;

  // The rates are measured over the last `window` of the time each figure was under way.
  explicit ProgressMeter(Clock::duration window = std::chrono::seconds(8));

  // Takes the pass's latest snapshot, as seen at `now`.
  void Update(const PassProgress& progress, Clock::time_point now);

  const PassProgress& Progress() const { return progress_; }

  // Bytes copied per second of copying, and read back per second of reading back; unknown until
  // each has been under way for a while.
  std::optional<double> CopyRate() const { return copyRate_.BytesPerSecond(); }
  std::optional<double> ReadBackRate() const { return readRate_.BytesPerSecond(); }
  // The rate of the figure the stage shows: copied while copying, read back while verifying.
  std::optional<double> BytesPerSecond() const;
  // The work left of both figures at their rates; unknown without a copy rate above zero (or a
  // read-back rate when only reading is left), and outside copying and verifying.
  std::optional<std::chrono::milliseconds> TimeLeft() const;
  // 0 to 100, of the time (of the bytes while the time left is unknown); never less than it
  // was, and 100 only when done.
  int Percent() const;

  // The values for a progress bar whose control holds no more than 32-bit numbers: the share
  // done, in millionths; {0, 0} while planning.
  struct BarValues {
    std::uint32_t done = 0;
    std::uint32_t total = 0;
  };
  BarValues Bar() const;

  // The texts. Clip names are quoted by QuotedName, so that each text stays on its line.
  std::u16string StageText() const;  // "Looking for clips", "Copying clips", "Verifying copies", "Done"
  // The first word of the stage, for a line with room for little: "Looking", "Copying",
  // "Verifying", "Done".
  std::u16string StageWord() const;
  // "harbour_dawn_wide/v02.mp4", the shot folder and the clip under way; without one, what the
  // pass is doing ("Listing the shot folders", "Putting the copies in place", "Reading the
  // copies back from the disk", "Finished"), never empty.
  std::u16string ClipText() const;
  // Both in one line: the stage while planning and when done, else the stage's word and the
  // clip ("Copying harbour_dawn_wide/v02.mp4", "Verifying harbour_dawn_wide/v02.mp4"), or the
  // stage and what it does ("Verifying copies: reading them back from the disk").
  std::u16string LineText() const;
  std::u16string ClipsText() const;     // "12 of 60 clips done"; "12 clips found" while planning
  // The stage's own figure: "1.2 GB of 3.4 GB copied", "2.1 GB of 6.8 GB read back"; "3.4 GB in
  // all" while planning.
  std::u16string BytesText() const;
  std::u16string SpeedText() const;     // "85 MB/s"; empty while unknown
  std::u16string TimeLeftText() const;  // "about 2 minutes left"; empty while unknown
  std::u16string PercentText() const;   // "37%"

 private:
  std::optional<double> ReadBackRateOrGuess() const;
  double ShareOfBytes() const;

  PassProgress progress_;
  RateWindow copyRate_;
  RateWindow readRate_;
  // The same, by whether the other figure was under way beside it, for the time left.
  RateWindow copyAlone_;
  RateWindow copyBeside_;
  RateWindow readAlone_;
  RateWindow readBeside_;
  std::optional<Clock::time_point> last_;   // of the snapshot before, while copying or verifying
  std::optional<Clock::time_point> began_;  // the first snapshot after planning
  Clock::time_point now_{};
  double share_ = 0;  // the share done shown last
};

// The text forms, for whoever needs them on their own.
std::u16string FormatSpeed(double bytesPerSecond);          // "85 MB/s"
std::u16string FormatTimeLeft(std::chrono::seconds left);   // "about 40 seconds left"
// "harbour_dawn_wide/v02.mp4" for ".../harbour_dawn_wide/MP4 HIGH RES/v02.mp4": the file name
// and the name of the folder two up ('/' or '\'), or the file name alone without one. Not quoted.
std::u16string ShotAndClipOf(std::u16string_view path);

}  // namespace marlowin::report
