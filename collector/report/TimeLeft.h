#pragma once

// How long the work left of a pass takes at given rates, as the pass does it: a batch of copies
// is written, then read back from the disk while the next batch is written; the pass waits for
// that read-back before it hands over the next batch, so the time left is neither the two
// figures' times added up nor the longer of them. Writing and reading back share the disk, so
// each has a rate alone and one while the other runs beside it.
#include <optional>

#include "collector/report/Progress.h"

namespace marlowin::report {

// In bytes per second: of bytesCopied and of bytesReadBack, alone and beside the other. A rate
// not known is taken from its other half, slowed or sped up by the share of its pace the other
// figure keeps beside it.
struct WorkRates {
  std::optional<double> copyAlone;
  std::optional<double> copyBeside;
  std::optional<double> readAlone;
  std::optional<double> readBeside;
};

// The seconds left; unknown when a figure with work left has no rate above zero.
std::optional<double> SecondsLeft(const PassProgress& progress, const WorkRates& rates);

}  // namespace marlowin::report
