#include "cli/CheckCommand.h"

#include <optional>

#include "cli/CheckJson.h"
#include "cli/StopFlag.h"
#include "cli/TerminalProgress.h"
#include "collector/CheckTree.h"
#include "platform/Console.h"
#include "platform/NativeName.h"

namespace marlowin {
int RunCheckCommand(const std::u16string& folder, bool json, bool quiet, sys::FileSystem& fs, std::ostream& out,
                    std::ostream& err, const CommandConsole& console) {
  std::atomic<bool> noStop{false};
  std::atomic<bool>& stopFlag = console.stop ? *console.stop : noStop;
  StopFlag stop(&stopFlag);
  std::optional<TerminalProgress> progressLine;
  if (console.stderrIsTerminal && !quiet) progressLine.emplace(err, console.columns, stopFlag);
  const sys::KeepAwake awake;  // a long check must not be cut by sleep
  const TreeCheck check =
      CheckTree(fs, folder, progressLine ? static_cast<PassObserver*>(&*progressLine) : &stop);
  if (progressLine) progressLine->Finish();
  if (json) {
    out << ToJson(check) << "\n";
    return CheckExitStatus(check);
  }
  out << sys::ToDisplay(CheckOutcomeLine(check)) << "\n" << sys::ToDisplay(CheckSummaryLine(check)) << "\n";
  for (const CheckedFile& file : check.files) {
    // Files a stop left unread are counted in the summary: a line each would bury the rest.
    if (file.verdict == FileVerdict::kProven || file.verdict == FileVerdict::kNotChecked) continue;
    err << "marlowin-collect: " << (file.IsWarning() ? "warning: " : "") << sys::ToDisplay(DescribeCheckedFile(check, file))
        << "\n";
  }
  return CheckExitStatus(check);
}

}  // namespace marlowin
