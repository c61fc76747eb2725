#pragma once

// The last line of a dry run, in the words of the pass's own summary: what it would copy and
// prove, and what is collected already.
#include <string>

#include "collector/plan/Plan.h"

namespace marlowin::pass {

// "Nothing was changed: 6 clips would be copied, 12 already collected, from 8 shot folders to D.
// 10 copies would be written and verified, 36 already in place and not read again."
std::u16string DryRunSummary(const plan::Plan& plan);

}  // namespace marlowin::pass
