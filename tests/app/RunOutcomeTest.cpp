// The folder choices come from a fake shell (a vanished folder cannot be picked in a real
// dialog); the folders and the message box are real.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/MarlowinApp.h"
#include "tests/app/ScriptedUser.h"
#include "platform/Files.h"
#include "platform/NativeName.h"
#include "platform/UserRecords.h"
#include "tests/support/TempTree.h"
#include "tests/ui/FakeDirShell.h"
#include "ui/DirShell.h"

namespace {

using Texts = std::vector<std::u16string>;
const std::u16string kComplete = u"video copy complete";

class RunOutcome : public ::testing::Test {
 protected:
  RunOutcome() {
    tree.WriteFile(u"shoot/ab_cd_ef/MP4 HIGH RES/v01.mp4", "one");
    tree.WriteFile(u"shoot/ab_cd_ef/MP4 HIGH RES/v02.mp4", "two");
    tree.MakeFolder(u"collected");
  }
  void Run() { EXPECT_FALSE(CMarlowinApp().InitInstance()); }
  // The first line of each message shown: the outcome, exactly.
  Texts Shown() const {
    Texts texts;
    for (const auto& message : user.messages) {
      EXPECT_EQ(message.caption, u"Marlowin");
      texts.push_back(message.text.substr(0, message.text.find(u'\n')));
    }
    return texts;
  }

  marlowin::testing::TempTree tree;
  marlowin::testing::FakeDirShell shell;
  marlowin::ui::ScopedDirShell useShell{shell};
  marlowin::testing::ScriptedUser user;
};

struct Path {
  const char* name;
  std::vector<std::optional<std::u16string>> choices;  // folders in the tree; none: cancel
  std::u16string message;
  bool passRuns = false;
};

class EveryPath : public RunOutcome, public ::testing::WithParamInterface<Path> {};

}  // namespace

TEST_P(EveryPath, OneMessageAndTheDiskChangedOnlyByAPassOverTwoFoundFolders) {
  const std::string before = tree.Dump();
  for (const auto& choice : GetParam().choices) choice ? shell.ConfirmPath(tree.Path(*choice)) : shell.Cancel();
  Run();
  EXPECT_EQ(Shown(), Texts{GetParam().message});
  ASSERT_EQ(shell.browses.size(), GetParam().choices.size());
  const std::u16string captions[] = {u"Browse to the starting folder:", u"Select copy to folder:"};
  for (std::size_t i = 0; i < shell.browses.size(); ++i) {
    EXPECT_EQ(shell.browses[i].caption, captions[i]);
    EXPECT_EQ(shell.browses[i].startSelection, u"") << "browse " << i << " is preselected";
    EXPECT_EQ(shell.browses[i].dialog, shell.browses[0].dialog) << "a second dialog object";
  }
  if (GetParam().passRuns) {
    EXPECT_EQ(tree.Names(u"collected/ascmhl").size(), 2u) << "a generation and its chain";
    tree.Remove(u"collected/ascmhl");
    EXPECT_EQ(tree.Dump(u"collected"), "ab_cd_adl_ef/\nab_cd_adl_ef/video/\n"
              "ab_cd_adl_ef/video/v01_hires.mp4 = one\nab_cd_adl_ef/video/v02_hires.mp4 = two\n");
  } else {
    EXPECT_EQ(tree.Dump(), before);
  }
}

