// The framework on Windows: a GUI process with its thread's message loop.
#include "framework/WinApp.h"

#include <windows.h>
#include <objbase.h>

#include <vector>

#include "framework/ApplicationStart.h"
#include "platform/WideString.h"

namespace {

std::u16string ModuleFileName() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return marlowin::sys::FromWide(std::wstring_view(buffer.data(), length));
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

int AfxWinMain(int, char**) {
  // The shell's folder browser needs COM in a single-threaded apartment on this thread.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  const int status = marlowin::sys::StartApplication(marlowin::sys::ProgramName(ModuleFileName()));
  if (SUCCEEDED(com)) CoUninitialize();
  return status;
}

int CWinApp::Run() {
  MSG msg{};
  BOOL result;
  while ((result = GetMessageW(&msg, nullptr, 0, 0)) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  m_nExitCode = result == 0 ? static_cast<int>(msg.wParam) : -1;
  return ExitInstance();
}

void AfxPostQuitMessage(int nExitCode) { PostQuitMessage(nExitCode); }
