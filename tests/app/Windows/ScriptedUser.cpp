// The scripted user on Windows: a CBT hook on this thread sees every window that is about to
// be activated, reads it, and posts the user's answer to it, which the window's own modal
// loop then handles as if a person had pressed the button.
#include "tests/app/ScriptedUser.h"

#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <map>
#include <set>

#include "platform/WideString.h"
#include "tests/app/Watchdog.h"

namespace marlowin::testing {
namespace {

constexpr int kMessageTextId = 0xFFFF;  // the static control that holds a message box's text

ScriptedUser* activeUser = nullptr;

std::u16string WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(window, text.data(), length + 1);
  return sys::FromWide(std::wstring_view(text.data(), static_cast<std::size_t>(copied)));
}

std::wstring ClassName(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

bool HasIconControl(HWND box) {
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (ClassName(child) == L"Static" && (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
        SendMessageW(child, STM_GETICON, 0, 0) != 0) {
      return true;
    }
  }
  return false;
}

// The visible push buttons of a message box, by their command identifiers.
std::set<int> VisibleButtons(HWND box) {
  std::set<int> ids;
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (ClassName(child) == L"Button" && IsWindowVisible(child)) ids.insert(GetDlgCtrlID(child));
  }
  return ids;
}

void ReadAndDismiss(ScriptedUser& user, HWND box) {
  SeenMessage seen;
  seen.caption = WindowText(box);
  seen.text = WindowText(GetDlgItem(box, kMessageTextId));
  seen.errorIcon = HasIconControl(box);
  seen.onlyOk = VisibleButtons(box) == std::set<int>{IDOK};
  seen.onTop = (GetWindowLongW(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
  // A box without owner disables nothing; it is system-modal by its topmost style.
  seen.blocksProgram = seen.onTop;
  seen.ownerless = GetWindow(box, GW_OWNER) == nullptr;
  user.SawMessage(std::move(seen));
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

// The text of the tree item the browser has selected.
std::u16string SelectedItemText(HWND browser) {
  const HWND tree = FindWindowExW(browser, nullptr, WC_TREEVIEWW, nullptr);
  const auto selected = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  wchar_t text[MAX_PATH] = {};
  TVITEMW item{};
  item.mask = TVIF_TEXT;
  item.hItem = selected;
  item.pszText = text;
  item.cchTextMax = MAX_PATH;
  if (!selected || !SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return {};
  return sys::FromWide(text);
}

void CALLBACK LookAtWaitingWindows(HWND, UINT, UINT_PTR timer, DWORD);
std::set<HWND> waiting;

// A browser that is still selecting is looked at again shortly; a folder made just before the
// dialog opened may not be in the shell's tree at the first try.
struct PendingChoice {
  std::u16string folder;
  int triesLeft = 50;
};
std::map<HWND, PendingChoice> pendingChoices;

void SelectAndConfirm(HWND browser) {
  PendingChoice& choice = pendingChoices[browser];
  // Selecting the folder in the tree is what a person's click does; then OK.
  constexpr UINT kSetSelection = WM_USER + 103;  // BFFM_SETSELECTIONW, wParam TRUE: lParam is a path
  SendMessageW(browser, kSetSelection, TRUE, reinterpret_cast<LPARAM>(sys::AsWide(choice.folder)));
  const std::u16string name = choice.folder.substr(choice.folder.find_last_of(u"\\/") + 1);
  if (SelectedItemText(browser) != name && --choice.triesLeft > 0) {
    waiting.insert(browser);
    SetTimer(nullptr, 0, 100, LookAtWaitingWindows);
    return;
  }
  pendingChoices.erase(browser);
  PostMessageW(browser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

void AnswerFolderBrowser(ScriptedUser& user, HWND browser) {
  if (pendingChoices.count(browser)) {
    SelectAndConfirm(browser);
    return;
  }
  user.SawBrowser(WindowText(browser), SelectedItemText(browser));
  const ScriptedUser::Answer answer = user.NextAnswer();
  if (answer.cancel) {
    PostMessageW(browser, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return;
  }
  pendingChoices[browser].folder = answer.folder;
  SelectAndConfirm(browser);
}

std::set<HWND> answered;

// A dialog is activated before it has filled in its controls; the user looks at it once the
// dialog's own loop runs, from a thread timer that that loop dispatches.
void CALLBACK LookAtWaitingWindows(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  const std::set<HWND> windows = std::move(waiting);
  waiting.clear();
  for (HWND window : windows) {
    if (!activeUser || !IsWindow(window)) continue;
    if (GetDlgItem(window, kMessageTextId)) {
      ReadAndDismiss(*activeUser, window);
    } else {
      AnswerFolderBrowser(*activeUser, window);
    }
  }
}

LRESULT CALLBACK Watch(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && activeUser) {
    const HWND window = reinterpret_cast<HWND>(wParam);
    if (ClassName(window) == L"#32770" && answered.insert(window).second) {
      waiting.insert(window);
      SetTimer(nullptr, 0, 20, LookAtWaitingWindows);
    }
  } else if (code == HCBT_DESTROYWND) {
    answered.erase(reinterpret_cast<HWND>(wParam));
    waiting.erase(reinterpret_cast<HWND>(wParam));
    pendingChoices.erase(reinterpret_cast<HWND>(wParam));
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

struct ScriptedUser::Platform {
  HHOOK hook = nullptr;
  Watchdog watchdog{std::chrono::seconds(120)};
};

ScriptedUser::ScriptedUser() : platform_(new Platform) {
  activeUser = this;
  platform_->hook = SetWindowsHookExW(WH_CBT, Watch, nullptr, GetCurrentThreadId());
}

ScriptedUser::~ScriptedUser() {
  UnhookWindowsHookEx(platform_->hook);
  activeUser = nullptr;
  delete platform_;
}

}  // namespace marlowin::testing
