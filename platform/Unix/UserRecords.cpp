#include "platform/UserRecords.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <vector>

#include "platform/Errors.h"
#include "platform/NativeName.h"

namespace marlowin::platform {
namespace {

// $HOME, else the home of the user's account.
std::error_code Home(std::string& home) {
  if (const char* value = std::getenv("HOME"); value && value[0] == '/') {
    home = value;
    return {};
  }
  std::vector<char> buffer(16384);
  passwd entry{}, *found = nullptr;
  const int error = ::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found);
  if (error != 0) return SystemError(error);
  if (!found || !entry.pw_dir || entry.pw_dir[0] != '/') return std::make_error_code(std::errc::no_such_file_or_directory);
  home = entry.pw_dir;
  return {};
}

}  // namespace

std::error_code ReportsFolder(std::u16string& folder) {
  std::string state;
  // The base directory rules: a relative XDG_STATE_HOME is to be ignored.
  if (const char* value = std::getenv("XDG_STATE_HOME"); value && value[0] == '/') {
    state = value;
  } else {
    if (const std::error_code error = Home(state)) return error;
    state += "/.local/state";
  }
  folder = FromNativeName(state + "/marlowin/reports");
  return {};
}

std::error_code LocalTime(std::chrono::system_clock::time_point moment, CalendarTime& time) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(moment);
  std::tm local{};
  if (!::localtime_r(&seconds, &local)) return LastError();
  time = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
  return {};
}

}  // namespace marlowin::platform
