// The dialog's logic against a recording shell.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/ui/FakeDirShell.h"
#include "ui/DirDialog.h"

namespace {

using marlowin::testing::FakeDirShell;
using Item = FakeDirShell::Item;
namespace ui = marlowin::ui;

// Answers from a script and remembers the paths it was given.
class ScriptedHookDialog : public CDirDialog {
 public:
  BOOL OnSelectionChanged(const char16_t* selectedPath, std::u16string& statusText) override {
    EXPECT_EQ(statusText, u"") << "the status text is empty on entry";
    const std::size_t call = seen.size();
    seen.emplace_back(selectedPath);
    statusText = texts.at(call);
    return results.at(call);
  }
  std::vector<BOOL> results;
  std::vector<std::u16string> texts, seen;
};

std::vector<std::intptr_t> OkStates(const FakeDirShell& shell) {
  std::vector<std::intptr_t> states;
  for (const auto& m : shell.Sent(ui::kBffmEnableOk)) states.push_back(m.lParam);
  return states;
}

class DirDialogTest : public ::testing::Test {
 protected:
  FakeDirShell shell;
  ui::ScopedDirShell use{shell};
};

struct TidyCase {
  std::u16string given, tidied;
};
class StartSelection : public DirDialogTest, public ::testing::WithParamInterface<TidyCase> {};

TEST_P(StartSelection, IsTidiedInPlaceAndPreselectedWhenNotEmpty) {
  CDirDialog dialog;
  dialog.m_strStartSelection = GetParam().given;
  dialog.Browse();
  EXPECT_EQ(dialog.m_strStartSelection, GetParam().tidied);
  const auto selections = shell.Sent(ui::kBffmSetSelection);
  ASSERT_EQ(selections.size(), GetParam().tidied.empty() ? 0u : 1u);
  if (selections.empty()) return;
  EXPECT_EQ(selections[0].wParam, 1u);  // lParam is a path
  EXPECT_EQ(selections[0].text, GetParam().tidied);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartSelection,
    ::testing::Values(TidyCase{u"C:\\Shoots\\", u"C:\\Shoots"}, TidyCase{u"/home/shoots/", u"/home/shoots"},
                      TidyCase{u"C:\\Shoots\\ \t\r\n", u"C:\\Shoots"}, TidyCase{u"C:\\Shoots\\\\", u"C:\\Shoots\\"},
                      TidyCase{u"C:\\Shoots//", u"C:\\Shoots/"}, TidyCase{u"C:\\Shoots \\", u"C:\\Shoots "},
                      TidyCase{u"\\", u""}, TidyCase{u" \t ", u""}, TidyCase{u"C:\\Shoots", u"C:\\Shoots"}));

TEST_F(DirDialogTest, StatusLineGivesFlags13AndStatusAndOkFollowTheHookOnEveryChange) {
  shell.outcomes.push_back({{Item{u"C:\\a"}, Item{}, Item{u"C:\\b"}}, Item{u"C:\\b"}, u"b"});
  ScriptedHookDialog dialog;
  dialog.m_bShowStatus = TRUE;
  dialog.results = {TRUE, FALSE, TRUE};
  dialog.texts = {u"first", u"", u"third"};
  ASSERT_EQ(dialog.Browse(), TRUE);
  EXPECT_EQ(shell.browses[0].flags, 13u);
  EXPECT_EQ(dialog.seen, (std::vector<std::u16string>{u"C:\\a", u"", u"C:\\b"}));
  std::vector<std::u16string> status;
  for (const auto& m : shell.Sent(ui::kBffmSetStatusText)) status.push_back(m.text);
  EXPECT_EQ(status, (std::vector<std::u16string>{u"first", u"", u"third"}));
  EXPECT_EQ(OkStates(shell), (std::vector<std::intptr_t>{TRUE, FALSE, TRUE}));
}

TEST_F(DirDialogTest, DefaultsGiveFlags9OpenNoStatusAndOkOnEveryChange) {
  shell.outcomes.push_back({{Item{u"C:\\a"}, Item{}}, Item{u"C:\\a"}, u"a"});
  CDirDialog dialog;
  ASSERT_EQ(dialog.Browse(), TRUE);
  EXPECT_EQ(shell.browses[0].flags, 9u);
  EXPECT_EQ(shell.browses[0].title, u"Open");
  EXPECT_FALSE(shell.browses[0].hasOwner);
  EXPECT_TRUE(shell.captions.empty());
  EXPECT_TRUE(shell.Sent(ui::kBffmSetStatusText).empty());
  EXPECT_EQ(OkStates(shell), (std::vector<std::intptr_t>{TRUE, TRUE}));
}

TEST_F(DirDialogTest, CaptionAndPromptAreIndependent) {
  CDirDialog captionOnly, promptOnly, both;
  captionOnly.m_strCaption = u"Select copy to folder:";
  promptOnly.m_strPrompt = u"Pick one";
  both.m_strCaption = u"Caption";
  both.m_strPrompt = u"Prompt";
  for (CDirDialog* dialog : {&captionOnly, &promptOnly, &both}) dialog->Browse();
  ASSERT_EQ(shell.browses.size(), 3u);
  EXPECT_EQ(shell.browses[0].title, u"Open");
  EXPECT_EQ(shell.browses[1].title, u"Pick one");
  EXPECT_EQ(shell.browses[2].title, u"Prompt");
  EXPECT_EQ(shell.captions, (std::vector<std::u16string>{u"Select copy to folder:", u"Caption"}));
}

struct PlacementCase {
  ui::DirRect client;
  bool readable;
  FakeDirShell::Placement expected;
};
class Placement : public DirDialogTest, public ::testing::WithParamInterface<PlacementCase> {};

TEST_P(Placement, TakesTheCornerOfACentredClientAreaPlusAFrameTopmostAndShown) {
  shell.clientRect = GetParam().client;
  shell.clientRectReadable = GetParam().readable;
  CDirDialog dialog;
  dialog.Browse();
  ASSERT_EQ(shell.placed.size(), 1u);
  const FakeDirShell::Placement& p = shell.placed[0];
  EXPECT_TRUE(p == GetParam().expected) << p.insertAfter << " " << p.x << "," << p.y << " " << p.width << "x"
                                        << p.height;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Placement,  // on the fake's 800 x 600 screen
    ::testing::Values(PlacementCase{{0, 0, 200, 100}, true, {-1, 300, 250, 225, 160, 0x40}},
                      PlacementCase{{0, 0, 901, 100}, true, {-1, -50, 250, 926, 160, 0x40}},
                      PlacementCase{{10, 20, 210, 120}, true, {-1, 300, 250, 225, 160, 0x40}},
                      PlacementCase{{0, 0, 200, 100}, false, {-1, 400, 300, 25, 60, 0x40}}));

TEST_F(DirDialogTest, ConfirmingUnderARootReturnsPathAndImageEachTimeAndGivesAllBack) {
  shell.outcomes.push_back({{}, Item{u"C:\\a rather longer first folder"}, u"first", 17});
  shell.ConfirmPath(u"D:\\b");
  CDirDialog dialog;
  dialog.m_strRootFolder = u"C:\\" + std::u16string(256, u'r');  // the longest that fits
  ASSERT_EQ(dialog.Browse(), TRUE);
  EXPECT_EQ(dialog.m_strChosenPath, u"C:\\a rather longer first folder");
  EXPECT_EQ(dialog.m_nChosenImage, 17);
  EXPECT_EQ(shell.parsed, std::vector<std::u16string>{dialog.m_strRootFolder});
  EXPECT_EQ(shell.browses[0].rootPath, dialog.m_strRootFolder);
  EXPECT_TRUE(shell.Balanced());
  ASSERT_EQ(dialog.Browse(), TRUE);
  EXPECT_EQ(dialog.m_strChosenPath, u"D:\\b");
  EXPECT_TRUE(shell.Balanced());
}

TEST_F(DirDialogTest, WithoutTheDesktopFolderTheRootIsIgnored) {
  shell.desktopResult = -1;
  shell.ConfirmPath(u"C:\\a");
  CDirDialog dialog;
  dialog.m_strRootFolder = u"C:\\Shoots";
  ASSERT_EQ(dialog.Browse(), TRUE);
  EXPECT_TRUE(shell.parsed.empty());
  EXPECT_FALSE(shell.browses[0].rootPath.has_value());
  EXPECT_TRUE(shell.Balanced());
}

struct FailureCase {
  const char* name;
  void (*arrange)(FakeDirShell&, CDirDialog&);
  bool dialogShown;
};
class FailurePath : public DirDialogTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailurePath, ReturnsFalseGivesEverythingBackAndStillTidies) {
  CDirDialog dialog;
  dialog.m_strRootFolder = u"C:\\Shoots";
  dialog.m_strStartSelection = u"D:\\in\\ ";
  GetParam().arrange(shell, dialog);
  EXPECT_EQ(dialog.Browse(), FALSE);
  EXPECT_EQ(dialog.m_strStartSelection, u"D:\\in");
  EXPECT_EQ(shell.browses.size(), GetParam().dialogShown ? 1u : 0u);
  EXPECT_EQ(shell.allocatorsHeld, 0);
  EXPECT_EQ(shell.desktopsHeld, 0);
  EXPECT_EQ(shell.itemsHeld, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FailurePath,
    ::testing::Values(
        FailureCase{"NoAllocator", [](FakeDirShell& s, CDirDialog&) { s.allocatorResult = 1; }, false},  // S_FALSE
        FailureCase{"RootDoesNotParse",
                    [](FakeDirShell& s, CDirDialog&) {
                      s.parseResult = -1;
                      s.ConfirmPath(u"C:\\a");
                    },
                    false},
        FailureCase{"RootOf260Characters",
                    [](FakeDirShell& s, CDirDialog& d) {
                      s.ConfirmPath(u"C:\\a");
                      d.m_strRootFolder = u"C:\\" + std::u16string(257, u'r');
                    },
                    false},
        FailureCase{"Cancel", [](FakeDirShell& s, CDirDialog&) { s.Cancel(); }, true},
        FailureCase{"ConfirmedItemWithoutAPath",
                    [](FakeDirShell& s, CDirDialog&) { s.ConfirmItemWithoutPath(); }, true}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
