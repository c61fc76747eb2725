// The progress window on Windows: the shell's own progress dialog (IProgressDialog), which
// runs on a thread of its own, so that the work can run on this thread. It is started once
// the work has taken a second; the shell estimates the time left itself.
#include "ui/ProgressWindow.h"

#include <windows.h>
#include <objbase.h>
#include <shlguid.h>
#include <shlobj.h>

#include <chrono>
#include <string>

#include "collector/ProgressMeter.h"
#include "platform/Console.h"
#include "platform/WideString.h"

namespace marlowin::ui {
namespace {

using Clock = ProgressMeter::Clock;
using namespace std::chrono_literals;

constexpr auto kShowAfter = 1s;
constexpr auto kRefreshEvery = 100ms;

// Observes the work on this thread and drives the shell's dialog.
class ShellProgress final : public PassObserver {
 public:
  ShellProgress() : start_(Clock::now()) {}
  ShellProgress(const ShellProgress&) = delete;
  ShellProgress& operator=(const ShellProgress&) = delete;
  ~ShellProgress() override { Close(); }

  void OnProgress(const PassProgress& progress) override {
    const Clock::time_point now = Clock::now();
    meter_.Update(progress, now);
    OpenWhenDue(now);
    if (dialog_ && now - lastRefresh_ >= kRefreshEvery) Refresh(now);
  }

  bool StopRequested() override {
    OpenWhenDue(Clock::now());
    if (dialog_ && dialog_->HasUserCancelled()) cancelled_ = true;
    return cancelled_;
  }

  // Closes the dialog; it is gone when this returns.
  void Close() {
    if (!dialog_) return;
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
    Refresh(now);
  }

  void SetLine(DWORD line, std::u16string& shown, const std::u16string& text) {
    if (text == shown) return;
    shown = text;
    // An empty line is one space: the shell keeps a line's old text for an empty one.
    dialog_->SetLine(line, text.empty() ? L" " : sys::AsWide(text), FALSE, nullptr);
  }

  void Refresh(Clock::time_point now) {
    lastRefresh_ = now;
    if (cancelled_) return;  // the shell shows its cancel message now
    // The shot folder and the clip ("harbour_dawn_wide/v03.mp4"), or what the pass is doing:
    // looking for clips, or reading the copies back ("Verifying ...").
    SetLine(1, line1_, meter_.LineText());
    std::u16string details = meter_.ClipsText() + u",  " + meter_.BytesText();
    if (const std::u16string speed = meter_.SpeedText(); !speed.empty()) details += u",  " + speed;
    SetLine(2, line2_, details);
    // Scaled: the shell hands the values to a progress bar that holds 32-bit signed numbers, so
    // that bytes past 2 GiB would show a full bar (and a wrong time estimate) from the start.
    if (const ProgressMeter::BarValues bar = meter_.Bar(); bar.total > 0) dialog_->SetProgress64(bar.done, bar.total);
  }

  Clock::time_point start_;
  Clock::time_point lastRefresh_{};
  ProgressMeter meter_;
  IProgressDialog* dialog_ = nullptr;
  bool tried_ = false;
  bool cancelled_ = false;
  std::u16string line1_, line2_;  // as shown
};

}  // namespace

void RunWithProgressWindow(const std::function<void(marlowin::PassObserver&)>& work) {
  sys::KeepAwake awake;
  ShellProgress progress;  // closed on every way out, an exception's too
  work(progress);
  progress.Close();
}

}  // namespace marlowin::ui
