#pragma once

#include <string>

#include "collector/Report.h"

namespace marlowin {

// The whole report as one JSON object, for scripts: every count, problem and (when kept) clip.
std::string ToJson(const PassReport& report);

}  // namespace marlowin
