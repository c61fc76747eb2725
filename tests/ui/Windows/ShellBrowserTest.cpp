// The real shell folder browser (under Wine in the build), answered from inside its own modal
// loop: a thread timer looks for the open browser, reads it, and presses its buttons.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/TempTree.h"
#include "ui/DirDialog.h"

namespace {

std::u16string Text(HWND window) {
  wchar_t text[512] = {};
  const int length = GetWindowTextW(window, text, 512);
  return std::u16string(reinterpret_cast<const char16_t*>(text), static_cast<std::size_t>(length));
}

// The browser is the visible dialog window of this thread.
HWND FindBrowser() {
  HWND found = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM result) -> BOOL {
        wchar_t name[16] = {};
        GetClassNameW(window, name, 16);
        if (!IsWindowVisible(window) || std::wstring(name) != L"#32770") return TRUE;
        *reinterpret_cast<HWND*>(result) = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// Whether some visible child window of the browser shows this text.
bool ShowsText(HWND browser, const std::u16string& wanted) {
  std::pair<const std::u16string*, bool> search{&wanted, false};
  EnumChildWindows(
      browser,
      [](HWND child, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<std::pair<const std::u16string*, bool>*>(data);
        s->second = s->second || (IsWindowVisible(child) && Text(child) == *s->first);
        return !s->second;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.second;
}

void Press(HWND browser, int button) { PostMessageW(browser, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0); }

// Browse, with `step` run every 50 ms against the open browser until it says it is done;
// after 30 s the browser is cancelled, so that a test fails instead of hanging.
std::function<bool(HWND)>* activeStep = nullptr;
int ticks = 0;

void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
  const HWND browser = FindBrowser();
  if (!activeStep || !browser) return;
  if ((*activeStep)(browser)) {
    activeStep = nullptr;
  } else if (++ticks > 600) {
    ADD_FAILURE() << "the browser was still open after 30 s";
    activeStep = nullptr;
    Press(browser, IDCANCEL);
  }
}

BOOL Browse(CDirDialog& dialog, std::function<bool(HWND)> step) {
  activeStep = &step;
  ticks = 0;
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, &OnTimer);
  const BOOL result = dialog.Browse();
  KillTimer(nullptr, timer);
  EXPECT_EQ(activeStep, nullptr) << "the browser never came up";
  activeStep = nullptr;
  return result;
}

// Whether the browser has reported the folder as selected. Wine's browser now and then misses
// a preselection made while it is still filling its tree; after a second without it the
// folder is selected again, as a person would click it, and the test says so.
bool Selected(const std::vector<std::u16string>& seen, const std::u16string& folder, HWND browser) {
  if (!seen.empty() && seen.back() == folder) return true;
  if (ticks % 20 == 19) {
    std::fprintf(stderr, "note: the browser had not selected the folder yet; selecting it again\n");
    SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(folder.c_str()));
  }
  return false;
}

// Remembers every selection the browser reports and puts it in the status line.
class WatchingDialog : public CDirDialog {
 public:
  BOOL OnSelectionChanged(const char16_t* selectedPath, std::u16string& statusText) override {
    seen.emplace_back(selectedPath);
    statusText = u"Now: " + seen.back();
    return TRUE;
  }
  std::vector<std::u16string> seen;
};

class ShellBrowser : public ::testing::Test {
 protected:
  ShellBrowser() : com_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {
    files.MakeFolder(u"shoots/day1");
  }
  ~ShellBrowser() override {
    if (SUCCEEDED(com_)) CoUninitialize();
  }
  HRESULT com_;
  marlowin::testing::TempTree files;
};

TEST_F(ShellBrowser, PreselectedFolderConfirmedReturnsTrueWithItsPath) {
  const std::u16string wanted = files.Path(u"shoots/day1");
  WatchingDialog dialog;
  dialog.m_strStartSelection = wanted + u"\\";
  dialog.m_strCaption = u"Browse to the starting folder:";
  dialog.m_bShowStatus = TRUE;
  const BOOL result = Browse(dialog, [&](HWND browser) {
    if (!Selected(dialog.seen, wanted, browser)) return false;
    EXPECT_EQ(Text(browser), u"Browse to the starting folder:");
    EXPECT_TRUE(ShowsText(browser, u"Open"));
    EXPECT_TRUE(ShowsText(browser, u"Now: " + wanted));
    // The corner of a centred client area 25 by 60 smaller than the window. (Wine keeps no
    // topmost style for it, so that is not asked.)
    RECT placed{};
    GetWindowRect(browser, &placed);
    EXPECT_EQ(placed.left, (GetSystemMetrics(SM_CXSCREEN) - (placed.right - placed.left - 25)) / 2);
    EXPECT_EQ(placed.top, (GetSystemMetrics(SM_CYSCREEN) - (placed.bottom - placed.top - 60)) / 2);
    Press(browser, IDOK);
    return true;
  });
  ASSERT_EQ(result, TRUE);
  EXPECT_EQ(dialog.m_strChosenPath, wanted);
}

TEST_F(ShellBrowser, BrowserRootedAtAFolderCancelledReturnsFalse) {
  const std::u16string root = files.Path(u"shoots");
  WatchingDialog dialog;
  dialog.m_strRootFolder = root;
  const BOOL result = Browse(dialog, [&](HWND browser) {
    if (dialog.seen.empty() || dialog.seen.back() != root) {  // click the tree's top item
      const HWND tree = FindWindowExW(browser, nullptr, WC_TREEVIEWW, nullptr);
      const LPARAM top = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
      if (top) SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, top);
      return false;
    }
    Press(browser, IDCANCEL);
    return true;
  });
  EXPECT_EQ(result, FALSE);
  ASSERT_FALSE(dialog.seen.empty());
  EXPECT_EQ(dialog.seen.back(), root);
}

}  // namespace
