#include "platform/Console.h"

#include <gtest/gtest.h>

#include <csignal>

#ifdef _WIN32
#include <windows.h>
#endif

namespace marlowin::platform {
namespace {

TEST(Console, TheWidthIsKnownOrEighty) {
  EXPECT_GE(TerminalColumns(), 1);
  if (!StderrIsTerminal()) {
    EXPECT_EQ(TerminalColumns(), 80);
  }
}

#ifndef _WIN32
TEST(Console, AnInterruptSetsTheFlagAndTheProcessGoesOn) {
  static std::atomic<bool> flag{false};
  StopOnInterrupt(flag);
  std::raise(SIGINT);
  EXPECT_TRUE(flag.load());

  flag = false;
  StopOnInterrupt(flag);  // again: the first signal put back the default action
  std::raise(SIGTERM);
  EXPECT_TRUE(flag.load());

  // A second signal would end the process, as an interrupt normally does.
  struct sigaction now {};
  sigaction(SIGTERM, nullptr, &now);
  EXPECT_EQ(now.sa_handler, SIG_DFL);
  signal(SIGINT, SIG_DFL);
}
#else
// (Ctrl+C itself is not tried here: under Wine the test has no console of its own, and
// GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) fails with ERROR_INVALID_ACCESS.)
TEST(Console, KeepAwakeAsksForTheSystemWhileItLives) {
  {
    KeepAwake awake;
    // What the thread asks for now, read by asking it again.
    const EXECUTION_STATE state = SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
    if (state == 0) GTEST_SKIP() << "SetThreadExecutionState is not answered here";
    EXPECT_EQ(state & (ES_CONTINUOUS | ES_SYSTEM_REQUIRED), ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
  }
  EXPECT_EQ(SetThreadExecutionState(ES_CONTINUOUS) & ES_SYSTEM_REQUIRED, 0u);
}
#endif

}  // namespace
}  // namespace marlowin::platform
