// The shell's progress dialog (under Wine in the build), looked for and answered from another
// thread while the work runs on the test's thread, as the program runs it.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <commctrl.h>

#include "tests/ui/FakePass.h"
#include "tests/ui/SparseShootPass.h"
#include "ui/ProgressWindow.h"

namespace {

using marlowin::report::PassObserver;
using marlowin::report::PassProgress;
using marlowin::ui::RunWithProgressWindow;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

std::wstring TextOf(HWND window) {
  wchar_t text[512] = {};
  const int length = GetWindowTextW(window, text, 512);
  return std::wstring(text, static_cast<std::size_t>(length));
}

// The visible top-level window of this process titled "Marlowin".
HWND FindProgressWindow() {
  HWND found = nullptr;
  EnumWindows(
      [](HWND window, LPARAM result) -> BOOL {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process != GetCurrentProcessId() || !IsWindowVisible(window) || TextOf(window) != L"Marlowin")
          return TRUE;
        *reinterpret_cast<HWND*>(result) = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// The texts of the window's visible children, and its Cancel button.
std::vector<std::wstring> ChildTexts(HWND window) {
  std::vector<std::wstring> texts;
  EnumChildWindows(
      window,
      [](HWND child, LPARAM data) -> BOOL {
        if (IsWindowVisible(child)) reinterpret_cast<std::vector<std::wstring>*>(data)->push_back(TextOf(child));
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&texts));
  return texts;
}

// The first child of the window of this class (and with this text, when one is given).
HWND ChildOf(HWND window, const wchar_t* className, const wchar_t* text = nullptr) {
  struct Search {
    const wchar_t* className;
    const wchar_t* text;
    HWND found = nullptr;
  } search{className, text};
  EnumChildWindows(
      window,
      [](HWND child, LPARAM data) -> BOOL {
        auto& wanted = *reinterpret_cast<Search*>(data);
        wchar_t name[32] = {};
        GetClassNameW(child, name, 32);
        if (_wcsicmp(name, wanted.className) != 0 || (wanted.text && TextOf(child) != wanted.text)) return TRUE;
        wanted.found = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND CancelButton(HWND window) { return ChildOf(window, L"Button", L"Cancel"); }

// The share of the dialog's progress bar that is filled, from its own position and range;
// -1 without a bar.
// What BarShare gives for a bar whose range it cannot show, which is drawn full.
constexpr double kDrawnFull = 2;

double BarShare(HWND window) {
  const HWND bar = ChildOf(window, PROGRESS_CLASSW);
  if (!bar) return -1;
  const auto low = static_cast<int>(SendMessageW(bar, PBM_GETRANGE, TRUE, 0));
  const auto high = static_cast<int>(SendMessageW(bar, PBM_GETRANGE, FALSE, 0));
  const auto position = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
  if (high <= low) return kDrawnFull;  // a range the bar cannot show
  return static_cast<double>(position - low) / (high - low);
}

bool AnyContains(const std::vector<std::wstring>& texts, const std::wstring& part) {
  for (const std::wstring& text : texts) {
    if (text.find(part) != std::wstring::npos) return true;
  }
  return false;
}

// The work, on this thread, with a Windows path.
struct FakePass : marlowin::testing::FakePass {
  FakePass() { clip = u"C:\\shoot\\ab_cd_ef\\MP4 HIGH RES\\v02.mp4"; }
};

// Watches for the window from a thread of its own while the work runs; `answer` is called
// every 50 ms once the window is up, until it returns true.
class Watcher {
 public:
  explicit Watcher(std::function<bool(HWND)> answer)
      : answer_(std::move(answer)), thread_([this] { Watch(); }) {}
  ~Watcher() {
    done_ = true;
    thread_.join();
  }
  Clock::time_point start = Clock::now();
  std::atomic<Clock::rep> shown{0};

 private:
  void Watch() {
    bool answered = false;
    while (!done_) {
      if (HWND window = FindProgressWindow()) {
        if (shown == 0) shown = Clock::now().time_since_epoch().count();
        if (!answered) answered = answer_(window);
      }
      std::this_thread::sleep_for(50ms);
    }
  }
  std::function<bool(HWND)> answer_;
  std::atomic<bool> done_{false};
  std::thread thread_;
};

Clock::duration Since(Clock::time_point start, Clock::rep when) {
  return Clock::time_point(Clock::duration(when)) - start;
}

class ShellProgressWindow : public ::testing::Test {
 protected:
  ShellProgressWindow() : com_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
  ~ShellProgressWindow() override {
    if (SUCCEEDED(com_)) CoUninitialize();
  }
  HRESULT com_;
};

TEST_F(ShellProgressWindow, ShortWorkShowsNothing) {
  FakePass pass;
  pass.length = 300ms;
  Watcher watcher([](HWND) { return true; });
  RunWithProgressWindow(std::ref(pass));
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(watcher.shown, 0);
  EXPECT_EQ(FindProgressWindow(), nullptr);
}

TEST_F(ShellProgressWindow, LongWorkShowsTheShellsDialogAndItsCancelStopsTheWork) {
  FakePass pass;
  std::vector<std::wstring> texts;
  double share = -1;
  std::atomic<Clock::rep> clicked{0};
  Watcher watcher([&](HWND window) {
    if (Clock::now() - Clock::time_point(Clock::duration(watcher.shown.load())) < 1500ms) return false;
    texts = ChildTexts(window);
    share = BarShare(window);
    const HWND cancel = CancelButton(window);
    EXPECT_NE(cancel, nullptr) << "no Cancel button";
    clicked = Clock::now().time_since_epoch().count();
    if (cancel) {
      SendMessageW(cancel, BM_CLICK, 0, 0);
    } else {
      PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
    return true;
  });
  RunWithProgressWindow(std::ref(pass));
  EXPECT_EQ(FindProgressWindow(), nullptr) << "the window is gone when the function returns";
  ASSERT_NE(watcher.shown, 0) << "the dialog never showed";
  EXPECT_GE(Since(watcher.start, watcher.shown), 900ms);
  EXPECT_LT(Since(watcher.start, watcher.shown), 3000ms);  // Wine loads the shell's dialog slowly
  EXPECT_TRUE(AnyContains(texts, L"ab_cd_ef/v02.mp4"));
  // 1.2 GB and a little more of 3.4 GB: past 2 GiB the values are scaled for the bar.
  EXPECT_GT(share, 0.3);
  EXPECT_LT(share, 0.7);
  EXPECT_TRUE(AnyContains(texts, L"12 of 60 clips"));
  EXPECT_TRUE(AnyContains(texts, L" GB of 3.4 GB"));
  EXPECT_TRUE(AnyContains(texts, L" MB/s"));
  ASSERT_NE(clicked, 0);
  ASSERT_NE(pass.stopSeen, 0) << "the work was never told to stop";
  EXPECT_LT(Clock::duration(pass.stopSeen - clicked), 1s);
}

TEST_F(ShellProgressWindow, ClosingTheDialogStopsTheWorkAndAFailureComesThrough) {
  FakePass pass;
  Watcher watcher([](HWND window) {
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    return true;
  });
  const auto work = [&](PassObserver& observer) {
    pass(observer);
    throw std::runtime_error("disk gone");
  };
  EXPECT_THROW(RunWithProgressWindow(work), std::runtime_error);
  EXPECT_NE(pass.stopSeen, 0);
  EXPECT_EQ(FindProgressWindow(), nullptr);
}

// A real pass over a shoot of 5 GiB (sparse clips: they take no room), stopped once the dialog
// has shown how far it is: past 4 GiB the bar shows the true share, and the line the shot.
TEST_F(ShellProgressWindow, ARealPassOfFiveGiBShowsItsTrueShareAndItsShotAndClip) {
  marlowin::testing::SparseShootPass pass;
  std::vector<std::wstring> texts;
  double share = -1;
  std::atomic<bool> unshowable{false};  // set on the watcher's thread
  Watcher watcher([&](HWND window) {
    const std::vector<std::wstring> now = ChildTexts(window);
    if (!AnyContains(now, L" of 5.4 GB") || AnyContains(now, L"0 B of")) return false;
    // The shell sets its bar on a thread of its own, after the lines it was given with it: until
    // it has, the bar holds no range it can show. One that never comes fails below.
    const double seen = BarShare(window);
    if (seen == kDrawnFull) {
      unshowable = true;
      return false;
    }
    texts = now;
    share = seen;
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    return true;
  });
  RunWithProgressWindow(std::ref(pass));
  ASSERT_FALSE(texts.empty()) << (unshowable ? "the bar never held a range it can show: it is drawn full"
                                             : "the dialog never showed the copy");
  EXPECT_EQ(pass.report.outcome, marlowin::report::Outcome::kCancelled);
  EXPECT_TRUE(AnyContains(texts, L"harbour_dawn_wide/v0") || AnyContains(texts, L"Verifying")) << texts.size();
  EXPECT_GE(share, 0.0);
  EXPECT_LT(share, 1.0) << "the bar is full before the end";
}

}  // namespace
