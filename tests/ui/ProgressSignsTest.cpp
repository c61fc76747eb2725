#include "ui/ProgressSigns.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

using marlowin::report::PassProgress;
using marlowin::report::ProgressMeter;
using State = marlowin::framework::TaskbarProgress::State;

ProgressMeter MeterAt(PassProgress::Stage stage, std::uint64_t done, std::uint64_t total) {
  PassProgress progress;
  progress.stage = stage;
  progress.bytesCopied = done;
  progress.bytesToCopy = total;
  progress.clipsTotal = 60;
  ProgressMeter meter;
  meter.Update(progress, ProgressMeter::Clock::now());
  return meter;
}

TEST(ProgressSigns, TheTaskbarIsBusyWhileClipsAreSoughtThenShowsTheShareOfTheBytes) {
  const auto planning = marlowin::ui::TaskbarProgressOf(MeterAt(PassProgress::Stage::kPlanning, 0, 0), false);
  EXPECT_EQ(planning.state, State::kBusy);
  // 5 GiB: past what the bar's 32-bit numbers hold, scaled with the share kept.
  const std::uint64_t total = 5ull << 30;
  const auto copying = marlowin::ui::TaskbarProgressOf(MeterAt(PassProgress::Stage::kCopying, total / 4, total), false);
  EXPECT_EQ(copying.state, State::kNormal);
  ASSERT_GT(copying.total, 0u);
  EXPECT_NEAR(static_cast<double>(copying.done) / copying.total, 0.25, 0.001);
  const auto stopping = marlowin::ui::TaskbarProgressOf(MeterAt(PassProgress::Stage::kCopying, total / 4, total), true);
  EXPECT_EQ(stopping.state, State::kPaused);
  EXPECT_EQ(stopping.done, copying.done);
  EXPECT_EQ(marlowin::ui::TaskbarProgressOf(MeterAt(PassProgress::Stage::kDone, total, total), false).state, State::kNone);
}

TEST(ProgressSigns, TheTitleCarriesTheShareOnceItIsKnown) {
  EXPECT_EQ(marlowin::ui::ProgressTitle(MeterAt(PassProgress::Stage::kPlanning, 0, 0)), u"Marlowin");
  EXPECT_EQ(marlowin::ui::ProgressTitle(MeterAt(PassProgress::Stage::kCopying, 37, 100)), u"37% - Marlowin");
  EXPECT_EQ(marlowin::ui::ProgressTitle(MeterAt(PassProgress::Stage::kCopying, 99, 100)), u"99% - Marlowin");
}

}  // namespace
