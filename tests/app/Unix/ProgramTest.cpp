// The program itself, started as a person would start it.
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Outcome {
  bool started = false;
  int status = -1;
  std::string errors;
};

// Runs the program with the current environment less DISPLAY, WAYLAND_DISPLAY and
// QT_QPA_PLATFORM, plus the given settings; returns its wait status and what it wrote to stderr.
Outcome RunProgram(const std::vector<std::string>& extraEnvironment) {
  std::vector<std::string> environment;
  for (char** entry = environ; *entry; ++entry) {
    const std::string setting(*entry);
    if (setting.rfind("DISPLAY=", 0) == 0 || setting.rfind("WAYLAND_DISPLAY=", 0) == 0 ||
        setting.rfind("QT_QPA_PLATFORM=", 0) == 0) {
      continue;
    }
    environment.push_back(setting);
  }
  environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
  std::vector<char*> envp;
  for (std::string& setting : environment) envp.push_back(setting.data());
  envp.push_back(nullptr);

  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDERR_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
  std::string program = MARLOWIN_PROGRAM;
  char* argv[] = {program.data(), nullptr};
  pid_t child = 0;
  Outcome outcome;
  const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(pipeEnds[1]);
  if (spawned == 0) {
    outcome.started = true;
    char buffer[4096];
    ssize_t got;
    while ((got = read(pipeEnds[0], buffer, sizeof buffer)) > 0) outcome.errors.append(buffer, static_cast<std::size_t>(got));
    waitpid(child, &outcome.status, 0);
  }
  close(pipeEnds[0]);
  return outcome;
}

void ExpectPlainFailure(const Outcome& outcome) {
  ASSERT_TRUE(outcome.started) << "cannot start " << MARLOWIN_PROGRAM;
  ASSERT_TRUE(WIFEXITED(outcome.status)) << "ended by signal " << WTERMSIG(outcome.status)
                                         << "\n" << outcome.errors;
  EXPECT_NE(WEXITSTATUS(outcome.status), 0);
  EXPECT_NE(outcome.errors.find("marlowin: no display can be opened"), std::string::npos) << outcome.errors;
}

}  // namespace

TEST(Program, WithoutADisplaySaysSoAndFails) { ExpectPlainFailure(RunProgram({})); }

TEST(Program, WithADisplayThatCannotBeOpenedSaysSoAndFails) {
  ExpectPlainFailure(RunProgram({"DISPLAY=:87"}));
}
