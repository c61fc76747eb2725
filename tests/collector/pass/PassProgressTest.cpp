// What a real pass tells about itself as it goes: figures that add up, and counts that are true
// after a cancel.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "collector/pass/CollectClips.h"
#include "platform/NativeName.h"
#include "tests/support/PassFixture.h"

namespace marlowin {
namespace {

using Stage = report::PassProgress::Stage;

// Keeps every snapshot; asks to stop once `stopAfter` clips are done (never with 0).
class Watcher final : public report::PassObserver {
 public:
  explicit Watcher(std::size_t stopAfter = 0) : stopAfter_(stopAfter) {}
  void OnProgress(const report::PassProgress& progress) override { seen.push_back(progress); }
  bool StopRequested() override { return stopAfter_ > 0 && !seen.empty() && seen.back().clipsDone >= stopAfter_; }
  std::vector<report::PassProgress> seen;

 private:
  std::size_t stopAfter_;
};

class PassProgressTest : public testing::PassFixture {
 protected:
  // Shot folders of clips 01 to 04, 1000 bytes each: three copies of 04 and 01 and 02, 03 with an int copy.
  void MakeShoot(int shots) {
    for (int i = 0; i < shots; ++i) {
      const std::u16string shot = u"day01_cam0_take00" + std::u16string(1, static_cast<char16_t>(u'0' + i));
      shoot.Clips(shot, {u"v01.mp4", u"v02.mp4", u"v03.mp4", u"v04.mp4"}, 1000);
    }
  }
};

TEST_F(PassProgressTest, TheFiguresAddUpAndTheClipsAreDoneWhenTheirCopiesAreProven) {
  MakeShoot(3);
  Watcher watcher;
  pass::PassOptions options;
  options.observer = &watcher;
  options.batchCopies = 4;  // several batches, each read back while the next is written
  const report::PassReport report = PassPlainly(options);
  ASSERT_EQ(report.outcome, report::Outcome::kComplete);

  std::size_t clipsDone = 0;
  std::uint64_t copied = 0, readBack = 0;
  bool verifying = false;
  for (const report::PassProgress& p : watcher.seen) {
    if (p.stage == Stage::kPlanning) continue;
    EXPECT_EQ(p.clipsTotal, 12u);
    EXPECT_EQ(p.bytesToCopy, 12000u) << "each clip's bytes once";
    EXPECT_EQ(p.bytesToReadBack, 12000u + 6000u) << "each copy written, read back";
    EXPECT_GE(p.clipsDone, clipsDone);
    EXPECT_GE(p.bytesCopied, copied);
    EXPECT_GE(p.bytesReadBack, readBack);
    EXPECT_LE(p.bytesCopied, p.bytesToCopy);
    EXPECT_LE(p.bytesReadBack, p.bytesToReadBack);
    // A clip is done once its copies are proven: never more done than the read-back covers.
    if (p.clipsDone == p.clipsTotal) {
      EXPECT_EQ(p.bytesReadBack, p.bytesToReadBack);
    }
    if (p.clipsDone > 0) {
      EXPECT_GT(p.bytesReadBack, 0u);
    }
    verifying = verifying || p.stage == Stage::kVerifying;
    clipsDone = p.clipsDone;
    copied = p.bytesCopied;
    readBack = p.bytesReadBack;
  }
  EXPECT_TRUE(verifying) << "the read-back is a stage of its own";
  EXPECT_EQ(clipsDone, 12u);
  EXPECT_EQ(copied, 12000u);
  EXPECT_EQ(readBack, 18000u);
}

TEST_F(PassProgressTest, AfterACancelTheShotFoldersAreCountedFromTheShoot) {
  MakeShoot(8);
  Watcher watcher(2);
  pass::PassOptions options;
  options.observer = &watcher;
  options.batchCopies = 2;
  const report::PassReport report = PassPlainly(options);
  ASSERT_EQ(report.outcome, report::Outcome::kCancelled);
  EXPECT_LT(report.shotFolders, 8u) << "the pass stopped in the first shot folders";
  const std::string summary = platform::ToDisplay(report::SummaryLine(report));
  EXPECT_NE(summary.find(" of 8 shot folders to "), std::string::npos) << summary;
}

}  // namespace
}  // namespace marlowin
