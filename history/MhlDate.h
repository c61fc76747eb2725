#pragma once

// The dates of ASC MHL: ISO 8601 with a UTC offset in the documents, UTC with a "Z" in the names
// of generation files. Times are seconds and nanoseconds since 1970-01-01 UTC.
#include <optional>
#include <string>
#include <string_view>

#include "platform/Files.h"

namespace marlowin::history {

// "2026-12-08T19:22:17+00:00": whole seconds, the fraction dropped.
std::string FormatDate(platform::FileTime utc);

// "2026-12-08_192217Z", as a generation file's name ends before ".mhl".
std::string FormatNameDate(platform::FileTime utc);

// "2026-12-08 19:22:17 UTC", for people.
std::string FormatShownDate(platform::FileTime utc);

// An xs:dateTime as other tools write it: any offset or "Z", a fraction of a second, no offset
// (taken as UTC). Nothing for a text that is no such date.
std::optional<platform::FileTime> ParseDate(std::string_view text);

}  // namespace marlowin::history
