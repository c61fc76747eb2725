// A CBT hook sees each dialog as it is activated; a timer on the dialog, dispatched by the
// dialog's own modal loop once its controls are filled in, reads it and posts the answer.
#include "tests/app/ScriptedUser.h"

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <set>

#include "platform/WideString.h"

namespace marlowin::testing {
namespace {

constexpr int kMessageTextId = 0xFFFF;
constexpr UINT kSetSelection = WM_USER + 103;  // BFFM_SETSELECTIONW

ScriptedUser* activeUser = nullptr;
std::set<HWND> seen;
std::map<HWND, std::pair<std::u16string, int>> choosing;  // the folder, tries left

std::u16string WindowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return platform::FromWide(text);
}

std::wstring ClassName(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

void Close(HWND window, UINT_PTR timer, int button) {
  KillTimer(window, timer);
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
}

void ReadMessageBox(HWND box) {
  SeenMessage message{WindowText(box), WindowText(GetDlgItem(box, kMessageTextId))};
  std::set<int> buttons;
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (ClassName(child) == L"Button" && IsWindowVisible(child)) buttons.insert(GetDlgCtrlID(child));
    if (ClassName(child) == L"Static" && (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
      message.errorIcon = SendMessageW(child, STM_GETICON, 0, 0) != 0;
  }
  message.onlyOk = buttons == std::set<int>{IDOK};
  message.onTop = (GetWindowLongW(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
  message.blocksProgram = message.onTop;  // an ownerless box is system-modal by being topmost
  message.ownerless = GetWindow(box, GW_OWNER) == nullptr;
  activeUser->messages.push_back(std::move(message));
}

std::u16string SelectedItemText(HWND browser) {
  const HWND tree = FindWindowExW(browser, nullptr, WC_TREEVIEWW, nullptr);
  wchar_t text[MAX_PATH] = {};
  TVITEMW item{};
  item.mask = TVIF_TEXT;
  item.hItem = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  item.pszText = text;
  item.cchTextMax = MAX_PATH;
  if (!item.hItem || !SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return {};
  return platform::FromWide(text);
}

void CALLBACK Look(HWND window, UINT, UINT_PTR timer, DWORD) {
  if (!activeUser) return;
  if (GetDlgItem(window, kMessageTextId)) {
    ReadMessageBox(window);
    return Close(window, timer, IDOK);
  }
  auto choice = choosing.find(window);
  if (choice == choosing.end()) {
    activeUser->captions.push_back(WindowText(window));
    activeUser->selections.push_back(SelectedItemText(window));
    if (activeUser->choices.empty()) return Close(window, timer, IDCANCEL);
    choice = choosing.emplace(window, std::pair(activeUser->choices.front(), 50)).first;
    activeUser->choices.pop_front();
    SetTimer(window, timer, 100, Look);
  }
  // What a person's click in the tree does; the shell may not show a new folder at once.
  const std::u16string& folder = choice->second.first;
  SendMessageW(window, kSetSelection, TRUE, reinterpret_cast<LPARAM>(platform::AsWide(folder)));
  if (SelectedItemText(window) == folder.substr(folder.find_last_of(u"\\/") + 1) || --choice->second.second == 0) {
    choosing.erase(choice);
    Close(window, timer, IDOK);
  }
}

LRESULT CALLBACK Watch(int code, WPARAM wParam, LPARAM lParam) {
  const auto window = reinterpret_cast<HWND>(wParam);
  if (code == HCBT_ACTIVATE && activeUser && ClassName(window) == L"#32770" && seen.insert(window).second) {
    SetTimer(window, 1, 20, Look);
  } else if (code == HCBT_DESTROYWND) {
    seen.erase(window);
    choosing.erase(window);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

struct ScriptedUser::Platform {
  HHOOK hook = SetWindowsHookExW(WH_CBT, Watch, nullptr, GetCurrentThreadId());
  ~Platform() { UnhookWindowsHookEx(hook); }
};

ScriptedUser::ScriptedUser() : platform_(std::make_unique<Platform>()) { activeUser = this; }

ScriptedUser::~ScriptedUser() { activeUser = nullptr; }

}  // namespace marlowin::testing
