#pragma once

// One progress line on a terminal, redrawn in place, for marlowin-collect. Whether to use it
// at all (stderr is a terminal, no --quiet) is the caller's decision.
#include <atomic>
#include <functional>
#include <ostream>

#include "collector/report/Progress.h"
#include "collector/report/ProgressMeter.h"

namespace marlowin {

class TerminalProgress final : public report::PassObserver {
 public:
  using Clock = report::ProgressMeter::Clock;

  // Draws on `out`, at most `columns` wide (the line keeps off the last column, where some
  // terminals wrap). StopRequested() reads `stop`. `clock` is there for tests.
  TerminalProgress(std::ostream& out, int columns, std::atomic<bool>& stop,
                   std::function<Clock::time_point()> clock = &Clock::now);
  TerminalProgress(const TerminalProgress&) = delete;
  TerminalProgress& operator=(const TerminalProgress&) = delete;
  ~TerminalProgress() override;  // Finish()

  // Redraws the line, at most ten times a second: the stage and the shot and clip ("Copying
  // a_b_c/v02.mp4", "Verifying a_b_c/v02.mp4"), percent, the stage's bytes, speed, time left.
  void OnProgress(const report::PassProgress& progress) override;
  bool StopRequested() override;

  // Clears the line and leaves the cursor at its start, so that the next output starts on a
  // clean line. Drawing again after it is allowed.
  void Finish();

  const report::ProgressMeter& Meter() const { return meter_; }

 private:
  std::ostream& out_;
  int columns_;
  std::atomic<bool>& stop_;
  std::function<Clock::time_point()> clock_;
  report::ProgressMeter meter_;
  bool drawn_ = false;
  Clock::time_point lastDraw_{};
  std::size_t shownWidth_ = 0;  // columns the line on screen takes
};

// The line itself, `width` columns at most. The stage's word stays; when the line is narrow the
// speed gives way first, then the bytes, and the clip's name is cut at its start, so that the end
// that tells shots and clips apart stays in sight. For tests.
std::u16string ProgressLine(const report::ProgressMeter& meter, std::size_t width);

}  // namespace marlowin
