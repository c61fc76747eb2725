// What the destination's history records is the proof a card was cleared on: a pass never puts
// other bytes in its place, never removes it, marks a clip only once its copies are recorded, and
// records every copy it proves, whatever the names and however long the destination's name.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "collector/check/CheckTree.h"
#include "collector/pass/CollectClips.h"
#include "collector/plan/PlanLines.h"
#include "history/HistoryFolder.h"
#include "history/LatestEntries.h"
#include "platform/NativeName.h"
#include "tests/support/PassFixture.h"
#include "tests/support/RecordingFileSystem.h"
#include "tests/support/TempTree.h"

namespace marlowin {
namespace {

using testing::TempTree;

// Shoots on several cards (card1, card2, ...) collected into one D.
class RecordedCopiesTest : public testing::PassFixture {
 protected:
  void Clip(const std::u16string& card, const std::u16string& shot, const std::u16string& name,
            const std::string& bytes) {
    testing::Shoot(tree, card).Clip(shot, name, bytes);
  }

  report::PassReport Collect(const std::u16string& card, platform::FileSystem* fs = nullptr, bool dryRun = false) {
    const auto real = platform::MakeRealFileSystem();
    pass::PassOptions options;
    options.keepHistory = true;
    options.dryRun = dryRun;
    return pass::CollectClips(fs ? *fs : *real, tree.Path(card), tree.Path(u"D"), options);
  }

  history::History History() {
    const auto fs = platform::MakeRealFileSystem();
    history::Result<history::History> read = history::ReadHistoryFolder(*fs, tree.Path(u"D"));
    EXPECT_TRUE(read) << history::Describe(read.failure());
    return read ? read.value() : history::History{};
  }

  // The check of D: every recorded file proven, nothing unrecorded.
  void ExpectWholeCheck() {
    const auto fs = platform::MakeRealFileSystem();
    const check::TreeCheck check = check::CheckTree(*fs, tree.Path(u"D"));
    EXPECT_EQ(check.outcome, check::CheckOutcome::kProven) << platform::ToDisplay(check::CheckOutcomeLine(check));
    for (const check::CheckedFile& file : check.files) {
      EXPECT_FALSE(file.IsFailure() || file.IsWarning()) << platform::ToDisplay(check::DescribeCheckedFile(check, file));
    }
  }

};

// Card 1 collected, recorded and marked (and maybe cleared); card 2 has a shot of the same name
// with other footage. Nothing of card 1's record is replaced or removed, card 2's clips keep their
// names and each says why, and the tree still passes its check.
TEST_F(RecordedCopiesTest, ASecondCardWithTheSameShotNamesLeavesTheFirstCardsCopiesAsRecorded) {
  for (const char16_t* name : {u"v01.mp4", u"v02.mp4", u"v03.mp4", u"v04.mp4"}) {
    Clip(u"card1", u"ab_cd_ef", name, "card 1 " + platform::ToDisplay(name));
  }
  ASSERT_EQ(Collect(u"card1").outcome, report::Outcome::kComplete);
  const std::string collected = tree.Dump(u"D");
  ASSERT_NE(collected.find("ab_cd_int_ef__m03/video/v03_hires.mp4"), std::string::npos);

  // v01 as long as card 1's (known different only once it is read), v02 longer, v03 shorter.
  Clip(u"card2", u"ab_cd_ef", u"v01.mp4", "card 2 v01.mp4");
  Clip(u"card2", u"ab_cd_ef", u"v02.mp4", "card 2 v02.mp4, longer");
  Clip(u"card2", u"ab_cd_ef", u"v03.mp4", "v03");
  const std::string card2 = tree.Dump(u"card2");

  const report::PassReport dryRun = Collect(u"card2", nullptr, true);
  const std::vector<std::string> planned = Problems(dryRun);
  EXPECT_NE(std::find_if(planned.begin(), planned.end(),
                         [](const std::string& line) {
                           return line.starts_with("warning: <root>/card2/ab_cd_ef/MP4 HIGH RES/v01.mp4: "
                                                   "<root>/D/ab_cd_adl_ef/video/v01_hires.mp4 holds the copy recorded by "
                                                   "generation 1 on ");
                         }),
            planned.end());

  const report::PassReport report = Collect(u"card2");
  EXPECT_EQ(report::OutcomeLine(report), u"video copy incomplete: 3 of 3 clips could not be copied");
  EXPECT_EQ(report::ExitStatus(report), 1);
  const std::vector<std::string> lines = Problems(report);
  ASSERT_EQ(lines.size(), 3u) << ::testing::PrintToString(lines);
  for (const char* clip : {"v02", "v03", "v01"}) {
    const std::string line = std::string("failure: <root>/card2/ab_cd_ef/MP4 HIGH RES/") + clip +
                             ".mp4: not copied: <root>/D/ab_cd_adl_ef/video/" + clip +
                             "_hires.mp4 holds another clip's copy, recorded by generation 1 on ";
    EXPECT_NE(std::find_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.starts_with(line); }),
              lines.end())
        << line << "\n" << ::testing::PrintToString(lines);
  }
  EXPECT_EQ(tree.Dump(u"D"), collected);
  EXPECT_EQ(tree.Dump(u"card2"), card2);
  EXPECT_EQ(History().generations.size(), 1u);
  ExpectWholeCheck();

