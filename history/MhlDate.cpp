// Dates to and from the proleptic Gregorian calendar through std::chrono's civil days.
#include "history/MhlDate.h"

#include <chrono>
#include <cstdio>

namespace marlowin::history {
namespace {

namespace chrono = std::chrono;

struct Civil {
  int year;
  unsigned month, day, hour, minute, second;
};

Civil ToCivil(std::int64_t seconds) {
  const chrono::sys_seconds time{chrono::seconds(seconds)};
  const chrono::sys_days day = chrono::floor<chrono::days>(time);
  const chrono::year_month_day date(day);
  const chrono::hh_mm_ss clock(time - day);
  return {static_cast<int>(date.year()), static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
          static_cast<unsigned>(clock.hours().count()), static_cast<unsigned>(clock.minutes().count()),
          static_cast<unsigned>(clock.seconds().count())};
}

// Reads exactly `count` digits (at least `count` when `more`), at `at`.
bool Digits(std::string_view text, std::size_t& at, std::size_t count, std::int64_t& value, bool more = false) {
  const std::size_t start = at;
  value = 0;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9' && (more || at - start < count)) {
    if (at - start >= 12) return false;
    value = value * 10 + (text[at++] - '0');
  }
  return at - start >= count;
}

bool Char(std::string_view text, std::size_t& at, char c) {
  if (at >= text.size() || text[at] != c) return false;
  ++at;
  return true;
}

}  // namespace

std::string FormatShownDate(platform::FileTime utc) {
  const Civil c = ToCivil(utc.seconds);
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u %02u:%02u:%02u UTC", c.year, c.month, c.day, c.hour, c.minute,
                c.second);
  return text;
}

std::string FormatDate(platform::FileTime utc) {
  const Civil c = ToCivil(utc.seconds);
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02u:%02u:%02u+00:00", c.year, c.month, c.day, c.hour, c.minute,
                c.second);
  return text;
}

std::string FormatNameDate(platform::FileTime utc) {
  const Civil c = ToCivil(utc.seconds);
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u_%02u%02u%02uZ", c.year, c.month, c.day, c.hour, c.minute, c.second);
  return text;
}

std::optional<platform::FileTime> ParseDate(std::string_view text) {
  std::size_t at = 0;
  const bool negative = Char(text, at, '-');
  std::int64_t year, month, day, hour, minute, second;
  if (!Digits(text, at, 4, year, true) || !Char(text, at, '-') || !Digits(text, at, 2, month) ||
      !Char(text, at, '-') || !Digits(text, at, 2, day) || !Char(text, at, 'T') || !Digits(text, at, 2, hour) ||
      !Char(text, at, ':') || !Digits(text, at, 2, minute) || !Char(text, at, ':') || !Digits(text, at, 2, second)) {
    return std::nullopt;
  }
  std::uint32_t nanoseconds = 0;
  if (Char(text, at, '.')) {
    std::size_t places = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, ++places) {
      if (places < 9) nanoseconds = nanoseconds * 10 + static_cast<std::uint32_t>(text[at] - '0');
    }
    if (places == 0) return std::nullopt;
    for (; places < 9; ++places) nanoseconds *= 10;
  }
  std::int64_t offset = 0;  // seconds east of UTC
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    const std::int64_t sign = text[at++] == '-' ? -1 : 1;
    std::int64_t hours, minutes;
    if (!Digits(text, at, 2, hours) || !Char(text, at, ':') || !Digits(text, at, 2, minutes) || hours > 14 ||
        minutes > 59) {
      return std::nullopt;
    }
    offset = sign * (hours * 3600 + minutes * 60);
  } else {
    Char(text, at, 'Z');
  }
  const chrono::year_month_day date{chrono::year(static_cast<int>(negative ? -year : year)),
                                    chrono::month(static_cast<unsigned>(month)),
                                    chrono::day(static_cast<unsigned>(day))};
  // 24:00:00 is the end of the day; leap seconds are not kept.
  const bool endOfDay = hour == 24 && minute == 0 && second == 0 && nanoseconds == 0;
  if (at != text.size() || !date.ok() || (hour > 23 && !endOfDay) || minute > 59 || second > 59) return std::nullopt;
  const std::int64_t days = chrono::sys_days(date).time_since_epoch().count();
  return platform::FileTime{days * 86400 + hour * 3600 + minute * 60 + second - offset, nanoseconds};
}

}  // namespace marlowin::history
