#include "platform/Console.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>

namespace marlowin::platform {
namespace {

static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler stores into the flag");
static_assert(std::atomic<std::atomic<bool>*>::is_always_lock_free);

std::atomic<std::atomic<bool>*> interruptFlag{nullptr};

// Async-signal-safe: two lock-free atomic operations. SA_RESETHAND has put back the default
// action already, so a second signal ends the process.
extern "C" void OnInterrupt(int) {
  if (std::atomic<bool>* flag = interruptFlag.load()) flag->store(true);
}

}  // namespace

bool StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

int TerminalColumns() {
  winsize size{};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

void StopOnInterrupt(std::atomic<bool>& flag) {
  interruptFlag.store(&flag);
  struct sigaction action {};
  action.sa_handler = &OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

void UseUtf8Output() {}

KeepAwake::KeepAwake() = default;
KeepAwake::~KeepAwake() = default;

}  // namespace marlowin::platform
