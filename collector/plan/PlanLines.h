#pragma once

// The plan's operations as lines, one operation a line ("VERB PATH" or "VERB FROM -> TO"): what
// the dry run prints. The verbs: mkdir, remove-leftover, copy (a copy written), prove (a copy in
// place, read back and proven against its clip), keep (a copy in place, left as it is), commit
// (the copies so far go to the disk, are proven and put in place; their clips are marked after
// it), move (a clip given its marked name), delete, rmdir.
#include <string>
#include <string_view>

#include "collector/plan/Plan.h"

namespace marlowin::plan {

// One operation as a line. Names are shown as UTF-8.
std::string OperationLine(std::string_view verb, std::u16string_view path, std::u16string_view to = {});
std::string OperationLine(const PlanOperation& op);

}  // namespace marlowin::plan
