#include "tests/support/Process.h"

#include <windows.h>

#include <cwchar>
#include <stdexcept>
#include <string>

#include "platform/WideString.h"

namespace marlowin::testing {
namespace {

// One argument as the C runtime parses it back: quoted, with backslashes before a quote doubled.
std::wstring Quoted(const std::wstring& argument) {
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted.push_back(c);
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

std::wstring TemporaryName() {
  wchar_t folder[MAX_PATH + 1];
  wchar_t name[MAX_PATH + 1];
  if (!GetTempPathW(MAX_PATH, folder) || !GetTempFileNameW(folder, L"mch", 0, name)) {
    throw std::runtime_error("GetTempFileNameW");
  }
  return name;
}

HANDLE Inheritable(const std::wstring& path) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string Slurp(const std::wstring& path) {
  std::string text;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
    CloseHandle(file);
  }
  DeleteFileW(path.c_str());
  return text;
}

}  // namespace

struct ChildProgram::State {
  PROCESS_INFORMATION process{};
  std::wstring outPath, errPath;
};

ChildProgram::ChildProgram(const std::u16string& program, const std::vector<std::u16string>& arguments,
                           const std::vector<std::pair<std::string, std::string>>& environment)
    : state_(std::make_unique<State>()) {
  std::wstring commandLine = Quoted(platform::AsWide(program));
  for (const std::u16string& argument : arguments) commandLine += L" " + Quoted(platform::AsWide(argument));
  // The child's environment: ours and the extra variables.
  std::wstring block;
  if (wchar_t* inherited = GetEnvironmentStringsW()) {
    for (const wchar_t* e = inherited; *e; e += wcslen(e) + 1) block += std::wstring(e) + L'\0';
    FreeEnvironmentStringsW(inherited);
  }
  for (const auto& [name, value] : environment) {
    block += std::wstring(name.begin(), name.end()) + L"=" + std::wstring(value.begin(), value.end()) + L'\0';
  }
  block.push_back(L'\0');

  state_->outPath = TemporaryName();
  state_->errPath = TemporaryName();
  HANDLE out = Inheritable(state_->outPath);
  HANDLE err = Inheritable(state_->errPath);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = out;
  startup.hStdError = err;
  // Wine now and then refuses a start while it is still tearing down a process it killed: a
  // few tries, then the reason.
  BOOL started = FALSE;
  DWORD error = 0;
  for (int attempt = 0; attempt < 5 && !started; ++attempt) {
    if (attempt > 0) Sleep(200);
    started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                             block.data(), nullptr, &startup, &state_->process);
    if (!started) error = GetLastError();
  }
  CloseHandle(out);
  CloseHandle(err);
  if (!started) throw std::runtime_error("CreateProcessW failed: error " + std::to_string(error));
}

ChildProgram::~ChildProgram() {
  if (state_->process.hProcess) Wait();
}

ProgramResult ChildProgram::Wait(std::chrono::milliseconds limit) {
  ProgramResult result;
  const DWORD ms = limit.count() >= INFINITE ? INFINITE : static_cast<DWORD>(limit.count());
  if (WaitForSingleObject(state_->process.hProcess, ms) == WAIT_TIMEOUT) {
    result.timedOut = true;
    TerminateProcess(state_->process.hProcess, 137);
    // Not forever: a process that cannot be ended is reported as it is, not waited for.
    WaitForSingleObject(state_->process.hProcess, 10000);
  }
  DWORD code = 0;
  GetExitCodeProcess(state_->process.hProcess, &code);
  CloseHandle(state_->process.hProcess);
  CloseHandle(state_->process.hThread);
  state_->process = {};
  result.status = static_cast<int>(code);
  result.out = Slurp(state_->outPath);
  result.err = Slurp(state_->errPath);
  return result;
}

std::u16string ThisProgram() {
  wchar_t path[32768];
  const DWORD n = GetModuleFileNameW(nullptr, path, 32768);
  return platform::FromWide(std::wstring_view(path, n));
}

void KillThisProcess() {
  TerminateProcess(GetCurrentProcess(), 137);
  ExitProcess(137);  // not reached: termination does not return to its caller
}

}  // namespace marlowin::testing
