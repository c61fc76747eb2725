#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace marlowin::testing {

struct ProgramResult {
  int status = -1;  // the exit status
  std::string out;  // what it wrote to stdout and stderr
  std::string err;
  bool timedOut = false;  // it had not ended within the time given, and was killed
};

// Another process, started at once and waited for: the program under test, or this test
// program again in a child role (to be stopped at a chosen moment).
class ChildProgram {
 public:
  ChildProgram(const std::u16string& program, const std::vector<std::u16string>& arguments,
               const std::vector<std::pair<std::string, std::string>>& environment = {});
  ~ChildProgram();
  ChildProgram(const ChildProgram&) = delete;
  ChildProgram& operator=(const ChildProgram&) = delete;

  // Waits for it to end; one still running after `limit` is killed (its status is then that
  // of a killed process) and reported as timed out.
  ProgramResult Wait(std::chrono::milliseconds limit = std::chrono::milliseconds::max());

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// How long a child that kills itself at a chosen step may take; it ends in a second or two.
// Under Wine one such child once never ended. One still running at the limit is killed from the
// test (just another kill to recover from) and its step is run once more; a step whose child
// hangs twice is a pass that hangs.
inline constexpr std::chrono::milliseconds kChildLimit{60000};

// The path of the running test program.
std::u16string ThisProgram();

// Ends this process at once, as a kill would: no destructors, no flushing, nothing cleaned up.
[[noreturn]] void KillThisProcess();

}  // namespace marlowin::testing
