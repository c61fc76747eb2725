#pragma once

// The copies the destination's history records in the adl and int folders of the starting
// folder's shots whose clip is no longer in its shot's clip folder, under its marked name or
// its old one (a clip deleted from the card, a card cleared and filled again). A mend
// (marlowin-collect --reverify) cannot prove them: each is a failure that says so and what the
// history tells of the copy, and is left as it is. Copies of shot folders that the starting
// folder does not hold are another card's business, and are not named.
#include "collector/plan/Plan.h"
#include "collector/report/ProblemList.h"
#include "collector/report/Report.h"
#include "recorder/RecordedCopies.h"

namespace marlowin::pass {

void TellCopiesWithoutClip(const plan::Plan& plan, const recorder::RecordedCopies& recorded, report::PassReport& report,
                           report::ProblemList& problems);

}  // namespace marlowin::pass
