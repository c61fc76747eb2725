// Shows the message of a check as the program does, for a folder collected by a real pass and
// then damaged (a copy deleted, one changed, a file that no generation records), so that it can
// be looked at or photographed: check-message-demo [SECONDS [--attention|--plain [FOLDER]]]. After
// SECONDS (default 10) the box is closed. With --attention it asks for the eye as after long
// work. The shoot and the collected folder are made in FOLDER, else in a temporary folder, and
// removed again.
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/CheckMessage.h"
#include "collector/pass/CollectClips.h"
#include "framework/MessageBox.h"
#include "platform/FileSystem.h"
#include "tests/support/TempTree.h"

#ifdef _WIN32
#include <windows.h>

namespace {
void CALLBACK CloseBox(HWND, UINT, UINT_PTR, DWORD) {
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM) -> BOOL {
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return TRUE;
      },
      0);
}
struct Platform {
  Platform(int, char**, int seconds) { SetTimer(nullptr, 0, static_cast<UINT>(seconds) * 1000u, &CloseBox); }
};
}  // namespace
#else
#include <QApplication>
#include <QTimer>
#include <QWidget>

namespace {
struct Platform {
  Platform(int& argc, char** argv, int seconds) : app(argc, argv) {
    QTimer::singleShot(seconds * 1000, [] {
      if (QWidget* window = QApplication::activeModalWidget()) window->close();
    });
  }
  QApplication app;
};
}  // namespace
#endif

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
  const bool attention = argc > 2 && std::strcmp(argv[2], "--attention") == 0;
  Platform platform(argc, argv, seconds > 0 ? seconds : 10);
  const marlowin::testing::TemporaryRecords records;  // its report goes there
  marlowin::testing::TempTree temporary;
  const std::filesystem::path root =
      argc > 3 ? std::filesystem::path(argv[3]) : std::filesystem::path(temporary.Root());
  const auto write = [&](const std::filesystem::path& relative, const char* content) {
    std::filesystem::create_directories((root / relative).parent_path());
    std::ofstream(root / relative, std::ios::binary) << content;
  };
  for (const char* clip : {"v01.mp4", "v02.mp4", "v03.mp4"}) write(std::filesystem::path("Shoots/harbour_dawn_wide/MP4 HIGH RES") / clip, "footage");
  std::filesystem::create_directories(root / "Collected");
  const auto fs = marlowin::platform::MakeRealFileSystem();
  marlowin::pass::PassOptions options;
  options.keepHistory = true;
  (void)marlowin::pass::CollectClips(*fs, (root / "Shoots").u16string(), (root / "Collected").u16string(), options);
  std::filesystem::remove(root / "Collected/harbour_dawn_adl_wide/video/v03_hires.mp4");
  write("Collected/harbour_dawn_int_wide__m02/video/v02_hires.mp4", "FOOTAGE");
  write("Collected/harbour_dawn_adl_wide/video/v04_hires.mp4", "footage");

  const auto started = std::chrono::system_clock::now();
  const marlowin::check::TreeCheck check = marlowin::check::CheckTree(*fs, (root / "Collected").make_preferred().u16string());
  const marlowin::report::SavedReport saved =
      marlowin::report::SaveReportText(marlowin::CheckReportFileText(check, started), started);
  marlowin::framework::MessageAttention asked;
  asked.call = attention;
  asked.failed = true;
  asked.headline = marlowin::check::CheckOutcomeLine(check);
  asked.body = marlowin::check::CheckSummaryLine(check);
  marlowin::framework::ShowMessage(u"Marlowin", marlowin::CheckMessageText(check, saved), marlowin::CheckDetailsText(check),
                             asked);
  if (argc > 3) {
    std::filesystem::remove_all(root / "Shoots");
    std::filesystem::remove_all(root / "Collected");
  }
  return 0;
}
