#pragma once

// What the plan knows before the first copy, told into the report as the pass reaches it: the
// problems of a shot folder's listing, of a clip, and the counts of a shot folder. A dry run
// tells all of it at once.
#include <cstdint>

#include "collector/plan/Plan.h"
#include "collector/report/ProblemList.h"
#include "collector/report/Report.h"

namespace marlowin::plan {

void TellProblems(const Plan& plan, std::uint32_t first, std::uint32_t count, report::ProblemList& problems);

// A shot folder reached: counted, and the problems of its listing told.
void TellShot(const Plan& plan, const PlannedShot& shot, report::PassReport& report, report::ProblemList& problems);

// Everything the plan knows, in the order a pass would tell it.
void TellPlan(const Plan& plan, report::PassReport& report, report::ProblemList& problems);

}  // namespace marlowin::plan
