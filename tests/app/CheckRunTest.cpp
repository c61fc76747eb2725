// The program started with --check, on a folder collected by a real pass: the real folder
// browser and message box open and the scripted user answers them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/MarlowinApp.h"
#include "collector/pass/CollectClips.h"
#include "framework/ApplicationStart.h"
#include "platform/FileSystem.h"
#include "platform/Files.h"
#include "platform/NativeName.h"
#include "platform/Paths.h"
#include "platform/UserRecords.h"
#include "tests/app/ScriptedUser.h"
#include "tests/support/TempTree.h"

namespace {

using marlowin::platform::ToDisplay;

class CheckRun : public ::testing::Test {
 protected:
  CheckRun() {
    tree.WriteFile(u"shoot/ab_cd_ef/MP4 HIGH RES/v01.mp4", "one");
    tree.WriteFile(u"shoot/ab_cd_ef/MP4 HIGH RES/v02.mp4", "two");
    tree.WriteFile(u"shoot/ab_cd_ef/MP4 HIGH RES/v03.mp4", "three");
    tree.MakeFolder(u"collected");
    const auto fs = marlowin::platform::MakeRealFileSystem();
    marlowin::pass::PassOptions options;
    options.keepHistory = true;
    const marlowin::report::PassReport pass = marlowin::pass::CollectClips(*fs, tree.Path(u"shoot"), tree.Path(u"collected"), options);
    EXPECT_EQ(pass.outcome, marlowin::report::Outcome::kComplete);  // four copies recorded
  }

  // Runs the program as "marlowin --check" would: the exit status.
  int RunCheck(int attentionAfterSeconds = 30) {
    CMarlowinApp app;
    app.m_nAttentionAfterSeconds = attentionAfterSeconds;
    EXPECT_EQ(app.AnswerCommandLine({u"--check"}), std::nullopt);
    return marlowin::framework::StartApplication(u"marlowin");
  }

  // The reports kept so far.
  static std::vector<std::u16string> Reports() {
    std::u16string folder;
    EXPECT_FALSE(marlowin::platform::ReportsFolder(folder));
    std::vector<marlowin::platform::FolderEntry> entries;
    std::vector<std::u16string> names;
    if (marlowin::platform::ListFolder(folder, entries)) return names;
    for (const auto& entry : entries) names.push_back(marlowin::platform::JoinPath(folder, entry.name));
    return names;
  }

  marlowin::testing::TempTree tree;
  marlowin::testing::ScriptedUser user;
};

std::u16string FirstLine(const std::u16string& text) { return text.substr(0, text.find(u'\n')); }

}  // namespace

TEST_F(CheckRun, AnIntactFolderIsProvenAfterOneChoiceAndExitsWithZero) {
  const std::size_t reportsBefore = Reports().size();
  user.choices = {tree.Path(u"collected")};
  EXPECT_EQ(RunCheck(), 0);
  EXPECT_EQ(user.captions, std::vector<std::u16string>{u"Select the collected folder to check:"});
  ASSERT_EQ(user.messages.size(), 1u);
  EXPECT_EQ(user.messages[0].caption, u"Marlowin");
  EXPECT_EQ(FirstLine(user.messages[0].text), u"check passed: 4 recorded files proven") << ToDisplay(user.messages[0].text);
  EXPECT_TRUE(user.messages[0].errorIcon);
  EXPECT_EQ(Reports().size(), reportsBefore + 1) << "the check's report is kept as a pass's is";
}

TEST_F(CheckRun, MissingAndChangedFilesAreNamedBeforeAnUnrecordedOneAndExitWithOne) {
  tree.Remove(u"collected/ab_cd_adl_ef/video/v01_hires.mp4");
  tree.WriteFile(u"collected/ab_cd_int_ef__m02/video/v02_hires.mp4", "TWO");  // same size, other bytes
  tree.WriteFile(u"collected/ab_cd_adl_ef/video/aa_extra.mp4", "not recorded");
  user.choices = {tree.Path(u"collected")};
  EXPECT_EQ(RunCheck(), 1);
  ASSERT_EQ(user.messages.size(), 1u);
  const std::u16string& text = user.messages[0].text;
  EXPECT_EQ(FirstLine(text), u"check failed: 2 of 4 recorded files not proven") << ToDisplay(text);
  const std::u16string missing = tree.Path(u"collected/ab_cd_adl_ef/video/v01_hires.mp4") +
                                u": missing (recorded by generation 1); to mend it from its clip: marlowin-collect "
                                u"--reverify STARTING_FOLDER " + tree.Path(u"collected");
  const std::u16string changed = tree.Path(u"collected/ab_cd_int_ef__m02/video/v02_hires.mp4") + u": changed: xxh128 ";
  const std::u16string unrecorded =
      u"warning: " + tree.Path(u"collected/ab_cd_adl_ef/video/aa_extra.mp4") + u": in no generation of the history";
  const std::size_t at[] = {text.find(u"\n" + missing), text.find(u"\n" + changed), text.find(u"\n" + unrecorded)};
  for (const std::size_t position : at) ASSERT_NE(position, std::u16string::npos) << ToDisplay(text);
  EXPECT_LT(at[0], at[2]) << "the failures come before the warnings";
  EXPECT_LT(at[1], at[2]) << "the failures come before the warnings";
#ifndef _WIN32
  EXPECT_NE(user.messages[0].details.find(missing + u"\n"), std::u16string::npos);  // "Show Details..."
#endif
}

