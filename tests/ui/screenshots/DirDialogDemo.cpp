// Opens the folder browser as the program's run does, so that it can be looked at or
// photographed: dir-dialog-demo [START_FOLDER [SECONDS [CAPTION]]]. After SECONDS (default 10)
// it is cancelled; a confirmed folder is printed. The caption is the first choice's unless given.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/NativeName.h"
#include "ui/DirDialog.h"

#ifdef _WIN32
#include <windows.h>
#include <objbase.h>

namespace {

void CALLBACK CancelBrowser(HWND, UINT, UINT_PTR, DWORD) {
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM) -> BOOL {
        wchar_t name[16] = {};
        GetClassNameW(window, name, 16);
        if (IsWindowVisible(window) && std::wstring(name) == L"#32770") {
          PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        }
        return TRUE;
      },
      0);
}

struct Platform {
  explicit Platform(int, char**, int seconds) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    SetTimer(nullptr, 0, static_cast<UINT>(seconds) * 1000u, &CancelBrowser);
  }
  ~Platform() { CoUninitialize(); }
};

}  // namespace
#else
#include <QApplication>
#include <QTimer>
#include <QWidget>

namespace {

struct Platform {
  Platform(int& argc, char** argv, int seconds) : app(argc, argv) {
    QTimer::singleShot(seconds * 1000, [] {
      if (QWidget* window = QApplication::activeModalWidget()) window->close();
    });
  }
  QApplication app;
};

}  // namespace
#endif

int main(int argc, char** argv) {
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 10;
  Platform platform(argc, argv, seconds > 0 ? seconds : 10);

  CDirDialog dialog;
  dialog.m_strCaption = argc > 3 ? marlowin::platform::FromNativeName(argv[3]) : u"Browse to the starting folder:";
  if (argc > 1) dialog.m_strStartSelection = marlowin::platform::FromNativeName(argv[1]);
  if (!dialog.Browse()) {
    std::puts("no folder chosen");
    return 1;
  }
  std::printf("%s\n", marlowin::platform::ToDisplay(dialog.m_strChosenPath).c_str());
  return 0;
}
