#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace {

struct Output {
  int status = -1;
  std::string text;
};

// The program's stdout and stderr, started without any display.
Output RunWithoutDisplay(const std::string& arguments) {
  const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" + std::string(MARLOWIN_PROGRAM) +
                              "' " + arguments + " 2>&1";
  FILE* program = popen(command.c_str(), "r");
  Output output;
  if (!program) return output;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, program)) output.text += buffer;
  const int status = pclose(program);
  output.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return output;
}

}  // namespace

TEST(Program, WithoutADisplayThatOpensSaysSoAndFails) {
  for (const std::string display : {"", "DISPLAY=:87"}) {
    SCOPED_TRACE(display);
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + display + " '" +
                                MARLOWIN_PROGRAM + "' 2>&1 >/dev/null";
    FILE* program = popen(command.c_str(), "r");
    ASSERT_NE(program, nullptr);
    std::string errors;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, program)) errors += buffer;
    const int status = pclose(program);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by a signal\n" << errors;
    EXPECT_NE(WEXITSTATUS(status), 0);
    // Our line first, Qt's own warnings (if any) after it.
    EXPECT_EQ(errors.rfind("marlowin: no display can be opened", 0), 0u) << errors;
  }
}

TEST(Program, HelpAndVersionAreAnsweredBeforeADisplayIsAskedFor) {
  Output output = RunWithoutDisplay("--version");
  EXPECT_EQ(output.status, 0);
  EXPECT_EQ(output.text.rfind("marlowin ", 0), 0u) << output.text;
  EXPECT_EQ(output.text.find('\n'), output.text.size() - 1) << output.text;
  output = RunWithoutDisplay("-platform xcb --help");
  EXPECT_EQ(output.status, 0);
  EXPECT_EQ(output.text.rfind("usage: marlowin [--also BACKUP_FOLDER | --backup | --check | --help | --version]\n", 0), 0u) << output.text;
  EXPECT_NE(output.text.find("marlowin-collect [OPTIONS] STARTING_FOLDER DESTINATION_FOLDER"), std::string::npos);
  EXPECT_NE(output.text.find("/marlowin/reports."), std::string::npos) << output.text;
  EXPECT_EQ(output.text.find("no display"), std::string::npos) << output.text;
}
