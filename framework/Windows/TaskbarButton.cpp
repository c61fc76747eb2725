#include "framework/Windows/TaskbarButton.h"

#include <objbase.h>

#include "platform/Errors.h"

namespace marlowin::framework {

std::error_code ErrorOfResult(HRESULT result) {
  if (SUCCEEDED(result)) return {};
  if (HRESULT_FACILITY(result) == FACILITY_WIN32) return platform::SystemError(HRESULT_CODE(result));
  return {static_cast<int>(result), std::system_category()};
}

TaskbarButton::TaskbarButton(HWND window) : window_(window) {
  ITaskbarList3* list = nullptr;
  HRESULT result = CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                    reinterpret_cast<void**>(&list));
  if (SUCCEEDED(result)) {
    result = list->HrInit();
    if (FAILED(result)) list->Release();
  }
  if (FAILED(result)) {
    created_ = ErrorOfResult(result);
    return;
  }
  list_ = list;
}

TaskbarButton::~TaskbarButton() {
  if (list_) list_->Release();
}

std::error_code TaskbarButton::Show(const TaskbarProgress& progress) {
  if (!list_) return created_;
  using State = TaskbarProgress::State;
  TBPFLAG flag = TBPF_NOPROGRESS;
  switch (progress.state) {
    case State::kNone: flag = TBPF_NOPROGRESS; break;
    case State::kBusy: flag = TBPF_INDETERMINATE; break;
    case State::kNormal: flag = TBPF_NORMAL; break;
    case State::kPaused: flag = TBPF_PAUSED; break;
    case State::kError: flag = TBPF_ERROR; break;
  }
  // The value first: given after the state, it would turn a busy bar into a normal one.
  if (flag != TBPF_NOPROGRESS && flag != TBPF_INDETERMINATE && progress.total > 0) {
    if (const HRESULT result = list_->SetProgressValue(window_, progress.done, progress.total); FAILED(result))
      return ErrorOfResult(result);
  }
  return ErrorOfResult(list_->SetProgressState(window_, flag));
}

}  // namespace marlowin::framework