TEST_F(CheckRun, MoreProblemsThanTheBoxHoldsNameTheReportFileThatHoldsEveryOne) {
  for (int i = 0; i < 12; ++i) {
    tree.WriteFile(u"collected/ab_cd_adl_ef/video/extra" + marlowin::testing::U16(std::to_string(i)) + u".mp4", "x");
  }
  user.choices = {tree.Path(u"collected")};
  EXPECT_EQ(RunCheck(), 0) << "unrecorded files are warnings";
  ASSERT_EQ(user.messages.size(), 1u);
  const std::u16string& text = user.messages[0].text;
  EXPECT_NE(text.find(u"\nand 2 more\n"), std::u16string::npos) << ToDisplay(text);
  constexpr std::u16string_view kLastLine = u"\n\nThe whole report: ";
  const std::size_t at = text.rfind(kLastLine);
  ASSERT_NE(at, std::u16string::npos) << ToDisplay(text);
  const std::string report = [&] {
    marlowin::platform::File file;
    std::string content(1 << 16, '\0');
    std::size_t got = 0;
    EXPECT_FALSE(file.OpenForReading(text.substr(at + kLastLine.size())));
    EXPECT_FALSE(file.Read(content.data(), content.size(), got));
    content.resize(got);
    return content;
  }();
  EXPECT_EQ(report.rfind("check passed: 4 recorded files proven\n", 0), 0u) << report;
  for (int i = 0; i < 12; ++i) EXPECT_NE(report.find("extra" + std::to_string(i) + ".mp4: in no generation"), std::string::npos) << i;
  EXPECT_NE(report.find("\n\nCheck started "), std::string::npos) << report;
  EXPECT_NE(report.find(", of " + ToDisplay(tree.Path(u"collected")) + ".\n"), std::string::npos) << report;
}

TEST_F(CheckRun, AFolderWithoutHistoryIsNotCheckedAndExitsWithTwo) {
  tree.MakeFolder(u"elsewhere");
  user.choices = {tree.Path(u"elsewhere")};
  EXPECT_EQ(RunCheck(), 2);
  ASSERT_EQ(user.messages.size(), 1u);
  EXPECT_EQ(user.messages[0].text.rfind(u"check not made: no ASC MHL history", 0), 0u) << ToDisplay(user.messages[0].text);
  EXPECT_TRUE(tree.Names(u"elsewhere").empty()) << "nothing is written into the folder checked";
}

TEST_F(CheckRun, ACancelledChoiceChecksNothingKeepsNoReportAndExitsWithTwo) {
  const std::size_t reportsBefore = Reports().size();
  EXPECT_EQ(RunCheck(), 2);
  EXPECT_EQ(user.captions.size(), 1u);
  ASSERT_EQ(user.messages.size(), 1u);
  EXPECT_EQ(user.messages[0].text, u"check not made: no folder chosen");
  EXPECT_EQ(Reports().size(), reportsBefore);
}

// Long work draws the eye to its message (here any work is long): the box comes all the same,
// read as ever, whatever the desktop offers of its taskbar, hint and notification.
TEST_F(CheckRun, AMessageThatDrawsTheEyeIsShownAndReadAsAnyOther) {
  // No notification of the test's reaches the desktop of the person running it.
  const marlowin::testing::ScopedVariable noBus("DBUS_SESSION_BUS_ADDRESS", u"unix:path=/nonexistent/bus");
  tree.Remove(u"collected/ab_cd_adl_ef/video/v03_hires.mp4");
  user.choices = {tree.Path(u"collected")};
  EXPECT_EQ(RunCheck(0), 1);
  ASSERT_EQ(user.messages.size(), 1u);
  EXPECT_EQ(FirstLine(user.messages[0].text), u"check failed: 1 of 4 recorded files not proven");
  EXPECT_TRUE(user.messages[0].onTop);
}
