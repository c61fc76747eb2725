#include "cli/CheckCommand.h"

#include <optional>

#include "cli/CheckJson.h"
#include "cli/StopFlag.h"
#include "cli/TerminalProgress.h"
#include "collector/check/CheckTree.h"
#include "platform/Console.h"
#include "platform/NativeName.h"

namespace marlowin {
int RunCheckCommand(const std::u16string& folder, bool json, bool quiet, platform::FileSystem& fs, std::ostream& out,
                    std::ostream& err, const CommandConsole& console) {
  std::atomic<bool> noStop{false};
  std::atomic<bool>& stopFlag = console.stop ? *console.stop : noStop;
  StopFlag stop(&stopFlag);
  std::optional<TerminalProgress> progressLine;
  if (console.stderrIsTerminal && !quiet) progressLine.emplace(err, console.columns, stopFlag);
  const platform::KeepAwake awake;  // a long check must not be cut by sleep
  const std::unique_ptr<check::CheckObserver> observer =
      check::ShownOn(progressLine ? static_cast<report::PassObserver&>(*progressLine) : stop);
  const check::TreeCheck check = check::CheckTree(fs, folder, observer.get());
  if (progressLine) progressLine->Finish();
  if (json) {
    out << ToJson(check) << "\n";
    return check::CheckExitStatus(check);
  }
  out << platform::ToDisplay(check::CheckOutcomeLine(check)) << "\n" << platform::ToDisplay(check::CheckSummaryLine(check)) << "\n";
  for (const check::CheckedFile& file : check.files) {
    // Files a stop left unread are counted in the summary: a line each would bury the rest.
    if (file.verdict == check::FileVerdict::kProven || file.verdict == check::FileVerdict::kNotChecked) continue;
    err << "marlowin-collect: " << (file.IsWarning() ? "warning: " : "") << platform::ToDisplay(check::DescribeCheckedFile(check, file))
        << "\n";
  }
  return check::CheckExitStatus(check);
}

int RunCheckCommands(const std::vector<std::u16string>& folders, bool json, bool quiet, platform::FileSystem& fs,
                     std::ostream& out, std::ostream& err, const CommandConsole& console) {
  if (folders.size() == 1) return RunCheckCommand(folders[0], json, quiet, fs, out, err, console);
  // Each folder in turn (the copy to folder, then its backups), a blank line between them; the
  // worst status stands for all: a stop, then a missing history, then a failed file.
  int worst = 0;
  const auto rank = [](int status) { return status == 130 ? 3 : status; };
  if (json) out << "[\n";
  for (std::size_t i = 0; i < folders.size(); ++i) {
    if (i > 0) out << (json ? ",\n" : "\n");
    const int status = RunCheckCommand(folders[i], json, quiet, fs, out, err, console);
    if (rank(status) > rank(worst)) worst = status;
    if (status == 130) break;
  }
  if (json) out << "]\n";
  return worst;
}

}  // namespace marlowin
