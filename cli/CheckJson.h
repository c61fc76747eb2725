#pragma once

#include <string>

#include "collector/check/CheckTree.h"

namespace marlowin {

// The whole check as one JSON object, for scripts: the outcome, the counts, each failure and
// warning with its reason, and every recorded file with what was recorded and found.
std::string ToJson(const check::TreeCheck& check);

}  // namespace marlowin
