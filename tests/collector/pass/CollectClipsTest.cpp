#include "collector/pass/CollectClips.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/Errors.h"
#include "platform/NativeName.h"

#include "tests/support/PassFixture.h"
#include "tests/support/RecordingFileSystem.h"
#include "tests/support/Shoot.h"
#include "tests/support/TempTree.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace marlowin {
namespace {

using testing::RecordingFileSystem;
using testing::TempTree;

// A starting folder S and a destination folder D in a fresh temporary tree.
class CollectClipsTest : public testing::PassFixture {};

TEST_F(CollectClipsTest, WorkedExampleMakesExactlyTheseChangesAndThisTree) {
  AddClips(u"ab_cd_ef", {u"v01.mp4", u"v02.mp4", u"v03.mp4"});
  const report::PassReport report = Pass();

  // The int copy comes from the adl copy; that of the greatest clip, which the clean-up
  // deletes, is not written (so its delete changes nothing and is no change here); the clips are marked once their copies are committed (proven and
  // in place).
  const std::string clips = "<root>/S/ab_cd_ef/MP4 HIGH RES/";
  const std::string adl = "<root>/D/ab_cd_adl_ef/video/";
  const std::vector<std::string> expected = {
      "mkdir <root>/D/ab_cd_adl_ef",
      "mkdir <root>/D/ab_cd_adl_ef/video",
      "copy " + clips + "v01.mp4 -> " + adl + "v01_hires.mp4",
      "copy " + clips + "v02.mp4 -> " + adl + "v02_hires.mp4",
      "mkdir <root>/D/ab_cd_int_ef__m02",
      "mkdir <root>/D/ab_cd_int_ef__m02/video",
      "copy " + adl + "v02_hires.mp4 -> <root>/D/ab_cd_int_ef__m02/video/v02_hires.mp4",
      "copy " + clips + "v03.mp4 -> " + adl + "v03_hires.mp4",
      "mkdir <root>/D/ab_cd_int_ef__m03",
      "mkdir <root>/D/ab_cd_int_ef__m03/video",
      "rmdir <root>/D/ab_cd_int_ef__m03/video",
      "rmdir <root>/D/ab_cd_int_ef__m03",
      "move " + clips + "v01.mp4 -> " + clips + "v01_hires.mp4",
      "move " + clips + "v02.mp4 -> " + clips + "v02_hires.mp4",
      "move " + clips + "v03.mp4 -> " + clips + "v03_hires.mp4",
  };
  EXPECT_EQ(recorder.Changes(), expected);
  EXPECT_EQ(tree.Dump(),
            "D/\n"
            "D/ab_cd_adl_ef/\n"
            "D/ab_cd_adl_ef/video/\n"
            "D/ab_cd_adl_ef/video/v01_hires.mp4 = ab_cd_ef/v01.mp4\n"
            "D/ab_cd_adl_ef/video/v02_hires.mp4 = ab_cd_ef/v02.mp4\n"
            "D/ab_cd_adl_ef/video/v03_hires.mp4 = ab_cd_ef/v03.mp4\n"
            "D/ab_cd_int_ef__m02/\n"
            "D/ab_cd_int_ef__m02/video/\n"
            "D/ab_cd_int_ef__m02/video/v02_hires.mp4 = ab_cd_ef/v02.mp4\n"
            "S/\n"
            "S/ab_cd_ef/\n"
            "S/ab_cd_ef/MP4 HIGH RES/\n"
            "S/ab_cd_ef/MP4 HIGH RES/v01_hires.mp4 = ab_cd_ef/v01.mp4\n"
            "S/ab_cd_ef/MP4 HIGH RES/v02_hires.mp4 = ab_cd_ef/v02.mp4\n"
            "S/ab_cd_ef/MP4 HIGH RES/v03_hires.mp4 = ab_cd_ef/v03.mp4\n");
  EXPECT_EQ(report.clipsSeen, 3u);
  EXPECT_EQ(report.clipsCollected, 3u);
  EXPECT_EQ(report.clipsMarked, 3u);
  EXPECT_EQ(report.copiesWritten, 4u);
  EXPECT_TRUE(report.problems.empty());
  EXPECT_EQ(report::OutcomeLine(report), u"video copy complete");
}

TEST_F(CollectClipsTest, GreatestNumberedClipLosesItsIntCopyAndClipOneGetsNone) {
  AddClips(u"ab_cd_ef", {u"v01.mp4", u"v02.mp4", u"v03.mp4", u"v04.mp4", u"v05.mp4"});
  AddClips(u"gh_ij_kl", {u"v01.mp4"});
  AddClips(u"mn_op_qr", {u"intro.mp4"});
  tree.MakeFolder(testing::ClipIn(u"st_uv_wx"));  // an empty clip folder
  tree.MakeFolder(u"S/yz_ab_cd");                // no clip folder at all
  Pass();
  EXPECT_EQ(tree.Dump(u"D"),
            "ab_cd_adl_ef/\n"
            "ab_cd_adl_ef/video/\n"
            "ab_cd_adl_ef/video/v01_hires.mp4 = ab_cd_ef/v01.mp4\n"
            "ab_cd_adl_ef/video/v02_hires.mp4 = ab_cd_ef/v02.mp4\n"
            "ab_cd_adl_ef/video/v03_hires.mp4 = ab_cd_ef/v03.mp4\n"
            "ab_cd_adl_ef/video/v04_hires.mp4 = ab_cd_ef/v04.mp4\n"
            "ab_cd_adl_ef/video/v05_hires.mp4 = ab_cd_ef/v05.mp4\n"
            "ab_cd_int_ef__m02/\n"
            "ab_cd_int_ef__m02/video/\n"
            "ab_cd_int_ef__m02/video/v02_hires.mp4 = ab_cd_ef/v02.mp4\n"
            "ab_cd_int_ef__m03/\n"
            "ab_cd_int_ef__m03/video/\n"
            "ab_cd_int_ef__m03/video/v03_hires.mp4 = ab_cd_ef/v03.mp4\n"
            "ab_cd_int_ef__m04/\n"
            "ab_cd_int_ef__m04/video/\n"
            "ab_cd_int_ef__m04/video/v04_hires.mp4 = ab_cd_ef/v04.mp4\n"
            "gh_ij_adl_kl/\n"
            "gh_ij_adl_kl/video/\n"
            "gh_ij_adl_kl/video/v01_hires.mp4 = gh_ij_kl/v01.mp4\n"
            "mn_op_adl_qr/\n"
            "mn_op_adl_qr/video/\n"
            "mn_op_adl_qr/video/intro_hires.mp4 = mn_op_qr/intro.mp4\n"
            "st_uv_adl_wx/\n"
            "st_uv_adl_wx/video/\n"
            "yz_ab_adl_cd/\n"
            "yz_ab_adl_cd/video/\n");
  EXPECT_TRUE(tree.Exists(testing::ClipIn(u"gh_ij_kl", u"v01_hires.mp4")));
  EXPECT_TRUE(tree.Exists(testing::ClipIn(u"mn_op_qr", u"intro_hires.mp4")));
  // Clip 01 alone: nothing remembered, so the clean-up touches nothing.
  for (const std::string& call : recorder.Calls()) {
    EXPECT_EQ(call.find("gh_ij_int"), std::string::npos) << call;
    EXPECT_EQ(call.find("mn_op_int"), std::string::npos) << call;
  }
}

TEST_F(CollectClipsTest, ClipOneAfterClipZeroLeavesTheZeroIntCopy) {
  AddClips(u"ab_cd_ef", {u"v00.mp4", u"v01.mp4"});
  const report::PassReport report = Pass();
  EXPECT_EQ(tree.Dump(u"D/ab_cd_int_ef__m00"), "video/\nvideo/v00_hires.mp4 = ab_cd_ef/v00.mp4\n");
  // The clean-up deletes v01_hires.mp4 there, which is not there (no change), then tries the folders.
  const std::vector<std::string> calls = recorder.Calls();
  const auto cleanUp = std::find(calls.begin(), calls.end(), "delete <root>/D/ab_cd_int_ef__m00/video/v01_hires.mp4");
  ASSERT_NE(cleanUp, calls.end());
  const std::vector<std::string> changes = recorder.Changes();
  EXPECT_EQ(std::vector<std::string>(changes.end() - 2, changes.end()),
            (std::vector<std::string>{"rmdir <root>/D/ab_cd_int_ef__m00/video", "rmdir <root>/D/ab_cd_int_ef__m00"}));
  // As designed, but a person should know why the folders stay.
  EXPECT_EQ(report.outcome, report::Outcome::kComplete);
  ASSERT_EQ(Problems(report).size(), 2u);
  EXPECT_EQ(Problems(report)[0].rfind("warning: <root>/D/ab_cd_int_ef__m00/video: not removed: ", 0), 0u);
}

TEST_F(CollectClipsTest, TwoClipsWithOneNumberShareTheirCopiesAndOnlyTheLaterIsCollected) {
  AddClips(u"ab_cd_ef", {u"v02.mp4", u"v02_hires.mp4", u"v03.MP4", u"notes.txt", u"README"});
  const report::PassReport report = Pass();
  EXPECT_EQ(tree.Dump(u"D"),
            "ab_cd_adl_ef/\n"
            "ab_cd_adl_ef/video/\n"
            "ab_cd_adl_ef/video/v02_hires.mp4 = ab_cd_ef/v02_hires.mp4\n");
  EXPECT_EQ(tree.Dump(testing::ClipIn(u"ab_cd_ef")),
            "README = ab_cd_ef/README\n"
            "notes.txt = ab_cd_ef/notes.txt\n"
            "v02.mp4 = ab_cd_ef/v02.mp4\n"
            "v02_hires.mp4 = ab_cd_ef/v02_hires.mp4\n"
            "v03.MP4 = ab_cd_ef/v03.MP4\n");
  EXPECT_EQ(report.clipsSeen, 2u);
  // v02.mp4's copy is replaced by v02_hires.mp4's: it has no copy of its own.
  EXPECT_EQ(report::OutcomeLine(report), u"video copy incomplete: 1 of 2 clips could not be copied");
  const std::string clips = "<root>/S/ab_cd_ef/MP4 HIGH RES/";
  EXPECT_EQ(Problems(report), (std::vector<std::string>{
      "failure: " + clips + "v02.mp4: not collected: its copy is replaced by the copy of " + clips + "v02_hires.mp4",
      "warning: " + clips + "notes.txt: not a clip (only names ending in \".mp4\" are clips)",
      "warning: " + clips + "README: not a clip (only names ending in \".mp4\" are clips)",
      "warning: " + clips + "v03.MP4: not a clip (only names ending in \".mp4\" are clips)",
  }));
  // And so it stays, pass after pass.
  const std::string after = tree.Dump();
  EXPECT_EQ(report::OutcomeLine(Pass()), u"video copy incomplete: 1 of 2 clips could not be copied");
  EXPECT_EQ(tree.Dump(), after);
}

TEST_F(CollectClipsTest, UnderscoreFolderEndsThePassWhereWindowsListsItAndOddNamesAreSkipped) {
  AddClips(u"AB_cd_ef", {u"v02.mp4"});
  AddClips(u"zz_cd_ef", {u"v02.mp4"});    // lower case: still listed before "_", as on NTFS
  AddClips(u"_ab_cd_ef", {u"v02.mp4"});   // listed after it: never reached
  AddClips(u"AA_cd", {u"v02.mp4"});       // two words
  AddClips(u"AA__bb_cc", {u"v02.mp4"});   // two underscores in a row
  AddClips(u"AA_bb_adl_cc", {u"v02.mp4"});  // an adl folder
  tree.WriteFile(u"S/AA_bb_cc.mp4", "a file, not a folder");
  tree.MakeFolder(u"S/_");
  const report::PassReport report = Pass();
  EXPECT_EQ(tree.Dump(u"D"),
            "AB_cd_adl_ef/\n"
            "AB_cd_adl_ef/video/\n"
            "AB_cd_adl_ef/video/v02_hires.mp4 = AB_cd_ef/v02.mp4\n"
            "zz_cd_adl_ef/\n"
            "zz_cd_adl_ef/video/\n"
            "zz_cd_adl_ef/video/v02_hires.mp4 = zz_cd_ef/v02.mp4\n");
  EXPECT_TRUE(tree.Exists(testing::ClipIn(u"_ab_cd_ef", u"v02.mp4")));
  EXPECT_TRUE(tree.Exists(testing::ClipIn(u"AA_cd", u"v02.mp4")));
  EXPECT_TRUE(tree.Exists(testing::ClipIn(u"AA_bb_adl_cc", u"v02.mp4")));
  EXPECT_EQ(Problems(report), (std::vector<std::string>{
      "warning: <root>/S/AA_bb_adl_cc: not a shot folder: its name is that of an adl folder, which the pass makes",
      "warning: <root>/S/AA_cd: not a shot folder: its name has fewer than three parts separated by _",
      "warning: <root>/S/AA__bb_cc: not a shot folder: its name has two _ in a row",
      "warning: <root>/S/_: a name of underscores only ends the pass here",
      "warning: <root>/S/_ab_cd_ef: not visited, the pass ended before it",
  }));
}

TEST_F(CollectClipsTest, FoldersWithTheSameKeyTokensShareTheirAdlAndIntFolders) {
  AddClips(u"ab_cd_ef", {u"v02.mp4", u"v03.mp4"});
  AddClips(u"ab_cd_x_ef", {u"v02.mp4"});
  const report::PassReport report = Pass();
  // The later folder replaces the earlier one's copies, and its clean-up (greatest number 02)
  // deletes the m02 int copy the earlier folder kept.
  EXPECT_EQ(tree.Dump(u"D"),
            "ab_cd_adl_ef/\n"
            "ab_cd_adl_ef/video/\n"
            "ab_cd_adl_ef/video/v02_hires.mp4 = ab_cd_x_ef/v02.mp4\n"
            "ab_cd_adl_ef/video/v03_hires.mp4 = ab_cd_ef/v03.mp4\n");
  // The earlier v02's copies are not its own any more: it is not marked. Its v03 is collected.
  EXPECT_EQ(report::OutcomeLine(report), u"video copy incomplete: 1 of 3 clips could not be copied");
  EXPECT_EQ(Problems(report), (std::vector<std::string>{
      "failure: <root>/S/ab_cd_ef/MP4 HIGH RES/v02.mp4: not collected: its copy is replaced by the copy of "
      "<root>/S/ab_cd_x_ef/MP4 HIGH RES/v02.mp4",
  }));
  EXPECT_TRUE(tree.Exists(testing::ClipIn(u"ab_cd_ef", u"v02.mp4")));
  EXPECT_TRUE(tree.Exists(testing::ClipIn(u"ab_cd_ef", u"v03_hires.mp4")));
  EXPECT_TRUE(tree.Exists(testing::ClipIn(u"ab_cd_x_ef", u"v02_hires.mp4")));
  EXPECT_EQ(report::SummaryLine(report).rfind(u"2 clips copied, 1 not collected, from 1 of 2 shot folders to ", 0), 0u)
      << platform::ToDisplay(report::SummaryLine(report));
  // A rerun makes the same tree and the same verdict.
  const std::string after = tree.Dump();
  EXPECT_EQ(report::OutcomeLine(Pass()), u"video copy incomplete: 1 of 3 clips could not be copied");
  EXPECT_EQ(tree.Dump(), after);
}

// With a failure the plan knows (a copy a later shot replaces), the dry run still lists exactly
// what the pass does: the clip whose copy is replaced is not moved to its marked name.
TEST_F(CollectClipsTest, FoldersSharingTheirAdlFolderAreListedAsThePassGoesAndEachProblemOnce) {
  AddClips(u"ab_cd_ef", {u"v01.mp4", u"v02.mp4", u"v03.mp4", u"v04.mp4"});
  AddClips(u"ab_cd_x_ef", {u"v01.mp4", u"v02.mp4", u"v03.mp4"});
  std::vector<std::string> planned;
  pass::PassOptions dry;
  dry.dryRun = true;
  dry.printLine = [&](const std::string& line) {
    if (line != "commit") planned.push_back(recorder.ShowLine(line));
  };
  const auto fs = platform::MakeRealFileSystem();
  const report::PassReport dryRun = pass::CollectClips(*fs, tree.Path(u"S"), tree.Path(u"D"), dry);
  recorder.Clear();
  const report::PassReport report = pass::CollectClips(recorder, tree.Path(u"S"), tree.Path(u"D"));
  EXPECT_EQ(recorder.Changes(), planned);
  EXPECT_EQ(report::OutcomeLine(report), u"video copy incomplete: 3 of 7 clips could not be copied");
  EXPECT_EQ(Problems(report), Problems(dryRun));
  std::vector<std::string> lines = Problems(report);
  ASSERT_EQ(lines.size(), 3u);
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(std::unique(lines.begin(), lines.end()), lines.end());
}

TEST_F(CollectClipsTest, SecondPassRenamesNothingWritesNothingAndLeavesTheSameTree) {
  AddClips(u"ab_cd_ef", {u"v01.mp4", u"v02.mp4", u"v03.mp4", u"v04_hires.mp4"});
  Pass();
  const std::string afterFirst = tree.Dump();
  const report::PassReport second = Pass();
  EXPECT_EQ(tree.Dump(), afterFirst);
  EXPECT_EQ(second.clipsCollected, 4u);
  EXPECT_EQ(second.copiesWritten, 0u);
  EXPECT_EQ(second.copiesInPlace, 6u);
  // Nothing is written, renamed or read back: every clip carries its mark.
  for (const std::string& call : recorder.Calls()) {
    EXPECT_NE(call.rfind("move ", 0), 0u) << call;
    EXPECT_NE(call.rfind("create-temporary ", 0), 0u) << call;
    EXPECT_NE(call.rfind("open-from-disk ", 0), 0u) << call;
  }
}

TEST_F(CollectClipsTest, FoldersThatAreOneOrInsideTheOtherAreRefusedAndNothingChanges) {
  AddClips(u"ab_cd_ef", {u"v02.mp4", u"v03.mp4"});
  tree.MakeFolder(u"S/ab_cd_ef/backup");
  const std::string before = tree.Dump();
  const auto refused = [&](const std::u16string& start, const std::u16string& destination) {
    const report::PassReport report = pass::CollectClips(recorder, start, destination);
    EXPECT_EQ(report::ExitStatus(report), 2);
    EXPECT_EQ(report::SummaryLine(report), u"Nothing was changed.");
    return report::OutcomeLine(report);
  };
  EXPECT_EQ(refused(tree.Path(u"S"), tree.Path(u"S")),
            u"video copy not started: the starting folder and the copy to folder are the same folder");
  // A folder on the card itself, picked by mistake: its clips would be marked with their only
  // copies on the card.
  EXPECT_EQ(refused(tree.Path(u"S"), tree.Path(u"S/ab_cd_ef/backup")),
            u"video copy not started: the copy to folder lies inside the starting folder");
  EXPECT_EQ(refused(tree.Path(u"S/ab_cd_ef"), tree.Path(u"S")),
            u"video copy not started: the starting folder lies inside the copy to folder");
#ifndef _WIN32
  // Also when a link leads there.
  ASSERT_EQ(::symlink(platform::ToNativeName(tree.Path(u"S/ab_cd_ef/backup")).c_str(),
                      platform::ToNativeName(tree.Path(u"linked")).c_str()), 0);
  EXPECT_EQ(refused(tree.Path(u"S"), tree.Path(u"linked")),
            u"video copy not started: the copy to folder lies inside the starting folder");
  ASSERT_EQ(::unlink(platform::ToNativeName(tree.Path(u"linked")).c_str()), 0);
#endif
  EXPECT_EQ(tree.Dump(), before);
  for (const std::string& call : recorder.Calls()) EXPECT_EQ(call.rfind("lock ", 0), std::string::npos) << call;
  // A sibling whose name begins with the other's is no folder inside it.
  tree.MakeFolder(u"S2");
  EXPECT_EQ(Pass(tree.Path(u"S"), tree.Path(u"S2")).outcome, report::Outcome::kComplete);
}

TEST_F(CollectClipsTest, DestinationEndingInASeparatorIsUsedAsFormed) {
  AddClips(u"ab_cd_ef", {u"v02.mp4"});
  Pass(tree.Path(u"S"), tree.Path(u"D") + platform::kPathSeparator);
  EXPECT_EQ(recorder.Changes()[0], "mkdir <root>/D//ab_cd_adl_ef");
  EXPECT_TRUE(tree.Exists(u"D/ab_cd_adl_ef/video/v02_hires.mp4"));
}

// A clip that grows after its copy was made (a camera still writing), before its batch is proven:
// it keeps its name, and the next pass collects it whole.
TEST_F(CollectClipsTest, AClipAppendedToAfterItsCopyIsNotMarkedAndTheNextPassCollectsItWhole) {
  AddClips(u"ab_cd_ef", {u"v01.mp4", u"v02.mp4", u"v03.mp4"});
  bool appended = false;
  recorder.before = [&](const std::string& call) {
    // The batch's flush comes after every copy of it was made and checked.
    if (appended || call.rfind("flush-volume ", 0) != 0) return;
    appended = true;
    tree.WriteFile(testing::ClipIn(u"ab_cd_ef", u"v02.mp4"), "ab_cd_ef/v02.mp4" + std::string(4096, 'x'));
  };
  const report::PassReport report = Pass();
  ASSERT_TRUE(appended);
  const std::string clips = "<root>/S/ab_cd_ef/MP4 HIGH RES/";
  EXPECT_EQ(Problems(report), (std::vector<std::string>{
      "failure: " + clips + "v02.mp4: copied, but not marked as " + clips + "v02_hires.mp4: it changed while being collected",
  }));
  EXPECT_TRUE(tree.Exists(testing::ClipIn(u"ab_cd_ef", u"v02.mp4")));
  recorder.before = [](const std::string&) {};
  EXPECT_EQ(Pass().outcome, report::Outcome::kComplete);
  const std::string whole = "ab_cd_ef/v02.mp4" + std::string(4096, 'x');
  EXPECT_EQ(tree.ReadFile(testing::ClipIn(u"ab_cd_ef", u"v02_hires.mp4")), whole);
  EXPECT_EQ(tree.ReadFile(u"D/ab_cd_adl_ef/video/v02_hires.mp4"), whole);
  EXPECT_EQ(tree.ReadFile(u"D/ab_cd_int_ef__m02/video/v02_hires.mp4"), whole);
}

}  // namespace
}  // namespace marlowin
