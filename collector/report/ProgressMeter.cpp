#include "collector/report/ProgressMeter.h"

#include <algorithm>
#include <cmath>

#include "collector/report/TimeLeft.h"

namespace marlowin::report {
namespace {

using Stage = PassProgress::Stage;

// A figure's rate is known once its work has been under way this long.
constexpr std::chrono::milliseconds kShortestMeasure{1000};
// The rates alone and beside the other figure are measured when that other starts or stops, and
// the time left must follow the change soon.
constexpr std::chrono::milliseconds kShortestSplitMeasure{300};
// Until the first copies are read back, reading back is taken to go at twice the pace the
// copies were written (in the copies' own bytes): reading a disk is faster than a copy that
// reads a card and writes the disk. The measure replaces it as soon as there is one.
constexpr double kReadBackGuess = 2.0;
constexpr double kLongestLeft = 1e7;  // seconds: months are as good as unknown

bool Working(Stage stage) { return stage == Stage::kCopying || stage == Stage::kVerifying; }

std::uint64_t Gain(std::uint64_t before, std::uint64_t after) { return after > before ? after - before : 0; }

}  // namespace

ProgressMeter::ProgressMeter(Clock::duration window)
    : copyRate_(window, kShortestMeasure),
      readRate_(window, kShortestMeasure),
      copyAlone_(window, kShortestSplitMeasure),
      copyBeside_(window, kShortestSplitMeasure),
      readAlone_(window, kShortestSplitMeasure),
      readBeside_(window, kShortestSplitMeasure) {}

void ProgressMeter::Update(const PassProgress& progress, Clock::time_point now) {
  if (!Working(progress.stage) && progress.stage != Stage::kDone) {  // planning: nothing is measured yet
    for (RateWindow* rate : {&copyRate_, &readRate_, &copyAlone_, &copyBeside_, &readAlone_, &readBeside_}) rate->Clear();
    last_.reset();
    began_.reset();
    share_ = 0;
    progress_ = progress;
    return;
  }
  if (last_ && now >= *last_) {
    // The time since the snapshot before counts for the work that was under way in it.
    const Clock::duration busy = now - *last_;
    // Each also by whether the other ran beside it: they share the disk.
    const bool copying = progress_.stage == Stage::kCopying && progress_.bytesCopied < progress_.bytesToCopy;
    if (copying) {
      const std::uint64_t gain = Gain(progress_.bytesCopied, progress.bytesCopied);
      copyRate_.Add(busy, gain);
      (progress_.readingBack ? copyBeside_ : copyAlone_).Add(busy, gain);
    }
    if (progress_.readingBack) {
      const std::uint64_t gain = Gain(progress_.bytesReadBack, progress.bytesReadBack);
      readRate_.Add(busy, gain);
      (copying ? readBeside_ : readAlone_).Add(busy, gain);
    }
  }
  if (!last_ || now >= *last_) last_ = now;
  if (!began_) began_ = now;
  now_ = std::max(now_, now);
  progress_ = progress;

  double share = 1.0;
  if (progress_.stage != Stage::kDone) {
    share = ShareOfBytes();
    if (const std::optional<std::chrono::milliseconds> left = TimeLeft()) {
      const double elapsed = std::chrono::duration<double>(now_ - *began_).count();
      const double whole = elapsed + std::chrono::duration<double>(*left).count();
      if (whole > 0) share = elapsed / whole;
    }
    share = std::min(share, 0.999999);  // whole only when done
  }
  share_ = std::max(share_, share);
}

std::optional<double> ProgressMeter::BytesPerSecond() const {
  if (progress_.stage == Stage::kCopying) return CopyRate();
  if (progress_.stage == Stage::kVerifying) return ReadBackRate();
  return std::nullopt;
}

std::optional<double> ProgressMeter::ReadBackRateOrGuess() const {
  if (const std::optional<double> measured = ReadBackRate()) return measured;
  const std::optional<double> copying = CopyRate();
  if (!copying || progress_.bytesToCopy == 0) return std::nullopt;
  // The copy's rate is in the clips' bytes; a clip with two copies has twice its bytes to read back.
  return kReadBackGuess * *copying * static_cast<double>(progress_.bytesToReadBack) /
         static_cast<double>(progress_.bytesToCopy);
}

std::optional<std::chrono::milliseconds> ProgressMeter::TimeLeft() const {
  if (!Working(progress_.stage)) return std::nullopt;
  if (!CopyRate() && !ReadBackRate()) return std::nullopt;  // told with the speed, not before
  WorkRates rates{copyAlone_.BytesPerSecond(), copyBeside_.BytesPerSecond(), readAlone_.BytesPerSecond(),
                  readBeside_.BytesPerSecond()};
  if (!rates.readAlone && !rates.readBeside) rates.readAlone = ReadBackRateOrGuess();
  const std::optional<double> seconds = SecondsLeft(progress_, rates);
  if (!seconds || *seconds > kLongestLeft) return std::nullopt;
  return std::chrono::milliseconds(std::llround(*seconds * 1000));
}

double ProgressMeter::ShareOfBytes() const {
  double part = static_cast<double>(std::min(progress_.bytesCopied, progress_.bytesToCopy)) +
                static_cast<double>(std::min(progress_.bytesReadBack, progress_.bytesToReadBack));
  double whole = static_cast<double>(progress_.bytesToCopy) + static_cast<double>(progress_.bytesToReadBack);
  if (whole == 0) {  // clips without bytes: counted by clips
    part = static_cast<double>(std::min(progress_.clipsDone, progress_.clipsTotal));
    whole = static_cast<double>(progress_.clipsTotal);
  }
  return whole > 0 ? part / whole : 0.0;
}

int ProgressMeter::Percent() const {
  if (progress_.stage == Stage::kDone) return 100;
  return std::min(static_cast<int>(share_ * 100), 99);
}

ProgressMeter::BarValues ProgressMeter::Bar() const {
  constexpr std::uint32_t kRange = 1000000;
  if (progress_.stage == Stage::kPlanning) return {};
  if (progress_.stage == Stage::kDone) return {kRange, kRange};
  return {std::min(static_cast<std::uint32_t>(share_ * kRange), kRange - 1), kRange};
}

}  // namespace marlowin::report
