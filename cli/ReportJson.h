#pragma once

#include <string>
#include <vector>

#include "collector/report/Report.h"
#include "collector/report/ReportFile.h"

namespace marlowin {

// The whole report as one JSON object, for scripts: every count, problem and (when kept) clip,
// and, when `saved` is given, the report's file ("reportFile", null when it was not written,
// with "reportError" saying why).
std::string ToJson(const report::PassReport& report, const report::SavedReport* saved = nullptr);

// A dry run's report as one JSON object: the report's, with "dryRun": true, its "plan" (the
// operations, one a line as the dry run prints them) and its "summary" line.
std::string PlanJson(const report::PassReport& report, const std::vector<std::string>& lines,
                     const std::u16string& summary);

}  // namespace marlowin
