// The mend of damaged copies (--reverify): every copy in place is read back against its clip,
// also those of marked clips; one that differs is replaced by a verified copy and recorded as
// `original`, the others as `verified`. Never from other footage, and never a copy whose clip is
// gone: those are failures that say why, and the copy stays as it is.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "collector/check/CheckTree.h"
#include "collector/pass/CollectClips.h"
#include "history/HistoryFolder.h"
#include "platform/NativeName.h"
#include "tests/support/PassFixture.h"
#include "tests/support/SchemaCheck.h"

namespace marlowin {
namespace {

using testing::ClipIn;
using testing::Shoot;

class ReverifyTest : public testing::PassFixture {
 protected:
  report::PassReport Collect(bool reverify, const std::u16string& card = u"S") {
    const auto fs = platform::MakeRealFileSystem();
    pass::PassOptions options;
    options.keepHistory = true;
    options.reverify = reverify;
    return pass::CollectClips(*fs, tree.Path(card), tree.Path(u"D"), options);
  }

  // One byte of a file changed, its size and modification time kept: only reading it tells.
  void Damage(const std::u16string& relative) {
    const auto fs = platform::MakeRealFileSystem();
    platform::FileStatus status;
    ASSERT_FALSE(fs->GetStatus(tree.Path(relative), status));
    std::string bytes = tree.ReadFile(relative);
    ASSERT_FALSE(bytes.empty());
    bytes[bytes.size() / 2] ^= 0x20;
    tree.WriteFile(relative, bytes);
    TakeTime(relative, status);
  }

  void TakeTime(const std::u16string& relative, const platform::FileStatus& status) {
    const auto fs = platform::MakeRealFileSystem();
    std::unique_ptr<platform::OpenFile> file;
    ASSERT_FALSE(fs->OpenForWriting(tree.Path(relative), file));
    ASSERT_FALSE(file->TakeAttributes(status));
    ASSERT_FALSE(file->Close());
  }

  check::TreeCheck Check() {
    const auto fs = platform::MakeRealFileSystem();
    return check::CheckTree(*fs, tree.Path(u"D"));
  }

  history::History History() {
    const auto fs = platform::MakeRealFileSystem();
    history::Result<history::History> read = history::ReadHistoryFolder(*fs, tree.Path(u"D"));
    EXPECT_TRUE(read) << history::Describe(read.failure());
    return read ? read.value() : history::History{};
  }

  // The generation files of D, each valid against the ASC's schema where xmllint is at hand.
  void ExpectValidGenerations() {
    for (const std::u16string& name : tree.Names(u"D/ascmhl")) {
      if (!name.ends_with(u".mhl")) continue;
      const testing::SchemaCheck check = testing::CheckAgainstSchema(tree.ReadFile(u"D/ascmhl/" + name), "ASCMHL.xsd");
      if (!check.ran) {
        std::printf("not checked against the schema: %s\n", check.output.c_str());
        return;
      }
      EXPECT_TRUE(check.valid) << platform::ToDisplay(name) << ": " << check.output;
    }
  }

  bool HasLine(const report::PassReport& report, const std::string& start) {
    const std::vector<std::string> lines = Problems(report);
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) { return line.starts_with(start); });
  }

  void CollectFourClips() {
    AddClips(u"ab_cd_ef", {u"v01.mp4", u"v02.mp4", u"v03.mp4", u"v04.mp4"});
    ASSERT_EQ(Collect(false).outcome, report::Outcome::kComplete);
    ASSERT_TRUE(tree.Exists(ClipIn(u"ab_cd_ef", u"v02_hires.mp4")));
  }
};

