// The run's outcomes, path by path: the folder choices come from a scripted shell (a chosen
// folder that vanished cannot be picked in a real dialog), the folders and the message box are
// real.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/MarlowinApp.h"
#include "tests/app/ScriptedUser.h"
#include "tests/support/TempTree.h"
#include "tests/ui/FakeDirShell.h"
#include "ui/DirShell.h"

#ifdef _WIN32
#include <windows.h>
#endif

using marlowin::testing::FakeDirShell;
using marlowin::testing::ScriptedUser;
using marlowin::testing::TempTree;

namespace {

constexpr char16_t kStartingCaption[] = u"Browse to the starting folder:";
constexpr char16_t kDestinationCaption[] = u"Select copy to folder:";

class RunOutcome : public ::testing::Test {
 protected:
  RunOutcome() {
    tree.WriteFile(u"shoot/ab_cd_ef/MP4 HIGH RES/v01.mp4", "one");
    tree.WriteFile(u"shoot/ab_cd_ef/MP4 HIGH RES/v02.mp4", "two");
    tree.MakeFolder(u"collected");
    before = tree.Dump();
  }

  // One run of the application's start-up; it never asks for a message loop.
  void Run() {
    CMarlowinApp app;
    EXPECT_FALSE(app.InitInstance());
    registryKey = app.m_strRegistryKey;
  }

  // Exactly one message box, the program's, with this text.
  void ExpectOnlyMessage(std::u16string_view text) {
    ASSERT_EQ(user.Messages().size(), 1u);
    EXPECT_EQ(user.Messages()[0].text, text);
    EXPECT_EQ(user.Messages()[0].caption, u"Marlowin");
    EXPECT_TRUE(user.Messages()[0].errorIcon);
    EXPECT_TRUE(user.Messages()[0].onlyOk);
    EXPECT_TRUE(user.Messages()[0].onTop);
    EXPECT_TRUE(user.Messages()[0].ownerless);
  }

  // The dialog as the run sets it up: default settings apart from the caption.
  void ExpectBrowse(std::size_t index, std::u16string_view caption) {
    ASSERT_LT(index, shell.browses.size());
    const FakeDirShell::BrowseCall& call = shell.browses[index];
    EXPECT_EQ(call.caption, caption);
    EXPECT_EQ(call.startSelection, u"") << "a choice is preselected";
    EXPECT_EQ(call.title, u"Open");
    EXPECT_FALSE(call.rootPath.has_value()) << "the tree is not rooted at the desktop";
    EXPECT_EQ(call.flags, 9u) << "a status line is asked for";
    EXPECT_FALSE(call.hasOwner);
  }

  TempTree tree;
  std::string before;
  FakeDirShell shell;
  marlowin::ui::ScopedDirShell useShell{shell};
  ScriptedUser user;
  std::u16string registryKey;
};

}  // namespace

TEST_F(RunOutcome, FirstChoiceCancelledSaysCompleteAndAsksNoMore) {
  shell.Cancel();
  Run();
  ExpectOnlyMessage(u"video copy complete");
  ASSERT_EQ(shell.browses.size(), 1u);
  ExpectBrowse(0, kStartingCaption);
  EXPECT_EQ(tree.Dump(), before);
}

TEST_F(RunOutcome, FirstFolderNotFoundSaysSoOnly) {
  shell.ConfirmPath(tree.Path(u"gone"));
  Run();
  ExpectOnlyMessage(u"starting path not accessible");
  EXPECT_EQ(shell.browses.size(), 1u);
  EXPECT_EQ(tree.Dump(), before);
}

TEST_F(RunOutcome, SecondChoiceCancelledSaysCompleteAndChangesNothing) {
  shell.ConfirmPath(tree.Path(u"shoot"));
  shell.Cancel();
  Run();
  ExpectOnlyMessage(u"video copy complete");
  ASSERT_EQ(shell.browses.size(), 2u);
  ExpectBrowse(0, kStartingCaption);
  ExpectBrowse(1, kDestinationCaption);
  EXPECT_EQ(shell.browses[0].dialog, shell.browses[1].dialog) << "a second dialog object";
  EXPECT_EQ(tree.Dump(), before);
}

