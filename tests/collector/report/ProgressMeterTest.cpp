#include "collector/report/ProgressMeter.h"

#include <gtest/gtest.h>

#include "platform/Text.h"

namespace marlowin {
namespace {

using namespace std::chrono_literals;
using Stage = report::PassProgress::Stage;

constexpr std::uint64_t kMB = 1000 * 1000;
const report::ProgressMeter::Clock::time_point t0{};

report::PassProgress Copying(std::uint64_t done, std::uint64_t total) {
  report::PassProgress p;
  p.stage = Stage::kCopying;
  p.clipsDone = 12;
  p.clipsTotal = 60;
  p.bytesCopied = done;
  p.bytesToCopy = total;
  p.currentClip = u"/shoot/ab_cd_ef/MP4 HIGH RES/v02.mp4";
  return p;
}

TEST(ProgressMeter, SpeedAndTimeLeftComeAfterASecondOfCopying) {
  report::ProgressMeter meter;
  meter.Update(Copying(100 * kMB, 1200 * kMB), t0);
  meter.Update(Copying(150 * kMB, 1200 * kMB), t0 + 500ms);
  EXPECT_EQ(meter.BytesPerSecond(), std::nullopt);
  EXPECT_EQ(meter.SpeedText(), u"");
  EXPECT_EQ(meter.TimeLeftText(), u"");
  meter.Update(Copying(200 * kMB, 1200 * kMB), t0 + 1s);
  ASSERT_TRUE(meter.BytesPerSecond());
  EXPECT_DOUBLE_EQ(*meter.BytesPerSecond(), 100.0 * kMB);
  EXPECT_EQ(meter.SpeedText(), u"100 MB/s");
  EXPECT_EQ(meter.TimeLeft(), 10s);  // 1000 MB at 100 MB/s
  EXPECT_EQ(meter.TimeLeftText(), u"about 10 seconds left");
}

TEST(ProgressMeter, SpeedFollowsTheRecentWindowOnly) {
  report::ProgressMeter meter(8s);
  std::uint64_t done = 0;
  auto now = t0;
  for (int i = 0; i < 40; ++i, now += 500ms, done += 5 * kMB) meter.Update(Copying(done, 100000 * kMB), now);
  EXPECT_NEAR(*meter.BytesPerSecond(), 10.0 * kMB, 1.0);  // 5 MB each half second
  for (int i = 0; i < 20; ++i, now += 500ms, done += 50 * kMB) meter.Update(Copying(done, 100000 * kMB), now);
  EXPECT_NEAR(*meter.BytesPerSecond(), 100.0 * kMB, 0.15 * 100 * kMB);  // the slow part has left the window
  EXPECT_EQ(meter.SpeedText(), u"100 MB/s");
}

TEST(ProgressMeter, AStalledCopyHasNoTimeLeftAndPlanningNoSpeed) {
  report::ProgressMeter meter;
  for (int i = 0; i <= 20; ++i) meter.Update(Copying(300 * kMB, 1200 * kMB), t0 + i * 500ms);
  EXPECT_EQ(meter.SpeedText(), u"0 B/s");
  EXPECT_EQ(meter.TimeLeft(), std::nullopt);

  report::PassProgress planning;
  planning.clipsTotal = 12;
  planning.bytesToCopy = 3400 * kMB;
  meter.Update(planning, t0 + 11s);
  meter.Update(planning, t0 + 13s);
  EXPECT_EQ(meter.BytesPerSecond(), std::nullopt);
  EXPECT_EQ(meter.StageText(), u"Looking for clips");
  EXPECT_EQ(meter.ClipsText(), u"12 clips found");
  EXPECT_EQ(meter.BytesText(), u"3.4 GB in all");
  EXPECT_EQ(meter.SpeedText(), u"");
  EXPECT_EQ(meter.TimeLeftText(), u"");
  EXPECT_EQ(meter.PercentText(), u"0%");

  // Copying starts afresh: the planning time does not count.
  meter.Update(Copying(0, 1000 * kMB), t0 + 14s);
  meter.Update(Copying(50 * kMB, 1000 * kMB), t0 + 15s);
  EXPECT_DOUBLE_EQ(*meter.BytesPerSecond(), 50.0 * kMB);
  EXPECT_EQ(meter.TimeLeftText(), u"about 20 seconds left");
}

TEST(ProgressMeter, Texts) {
  report::ProgressMeter meter;
  meter.Update(Copying(1234 * kMB, 3400 * kMB), t0);
  EXPECT_EQ(meter.StageText(), u"Copying clips");
  EXPECT_EQ(meter.ClipText(), u"ab_cd_ef/v02.mp4");
  EXPECT_EQ(meter.ClipsText(), u"12 of 60 clips done");
  EXPECT_EQ(meter.BytesText(), u"1.2 GB of 3.4 GB copied");
  EXPECT_EQ(meter.Percent(), 36);
  EXPECT_EQ(meter.PercentText(), u"36%");

  report::PassProgress one = Copying(999, 1000);
  one.clipsDone = 0;
  one.clipsTotal = 1;
  one.currentClip = u"C:\\shoot\\ab_cd_ef\\MP4 HIGH RES\\v01.mp4";
  meter.Update(one, t0 + 1s);
  EXPECT_EQ(meter.ClipText(), u"ab_cd_ef/v01.mp4");
  EXPECT_EQ(meter.ClipsText(), u"0 of 1 clip done");
  EXPECT_EQ(meter.Percent(), 99);  // 100 only when done
  one.currentClip.clear();
  one.bytesCopied = 1000;
  one.clipsDone = 1;
  one.stage = Stage::kDone;
  meter.Update(one, t0 + 2s);
  EXPECT_EQ(meter.ClipText(), u"Finished");
  EXPECT_EQ(meter.PercentText(), u"100%");
  EXPECT_EQ(meter.StageText(), u"Done");

  report::PassProgress noBytes = Copying(0, 0);  // clips without bytes: counted by clips
  noBytes.clipsDone = 3;
  noBytes.clipsTotal = 4;
  report::ProgressMeter byClips;
  byClips.Update(noBytes, t0 + 3s);
  EXPECT_EQ(byClips.Percent(), 75);
}

TEST(ProgressMeter, TheClipLineNamesTheStageAndTheShotAndSaysWhatThePassDoesBetweenClips) {
  report::ProgressMeter meter;
  report::PassProgress p = Copying(1234 * kMB, 3400 * kMB);
  p.currentClip = u"/shoot/harbour_dawn_wide/MP4 HIGH RES/v03.mp4";
  meter.Update(p, t0);
  EXPECT_EQ(meter.ClipText(), u"harbour_dawn_wide/v03.mp4");
  EXPECT_EQ(meter.LineText(), u"Copying harbour_dawn_wide/v03.mp4");
  EXPECT_EQ(meter.StageWord(), u"Copying");

  // Waiting for the copies to be read back: a stage of its own, with its own figure.
  p.stage = Stage::kVerifying;
  p.readingBack = true;
  p.currentClip.clear();
  p.bytesToReadBack = 6800 * kMB;
  p.bytesReadBack = 2100 * kMB;
  meter.Update(p, t0 + 1s);
  EXPECT_EQ(meter.StageText(), u"Verifying copies");
  EXPECT_EQ(meter.StageWord(), u"Verifying");
  EXPECT_EQ(meter.ClipText(), u"Reading the copies back from the disk");
  EXPECT_EQ(meter.LineText(), u"Verifying copies: reading them back from the disk");
  EXPECT_EQ(meter.BytesText(), u"2.1 GB of 6.8 GB read back");
  p.bytesReadBack = 2200 * kMB;
  meter.Update(p, t0 + 2s);
  EXPECT_DOUBLE_EQ(*meter.BytesPerSecond(), 100.0 * kMB) << "the speed is the read-back's while verifying";

  // Never an empty line.
  p.stage = Stage::kCopying;
  p.readingBack = false;
  meter.Update(p, t0 + 3s);
  EXPECT_EQ(meter.ClipText(), u"Putting the copies in place");
  EXPECT_EQ(meter.StageText(), u"Copying clips");
  meter.Update(report::PassProgress{}, t0 + 4s);
  EXPECT_EQ(meter.ClipText(), u"Listing the shot folders");
  EXPECT_EQ(meter.LineText(), u"Looking for clips");

  // A name that would break the line is quoted; a clip path of another shape keeps its name.
  p.currentClip = u"/shoot/a_b_c/MP4 HIGH RES/v02\ncommit.mp4";
  meter.Update(p, t0 + 5s);
  EXPECT_EQ(meter.ClipText(), u"'a_b_c/v02'$'\\n''commit.mp4'");
  EXPECT_EQ(report::ShotAndClipOf(u"C:\\shoot\\ab_cd_ef\\MP4 HIGH RES\\v01.mp4"), u"ab_cd_ef/v01.mp4");
  EXPECT_EQ(report::ShotAndClipOf(u"v01.mp4"), u"v01.mp4");
  EXPECT_EQ(report::ShotAndClipOf(u"clips/v01.mp4"), u"v01.mp4");
  EXPECT_EQ(report::ShotAndClipOf(u"/clips/v01.mp4"), u"v01.mp4");
  EXPECT_EQ(report::ShotAndClipOf(u"shot/clips/v01.mp4"), u"shot/v01.mp4");
}

TEST(ProgressMeter, TheBarIsTheShareDoneInMillionthsAndFullOnlyAtTheEnd) {
  constexpr std::uint64_t kGiB = 1024ull * 1024 * 1024;
  report::ProgressMeter meter;
  meter.Update(Copying(1 * kGiB, 5 * kGiB), t0);
  EXPECT_EQ(meter.Bar().done, 200000u);
  EXPECT_EQ(meter.Bar().total, 1000000u);
  meter.Update(Copying(5 * kGiB, 5 * kGiB), t0 + 1s);
  EXPECT_EQ(meter.Bar().done, 999999u) << "not full before the end";
  report::PassProgress done = Copying(5 * kGiB, 5 * kGiB);
  done.stage = Stage::kDone;
  meter.Update(done, t0 + 2s);
  EXPECT_EQ(meter.Bar().done, 1000000u);
  meter.Update(report::PassProgress{}, t0 + 5s);
  EXPECT_EQ(meter.Bar().total, 0u) << "planning: no bar yet";

  // The share counts both figures: half copied and none read back of as much again is a quarter.
  report::ProgressMeter fresh;
  report::PassProgress both = Copying(1 * kGiB, 2 * kGiB);
  both.bytesToReadBack = 2 * kGiB;
  fresh.Update(both, t0);
  EXPECT_EQ(fresh.Percent(), 25);
  both.bytesCopied = 0;  // never less than shown before
  fresh.Update(both, t0 + 100ms);
  EXPECT_EQ(fresh.Percent(), 25);
}

TEST(ProgressMeter, FormatsBytesInDecimalUnits) {
  const std::pair<std::uint64_t, const char16_t*> cases[] = {
      {0, u"0 B"},          {999, u"999 B"},          {1000, u"1.0 kB"},         {1234, u"1.2 kB"},
      {9949, u"9.9 kB"},    {9950, u"10 kB"},         {999499, u"999 kB"},       {999500, u"1.0 MB"},
      {85 * kMB, u"85 MB"}, {3400 * kMB, u"3.4 GB"},  {12345 * kMB * kMB, u"12 PB"},
  };
  for (const auto& [bytes, text] : cases) EXPECT_EQ(platform::FormatBytes(bytes), text) << bytes;
  EXPECT_EQ(report::FormatSpeed(85.4 * kMB), u"85 MB/s");
}

TEST(ProgressMeter, FormatsTimeLeftInWordsPeopleUse) {
  const std::pair<long long, const char16_t*> cases[] = {
      {0, u"about 5 seconds left"},         {38, u"about 40 seconds left"},
      {55, u"about 55 seconds left"},       {56, u"about 1 minute left"},
      {119, u"about 2 minutes left"},       {3599, u"about 1 hour left"},
      {80 * 60 + 40, u"about 1 hour 20 minutes left"}, {2 * 3600, u"about 2 hours left"},
      {40000, u"about 11 hours left"},
  };
  for (const auto& [s, text] : cases) EXPECT_EQ(report::FormatTimeLeft(std::chrono::seconds(s)), text) << s;
}

}  // namespace
}  // namespace marlowin
