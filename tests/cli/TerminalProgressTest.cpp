#include "cli/TerminalProgress.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace marlowin {
namespace {

using namespace std::chrono_literals;
using Clock = TerminalProgress::Clock;
constexpr std::uint64_t kMB = 1000 * 1000;

report::PassProgress Copying(std::uint64_t done, const std::u16string& clip = u"/shoot/a_b_c/MP4 HIGH RES/v02.mp4") {
  report::PassProgress p;
  p.stage = report::PassProgress::Stage::kCopying;
  p.clipsDone = 1;
  p.clipsTotal = 3;
  p.bytesCopied = done;
  p.bytesToCopy = 3400 * kMB;
  p.currentClip = clip;
  return p;
}

// The lines drawn, each as it was written after its carriage return.
std::vector<std::string> Draws(const std::string& written) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while ((at = written.find('\r', at)) != std::string::npos) {
    const std::size_t next = written.find('\r', at + 1);
    lines.push_back(written.substr(at + 1, next == std::string::npos ? std::string::npos : next - at - 1));
    at = at + 1;
  }
  return lines;
}

class TerminalProgressTest : public ::testing::Test {
 protected:
  Clock::time_point now{};
  std::atomic<bool> stop{false};
  std::ostringstream out;
};

TEST_F(TerminalProgressTest, RedrawsAtMostTenTimesASecondInPlace) {
  TerminalProgress line(out, 100, stop, [this] { return now; });
  for (int i = 0; i < 100; ++i, now += 10ms) line.OnProgress(Copying(static_cast<std::uint64_t>(i) * kMB));
  // One second of updates every 10 ms: drawn at 0, 100, ..., 900 ms.
  const std::vector<std::string> lines = Draws(out.str());
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(lines[0], "Copying a_b_c/v02.mp4  0%  0 B of 3.4 GB copied");
  EXPECT_EQ(lines[9], "Copying a_b_c/v02.mp4  2%  90 MB of 3.4 GB copied");
  EXPECT_EQ(out.str().find('\n'), std::string::npos);
  // With a speed measured: the speed and the time left join the line.
  for (int i = 100; i <= 300; ++i, now += 10ms) line.OnProgress(Copying(static_cast<std::uint64_t>(i) * kMB));
  EXPECT_EQ(Draws(out.str()).back(), "Copying a_b_c/v02.mp4  8%  300 MB of 3.4 GB copied  100 MB/s  about 35 seconds left");
}

TEST_F(TerminalProgressTest, CutsTheLineToTheTerminalWidthNameFirst) {
  const std::u16string longName = u"/s/a_b_c/MP4 HIGH RES/a_very_long_clip_name_that_goes_on_and_on_v02.mp4";
  TerminalProgress line(out, 40, stop, [this] { return now; });
  line.OnProgress(Copying(1234 * kMB, longName));
  // 39 columns: the stage's word, the end of the name, and the share; the bytes gave way.
  EXPECT_EQ(Draws(out.str()).back(), "Copying ..._goes_on_and_on_v02.mp4  36%");

  std::ostringstream narrow;
  TerminalProgress tight(narrow, 12, stop, [this] { return now; });
  tight.OnProgress(Copying(1234 * kMB, longName));
  EXPECT_EQ(Draws(narrow.str()).back(), "Copying ...");
  tight.Finish();
}

TEST_F(TerminalProgressTest, BlanksWhatALongerLineLeftAndClearsAtTheEnd) {
  TerminalProgress line(out, 80, stop, [this] { return now; });
  line.OnProgress(Copying(1234 * kMB, u"/s/a_b_c/MP4 HIGH RES/v02_long_name.mp4"));
  const std::string first = Draws(out.str()).back();
  now += 200ms;
  line.OnProgress(Copying(1235 * kMB, u"/s/a_b_c/MP4 HIGH RES/v03.mp4"));
  const std::string second = Draws(out.str()).back();
  EXPECT_EQ(second.size(), first.size());
  EXPECT_EQ(second, "Copying a_b_c/v03.mp4  36%  1.2 GB of 3.4 GB copied" + std::string(first.size() - 51, ' '));
  line.Finish();
  // The line blanked and the cursor back at its start, for the next output.
  EXPECT_TRUE(out.str().ends_with("\r" + std::string(51, ' ') + "\r"));
  const std::size_t length = out.str().size();
  line.Finish();  // once only
  EXPECT_EQ(out.str().size(), length);
}

TEST_F(TerminalProgressTest, SaysWhenTheCopiesAreReadBackAndKeepsNamesOnTheLine) {
  TerminalProgress line(out, 100, stop, [this] { return now; });
  report::PassProgress verifying = Copying(1234 * kMB, u"");
  verifying.stage = report::PassProgress::Stage::kVerifying;
  verifying.readingBack = true;
  verifying.bytesToReadBack = 6800 * kMB;
  verifying.bytesReadBack = 2468 * kMB;
  line.OnProgress(verifying);
  EXPECT_EQ(Draws(out.str()).back(), "Verifying copies: reading them back from the disk  36%  2.5 GB of 6.8 GB read back");
  now += 200ms;
  line.OnProgress(Copying(1234 * kMB, u"/s/a_b_c/MP4 HIGH RES/v02\n\x1b[2K.mp4"));
  EXPECT_EQ(Draws(out.str()).back(), "Copying 'a_b_c/v02'$'\\n\\033''[2K.mp4'  36%  1.2 GB of 3.4 GB copied" + std::string(15, ' '));
  EXPECT_EQ(out.str().find('\n'), std::string::npos);
  EXPECT_EQ(out.str().find('\x1b'), std::string::npos);
}

TEST_F(TerminalProgressTest, InEightyColumnsTheStageAndTheEndOfALongShotNameStay) {
  TerminalProgress line(out, 80, stop, [this] { return now; });
  for (int i = 0; i <= 200; ++i, now += 10ms) {
    line.OnProgress(Copying(static_cast<std::uint64_t>(i) * kMB,
                            u"/card/day00_cam01_interview_wide_take002/MP4 HIGH RES/v05.mp4"));
  }
  const std::string drawn = Draws(out.str()).back();
  EXPECT_LE(drawn.size(), 79u) << drawn;
  EXPECT_TRUE(drawn.starts_with("Copying ...")) << drawn;
  EXPECT_NE(drawn.find("take002/v05.mp4  "), std::string::npos) << drawn;
  EXPECT_NE(drawn.find("seconds left"), std::string::npos) << drawn;
}

TEST_F(TerminalProgressTest, PlanningSaysWhatIsFoundAndStopReadsTheFlag) {
  TerminalProgress line(out, 80, stop, [this] { return now; });
  report::PassProgress planning;
  planning.clipsTotal = 7;
  planning.bytesToCopy = 850 * kMB;
  line.OnProgress(planning);
  EXPECT_EQ(Draws(out.str()).back(), "Looking for clips:  7 clips found  850 MB in all");
  EXPECT_FALSE(line.StopRequested());
  stop = true;
  EXPECT_TRUE(line.StopRequested());
}

}  // namespace
}  // namespace marlowin