  // The same clip with the same bytes: nothing changes from an ordinary rerun.
  for (const char16_t* name : {u"v01.mp4", u"v02.mp4", u"v03.mp4", u"v04.mp4"}) {
    Clip(u"card1b", u"ab_cd_ef", name, "card 1 " + platform::ToDisplay(name));
  }
  EXPECT_EQ(Collect(u"card1b").outcome, report::Outcome::kComplete);
  EXPECT_EQ(tree.Dump(u"D").substr(0, collected.find("ascmhl/")), collected.substr(0, collected.find("ascmhl/")));
  ExpectWholeCheck();
}

// The clean-up after a card's highest clip was deleted from it: the int copy of the clip now
// highest is recorded, and stays with its folders; the pass says so and is complete.
TEST_F(RecordedCopiesTest, TheCleanUpNeverRemovesARecordedCopy) {
  for (const char16_t* name : {u"v01.mp4", u"v02.mp4", u"v03.mp4", u"v04.mp4"}) {
    Clip(u"card1", u"ab_cd_ef", name, "card 1 " + platform::ToDisplay(name));
  }
  ASSERT_EQ(Collect(u"card1").outcome, report::Outcome::kComplete);
  tree.Remove(u"card1/ab_cd_ef/MP4 HIGH RES/v04_hires.mp4");
  const std::string collected = tree.Dump(u"D");
  std::vector<std::string> planned;
  pass::PassOptions dry;
  dry.dryRun = true;
  dry.printLine = [&](const std::string& line) { planned.push_back(line); };
  const auto fs = platform::MakeRealFileSystem();
  (void)pass::CollectClips(*fs, tree.Path(u"card1"), tree.Path(u"D"), dry);
  for (const std::string& line : planned) {
    EXPECT_FALSE(line.starts_with("delete ") || line.starts_with("rmdir ")) << line;
  }
  const report::PassReport report = Collect(u"card1");
  EXPECT_EQ(report.outcome, report::Outcome::kComplete);
  EXPECT_EQ(Problems(report), (std::vector<std::string>{
      "warning: <root>/D/ab_cd_int_ef__m03/video/v03_hires.mp4: not removed by the clean-up: the history records it "
      "(generation 1)",
  }));
  EXPECT_EQ(tree.Dump(u"D"), collected);
  ExpectWholeCheck();
}

