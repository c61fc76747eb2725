// The dialog's logic against a recording shell: what it asks of the shell, in which order,
// and what Browse makes of the answers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/ui/FakeDirShell.h"
#include "ui/DirDialog.h"

namespace {

using marlowin::testing::FakeDirShell;
using marlowin::ui::ScopedDirShell;
using Request = FakeDirShell::Request;
namespace ui = marlowin::ui;

// A hook that answers from a script and remembers what it was given.
class ScriptedHookDialog : public CDirDialog {
 public:
  BOOL OnSelectionChanged(const char16_t* selectedPath, std::u16string& statusText) override {
    seenPaths.emplace_back(selectedPath);
    seenStatusOnEntry.push_back(statusText);
    const std::size_t call = seenPaths.size() - 1;
    if (call < statusTexts.size()) statusText = statusTexts[call];
    return call < results.size() ? results[call] : TRUE;
  }

  std::vector<BOOL> results;
  std::vector<std::u16string> statusTexts;
  std::vector<std::u16string> seenPaths;
  std::vector<std::u16string> seenStatusOnEntry;
};

FakeDirShell::Outcome SelectThenConfirm(std::vector<FakeDirShell::Item> selections,
                                        std::u16string confirmed) {
  FakeDirShell::Outcome outcome;
  outcome.selections = std::move(selections);
  outcome.confirmed = FakeDirShell::Item{std::move(confirmed)};
  return outcome;
}

std::vector<Request::Kind> Kinds(const std::vector<Request>& requests) {
  std::vector<Request::Kind> kinds;
  for (const Request& r : requests) kinds.push_back(r.kind);
  return kinds;
}

class DirDialogTest : public ::testing::Test {
 protected:
  FakeDirShell shell;
  ScopedDirShell use{shell};
};

// --- a new object and a browse with the defaults ---

TEST_F(DirDialogTest, DefaultBrowseKeepsTheShellCaptionShowsOpenAndSelectsNothing) {
  shell.ConfirmPath(u"C:\\Shoots");
  CDirDialog dialog;
  ASSERT_EQ(dialog.Browse(), TRUE);
  EXPECT_EQ(dialog.m_strChosenPath, u"C:\\Shoots");

  ASSERT_EQ(shell.browses.size(), 1u);
  const FakeDirShell::BrowseCall& call = shell.browses[0];
  EXPECT_EQ(call.dialog, &dialog);
  EXPECT_EQ(call.title, u"Open");
  EXPECT_EQ(call.flags, 9u);
  EXPECT_FALSE(call.rootPath.has_value());
  EXPECT_FALSE(call.hasOwner);
  EXPECT_EQ(call.imageOnEntry, 0);
  EXPECT_TRUE(shell.Requests(Request::SetCaption).empty());
  EXPECT_TRUE(shell.Requests(Request::GetDesktop).empty());
  EXPECT_TRUE(shell.Messages(ui::kBffmSetSelection).empty());
  EXPECT_TRUE(shell.Messages(ui::kBffmSetStatusText).empty());
  EXPECT_TRUE(shell.Balanced());
}

TEST_F(DirDialogTest, OwnHookEnablesOkOnEverySelectionAlsoWithoutAPath) {
  FakeDirShell::Outcome outcome;
  outcome.selections = {FakeDirShell::Item{u"C:\\a"}, FakeDirShell::Item{}, FakeDirShell::Item{u"C:\\b"}};
  shell.outcomes.push_back(outcome);
  CDirDialog dialog;
  EXPECT_EQ(dialog.Browse(), FALSE);  // cancelled
  const std::vector<Request> enables = shell.Messages(ui::kBffmEnableOk);
  ASSERT_EQ(enables.size(), 3u);
  for (const Request& r : enables) {
    EXPECT_EQ(r.wParam, 0u);
    EXPECT_EQ(r.lParam, TRUE);
  }
  std::u16string status;
  EXPECT_EQ(dialog.OnSelectionChanged(u"C:\\a", status), TRUE);
  EXPECT_TRUE(status.empty());
}

// --- the initial selection ---

struct TidyCase {
  std::u16string given;
  std::u16string tidied;
};

class StartSelectionTidy : public DirDialogTest, public ::testing::WithParamInterface<TidyCase> {};

TEST_P(StartSelectionTidy, IsTidiedInPlaceAndPreselected) {
  shell.Cancel();
  CDirDialog dialog;
  dialog.m_strStartSelection = GetParam().given;
  dialog.Browse();
  EXPECT_EQ(dialog.m_strStartSelection, GetParam().tidied);
  const std::vector<Request> selections = shell.Messages(ui::kBffmSetSelection);
  if (GetParam().tidied.empty()) {
    EXPECT_TRUE(selections.empty());
  } else {
    ASSERT_EQ(selections.size(), 1u);
    EXPECT_EQ(selections[0].wParam, 1u);  // lParam is a path
    EXPECT_EQ(selections[0].text, GetParam().tidied);
    EXPECT_EQ(shell.browses[0].startSelection, GetParam().tidied);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartSelectionTidy,
    ::testing::Values(TidyCase{u"C:\\Shoots\\", u"C:\\Shoots"},
                      TidyCase{u"/home/shoots/", u"/home/shoots"},
                      TidyCase{u"C:\\Shoots\\ \t\r\n", u"C:\\Shoots"},
                      TidyCase{u"C:\\Shoots\\\\", u"C:\\Shoots\\"},
                      TidyCase{u"C:\\Shoots//", u"C:\\Shoots/"},
                      TidyCase{u"C:\\Shoots \\", u"C:\\Shoots "},
                      TidyCase{u"\\", u""},
                      TidyCase{u"/", u""},
                      TidyCase{u" \t ", u""},
                      TidyCase{u"C:\\Shoots", u"C:\\Shoots"},
                      TidyCase{u"", u""}));

TEST_F(DirDialogTest, StartSelectionIsTidiedEvenWhenNothingElseWorks) {
  shell.allocatorResult = static_cast<ui::DirResult>(0x80004005u);
  CDirDialog dialog;
  dialog.m_strStartSelection = u"D:\\in\\ ";
  EXPECT_EQ(dialog.Browse(), FALSE);
  EXPECT_EQ(dialog.m_strStartSelection, u"D:\\in");
}

// --- flags, status line and the hook ---

TEST_F(DirDialogTest, StatusLineGivesFlags13AndTheHookTextOnEveryChange) {
  shell.outcomes.push_back(SelectThenConfirm(
      {FakeDirShell::Item{u"C:\\a"}, FakeDirShell::Item{}, FakeDirShell::Item{u"C:\\b"}}, u"C:\\b"));
  ScriptedHookDialog dialog;
  dialog.m_bShowStatus = TRUE;
  dialog.results = {TRUE, FALSE, TRUE};
  dialog.statusTexts = {u"first", u"", u"third"};
  ASSERT_EQ(dialog.Browse(), TRUE);

  EXPECT_EQ(shell.browses[0].flags, 13u);
  EXPECT_EQ(dialog.seenPaths, (std::vector<std::u16string>{u"C:\\a", u"", u"C:\\b"}));
  EXPECT_EQ(dialog.seenStatusOnEntry, (std::vector<std::u16string>{u"", u"", u""}));
  const std::vector<Request> status = shell.Messages(ui::kBffmSetStatusText);
  ASSERT_EQ(status.size(), 3u);
  EXPECT_EQ(status[0].text, u"first");
  EXPECT_EQ(status[1].text, u"");  // sent also when the hook left it empty
  EXPECT_EQ(status[2].text, u"third");
  const std::vector<Request> enables = shell.Messages(ui::kBffmEnableOk);
  ASSERT_EQ(enables.size(), 3u);
  EXPECT_EQ(enables[0].lParam, TRUE);
  EXPECT_EQ(enables[1].lParam, FALSE);
  EXPECT_EQ(enables[2].lParam, TRUE);
}

TEST_F(DirDialogTest, WithoutStatusLineFlagsAre9AndNoTextIsSent) {
  shell.outcomes.push_back(SelectThenConfirm({FakeDirShell::Item{u"C:\\a"}}, u"C:\\a"));
  ScriptedHookDialog dialog;
  dialog.statusTexts = {u"ignored"};
  dialog.results = {FALSE};
  ASSERT_EQ(dialog.Browse(), TRUE);
  EXPECT_EQ(shell.browses[0].flags, 9u);
  EXPECT_TRUE(shell.Messages(ui::kBffmSetStatusText).empty());
  ASSERT_EQ(shell.Messages(ui::kBffmEnableOk).size(), 1u);
  EXPECT_EQ(shell.Messages(ui::kBffmEnableOk)[0].lParam, FALSE);
}

TEST_F(DirDialogTest, SelectionChangeConvertsThenCallsHookThenStatusThenOk) {
  shell.outcomes.push_back(SelectThenConfirm({FakeDirShell::Item{u"C:\\a"}}, u"C:\\a"));
  CDirDialog dialog;
  dialog.m_bShowStatus = TRUE;
  ASSERT_EQ(dialog.Browse(), TRUE);
  std::vector<Request> afterPlace;
  bool placed = false;
  for (const Request& r : shell.requests) {
    if (placed && r.kind != Request::Browse) afterPlace.push_back(r);
    if (r.kind == Request::Place) placed = true;
  }
  ASSERT_GE(afterPlace.size(), 3u);
  EXPECT_EQ(afterPlace[0].kind, Request::PathFromItem);
  EXPECT_EQ(afterPlace[1].message, ui::kBffmSetStatusText);
  EXPECT_EQ(afterPlace[2].message, ui::kBffmEnableOk);
}

// --- when the dialog is up: selection, caption, placement ---

TEST_F(DirDialogTest, InitialisationSelectsThenCaptionsThenPlaces) {
  shell.Cancel();
  CDirDialog dialog;
  dialog.m_strStartSelection = u"C:\\Shoots";
  dialog.m_strCaption = u"Browse to the starting folder:";
  dialog.Browse();
  std::vector<Request::Kind> kinds = Kinds(shell.requests);
  const std::vector<Request::Kind> expected = {
      Request::GetAllocator, Request::Browse,       Request::Send,         Request::SetCaption,
      Request::ReadClientRect, Request::ScreenMetric, Request::ScreenMetric, Request::Place,
      Request::ReleaseAllocator};
  EXPECT_EQ(kinds, expected);
  EXPECT_EQ(shell.Requests(Request::SetCaption)[0].text, u"Browse to the starting folder:");
}

struct PlacementCase {
  ui::DirRect client;
  bool readable;
  int screenWidth, screenHeight;
  int x, y, width, height;
};

class Placement : public DirDialogTest, public ::testing::WithParamInterface<PlacementCase> {};

TEST_P(Placement, CornerOfACentredClientAreaAndAFrameAllowance) {
  const PlacementCase& c = GetParam();
  shell.clientRect = c.client;
  shell.clientRectReadable = c.readable;
  shell.screenWidth = c.screenWidth;
  shell.screenHeight = c.screenHeight;
  shell.Cancel();
  CDirDialog dialog;
  dialog.Browse();
  const std::vector<Request> placed = shell.Requests(Request::Place);
  ASSERT_EQ(placed.size(), 1u);
  EXPECT_EQ(placed[0].lParam, -1);  // topmost
  EXPECT_EQ(placed[0].x, c.x);
  EXPECT_EQ(placed[0].y, c.y);
  EXPECT_EQ(placed[0].width, c.width);
  EXPECT_EQ(placed[0].height, c.height);
  EXPECT_EQ(placed[0].flags, 0x40u);  // shown
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Placement,
    ::testing::Values(PlacementCase{{0, 0, 200, 100}, true, 800, 600, 300, 250, 225, 160},
                      PlacementCase{{0, 0, 901, 100}, true, 800, 600, -50, 250, 926, 160},
                      PlacementCase{{0, 0, 200, 701}, true, 800, 600, 300, -50, 225, 761},
                      PlacementCase{{10, 20, 210, 120}, true, 800, 600, 300, 250, 225, 160},
                      PlacementCase{{0, 0, 200, 100}, false, 800, 600, 400, 300, 25, 60},
                      PlacementCase{{0, 0, 201, 101}, true, 800, 600, 299, 249, 226, 161}));

TEST_F(DirDialogTest, CaptionAndPromptAreIndependent) {
  shell.Cancel();
  shell.Cancel();
  shell.Cancel();
  CDirDialog captionOnly;
  captionOnly.m_strCaption = u"Select copy to folder:";
  captionOnly.Browse();
  CDirDialog promptOnly;
  promptOnly.m_strPrompt = u"Pick one";
  promptOnly.Browse();
  CDirDialog both;
  both.m_strCaption = u"Caption";
  both.m_strPrompt = u"Prompt";
  both.Browse();

  ASSERT_EQ(shell.browses.size(), 3u);
  EXPECT_EQ(shell.browses[0].title, u"Open");
  EXPECT_EQ(shell.browses[1].title, u"Pick one");
  EXPECT_EQ(shell.browses[2].title, u"Prompt");
  const std::vector<Request> captions = shell.Requests(Request::SetCaption);
  ASSERT_EQ(captions.size(), 2u);
  EXPECT_EQ(captions[0].text, u"Select copy to folder:");
  EXPECT_EQ(captions[1].text, u"Caption");
}

TEST_F(DirDialogTest, CallbackAnswersZeroAndIgnoresOtherNotifications) {
  CDirDialog dialog;
  const auto data = reinterpret_cast<std::intptr_t>(&dialog);
  EXPECT_EQ(CDirDialog::BrowseCallback(shell.Window(), 3, 0, data), 0);  // BFFM_VALIDATEFAILEDA
  EXPECT_EQ(CDirDialog::BrowseCallback(shell.Window(), 5, 0, data), 0);  // BFFM_IUNKNOWN
  EXPECT_TRUE(shell.requests.empty());
  FakeDirShell::Item item{u"C:\\a"};
  EXPECT_EQ(CDirDialog::BrowseCallback(shell.Window(), ui::kBffmSelChanged,
                                       reinterpret_cast<std::intptr_t>(&item), data), 0);
  EXPECT_EQ(CDirDialog::BrowseCallback(shell.Window(), ui::kBffmInitialized, 0, data), 0);
  // Without the object there is nothing to act for.
  const std::size_t before = shell.requests.size();
  EXPECT_EQ(CDirDialog::BrowseCallback(shell.Window(), ui::kBffmInitialized, 0, 0), 0);
  EXPECT_EQ(shell.requests.size(), before);
}

// --- results, and what is given back ---

TEST_F(DirDialogTest, ConfirmationStoresPathAndImageAndChangesNoSetting) {
  FakeDirShell::Outcome outcome = SelectThenConfirm({}, u"C:\\Shoots\\Day 1");
  outcome.displayName = u"Day 1";
  outcome.image = 17;
  shell.outcomes.push_back(outcome);
  CDirDialog dialog;
  dialog.m_strCaption = u"c";
  dialog.m_strPrompt = u"p";
  dialog.m_strRootFolder = u"C:\\Shoots";
  dialog.m_bShowStatus = TRUE;
  ASSERT_EQ(dialog.Browse(), TRUE);
  EXPECT_EQ(dialog.m_strChosenPath, u"C:\\Shoots\\Day 1");
  EXPECT_EQ(dialog.m_nChosenImage, 17);
  EXPECT_EQ(dialog.m_strCaption, u"c");
  EXPECT_EQ(dialog.m_strPrompt, u"p");
  EXPECT_EQ(dialog.m_strRootFolder, u"C:\\Shoots");
  EXPECT_EQ(dialog.m_bShowStatus, TRUE);
  EXPECT_TRUE(shell.Balanced());
}

TEST_F(DirDialogTest, OneObjectBrowsesAgainWithAFreshResult) {
  shell.ConfirmPath(u"C:\\a rather longer first folder name");
  shell.ConfirmPath(u"D:\\b");
  CDirDialog dialog;
  ASSERT_EQ(dialog.Browse(), TRUE);
  EXPECT_EQ(dialog.m_strChosenPath, u"C:\\a rather longer first folder name");
  ASSERT_EQ(dialog.Browse(), TRUE);
  EXPECT_EQ(dialog.m_strChosenPath, u"D:\\b");
  EXPECT_TRUE(shell.Balanced());
}

TEST_F(DirDialogTest, RootFolderIsParsedPassedAndGivenBack) {
  shell.ConfirmPath(u"C:\\Shoots\\a");
  CDirDialog dialog;
  dialog.m_strRootFolder = u"C:\\Shoots";
  ASSERT_EQ(dialog.Browse(), TRUE);
  ASSERT_EQ(shell.Requests(Request::ParseName).size(), 1u);
  EXPECT_EQ(shell.Requests(Request::ParseName)[0].text, u"C:\\Shoots");
  EXPECT_EQ(shell.browses[0].rootPath, std::optional<std::u16string>(u"C:\\Shoots"));
  EXPECT_EQ(shell.Requests(Request::FreeItem).size(), 2u);  // the root and the confirmed item
  EXPECT_TRUE(shell.Balanced());
}

TEST_F(DirDialogTest, DesktopFolderThatIsNotThereRootsTheTreeAtTheDesktop) {
  shell.desktopResult = static_cast<ui::DirResult>(0x80004005u);
  shell.ConfirmPath(u"C:\\a");
  CDirDialog dialog;
  dialog.m_strRootFolder = u"C:\\Shoots";
  ASSERT_EQ(dialog.Browse(), TRUE);
  EXPECT_TRUE(shell.Requests(Request::ParseName).empty());
  EXPECT_FALSE(shell.browses[0].rootPath.has_value());
  EXPECT_TRUE(shell.Balanced());
}

TEST_F(DirDialogTest, RootOfExactly259CharactersIsParsed) {
  shell.Cancel();
  CDirDialog dialog;
  dialog.m_strRootFolder = u"C:\\" + std::u16string(256, u'r');
  dialog.Browse();
  ASSERT_EQ(shell.Requests(Request::ParseName).size(), 1u);
  EXPECT_EQ(shell.Requests(Request::ParseName)[0].text, dialog.m_strRootFolder);
}

// Each way of failing: FALSE, and everything obtained is given back.
struct FailureCase {
  const char* name;
  void (*arrange)(FakeDirShell&, CDirDialog&);
  bool dialogShown;
};

class FailurePath : public DirDialogTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailurePath, ReturnsFalseAndGivesEverythingBack) {
  CDirDialog dialog;
  GetParam().arrange(shell, dialog);
  EXPECT_EQ(dialog.Browse(), FALSE);
  EXPECT_EQ(shell.browses.size(), GetParam().dialogShown ? 1u : 0u);
  EXPECT_EQ(shell.allocatorsHeld, 0);
  EXPECT_EQ(shell.desktopsHeld, 0);
  EXPECT_EQ(shell.itemsHeld, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FailurePath,
    ::testing::Values(
        FailureCase{"NoAllocator",
                    [](FakeDirShell& s, CDirDialog&) { s.allocatorResult = static_cast<ui::DirResult>(0x80004005u); },
                    false},
        FailureCase{"AllocatorAnswersSFalse", [](FakeDirShell& s, CDirDialog&) { s.allocatorResult = 1; }, false},
        FailureCase{"RootDoesNotParse",
                    [](FakeDirShell& s, CDirDialog& d) {
                      s.parseResult = static_cast<ui::DirResult>(0x80070002u);
                      s.ConfirmPath(u"C:\\a");
                      d.m_strRootFolder = u"Q:\\nowhere";
                    },
                    false},
        FailureCase{"RootTooLongForTheParseBuffer",
                    [](FakeDirShell& s, CDirDialog& d) {
                      s.ConfirmPath(u"C:\\a");
                      d.m_strRootFolder = u"C:\\" + std::u16string(257, u'r');
                    },
                    false},
        FailureCase{"Cancel", [](FakeDirShell& s, CDirDialog&) { s.Cancel(); }, true},
        FailureCase{"CancelUnderARoot",
                    [](FakeDirShell& s, CDirDialog& d) {
                      s.Cancel();
                      d.m_strRootFolder = u"C:\\Shoots";
                    },
                    true},
        FailureCase{"ConfirmedItemWithoutAPath",
                    [](FakeDirShell& s, CDirDialog& d) {
                      s.ConfirmItemWithoutPath();
                      d.m_strRootFolder = u"C:\\Shoots";
                    },
                    true}),
    [](const ::testing::TestParamInfo<FailureCase>& param) { return std::string(param.param.name); });

}  // namespace
