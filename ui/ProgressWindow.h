#pragma once

// The window a person sees while a long pass runs: the clip under way, "12 of 60 clips", the
// bytes done and in all, the speed, the time left, a progress bar and Cancel.
#include <functional>

#include "collector/report/Progress.h"

namespace marlowin::ui {

// Runs `work`, which runs the pass with the observer it is given (calling it from the thread
// that runs the work), and returns when the work has returned and the window is closed.
// - The window, titled "Marlowin", appears only when the work takes longer than about a
//   second; short work shows nothing.
// - Cancel (or closing the window) makes the observer's StopRequested() true; the window then
//   says it is stopping and stays until the work returns.
// - An exception that leaves `work` leaves this function too, after the window is closed.
// Linux (Qt): `work` runs on a worker thread while this thread runs the window; without a
// QApplication it simply runs on this thread with no window. Windows: `work` runs on this
// thread (COM initialised as STA) and the shell's own progress dialog shows it, with its own
// time estimate; the machine is kept from sleeping while the work runs.
void RunWithProgressWindow(const std::function<void(marlowin::report::PassObserver&)>& work);

}  // namespace marlowin::ui
