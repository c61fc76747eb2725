#include "collector/report/ProgressMeter.h"

#include <algorithm>
#include <cmath>

#include "collector/report/QuotedName.h"
#include "platform/Text.h"

namespace marlowin::report {
namespace {

using std::chrono::duration;
using std::chrono::milliseconds;
using std::chrono::seconds;

// Samples closer together than this are merged, so that a pass reporting thousands of small
// clips a second keeps the window to a few dozen samples.
constexpr milliseconds kSampleSpacing{250};
constexpr seconds kShortestMeasure{1};

using platform::CountedText;
using platform::DecimalText;
using platform::FormatBytes;

}  // namespace

std::u16string FormatSpeed(double bytesPerSecond) {
  const double rounded = std::max(0.0, std::round(bytesPerSecond));
  return FormatBytes(static_cast<std::uint64_t>(rounded)) + u"/s";
}

std::u16string FormatTimeLeft(seconds left) {
  const long long s = std::max<long long>(left.count(), 0);
  if (s <= 55) {  // in steps of 5 seconds, rounded up
    const long long fives = std::max<long long>((s + 4) / 5, 1) * 5;
    return u"about " + DecimalText(static_cast<std::uint64_t>(fives)) + u" seconds left";
  }
  const long long minutes = (s + 30) / 60;
  if (minutes < 60) {
    return u"about " + CountedText(static_cast<std::uint64_t>(minutes), u"minute", u"minutes") + u" left";
  }
  if (minutes >= 600) {  // from ten hours on, whole hours
    return u"about " + CountedText(static_cast<std::uint64_t>((minutes + 30) / 60), u"hour", u"hours") + u" left";
  }
  // Between one and ten hours: the minutes to the nearest 5.
  const long long rounded = (minutes + 2) / 5 * 5;
  std::u16string text = u"about " + CountedText(static_cast<std::uint64_t>(rounded / 60), u"hour", u"hours");
  if (rounded % 60 > 0) text += u' ' + CountedText(static_cast<std::uint64_t>(rounded % 60), u"minute", u"minutes");
  return text + u" left";
}

std::u16string ShotAndClipOf(std::u16string_view path) {
  // The clip lies in <shot>/MP4 HIGH RES/: its name and its shot's say which it is.
  const std::size_t nameStart = path.find_last_of(u"/\\") + 1;  // 0 when there is no separator
  const std::u16string_view name = path.substr(nameStart);
  if (nameStart < 2) return std::u16string(name);
  const std::size_t clipFolderStart = path.find_last_of(u"/\\", nameStart - 2) + 1;
  if (clipFolderStart < 2) return std::u16string(name);
  const std::size_t shotStart = path.find_last_of(u"/\\", clipFolderStart - 2) + 1;
  const std::u16string_view shot = path.substr(shotStart, clipFolderStart - 1 - shotStart);
  if (shot.empty()) return std::u16string(name);
  return std::u16string(shot) + u'/' + std::u16string(name);
}

ProgressMeter::BarValues ScaledForBar(std::uint64_t done, std::uint64_t total, std::uint32_t range) {
  done = std::min(done, total);
  if (total <= range) return {static_cast<std::uint32_t>(done), static_cast<std::uint32_t>(total)};
  if (done == total) return {range, range};
  // Below the whole until it is whole, so that a bar is not full before the end.
  const double share = static_cast<double>(done) / static_cast<double>(total);
  const auto scaled = static_cast<std::uint32_t>(share * range);
  return {std::min(scaled, range - 1), range};
}

ProgressMeter::ProgressMeter(Clock::duration window) : window_(window) {}

void ProgressMeter::Update(const PassProgress& progress, Clock::time_point now) {
  progress_ = progress;
  if (progress.stage != PassProgress::Stage::kCopying ||
      (!samples_.empty() && (progress.bytesDone < samples_.back().bytes || now < samples_.back().when))) {
    samples_.clear();
    if (progress.stage != PassProgress::Stage::kCopying) return;
  }
  const Sample sample{now, progress.bytesDone};
  if (samples_.size() >= 2 && now - samples_[samples_.size() - 2].when < kSampleSpacing) {
    samples_.back() = sample;
  } else {
    samples_.push_back(sample);
  }
  // Keep one sample at or before the window's start, so that the measure spans the window.
  while (samples_.size() > 2 && samples_[1].when <= now - window_) samples_.pop_front();
}

std::optional<double> ProgressMeter::BytesPerSecond() const {
  if (samples_.size() < 2) return std::nullopt;
  const auto span = samples_.back().when - samples_.front().when;
  if (span < kShortestMeasure) return std::nullopt;
  const double bytes = static_cast<double>(samples_.back().bytes - samples_.front().bytes);
  return bytes / duration<double>(span).count();
}

std::optional<seconds> ProgressMeter::TimeLeft() const {
  if (progress_.stage != PassProgress::Stage::kCopying || progress_.bytesDone >= progress_.bytesTotal)
    return std::nullopt;
  const std::optional<double> speed = BytesPerSecond();
  if (!speed || *speed <= 0) return std::nullopt;
  const double left = static_cast<double>(progress_.bytesTotal - progress_.bytesDone) / *speed;
  if (left > 1e7) return std::nullopt;  // months: as good as unknown
  return seconds(static_cast<long long>(std::ceil(left)));
}

int ProgressMeter::Percent() const {
  const bool done = progress_.stage == PassProgress::Stage::kDone;
  std::uint64_t part = progress_.bytesDone, whole = progress_.bytesTotal;
  if (whole == 0) {
    part = progress_.clipsDone;
    whole = progress_.clipsTotal;
  }
  if (whole == 0 || part >= whole) return done || whole > 0 ? 100 : 0;
  const int percent = static_cast<int>(static_cast<double>(part) / static_cast<double>(whole) * 100);
  return std::min(percent, 99);
}

ProgressMeter::BarValues ProgressMeter::Bar() const {
  if (progress_.stage == PassProgress::Stage::kPlanning) return {};
  if (progress_.bytesTotal > 0) return ScaledForBar(progress_.bytesDone, progress_.bytesTotal);
  return ScaledForBar(progress_.clipsDone, progress_.clipsTotal);
}

std::u16string ProgressMeter::ClipText() const {
  if (!progress_.currentClip.empty()) return QuotedName(ShotAndClipOf(progress_.currentClip));
  switch (progress_.stage) {
    case PassProgress::Stage::kPlanning:
      return u"Listing the shot folders";
    case PassProgress::Stage::kCopying:
      return progress_.verifying ? u"Reading the copies back from the disk" : u"Putting the copies in place";
    case PassProgress::Stage::kDone:
      break;
  }
  return u"Finished";
}

std::u16string ProgressMeter::LineText() const {
  if (progress_.stage != PassProgress::Stage::kCopying) return StageText();
  if (!progress_.verifying) return ClipText();
  if (progress_.currentClip.empty()) return u"Verifying copies: reading them back from the disk";
  return u"Verifying " + ClipText();
}

std::u16string ProgressMeter::ClipsText() const {
  if (progress_.stage == PassProgress::Stage::kPlanning)
    return CountedText(progress_.clipsTotal, u"clip", u"clips") + u" found";
  return DecimalText(progress_.clipsDone) + u" of " + CountedText(progress_.clipsTotal, u"clip", u"clips");
}

std::u16string ProgressMeter::BytesText() const {
  if (progress_.stage == PassProgress::Stage::kPlanning) return FormatBytes(progress_.bytesTotal) + u" in all";
  return FormatBytes(progress_.bytesDone) + u" of " + FormatBytes(progress_.bytesTotal);
}

std::u16string ProgressMeter::SpeedText() const {
  if (progress_.stage != PassProgress::Stage::kCopying) return {};
  const std::optional<double> speed = BytesPerSecond();
  return speed ? FormatSpeed(*speed) : std::u16string();
}

std::u16string ProgressMeter::TimeLeftText() const {
  const std::optional<seconds> left = TimeLeft();
  return left ? FormatTimeLeft(*left) : std::u16string();
}

std::u16string ProgressMeter::PercentText() const { return DecimalText(static_cast<std::uint64_t>(Percent())) + u'%'; }

std::u16string ProgressMeter::StageText() const {
  switch (progress_.stage) {
    case PassProgress::Stage::kPlanning:
      return u"Looking for clips";
    case PassProgress::Stage::kCopying:
      return progress_.verifying ? u"Verifying copies" : u"Copying clips";
    case PassProgress::Stage::kDone:
      break;
  }
  return u"Done";
}

}  // namespace marlowin::report