INSTANTIATE_TEST_SUITE_P(RunOutcome, EveryPath, ::testing::Values(
    Path{"FirstCancelled", {std::nullopt}, kComplete},
    Path{"FirstNotFound", {u"gone"}, u"starting path not accessible"},
    Path{"FirstIsAPatternNotAPath", {u"sho*"}, u"starting path not accessible"},
    Path{"SecondCancelled", {u"shoot", std::nullopt}, kComplete},
    Path{"SecondNotFound", {u"shoot", u"gone"}, u"copy to path not accessible"},
    Path{"BothFound", {u"shoot", u"collected"}, kComplete, true}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(RunOutcome, FailuresAreToldWithTheirClipAndReasonNotCalledComplete) {
  tree.WriteFile(u"collected/ab_cd_adl_ef", "a file where the adl folder would go");
  shell.ConfirmPath(tree.Path(u"shoot"));
  shell.ConfirmPath(tree.Path(u"collected"));
  Run();
  ASSERT_EQ(user.messages.size(), 1u);
  const std::u16string& text = user.messages[0].text;
  const std::u16string folder = tree.Path(u"collected") + marlowin::platform::kPathSeparator + u"ab_cd_adl_ef";
  const std::u16string notFolder = marlowin::platform::FromNativeName(std::make_error_code(std::errc::not_a_directory).message());
  EXPECT_EQ(text.substr(0, text.find(u"\n")), u"video copy incomplete: 2 of 2 clips could not be copied");
  EXPECT_NE(text.find(u"\n\n2 clips not collected, from 0 of 1 shot folder to " + tree.Path(u"collected") + u".\n"),
            std::u16string::npos)
      << marlowin::platform::ToDisplay(text);
  EXPECT_NE(text.find(u"\n" + folder + u": cannot be made: " + notFolder + u"\n"), std::u16string::npos) << marlowin::platform::ToDisplay(text);
  EXPECT_NE(text.find(tree.Path(u"shoot") + marlowin::platform::kPathSeparator + u"ab_cd_ef" + marlowin::platform::kPathSeparator +
                      u"MP4 HIGH RES" + marlowin::platform::kPathSeparator + u"v01.mp4: not copied to "),
            std::u16string::npos);
  EXPECT_TRUE(user.messages[0].errorIcon);
#ifndef _WIN32
  EXPECT_NE(user.messages[0].details.find(u"v02.mp4: not copied to "), std::u16string::npos);  // "Show Details..."
#endif
  EXPECT_TRUE(tree.Exists(u"shoot/ab_cd_ef/MP4 HIGH RES/v01.mp4"));
}

TEST_F(RunOutcome, TheMessageNamesTheReportFileWhenItHasNoRoomForEveryProblem) {
  for (int i = 0; i < 12; ++i) tree.WriteFile(u"shoot/ab_cd_ef/MP4 HIGH RES/notes" + marlowin::testing::U16(std::to_string(i)) + u".txt", "");
  shell.ConfirmPath(tree.Path(u"shoot"));
  shell.ConfirmPath(tree.Path(u"collected"));
  Run();
  ASSERT_EQ(user.messages.size(), 1u);
  const std::u16string& text = user.messages[0].text;
  constexpr std::u16string_view kLastLine = u"\n\nThe whole report: ";
  const std::size_t at = text.rfind(kLastLine);
  ASSERT_NE(at, std::u16string::npos) << marlowin::platform::ToDisplay(text);
  EXPECT_NE(text.find(u"\nand 2 more\n"), std::u16string::npos);
  const std::u16string path = text.substr(at + kLastLine.size());
  std::u16string folder;
  ASSERT_FALSE(marlowin::platform::ReportsFolder(folder));  // the test's own, in a temporary folder
  EXPECT_EQ(path.rfind(folder + marlowin::platform::kPathSeparator, 0), 0u) << marlowin::platform::ToDisplay(path);
  EXPECT_TRUE(path.ends_with(u".txt"));
  marlowin::platform::File file;
  ASSERT_FALSE(file.OpenForReading(path));
  std::string content(1 << 16, '\0');
  std::size_t got = 0;
  ASSERT_FALSE(file.Read(content.data(), content.size(), got));
  content.resize(got);
  EXPECT_EQ(content.rfind("video copy complete\n", 0), 0u) << content;
  for (int i = 0; i < 12; ++i) EXPECT_NE(content.find("notes" + std::to_string(i) + ".txt: not a clip"), std::string::npos) << i;
}

TEST_F(RunOutcome, AReportThatCannotBeSavedIsToldAndTheOutcomeStands) {
  tree.WriteFile(u"not a folder", "records cannot go below a file");
  const marlowin::testing::ScopedVariable state("XDG_STATE_HOME", tree.Path(u"not a folder"));
  const marlowin::testing::ScopedVariable local("LOCALAPPDATA", tree.Path(u"not a folder"));
  std::u16string folder;
  ASSERT_FALSE(marlowin::platform::ReportsFolder(folder));
  shell.ConfirmPath(tree.Path(u"shoot"));
  shell.ConfirmPath(tree.Path(u"collected"));
  Run();
  ASSERT_EQ(user.messages.size(), 1u);
  const std::u16string& text = user.messages[0].text;
  EXPECT_EQ(text.substr(0, text.find(u'\n')), kComplete);
  EXPECT_NE(text.find(u"\n\nreport not saved: "), std::u16string::npos) << marlowin::platform::ToDisplay(text);
  EXPECT_TRUE(tree.Exists(u"shoot/ab_cd_ef/MP4 HIGH RES/v01_hires.mp4")) << "the pass is done all the same";
}

TEST_F(RunOutcome, AChosenFolderThatIsGoneIsToldWithItsReason) {
  shell.ConfirmPath(tree.Path(u"gone"));
  Run();
  ASSERT_EQ(user.messages.size(), 1u);
  EXPECT_EQ(user.messages[0].text, u"starting path not accessible\n\n" + tree.Path(u"gone") + u": not found");
}

TEST_F(RunOutcome, ADriveRootIsFoundAsEitherFolder) {
#ifdef _WIN32
  const std::u16string root = u"C:\\";
#else
  const std::u16string root = u"/";
#endif
  tree.MakeFolder(u"empty");
  shell.ConfirmPath(root);
  shell.Cancel();
  Run();
  shell.ConfirmPath(tree.Path(u"empty"));
  shell.ConfirmPath(root);  // found, and refused: every folder lies inside it
  Run();
  EXPECT_EQ(shell.browses.size(), 4u);
  EXPECT_EQ(Shown(), (Texts{kComplete, u"video copy not started: the starting folder lies inside the copy to folder"}));
}
