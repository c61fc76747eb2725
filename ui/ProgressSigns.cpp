#include "ui/ProgressSigns.h"

namespace marlowin::ui {

using Stage = PassProgress::Stage;

sys::TaskbarProgress TaskbarProgressOf(const ProgressMeter& meter, bool stopping) {
  switch (meter.Progress().stage) {
    case Stage::kPlanning:
      return {sys::TaskbarProgress::State::kBusy, 0, 0};
    case Stage::kDone:
      return {};
    case Stage::kCopying:
      break;
  }
  const ProgressMeter::BarValues bar = meter.Bar();
  if (bar.total == 0) return {sys::TaskbarProgress::State::kBusy, 0, 0};
  return {stopping ? sys::TaskbarProgress::State::kPaused : sys::TaskbarProgress::State::kNormal, bar.done, bar.total};
}

std::u16string ProgressTitle(const ProgressMeter& meter) {
  if (meter.Progress().stage == Stage::kPlanning) return u"Marlowin";
  return meter.PercentText() + u" - Marlowin";
}

}  // namespace marlowin::ui