TEST_F(ReverifyTest, ADamagedCopyOfAMarkedClipFailsTheCheckAndIsReplacedByAVerifiedCopy) {
  CollectFourClips();
  const std::u16string damaged = u"D/ab_cd_adl_ef/video/v02_hires.mp4";
  Damage(damaged);

  const check::TreeCheck check = Check();
  EXPECT_EQ(check.outcome, check::CheckOutcome::kNotProven);
  const auto changed = std::find_if(check.files.begin(), check.files.end(),
                                    [](const check::CheckedFile& file) { return file.IsFailure(); });
  ASSERT_NE(changed, check.files.end());
  EXPECT_NE(check::DescribeCheckedFile(check, *changed).find(u": changed: xxh128 "), std::u16string::npos);
  EXPECT_TRUE(check::DescribeCheckedFile(check, *changed)
                  .ends_with(u"; to mend it from its clip: marlowin-collect --reverify STARTING_FOLDER " + tree.Path(u"D")));

  // An ordinary pass takes the copy as in place, as it looks.
  EXPECT_EQ(Collect(false).copiesInPlace, 6u);
  EXPECT_NE(tree.ReadFile(damaged), Shoot::DefaultBytes(u"ab_cd_ef", u"v02.mp4"));

  const report::PassReport report = Collect(true);
  EXPECT_EQ(report.outcome, report::Outcome::kComplete);
  EXPECT_EQ(report::ExitStatus(report), 0);
  EXPECT_EQ(report.copiesReplaced, 1u);
  EXPECT_EQ(report.copiesProven, 5u);
  EXPECT_EQ(report.copiesWritten, 0u);
  EXPECT_EQ(Problems(report), (std::vector<std::string>{
                                  "warning: <root>/D/ab_cd_adl_ef/video/v02_hires.mp4: differed from its clip "
                                  "<root>/S/ab_cd_ef/MP4 HIGH RES/v02_hires.mp4, and was replaced by a verified copy of it"}));
  EXPECT_NE(report::SummaryLine(report).find(u"5 copies found in place and verified, 1 found differing from their "
                                             u"clip and replaced by a verified copy."),
            std::u16string::npos)
      << platform::ToDisplay(report::SummaryLine(report));
  EXPECT_EQ(tree.ReadFile(damaged), Shoot::DefaultBytes(u"ab_cd_ef", u"v02.mp4"));
  EXPECT_EQ(tree.Names(u"D/ab_cd_adl_ef/video").size(), 4u) << "no temporary is left";

  const history::History history = History();
  ASSERT_EQ(history.generations.size(), 2u);
  std::map<std::u16string, history::HashAction> actions;
  for (const history::HashEntry& entry : history.generations[1].generation.hashes) actions[entry.path] = *entry.action;
  EXPECT_EQ(actions.size(), 6u);
  for (const auto& [path, action] : actions) {
    EXPECT_EQ(action, path == u"ab_cd_adl_ef/video/v02_hires.mp4" ? history::HashAction::kOriginal
                                                                  : history::HashAction::kVerified)
        << platform::ToDisplay(path);
  }
  ExpectValidGenerations();
  EXPECT_EQ(Check().outcome, check::CheckOutcome::kProven);
}

TEST_F(ReverifyTest, AClipUnderItsNameWithoutTheMarkMendsItsIntCopyAndIsMarkedAgain) {
  CollectFourClips();
  ASSERT_EQ(std::rename(platform::ToNativeName(shoot.FullClipPath(u"ab_cd_ef", u"v03_hires.mp4")).c_str(),
                        platform::ToNativeName(shoot.FullClipPath(u"ab_cd_ef", u"v03.mp4")).c_str()),
            0);
  Damage(u"D/ab_cd_int_ef__m03/video/v03_hires.mp4");

  const report::PassReport report = Collect(true);
  EXPECT_EQ(report.outcome, report::Outcome::kComplete);
  EXPECT_EQ(report.copiesReplaced, 1u);
  EXPECT_EQ(report.clipsMarked, 1u);
  EXPECT_TRUE(tree.Exists(ClipIn(u"ab_cd_ef", u"v03_hires.mp4")));
  EXPECT_EQ(tree.ReadFile(u"D/ab_cd_int_ef__m03/video/v03_hires.mp4"), Shoot::DefaultBytes(u"ab_cd_ef", u"v03.mp4"));
  EXPECT_EQ(Check().outcome, check::CheckOutcome::kProven);
}

