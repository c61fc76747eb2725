// The framework's entry routine runs the real application; the real folder browsers and
// message box open and the scripted user answers them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/MarlowinApp.h"
#include "framework/ApplicationStart.h"
#include "tests/app/ScriptedUser.h"
#include "platform/NativeName.h"
#include "tests/support/TempTree.h"

TEST(RunWithRealWindows, TwoChosenFoldersAreCollectedAndOneMessageSaysSo) {
  marlowin::testing::TempTree tree;
  tree.WriteFile(u"shoot/ab_cd_ef/MP4 HIGH RES/v01.mp4", "one");
  tree.WriteFile(u"shoot/ab_cd_ef/MP4 HIGH RES/v02.mp4", "two");
  tree.WriteFile(u"shoot/ab_cd_ef/MP4 HIGH RES/v03.mp4", "three");
  tree.MakeFolder(u"collected");
  marlowin::testing::ScriptedUser user;
  user.choices = {tree.Path(u"shoot"), tree.Path(u"collected")};
  char program[] = "marlowin";
  char* argv[] = {program, nullptr};

  CMarlowinApp app;
  EXPECT_EQ(AfxWinMain(1, argv), 0);

  EXPECT_EQ(user.captions, (std::vector<std::u16string>{u"Browse to the starting folder:", u"Select copy to folder:"}));
  ASSERT_EQ(user.selections.size(), 2u);
  EXPECT_NE(user.selections[1], u"shoot") << "the second browser opened at the first choice";
  EXPECT_EQ(user.selections[0], user.selections[1]);
  ASSERT_EQ(user.messages.size(), 1u);
  EXPECT_EQ(user.messages[0].caption, u"Marlowin");
  EXPECT_EQ(user.messages[0].text, u"video copy complete\n\n3 clips copied, from 1 shot folder to " +
                                       tree.Path(u"collected") + u". 4 copies written and verified.");
  // The pass's record: one generation and the chain that lists it.
  const std::vector<std::u16string> history = tree.Names(u"collected/ascmhl");
  ASSERT_EQ(history.size(), 2u) << tree.Dump(u"collected/ascmhl");
  EXPECT_TRUE(history[0].starts_with(u"0001_collected_")) << tree.Dump(u"collected/ascmhl");
  EXPECT_EQ(history[1], u"ascmhl_chain.xml");
  tree.Remove(u"collected/ascmhl");
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

// A folder on the card picked by mistake as the copy to folder: the clips would be marked with
// their only copies on the card that is cleared on the mark.
TEST(RunWithRealWindows, ACopyToFolderOnTheCardItselfIsRefusedAndNothingChanges) {
  marlowin::testing::TempTree tree;
  tree.WriteFile(u"card/ab_cd_ef/MP4 HIGH RES/v01.mp4", "one");
  tree.MakeFolder(u"card/backup");
  const std::string before = tree.Dump();
  marlowin::testing::ScriptedUser user;
  user.choices = {tree.Path(u"card"), tree.Path(u"card/backup")};
  char program[] = "marlowin";
  char* argv[] = {program, nullptr};

  CMarlowinApp app;
  EXPECT_EQ(AfxWinMain(1, argv), 0);
  ASSERT_EQ(user.messages.size(), 1u);
  EXPECT_EQ(user.messages[0].text,
            u"video copy not started: the copy to folder lies inside the starting folder\n\nNothing was changed.");
  EXPECT_EQ(tree.Dump(), before);
}

// "--backup": a third folder choice, the backup folder, which gets the same tree; a cancel of it
// ends the run as a cancel of the other two does, with nothing changed.
TEST(RunWithRealWindows, ABackupFolderAskedForGetsTheSameTreeAndItsCancelChangesNothing) {
  marlowin::testing::TempTree tree;
  tree.WriteFile(u"shoot/ab_cd_ef/MP4 HIGH RES/v01.mp4", "one");
  tree.WriteFile(u"shoot/ab_cd_ef/MP4 HIGH RES/v02.mp4", "two");
  tree.MakeFolder(u"collected");
  tree.MakeFolder(u"backup");
  // As "marlowin --backup" starts it (the arguments as the framework hands them over on each system).
  const auto run = [] {
    CMarlowinApp app;
    EXPECT_EQ(app.AnswerCommandLine({u"--backup"}), std::nullopt);
    return marlowin::framework::StartApplication(u"marlowin");
  };
  {
    const std::string before = tree.Dump();
    marlowin::testing::ScriptedUser user;
    user.choices = {tree.Path(u"shoot"), tree.Path(u"collected")};  // the third is cancelled
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(user.captions, (std::vector<std::u16string>{u"Browse to the starting folder:", u"Select copy to folder:",
                                                          u"Select backup folder:"}));
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].text, u"video copy complete");
    EXPECT_EQ(tree.Dump(), before);
  }
  marlowin::testing::ScriptedUser user;
  user.choices = {tree.Path(u"shoot"), tree.Path(u"collected"), tree.Path(u"backup")};
  EXPECT_EQ(run(), 0);
  ASSERT_EQ(user.messages.size(), 1u);
  EXPECT_TRUE(user.messages[0].text.starts_with(u"video copy complete\n\n2 clips copied, from 1 shot folder to " +
                                                tree.Path(u"collected") + u" and " + tree.Path(u"backup") + u"."))
      << marlowin::platform::ToDisplay(user.messages[0].text);
  EXPECT_EQ(tree.ReadFile(u"backup/ab_cd_adl_ef/video/v02_hires.mp4"), "two");
  EXPECT_TRUE(tree.Exists(u"shoot/ab_cd_ef/MP4 HIGH RES/v01_hires.mp4"));
}
