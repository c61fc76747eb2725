// The whole run with the real windows: the framework's entry routine runs a CMarlowinApp,
// the real folder browsers and message box open, and a scripted user answers them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/MarlowinApp.h"
#include "tests/app/ScriptedUser.h"
#include "tests/support/TempTree.h"

using marlowin::testing::ScriptedUser;
using marlowin::testing::TempTree;

namespace {

const std::vector<std::u16string> kBothCaptions = {u"Browse to the starting folder:",
                                                   u"Select copy to folder:"};

char programPath[] = "marlowin";
char* programArgv[] = {programPath, nullptr};

// The program's run: the one application object, started by the framework.
int RunProgram() {
  CMarlowinApp app;
  return AfxWinMain(1, programArgv);
}

void MakeShoot(const TempTree& tree) {
  tree.WriteFile(u"shoot/ab_cd_ef/MP4 HIGH RES/v01.mp4", "one");
  tree.WriteFile(u"shoot/ab_cd_ef/MP4 HIGH RES/v02.mp4", "two");
  tree.WriteFile(u"shoot/ab_cd_ef/MP4 HIGH RES/v03.mp4", "three");
  tree.MakeFolder(u"collected");
}

void ExpectOneMessage(const ScriptedUser& user, std::u16string_view text) {
  ASSERT_EQ(user.Messages().size(), 1u);
  const auto& seen = user.Messages()[0];
  EXPECT_EQ(seen.text, text);
  EXPECT_EQ(seen.caption, u"Marlowin");
  EXPECT_TRUE(seen.errorIcon);
  EXPECT_TRUE(seen.onlyOk);
  EXPECT_TRUE(seen.onTop);
}

}  // namespace

TEST(RunWithRealWindows, TwoChosenFoldersAreCollectedAndOneMessageSaysSo) {
  TempTree tree;
  MakeShoot(tree);
  ScriptedUser user;
  user.WillChoose(tree.Path(u"shoot"));
  user.WillChoose(tree.Path(u"collected"));

  EXPECT_EQ(RunProgram(), 0);

  EXPECT_EQ(user.BrowserCaptions(), kBothCaptions);
  ASSERT_EQ(user.BrowserSelections().size(), 2u);
  EXPECT_NE(user.BrowserSelections()[1], u"shoot") << "the second browser opened at the first choice";
  EXPECT_EQ(user.BrowserSelections()[0], user.BrowserSelections()[1]);
  ExpectOneMessage(user, u"video copy complete");
  EXPECT_EQ(tree.Dump(),
            "collected/\n"
            "collected/ab_cd_adl_ef/\n"
            "collected/ab_cd_adl_ef/video/\n"
            "collected/ab_cd_adl_ef/video/v01_hires.mp4 = one\n"
            "collected/ab_cd_adl_ef/video/v02_hires.mp4 = two\n"
            "collected/ab_cd_adl_ef/video/v03_hires.mp4 = three\n"
            "collected/ab_cd_int_ef__m02/\n"
            "collected/ab_cd_int_ef__m02/video/\n"
            "collected/ab_cd_int_ef__m02/video/v02_hires.mp4 = two\n"
            "shoot/\n"
            "shoot/ab_cd_ef/\n"
            "shoot/ab_cd_ef/MP4 HIGH RES/\n"
            "shoot/ab_cd_ef/MP4 HIGH RES/v01_hires.mp4 = one\n"
            "shoot/ab_cd_ef/MP4 HIGH RES/v02_hires.mp4 = two\n"
            "shoot/ab_cd_ef/MP4 HIGH RES/v03_hires.mp4 = three\n");
}

TEST(RunWithRealWindows, CancellingTheFirstChoiceSaysCompleteAndChangesNothing) {
  TempTree tree;
  MakeShoot(tree);
  const std::string before = tree.Dump();
  ScriptedUser user;
  user.WillCancel();

  EXPECT_EQ(RunProgram(), 0);

  EXPECT_EQ(user.BrowserCaptions(), std::vector<std::u16string>{u"Browse to the starting folder:"});
  ExpectOneMessage(user, u"video copy complete");
  EXPECT_EQ(tree.Dump(), before);
}

TEST(RunWithRealWindows, CancellingTheSecondChoiceSaysCompleteAndChangesNothing) {
  TempTree tree;
  MakeShoot(tree);
  const std::string before = tree.Dump();
  ScriptedUser user;
  user.WillChoose(tree.Path(u"shoot"));
  user.WillCancel();

  EXPECT_EQ(RunProgram(), 0);

  EXPECT_EQ(user.BrowserCaptions(), kBothCaptions);
  ExpectOneMessage(user, u"video copy complete");
  EXPECT_EQ(tree.Dump(), before);
}

TEST(RunWithRealWindows, ClipsThatCouldNotBeCopiedAreReported) {
  TempTree tree;
  MakeShoot(tree);
  // A file where the adl folder would go: no clip can be copied into it.
  tree.WriteFile(u"collected/ab_cd_adl_ef", "in the way");
  ScriptedUser user;
  user.WillChoose(tree.Path(u"shoot"));
  user.WillChoose(tree.Path(u"collected"));

  EXPECT_EQ(RunProgram(), 0);

  ExpectOneMessage(user, u"video copy incomplete: 3 of 3 clips could not be copied");
  // Clips that were not copied keep their names, so a later pass picks them up.
  EXPECT_EQ(tree.ReadFile(u"shoot/ab_cd_ef/MP4 HIGH RES/v02.mp4"), "two");
}
