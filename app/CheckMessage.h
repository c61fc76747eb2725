#pragma once

// The check of a collected folder as the desktop program tells it: one message in the style of
// a pass's, and the whole of it kept as a report file.
#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "collector/check/CheckTree.h"
#include "collector/report/ReportFile.h"

namespace marlowin {

// The files a person must hear of, failures first, then the warnings, each group by path.
// Files a stop left unread are not among them: the summary counts them.
std::vector<const check::CheckedFile*> CheckProblemsInOrder(const check::TreeCheck& check);

// The outcome line ("check passed: ...", "check failed: ..."), the summary, then at most
// `maxProblems` of the files not proven, one a line ("warning: " before a warning), then
// "and N more".
std::u16string CheckMessageText(const check::TreeCheck& check, std::size_t maxProblems = 10);

// The same once the report is saved, ending as a pass's message does ("The whole report: PATH").
std::u16string CheckMessageText(const check::TreeCheck& check, const report::SavedReport& saved, std::size_t maxProblems = 10);

// Every file not proven, one a line: the message's details.
std::u16string CheckDetailsText(const check::TreeCheck& check);

// The report file, in UTF-8: the message with every file not proven, and the line "Check
// started YYYY-MM-DD HH:MM:SS, of FOLDER.".
std::string CheckReportFileText(const check::TreeCheck& check, std::chrono::system_clock::time_point started);

}  // namespace marlowin
