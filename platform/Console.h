#pragma once

// What a long pass needs from the console and the machine: whether a progress line can be
// drawn, how wide it may be, a stop flag that interrupts set, and no sleep while it runs.
#include <atomic>

namespace marlowin::platform {

// Whether stderr goes to a terminal (a console on Windows), where a progress line belongs.
bool StderrIsTerminal();

// The width of the terminal stderr goes to, in columns; 80 when it cannot be told.
int TerminalColumns();

// From now on an interrupt sets `flag` instead of ending the process: SIGINT and SIGTERM on
// POSIX; Ctrl+C, Ctrl+Break and closing the console on Windows. A second interrupt ends the
// process at once, as an interrupt normally does. `flag` must outlive the process's use of it
// (a static or a variable of main); a later call replaces the flag.
void StopOnInterrupt(std::atomic<bool>& flag);

// Text the program writes to stdout and stderr is UTF-8 (names, reasons): the Windows console
// is told so; a POSIX terminal needs nothing.
void UseUtf8Output();

// While one lives, the machine does not go to sleep on its own (Windows); nothing on Linux.
// Create and destroy it on the same thread.
class KeepAwake {
 public:
  KeepAwake();
  ~KeepAwake();
  KeepAwake(const KeepAwake&) = delete;
  KeepAwake& operator=(const KeepAwake&) = delete;

 private:
  [[maybe_unused]] unsigned long previous_ = 0;  // the thread's state before (Windows)
};

}  // namespace marlowin::platform
