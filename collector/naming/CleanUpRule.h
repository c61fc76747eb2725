#pragma once

// The one decision of a pass that waits for its copies: which int copy the clean-up of a shot
// deletes. After a shot's last clip, the int copy of its greatest-numbered clip goes again with
// its two folders. Only clips whose adl copy was made take part, so an adl copy that fails can
// move the clean-up to another clip.
#include <cstddef>
#include <functional>
#include <string>

namespace marlowin::naming {

struct CleanUp {
  std::u16string greatest;   // the greatest clip number, compared code unit by code unit
  std::u16string intNumber;  // of the int folder formed last when it was raised; empty: none
  friend bool operator==(const CleanUp&, const CleanUp&) = default;
};

// The clean-up of a shot of `clips` clips, in listing order; `number` gives a clip's number when
// it has one and its adl copy was made, else nothing (an empty text).
CleanUp FindCleanUp(std::size_t clips, const std::function<std::u16string(std::size_t clip)>& number);

}  // namespace marlowin::naming
