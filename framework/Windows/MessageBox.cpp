#include "framework/MessageBox.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "framework/Windows/TaskbarButton.h"
#include "platform/WideString.h"

namespace marlowin::framework {

namespace {

// The box MessageBoxW is making on this thread, while ShowMessage waits for it.
struct Watch {
  const MessageAttention* attention = nullptr;
  HWND box = nullptr;
};
thread_local Watch* watching = nullptr;

// Sent to a window once the taskbar has made its button; states given before are lost.
UINT TaskbarButtonCreated() {
  static const UINT message = RegisterWindowMessageW(L"TaskbarButtonCreated");
  return message;
}

void ShowFailure(HWND box) {
  TaskbarButton button(box);
  // A courtesy of the taskbar: without one the box tells the failure all the same.
  (void)button.Show({TaskbarProgress::State::kError, 1, 1});
}

LRESULT CALLBACK BoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR data) {
  const auto& attention = *reinterpret_cast<const MessageAttention*>(data);
  if (message == WM_WINDOWPOSCHANGED && (reinterpret_cast<const WINDOWPOS*>(lParam)->flags & SWP_SHOWWINDOW)) {
    const LRESULT result = DefSubclassProc(box, message, wParam, lParam);
    if (attention.failed) ShowFailure(box);
    if (attention.call) {
      // Until the person brings it to the front: it may come up behind the window they work in.
      FLASHWINFO flash{sizeof flash, box, FLASHW_ALL | FLASHW_TIMERNOFG, 0, 0};
      FlashWindowEx(&flash);
    }
    return result;
  }
  if (message == TaskbarButtonCreated() && attention.failed) ShowFailure(box);
  if (message == WM_NCDESTROY) RemoveWindowSubclass(box, BoxProc, id);
  return DefSubclassProc(box, message, wParam, lParam);
}

bool IsDialogClass(HWND window) {
  wchar_t name[16] = {};
  return GetClassNameW(window, name, 16) > 0 && std::wstring(name) == L"#32770";
}

LRESULT CALLBACK WatchCreation(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND && watching && !watching->box) {
    const auto window = reinterpret_cast<HWND>(wParam);
    const auto* create = reinterpret_cast<const CBT_CREATEWNDW*>(lParam)->lpcs;
    if (!(create->style & WS_CHILD) && IsDialogClass(window)) {
      watching->box = window;
      SetWindowSubclass(window, BoxProc, 1, reinterpret_cast<DWORD_PTR>(watching->attention));
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

void ShowMessage(std::u16string_view caption, std::u16string_view text, std::u16string_view,
                 const MessageAttention& attention) {
  // A message box has no place for details: the text carries the first lines of them.
  constexpr UINT kType = MB_OK | MB_ICONHAND | MB_SYSTEMMODAL;
  static_assert(kType == 4112);
  // MessageBoxW wants terminated strings.
  const std::u16string captionText(caption);
  const std::u16string messageText(text);
  // MessageBoxW gives no handle of its box: it is caught as it is made on this thread.
  Watch watch{&attention};
  HHOOK hook = nullptr;
  if (attention.failed || attention.call) {
    watching = &watch;
    hook = SetWindowsHookExW(WH_CBT, WatchCreation, nullptr, GetCurrentThreadId());
  }
  MessageBoxW(nullptr, platform::AsWide(messageText), platform::AsWide(captionText), kType);
  if (hook) UnhookWindowsHookEx(hook);
  watching = nullptr;
}

}  // namespace marlowin::framework
