// The real shell folder browser (under Wine in the build), answered from inside its own modal
// loop: a thread timer looks for the open browser, reads it, and presses its buttons.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TempTree.h"
#include "ui/DirDialog.h"

static_assert(sizeof(wchar_t) == 2, "Windows wide characters are UTF-16 code units");

namespace {

using marlowin::testing::TempTree;

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
        if (IsWindowVisible(window) && std::wstring(name) == L"#32770") {
          *reinterpret_cast<HWND*>(result) = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// Whether some child window of the browser shows this text.
bool ShowsText(HWND browser, const std::u16string& wanted) {
  struct Search {
    const std::u16string* wanted;
    bool found;
  } search{&wanted, false};
  EnumChildWindows(
      browser,
      [](HWND child, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        if (IsWindowVisible(child) && Text(child) == *s->wanted) s->found = true;
        return !s->found;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

SIZE ClientSize(HWND window) {
  RECT rect{};
  GetClientRect(window, &rect);
  return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

// Wine's browser re-checks the OK button itself after telling the callback of a selection
// change, so there the hook's answer does not stay.
bool UnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

void Press(HWND browser, int button) {
  PostMessageW(browser, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
}

// Looks at the open browser every 50 ms with `step` until the step says it is done; after
// 30 s the browser is cancelled. A process that still hangs is ended by the watchdog.
class BrowserUser {
 public:
  using Step = std::function<bool(HWND browser)>;

  explicit BrowserUser(Step step) : step_(std::move(step)) {
    active = this;
    timer_ = SetTimer(nullptr, 0, 50, &BrowserUser::OnTimer);
    watchdog_ = std::thread([this] {
      std::unique_lock lock(mutex_);
      if (!stop_.wait_for(lock, std::chrono::seconds(120), [this] { return stopped_; })) {
        std::fputs("watchdog: the folder browser was never closed\n", stderr);
        std::fflush(stderr);
        std::_Exit(99);
      }
    });
  }
  BrowserUser(const BrowserUser&) = delete;
  BrowserUser& operator=(const BrowserUser&) = delete;
  ~BrowserUser() {
    KillTimer(nullptr, timer_);
    active = nullptr;
    {
      std::lock_guard lock(mutex_);
      stopped_ = true;
    }
    stop_.notify_one();
    watchdog_.join();
  }

  bool sawBrowser = false;
  bool timedOut = false;

 private:
  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    BrowserUser* user = active;
    if (!user || user->done_) return;
    const HWND browser = FindBrowser();
    if (!browser) return;
    user->sawBrowser = true;
    if (user->step_(browser)) {
      user->done_ = true;
    } else if (++user->ticks_ > 600) {
      user->timedOut = true;
      user->done_ = true;
      Press(browser, IDCANCEL);
    }
  }

  static inline BrowserUser* active = nullptr;
  Step step_;
  UINT_PTR timer_ = 0;
  int ticks_ = 0;
  bool done_ = false;
  std::mutex mutex_;
  std::condition_variable stop_;
  bool stopped_ = false;
  std::thread watchdog_;
};

// Whether the browser has reported the folder as selected. Wine's browser now and then
// misses a preselection made while it is still filling its tree; after a second without it
// the folder is selected again, as a person would click it, and the test says so.
bool Selected(const std::vector<std::u16string>& seen, const std::u16string& folder, HWND browser,
              int& ticks) {
  if (!seen.empty() && seen.back() == folder) return true;
  if (++ticks % 20 == 0) {
    std::fprintf(stderr, "note: the browser had not selected the folder yet; selecting it again\n");
    SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(folder.c_str()));
  }
  return false;
}

// Remembers every selection the browser reports, and disables OK on folders named "locked".
class WatchingDialog : public CDirDialog {
 public:
  BOOL OnSelectionChanged(const char16_t* selectedPath, std::u16string& statusText) override {
    seen.emplace_back(selectedPath);
    statusText = u"Now: " + seen.back();
    return seen.back().ends_with(u"\\locked") ? FALSE : TRUE;
  }
  std::vector<std::u16string> seen;
};

class ShellBrowser : public ::testing::Test {
 protected:
  void SetUp() override {
    com_ = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    files.MakeFolder(u"shoots/day1");
    files.MakeFolder(u"shoots/locked");
  }
  void TearDown() override {
    if (SUCCEEDED(com_)) CoUninitialize();
  }
  TempTree files;
  HRESULT com_ = E_FAIL;
};

TEST_F(ShellBrowser, PreselectedFolderConfirmedReturnsTrueWithItsPath) {
  const std::u16string wanted = files.Path(u"shoots/day1");
  WatchingDialog dialog;
  dialog.m_strStartSelection = wanted + u"\\";
  dialog.m_strCaption = u"Browse to the starting folder:";
  std::u16string caption;
  bool showsOpen = false, hasButtons = false;
  SIZE client{}, placed{};
  POINT corner{};
  int ticks = 0;
  BrowserUser user([&](HWND browser) {
    // The shell reports the preselection as a selection change; then OK is pressed.
    if (!Selected(dialog.seen, wanted, browser, ticks)) return false;
    caption = Text(browser);
    showsOpen = ShowsText(browser, u"Open");
    hasButtons = GetDlgItem(browser, IDOK) && GetDlgItem(browser, IDCANCEL);
    RECT window{};
    GetWindowRect(browser, &window);
    client = ClientSize(browser);
    placed = SIZE{window.right - window.left, window.bottom - window.top};
    corner = POINT{window.left, window.top};
    Press(browser, IDOK);
    return true;
  });
  ASSERT_EQ(dialog.Browse(), TRUE);
  EXPECT_FALSE(user.timedOut);
  EXPECT_EQ(dialog.m_strChosenPath, wanted);
  EXPECT_EQ(caption, u"Browse to the starting folder:");
  EXPECT_TRUE(showsOpen);
  EXPECT_TRUE(hasButtons);
  // The window is 25 by 60 larger than its client area was when it came up, with the corner
  // of that client area centred. (Wine keeps no topmost style for it, so that is not asked.)
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  EXPECT_EQ(corner.x, (screenWidth - (placed.cx - 25)) / 2);
  EXPECT_EQ(corner.y, (screenHeight - (placed.cy - 60)) / 2);
  EXPECT_GT(client.cx, 0);
}

TEST_F(ShellBrowser, CancelledBrowserReturnsFalse) {
  CDirDialog dialog;
  BrowserUser user([](HWND browser) {
    Press(browser, IDCANCEL);
    return true;
  });
  EXPECT_EQ(dialog.Browse(), FALSE);
  EXPECT_TRUE(user.sawBrowser);
  EXPECT_FALSE(user.timedOut);
}

TEST_F(ShellBrowser, HookResultSetsOkAndItsTextFillsTheStatusLine) {
  const std::u16string locked = files.Path(u"shoots/locked");
  WatchingDialog dialog;
  dialog.m_bShowStatus = TRUE;
  dialog.m_strStartSelection = locked;
  bool okEnabled = true, statusShown = false;
  int ticks = 0;
  BrowserUser user([&](HWND browser) {
    if (!Selected(dialog.seen, locked, browser, ticks)) return false;
    okEnabled = IsWindowEnabled(GetDlgItem(browser, IDOK)) != 0;
    statusShown = ShowsText(browser, u"Now: " + locked);
    Press(browser, IDCANCEL);
    return true;
  });
  EXPECT_EQ(dialog.Browse(), FALSE);
  EXPECT_FALSE(user.timedOut);
  if (!UnderWine()) {
    EXPECT_FALSE(okEnabled);
  }
  EXPECT_TRUE(statusShown);
}

TEST_F(ShellBrowser, RootFolderParsedByTheDesktopOpensTheTreeThere) {
  const std::u16string root = files.Path(u"shoots");
  WatchingDialog dialog;
  dialog.m_strRootFolder = root;
  BrowserUser user([&](HWND browser) {
    if (dialog.seen.empty()) {
      // Click the tree's top item, the root.
      const HWND tree = FindWindowExW(browser, nullptr, WC_TREEVIEWW, nullptr);
      const LPARAM top = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
      if (top) SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, top);
      return false;
    }
    if (dialog.seen.back() != root) return false;
    Press(browser, IDOK);
    return true;
  });
  ASSERT_EQ(dialog.Browse(), TRUE);
  EXPECT_FALSE(user.timedOut);
  EXPECT_EQ(dialog.m_strChosenPath, root);
}

TEST_F(ShellBrowser, RootFolderThatDoesNotParseShowsNoBrowser) {
  CDirDialog dialog;
  dialog.m_strRootFolder = files.Path(u"no such folder");
  BrowserUser user([](HWND browser) {
    Press(browser, IDOK);
    return true;
  });
  EXPECT_EQ(dialog.Browse(), FALSE);
  EXPECT_FALSE(user.sawBrowser);
}

}  // namespace
