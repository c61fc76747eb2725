#pragma once

// The figures of a pass a person hands on with its report: when it ran and for how long, the bytes
// it copied and read back, and the room it found on the destination.
#include <chrono>
#include <string>

#include "collector/report/Report.h"

namespace marlowin::report {

// "6 minutes 4 seconds", "2 hours 3 minutes", "12 seconds", "less than a second".
std::u16string DurationText(std::chrono::system_clock::duration duration);

// The moment as UTC in ISO 8601, "2024-05-03T19:14:07Z", for scripts; empty for the epoch (unknown).
std::string IsoTimeText(std::chrono::system_clock::time_point moment);

// The pass's length; zero while its start or end is unknown.
std::chrono::system_clock::duration PassDuration(const PassReport& report);

// The lines below the problems in the saved report, each ending in a line break:
//   "Pass started 2024-05-03 21:14:07, from S to D."
//   "Pass ended 2024-05-03 21:20:11, after 6 minutes 4 seconds."
//   "1.2 GB copied, 2.4 GB read back to prove the copies."
//   "Room on the destination: 1.3 GB needed, 180 GB free."   (only when the room was asked)
std::u16string FiguresText(const PassReport& report, std::chrono::system_clock::time_point started);

}  // namespace marlowin::report
