#pragma once

// Where the program keeps records for the person who runs it, and the local time they are
// named by. One implementation per platform (Unix/UserRecords.cpp, Windows/UserRecords.cpp).
#include <chrono>
#include <string>
#include <system_error>

namespace marlowin::platform {

// The folder for the reports of passes, which may not exist yet: on POSIX
// $XDG_STATE_HOME/marlowin/reports (~/.local/state/marlowin/reports when XDG_STATE_HOME is not
// set or not an absolute path); on Windows %LOCALAPPDATA%\Marlowin\reports (the shell's local
// application data folder when LOCALAPPDATA is not set). An error when there is no home.
[[nodiscard]] std::error_code ReportsFolder(std::u16string& folder);

struct CalendarTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;  // month and day from 1
};

// The moment in the local time of this computer.
[[nodiscard]] std::error_code LocalTime(std::chrono::system_clock::time_point moment, CalendarTime& time);

}  // namespace marlowin::platform
