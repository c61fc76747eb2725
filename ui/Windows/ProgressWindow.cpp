// The progress window on Windows: the shell's own progress dialog (IProgressDialog), which
// runs on a thread of its own, so that the work can run on this thread. It is started once
// the work has taken a second; the shell estimates the time left itself.
#include "ui/ProgressWindow.h"

#include <windows.h>
#include <objbase.h>
#include <shlguid.h>
#include <shlobj.h>

#include <chrono>
#include <memory>
#include <string>

#include "collector/report/ProgressMeter.h"
#include "framework/Windows/TaskbarButton.h"
#include "platform/Console.h"
#include "platform/WideString.h"
#include "ui/ProgressSigns.h"

namespace marlowin::ui {
namespace {

using Clock = report::ProgressMeter::Clock;
using namespace std::chrono_literals;

constexpr auto kShowAfter = 1s;
constexpr auto kRefreshEvery = 100ms;

// Observes the work on this thread and drives the shell's dialog.
class ShellProgress final : public report::PassObserver {
 public:
  ShellProgress() : start_(Clock::now()) {}
  ShellProgress(const ShellProgress&) = delete;
  ShellProgress& operator=(const ShellProgress&) = delete;
  ~ShellProgress() override { Close(); }

  void OnProgress(const report::PassProgress& progress) override {
    const Clock::time_point now = Clock::now();
    meter_.Update(progress, now);
    OpenWhenDue(now);
    if (dialog_ && now - lastRefresh_ >= kRefreshEvery) Refresh(now);
  }

  bool StopRequested() override {
    OpenWhenDue(Clock::now());
    if (dialog_ && dialog_->HasUserCancelled() && !cancelled_) {
      cancelled_ = true;
      ShowOnTaskbar();
    }
    return cancelled_;
  }

  // Closes the dialog; it is gone when this returns.
  void Close() {
    if (!dialog_) return;
    taskbar_.reset();
    dialog_->StopProgressDialog();
    dialog_->Release();
    dialog_ = nullptr;
  }

 private:
  void OpenWhenDue(Clock::time_point now) {
    if (tried_ || now - start_ < kShowAfter) return;
    tried_ = true;
    IProgressDialog* dialog = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ProgressDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IProgressDialog,
                                reinterpret_cast<void**>(&dialog)))) {
      return;  // no dialog: the work goes on unseen
    }
    dialog->SetTitle(L"Marlowin");
    dialog->SetCancelMsg(L"Stopping\u2026", nullptr);
    if (FAILED(dialog->StartProgressDialog(nullptr, nullptr, PROGDLG_NORMAL | PROGDLG_AUTOTIME, nullptr))) {
      dialog->Release();
      return;
    }
    dialog_ = dialog;
    // The shell's dialog is the program's window on the taskbar while the work runs.
    IOleWindow* window = nullptr;
    HWND handle = nullptr;
    if (SUCCEEDED(dialog->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&window)))) {
      if (FAILED(window->GetWindow(&handle))) handle = nullptr;
      window->Release();
    }
    if (handle) taskbar_ = std::make_unique<framework::TaskbarButton>(handle);
    Refresh(now);
  }

  // Told on a change of the whole percent or the state only: each call reaches Explorer.
  void ShowOnTaskbar() {
    if (!taskbar_) return;
    const framework::TaskbarProgress progress = TaskbarProgressOf(meter_, cancelled_);
    const auto percent = [](const framework::TaskbarProgress& p) { return p.total ? 100ull * p.done / p.total : 0ull; };
    if (progress.state == shown_.state && percent(progress) == percent(shown_)) return;
    // A courtesy of the taskbar: where it cannot show the bar, the dialog shows it all the same;
    // the state is given again on the next change.
    if (!taskbar_->Show(progress)) shown_ = progress;
  }

  void SetLine(DWORD line, std::u16string& shown, const std::u16string& text) {
    if (text == shown) return;
    shown = text;
    // An empty line is one space: the shell keeps a line's old text for an empty one.
    dialog_->SetLine(line, text.empty() ? L" " : platform::AsWide(text), FALSE, nullptr);
  }

  void Refresh(Clock::time_point now) {
    lastRefresh_ = now;
    ShowOnTaskbar();
    if (cancelled_) return;  // the shell shows its cancel message now
    // The shot folder and the clip ("harbour_dawn_wide/v03.mp4"), or what the pass is doing:
    // looking for clips, or reading the copies back ("Verifying ...").
    SetLine(1, line1_, meter_.LineText());
    std::u16string details = meter_.ClipsText() + u",  " + meter_.BytesText();
    if (const std::u16string speed = meter_.SpeedText(); !speed.empty()) details += u",  " + speed;
    SetLine(2, line2_, details);
    // Scaled: the shell hands the values to a progress bar that holds 32-bit signed numbers, so
    // that bytes past 2 GiB would show a full bar (and a wrong time estimate) from the start.
    if (const report::ProgressMeter::BarValues bar = meter_.Bar(); bar.total > 0) dialog_->SetProgress64(bar.done, bar.total);
  }

  Clock::time_point start_;
  Clock::time_point lastRefresh_{};
  report::ProgressMeter meter_;
  IProgressDialog* dialog_ = nullptr;
  std::unique_ptr<framework::TaskbarButton> taskbar_;  // the dialog's button, while it is up
  framework::TaskbarProgress shown_;                    // as the button was last told
  bool tried_ = false;
  bool cancelled_ = false;
  std::u16string line1_, line2_;  // as shown
};

}  // namespace

void RunWithProgressWindow(const std::function<void(marlowin::report::PassObserver&)>& work) {
  platform::KeepAwake awake;
  ShellProgress progress;  // closed on every way out, an exception's too
  work(progress);
  progress.Close();
}

}  // namespace marlowin::ui
