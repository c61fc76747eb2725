#include "platform/Console.h"

#include <windows.h>

namespace marlowin::platform {
namespace {

std::atomic<std::atomic<bool>*> interruptFlag{nullptr};

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  std::atomic<bool>* flag = interruptFlag.load();
  if (!flag) return FALSE;
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      // The second one goes on to the default handler, which ends the process.
      return flag->exchange(true) ? FALSE : TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      // The process ends when this returns, or after about five seconds anyway: give the pass
      // the time to drop its copy; once the program's main returns, the process ends with it.
      flag->store(true);
      Sleep(4500);
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

bool StderrIsTerminal() {
  const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  return err != nullptr && err != INVALID_HANDLE_VALUE && GetFileType(err) == FILE_TYPE_CHAR &&
         GetConsoleMode(err, &mode) != 0;
}

int TerminalColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) {
    const int columns = info.srWindow.Right - info.srWindow.Left + 1;
    if (columns > 0) return columns;
  }
  return 80;
}

void StopOnInterrupt(std::atomic<bool>& flag) {
  static bool installed = false;
  interruptFlag.store(&flag);
  if (!installed) installed = SetConsoleCtrlHandler(&OnConsoleEvent, TRUE) != 0;
}

void UseUtf8Output() {
  SetConsoleOutputCP(CP_UTF8);
}

KeepAwake::KeepAwake() : previous_(SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED)) {}

// Back to what the thread asked for before: a lasting request (an outer KeepAwake's) is made
// again; otherwise the lasting request is withdrawn.
KeepAwake::~KeepAwake() {
  SetThreadExecutionState((previous_ & ES_CONTINUOUS) != 0 ? previous_ : ES_CONTINUOUS);
}

}  // namespace marlowin::platform
