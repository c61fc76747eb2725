// The framework on Windows: a GUI process with its thread's message loop.
#include "framework/WinApp.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "framework/ApplicationStart.h"
#include "platform/NativeName.h"
#include "platform/WideString.h"

namespace {

std::u16string ModuleFileName() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return marlowin::platform::FromWide(std::wstring_view(buffer.data(), length));
    buffer.resize(buffer.size() * 2);
  }
}

// The arguments of the process's command line, without the program's own name.
std::vector<std::u16string> Arguments() {
  std::vector<std::u16string> arguments;
  int count = 0;
  wchar_t** list = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!list) return arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(marlowin::platform::FromWide(list[i]));
  LocalFree(list);
  return arguments;
}

// A console gets the text as UTF-16; a file, a pipe or a terminal outside Windows (under Wine)
// as UTF-8 bytes.
bool WriteText(HANDLE out, const std::u16string& text) {
  DWORD mode = 0;
  if (GetConsoleMode(out, &mode)) {
    DWORD written = 0;
    return WriteConsoleW(out, marlowin::platform::AsWide(text), static_cast<DWORD>(text.size()), &written, nullptr);
  }
  const std::string bytes = marlowin::platform::ToDisplay(text);
  for (std::size_t done = 0; done < bytes.size();) {
    DWORD written = 0;
    if (!WriteFile(out, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written, nullptr) || written == 0)
      return false;
    done += written;
  }
  return true;
}

}  // namespace

void AfxPrintToCommandLine(std::u16string_view caption, std::u16string_view text) {
  const std::u16string owned(text);
  // Given a stdout (redirected to a file or a pipe, or a terminal): the text goes there.
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  const DWORD type = out && out != INVALID_HANDLE_VALUE ? GetFileType(out) : FILE_TYPE_UNKNOWN;
  if (type != FILE_TYPE_UNKNOWN && WriteText(out, owned)) return;
  // Started from a console, which gives a GUI program no stdout: the text goes to that console
  // (its prompt may already be back, since it does not wait for a GUI program).
  if (AttachConsole(ATTACH_PARENT_PROCESS)) {
    const HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, 0, nullptr);
    const bool shown = console != INVALID_HANDLE_VALUE && WriteText(console, owned);
    if (console != INVALID_HANDLE_VALUE) CloseHandle(console);
    FreeConsole();
    if (shown) return;
  }
  // No console at all (the Start menu, Run, a shortcut): what a Windows user expects of a GUI
  // program asked for its help is a box that shows it.
  const std::u16string captionText(caption);
  MessageBoxW(nullptr, marlowin::platform::AsWide(owned), marlowin::platform::AsWide(captionText), MB_OK | MB_ICONINFORMATION);
}

int AfxWinMain(int, char**) {
  // --help and the like are answered before anything else is set up.
  if (const std::optional<int> status = marlowin::framework::AnswerCommandLine(Arguments())) return *status;

  // The shell's folder browser needs COM in a single-threaded apartment on this thread.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  const int status = marlowin::framework::StartApplication(marlowin::framework::ProgramName(ModuleFileName()));
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
