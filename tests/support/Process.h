#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace marlowin::testing {

struct ProgramResult {
  int status = -1;  // the exit status
  std::string out;  // what it wrote to stdout and stderr
  std::string err;
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

  ProgramResult Wait();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The path of the running test program.
std::u16string ThisProgram();

// Ends this process at once, as a kill would: no destructors, no flushing, nothing cleaned up.
[[noreturn]] void KillThisProcess();

}  // namespace marlowin::testing
