#include "ui/ProgressSigns.h"

namespace marlowin::ui {

using Stage = report::PassProgress::Stage;

framework::TaskbarProgress TaskbarProgressOf(const report::ProgressMeter& meter, bool stopping) {
  switch (meter.Progress().stage) {
    case Stage::kPlanning:
      return {framework::TaskbarProgress::State::kBusy, 0, 0};
    case Stage::kDone:
      return {};
    case Stage::kCopying:
    case Stage::kVerifying:
      break;
  }
  const report::ProgressMeter::BarValues bar = meter.Bar();
  if (bar.total == 0) return {framework::TaskbarProgress::State::kBusy, 0, 0};
  return {stopping ? framework::TaskbarProgress::State::kPaused : framework::TaskbarProgress::State::kNormal, bar.done, bar.total};
}

std::u16string ProgressTitle(const report::ProgressMeter& meter) {
  if (meter.Progress().stage == Stage::kPlanning) return u"Marlowin";
  return meter.PercentText() + u" - Marlowin";
}

}  // namespace marlowin::ui
