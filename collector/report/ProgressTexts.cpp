// The texts of a running pass, as the progress window and the terminal line show them.
#include <algorithm>
#include <cmath>

#include "collector/report/ProgressMeter.h"
#include "collector/report/QuotedName.h"
#include "platform/Text.h"

namespace marlowin::report {
namespace {

using Stage = PassProgress::Stage;
using platform::CountedText;
using platform::DecimalText;
using platform::FormatBytes;

}  // namespace

std::u16string FormatSpeed(double bytesPerSecond) {
  const double rounded = std::max(0.0, std::round(bytesPerSecond));
  return FormatBytes(static_cast<std::uint64_t>(rounded)) + u"/s";
}

std::u16string FormatTimeLeft(std::chrono::seconds left) {
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

std::u16string ProgressMeter::StageText() const {
  switch (progress_.stage) {
    case Stage::kPlanning:
      return u"Looking for clips";
    case Stage::kCopying:
      return u"Copying clips";
    case Stage::kVerifying:
      return u"Verifying copies";
    case Stage::kDone:
      break;
  }
  return u"Done";
}

std::u16string ProgressMeter::StageWord() const {
  const std::u16string stage = StageText();
  return stage.substr(0, stage.find(u' '));
}

std::u16string ProgressMeter::ClipText() const {
  if (!progress_.currentClip.empty()) return QuotedName(ShotAndClipOf(progress_.currentClip));
  switch (progress_.stage) {
    case Stage::kPlanning:
      return u"Listing the shot folders";
    case Stage::kCopying:
      return u"Putting the copies in place";
    case Stage::kVerifying:
      return u"Reading the copies back from the disk";
    case Stage::kDone:
      break;
  }
  return u"Finished";
}

std::u16string ProgressMeter::LineText() const {
  switch (progress_.stage) {
    case Stage::kCopying:
      if (progress_.currentClip.empty()) return u"Copying clips: putting the copies in place";
      return StageWord() + u' ' + ClipText();
    case Stage::kVerifying:
      if (progress_.currentClip.empty()) return u"Verifying copies: reading them back from the disk";
      return StageWord() + u' ' + ClipText();
    case Stage::kPlanning:
    case Stage::kDone:
      break;
  }
  return StageText();
}

std::u16string ProgressMeter::ClipsText() const {
  if (progress_.stage == Stage::kPlanning) return CountedText(progress_.clipsTotal, u"clip", u"clips") + u" found";
  return DecimalText(progress_.clipsDone) + u" of " + CountedText(progress_.clipsTotal, u"clip", u"clips") + u" done";
}

std::u16string ProgressMeter::BytesText() const {
  const PassProgress& p = progress_;
  if (p.stage == Stage::kPlanning) return FormatBytes(p.bytesToCopy) + u" in all";
  const bool reading = p.stage == Stage::kVerifying || (p.stage == Stage::kDone && p.bytesToCopy == 0);
  if (reading) return FormatBytes(p.bytesReadBack) + u" of " + FormatBytes(p.bytesToReadBack) + u" read back";
  return FormatBytes(p.bytesCopied) + u" of " + FormatBytes(p.bytesToCopy) + u" copied";
}

std::u16string ProgressMeter::SpeedText() const {
  const std::optional<double> speed = BytesPerSecond();
  return speed ? FormatSpeed(*speed) : std::u16string();
}

std::u16string ProgressMeter::TimeLeftText() const {
  const std::optional<std::chrono::milliseconds> left = TimeLeft();
  if (!left) return {};
  return FormatTimeLeft(std::chrono::ceil<std::chrono::seconds>(*left));
}

std::u16string ProgressMeter::PercentText() const { return DecimalText(static_cast<std::uint64_t>(Percent())) + u'%'; }

}  // namespace marlowin::report
