#pragma once

// The one decision of a pass that waits for its copies: which int copy the clean-up of a shot
// deletes. After a shot's last clip, the int copy of its greatest-numbered clip goes again with
// its two folders. Only clips whose adl copy was made take part, so an adl copy that fails can
// move the clean-up to another clip. The plan asks it with every adl copy made; the pass asks it
// again with the copies as they went.
#include <cstddef>
#include <functional>
#include <string>

#include "collector/Plan.h"

namespace marlowin {

struct CleanUp {
  std::u16string greatest;   // the greatest clip number, compared code unit by code unit
  std::u16string intNumber;  // of the int folder formed last when it was raised; empty: none
};

CleanUp FindCleanUp(const PlannedShot& shot, const std::function<bool(std::size_t clip)>& adlCopyMade);

}  // namespace marlowin
