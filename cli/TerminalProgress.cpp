#include "cli/TerminalProgress.h"

#include <string>
#include <utility>

#include "platform/NativeName.h"

namespace marlowin {
namespace {

constexpr std::chrono::milliseconds kRedrawInterval{100};
constexpr std::size_t kShortestName = 8;  // of a cut clip name, before the stats give way

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

// Cut in the middle, so that both the shot folder and the clip's own name stay in sight.
std::u16string CutMiddle(std::u16string_view text, std::size_t columns) {
  if (Columns(text) <= columns) return std::u16string(text);
  if (columns <= 3) return std::u16string(Head(text, columns));
  const std::size_t head = (columns - 3) / 2;
  return std::u16string(Head(text, head)) + u"..." + std::u16string(Tail(text, columns - 3 - head));
}

}  // namespace

std::u16string ProgressLine(const report::ProgressMeter& meter, std::size_t width) {
  std::u16string name, stats;
  const auto add = [&stats](const std::u16string& part) {
    if (part.empty()) return;
    if (!stats.empty()) stats += u"  ";
    stats += part;
  };
  if (meter.Progress().stage == report::PassProgress::Stage::kPlanning) {
    name = meter.StageText() + u":";
    add(meter.ClipsText());
    add(meter.BytesText());
  } else {
    name = meter.LineText();  // the shot and the clip, or that the copies are read back
    add(meter.PercentText());
    add(meter.BytesText());
    add(meter.SpeedText());
    add(meter.TimeLeftText());
  }
  if (name.empty()) return Cut(stats, width);
  const std::size_t statsWidth = Columns(stats);
  if (statsWidth + 2 + kShortestName <= width || statsWidth + 2 + Columns(name) <= width) {
    return CutMiddle(name, width - statsWidth - 2) + u"  " + stats;
  }
  return Cut(name + u"  " + stats, width);
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
