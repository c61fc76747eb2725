#include "cli/TerminalProgress.h"

#include <string>
#include <utility>
#include <vector>

#include "platform/NativeName.h"

namespace marlowin {
namespace {

constexpr std::chrono::milliseconds kRedrawInterval{100};
constexpr std::size_t kShortestName = 16;  // of a cut name, before the stats give way

bool IsTrail(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
bool IsLead(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

// Columns a text takes: one per code point (a pair of surrogates is one).
std::size_t Columns(std::u16string_view text) {
  std::size_t columns = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!(IsTrail(text[i]) && i > 0 && IsLead(text[i - 1]))) ++columns;
  }
  return columns;
}

// The first `columns` code points.
std::u16string_view Head(std::u16string_view text, std::size_t columns) {
  std::size_t seen = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsTrail(text[i]) && i > 0 && IsLead(text[i - 1])) continue;
    if (seen++ == columns) return text.substr(0, i);
  }
  return text;
}

std::u16string Cut(std::u16string_view text, std::size_t columns) {
  if (Columns(text) <= columns) return std::u16string(text);
  if (columns <= 3) return std::u16string(Head(text, columns));
  return std::u16string(Head(text, columns - 3)) + u"...";
}

// The last `columns` code points.
std::u16string_view Tail(std::u16string_view text, std::size_t columns) {
  const std::size_t total = Columns(text);
  if (total <= columns) return text;
  const std::size_t head = Head(text, total - columns).size();
  return text.substr(head);
}

// The end of a name, which tells shots apart (day00_cam01_take002) and holds the clip's own name.
std::u16string CutStart(std::u16string_view text, std::size_t columns) {
  if (Columns(text) <= columns) return std::u16string(text);
  if (columns <= 3) return std::u16string(Tail(text, columns));
  return u"..." + std::u16string(Tail(text, columns - 3));
}

std::u16string Joined(const std::vector<std::u16string>& parts) {
  std::u16string text;
  for (const std::u16string& part : parts) {
    if (part.empty()) continue;
    if (!text.empty()) text += u"  ";
    text += part;
  }
  return text;
}

}  // namespace

std::u16string ProgressLine(const report::ProgressMeter& meter, std::size_t width) {
  using Stage = report::PassProgress::Stage;
  const Stage stage = meter.Progress().stage;
  if (stage == Stage::kPlanning) {
    return Cut(meter.StageText() + u":  " + Joined({meter.ClipsText(), meter.BytesText()}), width);
  }
  // The stage's word always; then the clip, cut at its start, or what the stage does, cut at its end.
  const std::u16string word = meter.StageWord();
  const bool clip = !meter.Progress().currentClip.empty() && stage != Stage::kDone;
  const std::u16string line = meter.LineText();
  const std::u16string rest = clip ? meter.ClipText() : line.substr(std::min(line.size(), word.size() + 1));
  // What gives way when the line is narrow: the speed, then the bytes; the share and the time left stay.
  const std::u16string percent = meter.PercentText(), bytes = meter.BytesText(), speed = meter.SpeedText(),
                       left = meter.TimeLeftText();
  const std::vector<std::u16string> choices[] = {{percent, bytes, speed, left}, {percent, bytes, left}, {percent, left}};
  std::u16string stats;
  std::size_t room = 0;
  for (const std::vector<std::u16string>& parts : choices) {
    stats = Joined(parts);
    const std::size_t used = Columns(word) + 1 + 2 + Columns(stats);
    room = width > used ? width - used : 0;
    if (room >= kShortestName || room >= Columns(rest)) break;
  }
  if (rest.empty()) return Cut(word + u"  " + stats, width);
  const std::u16string shown = room >= kShortestName || room >= Columns(rest)
                                   ? (clip ? CutStart(rest, room) : Cut(rest, room))
                                   : (clip ? CutStart(rest, kShortestName) : Cut(rest, kShortestName));
  return Cut(word + u" " + shown + u"  " + stats, width);
}

TerminalProgress::TerminalProgress(std::ostream& out, int columns, std::atomic<bool>& stop,
                                   std::function<Clock::time_point()> clock)
    : out_(out), columns_(columns), stop_(stop), clock_(std::move(clock)) {}

TerminalProgress::~TerminalProgress() { Finish(); }

void TerminalProgress::OnProgress(const report::PassProgress& progress) {
  const Clock::time_point now = clock_();
  meter_.Update(progress, now);
  if (drawn_ && now - lastDraw_ < kRedrawInterval) return;
  drawn_ = true;
  lastDraw_ = now;
  const std::size_t width = columns_ > 1 ? static_cast<std::size_t>(columns_ - 1) : 1;
  const std::u16string line = ProgressLine(meter_, width);
  const std::size_t lineWidth = Columns(line);
  // Over what the last line left: spaces blank its rest (the cursor ends after them).
  std::string text = "\r" + platform::ToDisplay(line);
  if (shownWidth_ > lineWidth) text.append(shownWidth_ - lineWidth, ' ');
  out_ << text << std::flush;
  shownWidth_ = lineWidth;  // what lies beyond it is blank now
}

bool TerminalProgress::StopRequested() { return stop_.load(); }

void TerminalProgress::Finish() {
  if (shownWidth_ > 0) out_ << '\r' << std::string(shownWidth_, ' ') << '\r' << std::flush;
  shownWidth_ = 0;
  drawn_ = false;
}

}  // namespace marlowin
