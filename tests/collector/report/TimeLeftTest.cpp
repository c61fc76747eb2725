// The time left as a person reads it over a whole pass: measured against the end of a simulated
// pass of the benchmark's shoot, on the meter's own clock.
#include <gtest/gtest.h>

#include <cmath>

#include "collector/report/TimeLeft.h"
#include "tests/collector/report/SimulatedPass.h"

namespace marlowin {
namespace {

constexpr double kMB = 1000.0 * 1000.0;

// Over the last three quarters of the pass, the time left is told and within 20% of the truth.
void ExpectTrueTimeLeft(const testing::DiskRates& rates, const char* what) {
  report::ProgressMeter meter;
  const std::vector<testing::Moment> moments = testing::SimulateBenchmarkPass(rates, meter);
  ASSERT_FALSE(moments.empty());
  const double end = moments.back().seconds;
  ASSERT_GT(end, 10.0) << what;
  int checked = 0, off = 0;
  double worst = 0;
  for (const testing::Moment& moment : moments) {
    if (moment.seconds < end / 4 || moment.progress.stage == report::PassProgress::Stage::kDone) continue;
    const double truth = end - moment.seconds;
    ++checked;
    if (!moment.left) {
      ++off;
      continue;
    }
    // Under a second nobody reads the difference: the text says "about 5 seconds" for it.
    const double error = std::abs(*moment.left - truth) / truth;
    worst = std::max(worst, error);
    if (error > 0.2 && std::abs(*moment.left - truth) > 1.0) ++off;
  }
  EXPECT_GT(checked, 100) << what;
  EXPECT_EQ(off, 0) << what << ": worst error " << worst * 100 << "% over a pass of " << end << " s";
}

TEST(TimeLeft, WithinAFifthOfTheTruthOverTheLastThreeQuartersOfAPass) {
  // A fast card onto a disk that reads back at twice its pace; the copy slows while a batch is
  // read back beside it.
  ExpectTrueTimeLeft({.card = 90 * kMB, .intCopy = 150 * kMB, .readBack = 250 * kMB, .together = 0.6}, "fast card");
  // A slow card that does not keep one pace: the read-back of each batch hides behind the copying
  // of the next.
  ExpectTrueTimeLeft({.card = 40 * kMB, .intCopy = 120 * kMB, .readBack = 300 * kMB, .together = 0.9,
                      .wobble = {1.0, 0.8, 1.2, 0.9, 1.1}},
                     "slow card");
  // A slow disk that reads back little faster than it writes.
  ExpectTrueTimeLeft({.card = 80 * kMB, .intCopy = 70 * kMB, .readBack = 90 * kMB, .together = 0.6}, "slow disk");
  // Without verification only the copying counts.
  ExpectTrueTimeLeft({.card = 90 * kMB, .intCopy = 150 * kMB, .readBack = 0}, "no verification");
}

TEST(TimeLeft, FollowsTheBatches) {
  // Two batches of 100 bytes to copy and 200 to read back, at 10 and 20 bytes a second: the first
  // read-back runs beside the second batch's copy, and the last is waited for.
  report::PassProgress p;
  p.bytesToCopy = 200;
  p.bytesToReadBack = 400;
  auto batches = std::make_shared<report::Batches>(report::Batches{{100, 200, false}, {200, 400, true}});
  p.batches = batches;
  EXPECT_DOUBLE_EQ(*report::SecondsLeft(p, {10.0, {}, 20.0, {}}), 10 + 10 + 10);
  // A settle waits before it writes on.
  batches->front().settle = true;
  EXPECT_DOUBLE_EQ(*report::SecondsLeft(p, {10.0, {}, 20.0, {}}), 10 + 10 + 10 + 10);
  // Halfway into the second batch's copy, the first read back: 5 s of copying, then 10 of reading.
  batches->front().settle = false;
  p.bytesCopied = 150;
  p.bytesReadBack = 200;
  EXPECT_DOUBLE_EQ(*report::SecondsLeft(p, {10.0, {}, 20.0, {}}), 5 + 10);
  // Unknown while a figure with work left has no rate.
  EXPECT_EQ(report::SecondsLeft(p, {{}, {}, 20.0, {}}), std::nullopt);
  EXPECT_EQ(report::SecondsLeft(p, {10.0, {}, 0.0, {}}), std::nullopt);
  p.bytesCopied = 200;
  EXPECT_DOUBLE_EQ(*report::SecondsLeft(p, {{}, {}, 20.0, {}}), 10);
}

}  // namespace
}  // namespace marlowin
