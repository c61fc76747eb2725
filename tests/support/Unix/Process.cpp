#include "tests/support/Process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/NativeName.h"

extern char** environ;

namespace marlowin::testing {

struct ChildProgram::State {
  pid_t pid = -1;
  std::string outPath, errPath;
};

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  ::unlink(path.c_str());
  return text.str();
}

std::string TemporaryName() {
  char name[] = "/tmp/marlowin-child-XXXXXX";
  const int fd = ::mkstemp(name);
  if (fd < 0) throw std::runtime_error("mkstemp");
  ::close(fd);
  return name;
}

}  // namespace

ChildProgram::ChildProgram(const std::u16string& program, const std::vector<std::u16string>& arguments,
                           const std::vector<std::pair<std::string, std::string>>& environment)
    : state_(std::make_unique<State>()) {
  std::vector<std::string> args{platform::ToNativeName(program)};
  for (const std::u16string& argument : arguments) args.push_back(platform::ToNativeName(argument));
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  for (const auto& [name, value] : environment) env.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  state_->outPath = TemporaryName();
  state_->errPath = TemporaryName();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, state_->outPath.c_str(), O_WRONLY | O_TRUNC, 0);
  posix_spawn_file_actions_addopen(&actions, 2, state_->errPath.c_str(), O_WRONLY | O_TRUNC, 0);
  const int failed = ::posix_spawn(&state_->pid, args[0].c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (failed) throw std::runtime_error("cannot start " + args[0]);
}

ChildProgram::~ChildProgram() {
  if (state_->pid > 0) Wait();
}

ProgramResult ChildProgram::Wait(std::chrono::milliseconds limit) {
  ProgramResult result;
  int status = 0;
  pid_t ended = 0;
  if (limit != std::chrono::milliseconds::max()) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while ((ended = ::waitpid(state_->pid, &status, WNOHANG)) == 0) {
      if (std::chrono::steady_clock::now() >= deadline) {
        result.timedOut = true;
        ::kill(state_->pid, SIGKILL);
        break;
      }
      ::usleep(10000);
    }
  }
  while (ended <= 0 && (ended = ::waitpid(state_->pid, &status, 0)) < 0 && errno == EINTR) {
  }
  state_->pid = -1;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = Slurp(state_->outPath);
  result.err = Slurp(state_->errPath);
  return result;
}

std::u16string ThisProgram() {
  char path[4096];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  return n > 0 ? platform::FromNativeName(std::string(path, static_cast<std::size_t>(n))) : std::u16string();
}

void KillThisProcess() {
  ::kill(::getpid(), SIGKILL);
  std::_Exit(137);
}

}  // namespace marlowin::testing
