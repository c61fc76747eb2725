#include "collector/CollectClips.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/RecordingFileSystem.h"
#include "tests/support/TempTree.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace marlowin {
namespace {

using testing::RecordingFileSystem;
using testing::TempTree;

// A starting folder S and a destination folder D in a fresh temporary tree.
class CollectClipsTest : public ::testing::Test {
 protected:
  CollectClipsTest() : recorder(sys::RealFileSystem(), tree.Root()) {
    tree.MakeFolder(u"S");
    tree.MakeFolder(u"D");
  }

  void AddClips(const std::u16string& sourceFolder, std::initializer_list<const char16_t*> names) {
    for (const char16_t* name : names) {
      const std::u16string path = u"S/" + sourceFolder + u"/MP4 HIGH RES/" + name;
      tree.WriteFile(path, sys::ToDisplay(sourceFolder + u"/" + name));
    }
  }

  CollectionSummary Pass() { return CollectClips(recorder, tree.Path(u"S"), tree.Path(u"D")); }

  TempTree tree;
  RecordingFileSystem recorder;
};

TEST_F(CollectClipsTest, WorkedExampleMakesExactlyTheseCallsAndThisTree) {
  AddClips(u"ab_cd_ef", {u"v01.mp4", u"v02.mp4", u"v03.mp4"});
  const CollectionSummary summary = Pass();

  const std::string clips = "<root>/S/ab_cd_ef/MP4 HIGH RES/";
  const std::string adl = "<root>/D/ab_cd_adl_ef/video/";
  const std::vector<std::string> expected = {
      "list <root>/S",
      "mkdir <root>/D/ab_cd_adl_ef",
      "mkdir <root>/D/ab_cd_adl_ef/video",
      "list " + clips.substr(0, clips.size() - 1),
      "copy " + clips + "v01.mp4 -> " + adl + "v01_hires.mp4",
      "move " + clips + "v01.mp4 -> " + clips + "v01_hires.mp4",
      "copy " + clips + "v02.mp4 -> " + adl + "v02_hires.mp4",
      "mkdir <root>/D/ab_cd_int_ef__m02",
      "mkdir <root>/D/ab_cd_int_ef__m02/video",
      "copy " + clips + "v02.mp4 -> <root>/D/ab_cd_int_ef__m02/video/v02_hires.mp4",
      "move " + clips + "v02.mp4 -> " + clips + "v02_hires.mp4",
      "copy " + clips + "v03.mp4 -> " + adl + "v03_hires.mp4",
      "mkdir <root>/D/ab_cd_int_ef__m03",
      "mkdir <root>/D/ab_cd_int_ef__m03/video",
      "copy " + clips + "v03.mp4 -> <root>/D/ab_cd_int_ef__m03/video/v03_hires.mp4",
      "move " + clips + "v03.mp4 -> " + clips + "v03_hires.mp4",
      "delete <root>/D/ab_cd_int_ef__m03/video/v03_hires.mp4",
      "rmdir <root>/D/ab_cd_int_ef__m03/video",
      "rmdir <root>/D/ab_cd_int_ef__m03",
  };
  EXPECT_EQ(recorder.calls, expected);
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
  EXPECT_EQ(summary.clipsSeen, 3u);
  EXPECT_EQ(summary.clipsCopied, 3u);
  EXPECT_EQ(summary.clipsNotCopied, 0u);
  EXPECT_EQ(DescribeOutcome(summary), u"video copy complete");
}

TEST_F(CollectClipsTest, GreatestNumberedClipLosesItsIntCopyAndClipOneGetsNone) {
  AddClips(u"ab_cd_ef", {u"v01.mp4", u"v02.mp4", u"v03.mp4", u"v04.mp4", u"v05.mp4"});
  AddClips(u"gh_ij_kl", {u"v01.mp4"});
  AddClips(u"mn_op_qr", {u"intro.mp4"});
  tree.MakeFolder(u"S/st_uv_wx/MP4 HIGH RES");  // an empty clip folder
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
  EXPECT_TRUE(tree.Exists(u"S/gh_ij_kl/MP4 HIGH RES/v01_hires.mp4"));
  EXPECT_TRUE(tree.Exists(u"S/mn_op_qr/MP4 HIGH RES/intro_hires.mp4"));
  // Clip 01 alone: nothing remembered, so the clean-up touches nothing.
  for (const std::string& call : recorder.calls) {
    EXPECT_EQ(call.find("gh_ij_int"), std::string::npos) << call;
    EXPECT_EQ(call.find("mn_op_int"), std::string::npos) << call;
  }
}

TEST_F(CollectClipsTest, ClipOneAfterClipZeroLeavesTheZeroIntCopy) {
  AddClips(u"ab_cd_ef", {u"v00.mp4", u"v01.mp4"});
  Pass();
  EXPECT_EQ(tree.Dump(u"D/ab_cd_int_ef__m00"), "video/\nvideo/v00_hires.mp4 = ab_cd_ef/v00.mp4\n");
  const std::vector<std::string> tail(recorder.calls.end() - 3, recorder.calls.end());
  EXPECT_EQ(tail, (std::vector<std::string>{
                      "delete <root>/D/ab_cd_int_ef__m00/video/v01_hires.mp4",
                      "rmdir <root>/D/ab_cd_int_ef__m00/video",
                      "rmdir <root>/D/ab_cd_int_ef__m00",
                  }));
}

TEST_F(CollectClipsTest, TwoClipsWithOneNumberShareTheirCopiesAndKeepTheirNames) {
  AddClips(u"ab_cd_ef", {u"v02.mp4", u"v02_hires.mp4", u"v03.MP4", u"notes.txt", u"README"});
  const CollectionSummary summary = Pass();
  EXPECT_EQ(tree.Dump(u"D"),
            "ab_cd_adl_ef/\n"
            "ab_cd_adl_ef/video/\n"
            "ab_cd_adl_ef/video/v02_hires.mp4 = ab_cd_ef/v02_hires.mp4\n");
  EXPECT_EQ(tree.Dump(u"S/ab_cd_ef/MP4 HIGH RES"),
            "README = ab_cd_ef/README\n"
            "notes.txt = ab_cd_ef/notes.txt\n"
            "v02.mp4 = ab_cd_ef/v02.mp4\n"
            "v02_hires.mp4 = ab_cd_ef/v02_hires.mp4\n"
            "v03.MP4 = ab_cd_ef/v03.MP4\n");
  EXPECT_EQ(summary.clipsSeen, 2u);
}

TEST_F(CollectClipsTest, UnderscoreFolderEndsThePassAndFilesAndOddNamesAreSkipped) {
  AddClips(u"AB_cd_ef", {u"v02.mp4"});       // listed before "_"
  AddClips(u"zz_cd_ef", {u"v02.mp4"});       // listed after it: never reached
  AddClips(u"AA_cd", {u"v02.mp4"});          // two tokens
  AddClips(u"AA__bb_cc", {u"v02.mp4"});      // two underscores in a row
  AddClips(u"AA_bb_adl_cc", {u"v02.mp4"});   // an adl folder
  tree.WriteFile(u"S/AA_bb_cc.mp4", "a file, not a folder");
  tree.MakeFolder(u"S/_");
  Pass();
  EXPECT_EQ(tree.Dump(u"D"),
            "AB_cd_adl_ef/\n"
            "AB_cd_adl_ef/video/\n"
            "AB_cd_adl_ef/video/v02_hires.mp4 = AB_cd_ef/v02.mp4\n");
  EXPECT_TRUE(tree.Exists(u"S/zz_cd_ef/MP4 HIGH RES/v02.mp4"));
  EXPECT_TRUE(tree.Exists(u"S/AA_cd/MP4 HIGH RES/v02.mp4"));
  EXPECT_TRUE(tree.Exists(u"S/AA_bb_adl_cc/MP4 HIGH RES/v02.mp4"));
}

TEST_F(CollectClipsTest, FoldersWithTheSameKeyTokensShareTheirAdlAndIntFolders) {
  AddClips(u"ab_cd_ef", {u"v02.mp4", u"v03.mp4"});
  AddClips(u"ab_cd_x_ef", {u"v02.mp4"});
  Pass();
  // The later folder replaces the earlier one's copies, and its clean-up (greatest number 02)
  // deletes the m02 int copy the earlier folder kept.
  EXPECT_EQ(tree.Dump(u"D"),
            "ab_cd_adl_ef/\n"
            "ab_cd_adl_ef/video/\n"
            "ab_cd_adl_ef/video/v02_hires.mp4 = ab_cd_x_ef/v02.mp4\n"
            "ab_cd_adl_ef/video/v03_hires.mp4 = ab_cd_ef/v03.mp4\n");
}

TEST_F(CollectClipsTest, SecondPassRenamesNothingAndLeavesTheSameTree) {
  AddClips(u"ab_cd_ef", {u"v01.mp4", u"v02.mp4", u"v03.mp4", u"v04_hires.mp4"});
  Pass();
  const std::string afterFirst = tree.Dump();
  recorder.calls.clear();
  const CollectionSummary second = Pass();
  EXPECT_EQ(tree.Dump(), afterFirst);
  EXPECT_EQ(second.clipsCopied, 4u);
  for (const std::string& call : recorder.calls) EXPECT_NE(call.rfind("move ", 0), 0u) << call;
}

TEST_F(CollectClipsTest, DestinationEqualToStartingFolderSkipsWhatThePassMade) {
  AddClips(u"ab_cd_ef", {u"v02.mp4", u"v03.mp4", u"v04.mp4"});
  CollectClips(recorder, tree.Path(u"S"), tree.Path(u"S"));
  const std::string afterFirst = tree.Dump();
  EXPECT_TRUE(tree.Exists(u"S/ab_cd_adl_ef/video/v03_hires.mp4"));
  EXPECT_TRUE(tree.Exists(u"S/ab_cd_int_ef__m03/video/v03_hires.mp4"));
  CollectClips(recorder, tree.Path(u"S"), tree.Path(u"S"));
  EXPECT_EQ(tree.Dump(), afterFirst);
}

TEST_F(CollectClipsTest, DestinationEndingInASeparatorIsUsedAsFormed) {
  AddClips(u"ab_cd_ef", {u"v02.mp4"});
  CollectClips(recorder, tree.Path(u"S"), tree.Path(u"D") + sys::kPathSeparator);
  EXPECT_EQ(recorder.calls[1], "mkdir <root>/D//ab_cd_adl_ef");
  EXPECT_TRUE(tree.Exists(u"D/ab_cd_adl_ef/video/v02_hires.mp4"));
}

TEST_F(CollectClipsTest, FailedAdlCopyPassesTheClipOverAndIsCounted) {
  AddClips(u"ab_cd_ef", {u"v02.mp4", u"v03.mp4", u"v04.mp4"});
  recorder.failWhen = [](const std::string& call) {
    return call.rfind("copy ", 0) == 0 && call.find("v04.mp4 -> <root>/D/ab_cd_adl_ef") != std::string::npos;
  };
  const CollectionSummary summary = Pass();
  // v04 was never copied, so it keeps its name and 03 is the greatest number.
  EXPECT_TRUE(tree.Exists(u"S/ab_cd_ef/MP4 HIGH RES/v04.mp4"));
  EXPECT_FALSE(tree.Exists(u"D/ab_cd_int_ef__m04"));
  EXPECT_FALSE(tree.Exists(u"D/ab_cd_int_ef__m03"));
  EXPECT_TRUE(tree.Exists(u"D/ab_cd_int_ef__m02/video/v02_hires.mp4"));
  EXPECT_EQ(summary.clipsSeen, 3u);
  EXPECT_EQ(summary.clipsCopied, 2u);
  EXPECT_EQ(summary.clipsNotCopied, 1u);
  EXPECT_EQ(DescribeOutcome(summary), u"video copy incomplete: 1 of 3 clips could not be copied");
}

TEST_F(CollectClipsTest, MissingAdlVideoFolderFailsEveryCopyAndRenamesNothing) {
  AddClips(u"ab_cd_ef", {u"v01.mp4", u"v02.mp4"});
  recorder.failWhen = [](const std::string& call) { return call == "mkdir <root>/D/ab_cd_adl_ef/video"; };
  const CollectionSummary summary = Pass();
  EXPECT_EQ(tree.Dump(u"D"), "ab_cd_adl_ef/\n");
  EXPECT_TRUE(tree.Exists(u"S/ab_cd_ef/MP4 HIGH RES/v01.mp4"));
  EXPECT_TRUE(tree.Exists(u"S/ab_cd_ef/MP4 HIGH RES/v02.mp4"));
  EXPECT_EQ(summary.clipsNotCopied, 2u);
}

TEST_F(CollectClipsTest, FailedIntCopyStillCountsAndRenames) {
  AddClips(u"ab_cd_ef", {u"v02.mp4", u"v03.mp4"});
  recorder.failWhen = [](const std::string& call) {
    return call.find("-> <root>/D/ab_cd_int_ef__m02/video") != std::string::npos;
  };
  const CollectionSummary summary = Pass();
  EXPECT_EQ(tree.Dump(u"D/ab_cd_int_ef__m02"), "video/\n");
  EXPECT_FALSE(tree.Exists(u"D/ab_cd_int_ef__m03"));
  EXPECT_TRUE(tree.Exists(u"S/ab_cd_ef/MP4 HIGH RES/v02_hires.mp4"));
  EXPECT_EQ(summary.clipsNotCopied, 0u);
}

TEST_F(CollectClipsTest, UnlistableStartingFolderChangesNothing) {
  const CollectionSummary summary =
      CollectClips(recorder, tree.Path(u"missing"), tree.Path(u"D"));
  EXPECT_EQ(recorder.calls, std::vector<std::string>{"list <root>/missing"});
  EXPECT_EQ(summary.clipsSeen, 0u);
  EXPECT_EQ(tree.Dump(), "D/\nS/\n");
}

TEST_F(CollectClipsTest, NonAsciiNamesAreCopiedAndRenamed) {
  AddClips(u"caf\u00e9_\u00df_\u65e5\u672c", {u"v02.mp4", u"\u00e4\U0001F3AC.mp4", u"v03.mp4"});
  Pass();
  const std::u16string adl = u"D/caf\u00e9_\u00df_adl_\u65e5\u672c/video/";
  EXPECT_TRUE(tree.Exists(adl + u"\u00e4\U0001F3AC_hires.mp4"));
  EXPECT_TRUE(tree.Exists(adl + u"v02_hires.mp4"));
  EXPECT_TRUE(tree.Exists(u"D/caf\u00e9_\u00df_int_\u65e5\u672c__m02/video/v02_hires.mp4"));
  EXPECT_TRUE(tree.Exists(u"S/caf\u00e9_\u00df_\u65e5\u672c/MP4 HIGH RES/\u00e4\U0001F3AC_hires.mp4"));
}

#ifndef _WIN32
TEST_F(CollectClipsTest, FifoNamedAsAClipIsAFailedCopyAndDoesNotBlock) {
  AddClips(u"ab_cd_ef", {u"v02.mp4", u"v04.mp4"});
  ASSERT_EQ(::mkfifo(sys::ToNativeName(tree.Path(u"S/ab_cd_ef/MP4 HIGH RES/v03.mp4")).c_str(), 0644), 0);
  const CollectionSummary summary = Pass();
  EXPECT_EQ(summary.clipsSeen, 3u);
  EXPECT_EQ(summary.clipsNotCopied, 1u);
  EXPECT_EQ(DescribeOutcome(summary), u"video copy incomplete: 1 of 3 clips could not be copied");
  EXPECT_TRUE(tree.Exists(u"S/ab_cd_ef/MP4 HIGH RES/v03.mp4"));
  EXPECT_TRUE(tree.Exists(u"D/ab_cd_int_ef__m02/video/v02_hires.mp4"));
  EXPECT_FALSE(tree.Exists(u"D/ab_cd_int_ef__m04"));
}

TEST_F(CollectClipsTest, NamesThatAreNotUtf8GoThroughThePass) {
  // The bytes 0xE9 (Latin-1 e-acute) and 0xFF, as an old camera or card reader may write them.
  const std::u16string shot = u"caf\xDCE9_night_\xDCFF";
  AddClips(shot, {u"v02.mp4", u"v03.mp4", u"take\xDCE9.mp4"});
  Pass();
  const std::string destination = sys::ToNativeName(tree.Path(u"D"));
  const std::string source = sys::ToNativeName(tree.Path(u"S"));
  struct stat st {};
  EXPECT_EQ(::stat((destination + "/caf\xe9_night_adl_\xff/video/take\xe9_hires.mp4").c_str(), &st), 0);
  EXPECT_EQ(::stat((destination + "/caf\xe9_night_int_\xff__m02/video/v02_hires.mp4").c_str(), &st), 0);
  EXPECT_EQ(::stat((source + "/caf\xe9_night_\xff/MP4 HIGH RES/take\xe9_hires.mp4").c_str(), &st), 0);
  EXPECT_EQ(::stat((source + "/caf\xe9_night_\xff/MP4 HIGH RES/v02_hires.mp4").c_str(), &st), 0);
}
#endif

}  // namespace
}  // namespace marlowin