TEST_F(ReverifyTest, ACopyWhoseClipIsGoneIsNamedWithWhatTheHistorySaysAndLeftAsItIs) {
  CollectFourClips();
  Damage(u"D/ab_cd_adl_ef/video/v04_hires.mp4");
  tree.Remove(ClipIn(u"ab_cd_ef", u"v04_hires.mp4"));
  const std::string before = tree.ReadFile(u"D/ab_cd_adl_ef/video/v04_hires.mp4");

  const report::PassReport report = Collect(true);
  EXPECT_EQ(report::OutcomeLine(report), u"video copy incomplete: 1 recorded copy has no clip in the starting folder");
  EXPECT_EQ(report::ExitStatus(report), 1);
  EXPECT_EQ(report.copiesWithoutClip, 1u);
  EXPECT_EQ(report.copiesReplaced, 0u);
  const std::string line = Problems(report)[0];
  EXPECT_TRUE(line.starts_with("failure: <root>/D/ab_cd_adl_ef/video/v04_hires.mp4: not proven: its clip is no longer in "
                               "<root>/S/ab_cd_ef/MP4 HIGH RES (neither v04_hires.mp4 nor v04.mp4 is there; the history "
                               "records the copy by generation 1 on "))
      << line;
  EXPECT_NE(line.find(", 16 bytes, and not the clip it came from): the copy is left as it is"), std::string::npos) << line;
  EXPECT_NE(line.find(", xxh128 "), std::string::npos) << line;
  EXPECT_EQ(tree.ReadFile(u"D/ab_cd_adl_ef/video/v04_hires.mp4"), before);
  ExpectValidGenerations();
}

// A second card with a shot of the same name: its clip, of the copy's size and time but other
// footage, is never used to mend the first card's damaged copy.
TEST_F(ReverifyTest, OtherFootageNeverReplacesARecordedCopy) {
  Shoot(tree, u"card1").Clip(u"ab_cd_ef", u"v01.mp4", "card 1 v01");
  ASSERT_EQ(Collect(false, u"card1").outcome, report::Outcome::kComplete);
  const std::u16string copy = u"D/ab_cd_adl_ef/video/v01_hires.mp4";
  Damage(copy);
  const std::string damaged = tree.ReadFile(copy);
  Shoot(tree, u"card2").Clip(u"ab_cd_ef", u"v01.mp4", "card 2 v01");
  {
    const auto fs = platform::MakeRealFileSystem();
    platform::FileStatus status;
    ASSERT_FALSE(fs->GetStatus(tree.Path(copy), status));
    TakeTime(u"card2/ab_cd_ef/MP4 HIGH RES/v01.mp4", status);
  }

  const report::PassReport report = Collect(true, u"card2");
  EXPECT_EQ(report::OutcomeLine(report), u"video copy incomplete: 1 of 1 clips could not be copied");
  EXPECT_EQ(report.copiesReplaced, 0u);
  ASSERT_FALSE(Problems(report).empty());
  EXPECT_TRUE(Problems(report)[0].starts_with(
      "failure: <root>/card2/ab_cd_ef/MP4 HIGH RES/v01.mp4: not used to mend <root>/D/ab_cd_adl_ef/video/v01_hires.mp4: "
      "the copy differs from this clip, and generation 1 on "))
      << Problems(report)[0];
  EXPECT_TRUE(Problems(report)[0].ends_with("): the copy is left as it is")) << Problems(report)[0];
  EXPECT_EQ(tree.ReadFile(copy), damaged);
  EXPECT_TRUE(tree.Exists(u"card2/ab_cd_ef/MP4 HIGH RES/v01.mp4"));
  EXPECT_EQ(History().generations.size(), 1u);

  // Its own card mends it.
  const report::PassReport mended = Collect(true, u"card1");
  EXPECT_EQ(mended.outcome, report::Outcome::kComplete);
  EXPECT_EQ(mended.copiesReplaced, 1u);
  EXPECT_EQ(tree.ReadFile(copy), "card 1 v01");
  EXPECT_EQ(Check().outcome, check::CheckOutcome::kProven);
}

}  // namespace
}  // namespace marlowin
