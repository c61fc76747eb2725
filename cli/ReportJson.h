#pragma once

#include <string>

#include "collector/Report.h"
#include "collector/ReportFile.h"

namespace marlowin {

// The whole report as one JSON object, for scripts: every count, problem and (when kept) clip,
// and, when `saved` is given, the report's file ("reportFile", null when it was not written,
// with "reportError" saying why).
std::string ToJson(const PassReport& report, const SavedReport* saved = nullptr);

}  // namespace marlowin
