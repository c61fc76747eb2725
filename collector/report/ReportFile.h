#pragma once

// The whole report of a pass, kept as a text file in the user's records folder, so that it can
// be read after the message is gone: every problem, also those the message has no room for.
#include <chrono>
#include <cstddef>
#include <string>
#include <system_error>

#include "collector/report/Report.h"
#include "platform/FileSystem.h"

namespace marlowin::report {

inline constexpr std::size_t kReportsKept = 200;

struct SavedReport {
  std::u16string path;         // the file written; empty when none was
  std::error_code error;       // why it was not written
  std::error_code pruneError;  // why an older report beyond those kept is still there
};

// What the file holds, in UTF-8: the outcome line, the summary and every problem (the message
// and its details, whole), and the pass's figures (ReportFigures.h): its start and end, the bytes
// copied and read back, the room on the destination.
std::string ReportFileText(const PassReport& report);

// Writes the report into `folder`, made with its parents when missing, as
// "YYYY-MM-DD_HH-MM-SS.txt" after the pass's start in local time (now when the report has
// none; "_2", "_3", ... for more passes of the same second), then removes the oldest reports
// there beyond the newest `keep`. Files named otherwise are left alone. A failure is told in
// the result, never thrown: the pass's outcome does not depend on it.
// Written through `fs`, whole before it is seen (platform::StagedFile), readable by its owner only.
SavedReport SaveReport(platform::FileSystem& fs, const PassReport& report, const std::u16string& folder,
                       std::size_t keep = kReportsKept);

// The same into the user's reports folder (platform::ReportsFolder), on the real file system.
SavedReport SaveReport(const PassReport& report);

// Any report's file (a pass's, a check's): `text`, in UTF-8, written and pruned as SaveReport
// does, named by `started`.
SavedReport SaveReportText(platform::FileSystem& fs, const std::string& text, std::chrono::system_clock::time_point started,
                           const std::u16string& folder, std::size_t keep = kReportsKept);
SavedReport SaveReportText(const std::string& text, std::chrono::system_clock::time_point started);

// The moment in local time as a report tells it, "2024-05-03 21:14:07", or "at an unknown time".
std::u16string ReportTimeText(std::chrono::system_clock::time_point moment);

// What a message says of its saved report, after two line breaks: "The whole report: PATH" when
// `unshown` (the message has no room for every problem), "report not saved: REASON", "older
// reports not removed: REASON"; empty when there is nothing to say.
std::u16string SavedReportLines(const SavedReport& saved, bool unshown);

// The program's one message once the report is saved: MessageText, then "The whole report:
// PATH" when the message has no room for every problem, or "report not saved: REASON" when
// the file could not be written (and "older reports not removed: REASON" when that failed).
std::u16string MessageText(const PassReport& report, const SavedReport& saved, std::size_t maxProblems = 10);

}  // namespace marlowin::report
