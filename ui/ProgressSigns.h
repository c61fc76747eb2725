#pragma once

// What the progress window shows of the work outside itself: the share done in its title, and
// the state its taskbar button (or launcher entry) is given.
#include <string>

#include "collector/report/ProgressMeter.h"
#include "framework/TaskbarProgress.h"

namespace marlowin::ui {

// Busy while the pass looks for clips, the share done while it copies and proves the copies
// (paused once the person has asked it to stop), nothing when it is done.
framework::TaskbarProgress TaskbarProgressOf(const report::ProgressMeter& meter, bool stopping);

// "37% - Marlowin" once the share is known, "Marlowin" before: a taskbar entry without a bar of
// its own shows the title.
std::u16string ProgressTitle(const report::ProgressMeter& meter);

}  // namespace marlowin::ui
