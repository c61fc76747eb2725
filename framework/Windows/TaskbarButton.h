#pragma once

// A window's button on the Windows taskbar, showing how far the work is (ITaskbarList3).
#include <windows.h>
#include <shobjidl.h>

#include <system_error>

#include "framework/TaskbarProgress.h"

namespace marlowin::framework {

class TaskbarButton {
 public:
  // The button of `window`, a top-level window of this process; COM must be initialised on
  // this thread.
  explicit TaskbarButton(HWND window);
  ~TaskbarButton();
  TaskbarButton(const TaskbarButton&) = delete;
  TaskbarButton& operator=(const TaskbarButton&) = delete;

  // The button shows `progress`. An error when there is no taskbar to tell (no shell running)
  // or it refused; a button that the taskbar has not made yet shows the next state given.
  [[nodiscard]] std::error_code Show(const TaskbarProgress& progress);

 private:
  HWND window_;
  ITaskbarList3* list_ = nullptr;
  std::error_code created_;  // why there is no list_
};

// An HRESULT as an error code: a Win32 error as the platform's code, anything else as it is.
std::error_code ErrorOfResult(HRESULT result);

}  // namespace marlowin::framework