// A copy in place with its clip's size and time, but another clip's bytes, that the history
// records: read back, found to differ, and kept as it is; the clip keeps its name.
TEST_F(RecordedCopiesTest, ARecordedCopyInPlaceThatDiffersFromTheClipIsKept) {
  Clip(u"card1", u"ab_cd_ef", u"v01.mp4", "card 1 v01");
  ASSERT_EQ(Collect(u"card1").outcome, report::Outcome::kComplete);
  Clip(u"card2", u"ab_cd_ef", u"v01.mp4", "card 2 v01");
  {
    // The second card's clip with the time the copy carries.
    const auto fs = platform::MakeRealFileSystem();
    platform::FileStatus copy;
    std::unique_ptr<platform::OpenFile> clip;
    ASSERT_FALSE(fs->GetStatus(tree.Path(u"D/ab_cd_adl_ef/video/v01_hires.mp4"), copy));
    ASSERT_FALSE(fs->OpenForWriting(tree.Path(u"card2/ab_cd_ef/MP4 HIGH RES/v01.mp4"), clip));
    ASSERT_FALSE(clip->TakeAttributes(copy));
    ASSERT_FALSE(clip->Close());
  }
  const report::PassReport report = Collect(u"card2");
  EXPECT_EQ(report::OutcomeLine(report), u"video copy incomplete: 1 of 1 clips could not be copied");
  ASSERT_EQ(Problems(report).size(), 1u);
  EXPECT_TRUE(Problems(report)[0].starts_with("failure: <root>/card2/ab_cd_ef/MP4 HIGH RES/v01.mp4: not copied: "
                                           "<root>/D/ab_cd_adl_ef/video/v01_hires.mp4 holds another clip's copy"))
      << Problems(report)[0];
  EXPECT_EQ(tree.ReadFile(u"D/ab_cd_adl_ef/video/v01_hires.mp4"), "card 1 v01");
  EXPECT_TRUE(tree.Exists(u"card2/ab_cd_ef/MP4 HIGH RES/v01.mp4"));
  ExpectWholeCheck();
}

// A copy in place that no history records (its pass was killed before it could record it, or kept
// no history) is proven and recorded as its path's first entry, also when its clip is marked.
TEST_F(RecordedCopiesTest, CopiesOfMarkedClipsRecordedNowhereAreProvenAndRecordedAsOriginal) {
  Clip(u"card1", u"ab_cd_ef", u"v01.mp4", "one");
  Clip(u"card1", u"ab_cd_ef", u"v02.mp4", "two");
  Clip(u"card1", u"ab_cd_ef", u"v03.mp4", "three");
  const auto fs = platform::MakeRealFileSystem();
  ASSERT_EQ(pass::CollectClips(*fs, tree.Path(u"card1"), tree.Path(u"D")).outcome, report::Outcome::kComplete);  // no history
  const report::PassReport report = Collect(u"card1");
  EXPECT_EQ(report.outcome, report::Outcome::kComplete);
  EXPECT_EQ(report.copiesProven, 4u);
  const history::History read = History();
  ASSERT_EQ(read.generations.size(), 1u);
  EXPECT_EQ(read.generations[0].generation.hashes.size(), 4u);
  for (const history::HashEntry& entry : read.generations[0].generation.hashes) {
    EXPECT_EQ(entry.action, history::HashAction::kOriginal) << platform::ToDisplay(entry.path);
  }
  ExpectWholeCheck();
  // Recorded now: the next pass reads nothing again.
  EXPECT_EQ(Collect(u"card1").copiesInPlace, 4u);
  EXPECT_EQ(History().generations.size(), 1u);
}

