#pragma once

#include <string>

#include "collector/report/Report.h"
#include "collector/report/ReportFile.h"

namespace marlowin {

// The whole report as one JSON object, for scripts: every count, problem and (when kept) clip,
// and, when `saved` is given, the report's file ("reportFile", null when it was not written,
// with "reportError" saying why).
std::string ToJson(const report::PassReport& report, const report::SavedReport* saved = nullptr);

}  // namespace marlowin