TEST_F(RunOutcome, SecondFolderNotFoundSaysSoOnly) {
  shell.ConfirmPath(tree.Path(u"shoot"));
  shell.ConfirmPath(tree.Path(u"gone"));
  Run();
  ExpectOnlyMessage(u"copy to path not accessible");
  EXPECT_EQ(shell.browses.size(), 2u);
  EXPECT_EQ(tree.Dump(), before);
}

TEST_F(RunOutcome, BothFoundRunsThePassOnceThenSaysComplete) {
  shell.ConfirmPath(tree.Path(u"shoot"));
  shell.ConfirmPath(tree.Path(u"collected"));
  Run();
  ExpectOnlyMessage(u"video copy complete");
  ASSERT_EQ(shell.browses.size(), 2u);
  ExpectBrowse(1, kDestinationCaption);
  EXPECT_EQ(shell.browses[0].dialog, shell.browses[1].dialog);
  EXPECT_EQ(tree.Dump(u"collected"),
            "ab_cd_adl_ef/\n"
            "ab_cd_adl_ef/video/\n"
            "ab_cd_adl_ef/video/v01_hires.mp4 = one\n"
            "ab_cd_adl_ef/video/v02_hires.mp4 = two\n");  // the int copy of 02, the greatest, removed again
  EXPECT_EQ(tree.Dump(u"shoot"),
            "ab_cd_ef/\n"
            "ab_cd_ef/MP4 HIGH RES/\n"
            "ab_cd_ef/MP4 HIGH RES/v01_hires.mp4 = one\n"
            "ab_cd_ef/MP4 HIGH RES/v02_hires.mp4 = two\n");
  EXPECT_EQ(shell.outcomes.size(), 0u);
}

TEST_F(RunOutcome, ClipsThatCouldNotBeCopiedAreCountedNotCalledComplete) {
  tree.WriteFile(u"collected/ab_cd_adl_ef", "a file where the adl folder would go");
  shell.ConfirmPath(tree.Path(u"shoot"));
  shell.ConfirmPath(tree.Path(u"collected"));
  Run();
  ExpectOnlyMessage(u"video copy incomplete: 2 of 2 clips could not be copied");
  EXPECT_EQ(tree.ReadFile(u"shoot/ab_cd_ef/MP4 HIGH RES/v01.mp4"), "one");
}

TEST_F(RunOutcome, TheSameFolderTwiceIsAccepted) {
  shell.ConfirmPath(tree.Path(u"shoot"));
  shell.ConfirmPath(tree.Path(u"shoot"));
  Run();
  ExpectOnlyMessage(u"video copy complete");
  EXPECT_EQ(tree.ReadFile(u"shoot/ab_cd_adl_ef/video/v02_hires.mp4"), "two");
}

TEST_F(RunOutcome, TheLookupTakesThePathLiterallyWithNoWildcard) {
  shell.ConfirmPath(tree.Path(u"sho*"));
  Run();
  ExpectOnlyMessage(u"starting path not accessible");
  EXPECT_EQ(tree.Dump(), before);
}

#ifdef _WIN32
const std::u16string kDriveRoot = u"C:\\";
#else
const std::u16string kDriveRoot = u"/";
#endif

TEST_F(RunOutcome, ADriveRootIsFoundAsStartingFolder) {
  shell.ConfirmPath(kDriveRoot);
  shell.Cancel();
  Run();
  ExpectOnlyMessage(u"video copy complete");
  EXPECT_EQ(shell.browses.size(), 2u);
}

TEST_F(RunOutcome, ADriveRootIsFoundAsDestinationFolder) {
  tree.MakeFolder(u"empty shoot");
  shell.ConfirmPath(tree.Path(u"empty shoot"));
  shell.ConfirmPath(kDriveRoot);
  Run();
  // Found: the pass ran over the empty starting folder, which gives it nothing to copy.
  ExpectOnlyMessage(u"video copy complete");
}

TEST_F(RunOutcome, NamesTheSettingsStoreAndWritesNothingThere) {
  shell.Cancel();
  Run();
  EXPECT_EQ(registryKey, u"Local AppWizard-Generated Applications");
#ifdef _WIN32
  HKEY key = nullptr;
  EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Local AppWizard-Generated Applications", 0,
                          KEY_READ, &key),
            ERROR_SUCCESS);
  if (key) RegCloseKey(key);
#endif
}