#ifndef _WIN32
// A name that is not UTF-8 leaves that one copy out of the generation, with a warning naming it;
// every other copy of the pass is recorded.
TEST_F(RecordedCopiesTest, ANameXmlCannotHoldLeavesOnlyThatCopyOutOfTheHistory) {
  Clip(u"card1", u"ab_cd_ef", u"v01.mp4", "one");
  Clip(u"card1", u"ab_cd_ef", u"take\xDCE9.mp4", "a Latin-1 name");
  const report::PassReport report = Collect(u"card1");
  EXPECT_EQ(report.outcome, report::Outcome::kComplete);
  EXPECT_EQ(Problems(report), (std::vector<std::string>{
      "warning: '<root>/D/ab_cd_adl_ef/video/take'$'\\351''_hires.mp4': not recorded in the history: its name "
      "holds what XML cannot (a byte that is not UTF-8, or a control character)",
  }));
  const history::History read = History();
  ASSERT_EQ(read.generations.size(), 1u);
  ASSERT_EQ(read.generations[0].generation.hashes.size(), 1u);
  EXPECT_EQ(read.generations[0].generation.hashes[0].path, u"ab_cd_adl_ef/video/v01_hires.mp4");
  EXPECT_TRUE(tree.Exists(u"card1/ab_cd_ef/MP4 HIGH RES/take\xDCE9_hires.mp4"));
}
#endif

// A destination folder whose name takes 240 bytes: its generation's file name is shortened to fit.
TEST_F(RecordedCopiesTest, ALongDestinationNameStillGetsItsHistory) {
  const std::u16string name(240, u'd');
  tree.MakeFolder(name);
  Clip(u"card1", u"ab_cd_ef", u"v01.mp4", "one");
  const auto fs = platform::MakeRealFileSystem();
  pass::PassOptions options;
  options.keepHistory = true;
  const report::PassReport report = pass::CollectClips(*fs, tree.Path(u"card1"), tree.Path(name), options);
  EXPECT_EQ(report.outcome, report::Outcome::kComplete);
  EXPECT_TRUE(report.problems.empty()) << platform::ToDisplay(report::MessageText(report));
  history::Result<history::History> read = history::ReadHistoryFolder(*fs, tree.Path(name));
  ASSERT_TRUE(read) << history::Describe(read.failure());
  ASSERT_EQ(read.value().generations.size(), 1u);
  const std::u16string file = read.value().generations[0].entry.fileName;
  EXPECT_LE(platform::ToNativeName(file).size(), 255u);
  EXPECT_TRUE(file.starts_with(u"0001_dddd")) << platform::ToDisplay(file);
}

// A pass whose generation could not be written leaves its spool: the next pass writes that
// generation first, once, as the pass that made the copies, then its own.
TEST_F(RecordedCopiesTest, AStoppedPassesRecordBecomesItsOwnGenerationOnce) {
  Clip(u"card1", u"ab_cd_ef", u"v01.mp4", "one");
  Clip(u"card1", u"ab_cd_ef", u"v02.mp4", "two");
  recorder.fault = [](const std::string& call) {
    // The generation's move into place.
    return call.starts_with("move ") && call.ends_with(".mhl") ? std::make_error_code(std::errc::io_error)
                                                                 : std::error_code();
  };
  const report::PassReport first = Collect(u"card1", &recorder);
  EXPECT_EQ(first.outcome, report::Outcome::kComplete);
  EXPECT_EQ(first.clipsMarked, 2u);
  const std::vector<std::string> lines = Problems(first);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(lines[0].ends_with("; the next pass to this folder records its copies")) << lines[0];

  Clip(u"card1", u"ab_cd_ef", u"v03.mp4", "three");
  EXPECT_EQ(Collect(u"card1").outcome, report::Outcome::kComplete);
  const history::History read = History();
  ASSERT_EQ(read.generations.size(), 2u);
  EXPECT_EQ(read.generations[0].generation.hashes.size(), 2u);  // v01, v02 (the greatest: no int copy)
  const auto latest = history::LatestEntries(read);
  EXPECT_EQ(latest.size(), 4u);  // and v03, and v02's int copy now
  for (const auto& [path, entry] : latest) {
    EXPECT_EQ(entry.entry.action, history::HashAction::kOriginal) << platform::ToDisplay(path);
  }
  ExpectWholeCheck();
  EXPECT_EQ(Collect(u"card1").outcome, report::Outcome::kComplete);
  EXPECT_EQ(History().generations.size(), 2u);
}

}  // namespace
}  // namespace marlowin
