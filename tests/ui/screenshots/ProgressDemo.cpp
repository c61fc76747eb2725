// Runs a made-up pass under the progress window, so that the window can be looked at or
// photographed: progress-demo [SECONDS]. The pass copies 60 clips (12.4 GB) at 85 MB/s, for
// SECONDS (default 10) or until Cancel.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "ui/ProgressWindow.h"

#ifdef _WIN32
#include <windows.h>
#include <objbase.h>

namespace {
struct Platform {
  Platform(int, char**) { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE); }
  ~Platform() { CoUninitialize(); }
};
const char16_t* const kFolder = u"C:\\Shoots\\harbour_dawn_wide\\MP4 HIGH RES\\";
}  // namespace
#else
#include <QApplication>

namespace {
struct Platform {
  Platform(int& argc, char** argv) : app(argc, argv) {}
  QApplication app;
};
const char16_t* const kFolder = u"/media/footage/Shoots/harbour_dawn_wide/MP4 HIGH RES/";
}  // namespace
#endif

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
  Platform platform(argc, argv);
  using Clock = std::chrono::steady_clock;
  constexpr std::uint64_t kClipBytes = 206'700'000, kClips = 60, kSpeed = 85'000'000;
  bool stopped = false;
  marlowin::ui::RunWithProgressWindow([&](marlowin::report::PassObserver& observer) {
    const Clock::time_point start = Clock::now();
    marlowin::report::PassProgress progress;
    progress.stage = marlowin::report::PassProgress::Stage::kCopying;
    progress.clipsTotal = kClips;
    progress.bytesToCopy = kClips * kClipBytes;
    while (Clock::now() - start < std::chrono::seconds(seconds > 0 ? seconds : 10)) {
      const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
      progress.bytesCopied = static_cast<std::uint64_t>(elapsed * kSpeed);
      progress.clipsDone = progress.bytesCopied / kClipBytes;
      const std::string number = std::to_string(progress.clipsDone + 1);
      progress.currentClip = std::u16string(kFolder) + u'v' + (number.size() < 2 ? u"0" : u"") +
                             std::u16string(number.begin(), number.end()) + u".mp4";
      observer.OnProgress(progress);
      if (observer.StopRequested()) {
        stopped = true;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  });
  std::puts(stopped ? "stopped" : "done");
  return 0;
}
