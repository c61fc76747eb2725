#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

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
    EXPECT_NE(errors.find("marlowin: no display can be opened"), std::string::npos) << errors;
  }
}
