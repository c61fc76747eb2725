#include "cli/CollectCommand.h"

#include <optional>

#include "Version.h"
#include "cli/ReportJson.h"
#include "cli/TerminalProgress.h"
#include "collector/CollectClips.h"
#include "collector/PlanLines.h"
#include "platform/Console.h"
#include "platform/NativeName.h"

namespace marlowin {
namespace {

constexpr const char* kUsage =
    "usage: marlowin-collect [OPTIONS] STARTING_FOLDER DESTINATION_FOLDER\n"
    "\n"
    "Collects the clips of every shot folder in STARTING_FOLDER (its \"MP4 HIGH RES\" folder)\n"
    "into adl and int folders in DESTINATION_FOLDER, proves every copy by reading it back,\n"
    "and then gives each collected source clip its \"_hires\" name.\n"
    "\n"
    "Prints the outcome (\"video copy complete\", or \"video copy incomplete: N of M clips\n"
    "could not be copied\") and a summary on stdout, and each problem on stderr.\n"
    "\n"
    "  -n, --dry-run   print every file-system operation the pass would perform, one a line,\n"
    "                  in order, and change nothing (\"commit\" puts the copies made so far in\n"
    "                  place once they are on the disk and proven)\n"
    "      --json      print the whole report as one JSON object on stdout instead\n"
    "      --no-verify do not read the copies back to prove them (for hardware you trust)\n"
    "  -q, --quiet     no progress line on the terminal\n"
    "      --version   print the version\n"
    "  -h, --help      print this text\n"
    "\n"
    "Exit status: 0 complete; 1 incomplete (some clips were not collected: they keep their\n"
    "names, and running the same command again picks them up); 2 a folder not accessible, a\n"
    "folder in use by another pass, or wrong arguments; 130 stopped with Ctrl+C.\n";

struct Options {
  bool dryRun = false;
  bool json = false;
  bool verify = true;
  bool quiet = false;
  std::vector<std::u16string> folders;
};

// Asks the pass to stop when Ctrl+C was pressed.
class StopFlag final : public PassObserver {
 public:
  explicit StopFlag(std::atomic<bool>* stop) : stop_(stop) {}
  void OnProgress(const PassProgress&) override {}
  bool StopRequested() override { return stop_ && stop_->load(); }

 private:
  std::atomic<bool>* stop_;
};

void PrintProblems(const PassReport& report, std::ostream& err) {
  for (const Problem* problem : ProblemsInOrder(report)) {
    err << "marlowin-collect: " << sys::ToDisplay(DescribeProblem(*problem)) << "\n";
  }
}

void PrintReport(const PassReport& report, std::ostream& out, std::ostream& err, bool json) {
  if (json) {
    out << ToJson(report) << "\n";
    return;
  }
  out << sys::ToDisplay(OutcomeLine(report)) << "\n" << sys::ToDisplay(SummaryLine(report)) << "\n";
  PrintProblems(report, err);
}

}  // namespace

int RunCollectCommand(const std::vector<std::u16string>& arguments, sys::FileSystem& fs,
                      std::ostream& out, std::ostream& err, const CommandConsole& console) {
  Options options;
  bool optionsEnded = false;
  for (const std::u16string& argument : arguments) {
    if (optionsEnded || argument.size() < 2 || argument[0] != u'-') {
      options.folders.push_back(argument);
    } else if (argument == u"--") {
      optionsEnded = true;
    } else if (argument == u"--help" || argument == u"-h") {
      out << kUsage;
      return 0;
    } else if (argument == u"--version") {
      out << "marlowin-collect " << MARLOWIN_VERSION << "\n";
      return 0;
    } else if (argument == u"--dry-run" || argument == u"-n") {
      options.dryRun = true;
    } else if (argument == u"--json") {
      options.json = true;
    } else if (argument == u"--no-verify") {
      options.verify = false;
    } else if (argument == u"--quiet" || argument == u"-q") {
      options.quiet = true;
    } else {
      err << "marlowin-collect: unknown option " << sys::ToDisplay(argument) << "\n" << kUsage;
      return 2;
    }
  }
  if (options.folders.size() != 2) {
    err << kUsage;
    return 2;
  }

  // Ctrl+C stops the pass as Cancel does; on a terminal one line shows how far it is.
  std::atomic<bool> noStop{false};
  std::atomic<bool>& stopFlag = console.stop ? *console.stop : noStop;
  StopFlag stop(&stopFlag);
  std::optional<TerminalProgress> progressLine;
  if (console.stderrIsTerminal && !options.quiet && !options.dryRun) progressLine.emplace(err, console.columns, stopFlag);
  PassOptions passOptions;
  passOptions.verify = options.verify;
  passOptions.recordClips = options.json;
  passOptions.observer = progressLine ? static_cast<PassObserver*>(&*progressLine) : &stop;
  const sys::KeepAwake awake;  // a long copy must not be cut by sleep
  if (options.dryRun) {
    // The plan, one operation a line, and what the plan knows on stderr; nothing is changed.
    passOptions.dryRun = true;
    passOptions.onPlan = [&out](const Plan& plan) { PrintPlan(plan, [&out](const std::string& line) { out << line << "\n"; }); };
    const PassReport report = CollectClips(fs, options.folders[0], options.folders[1], passOptions);
    if (report.outcome != Outcome::kComplete && report.outcome != Outcome::kIncomplete) {
      out << sys::ToDisplay(OutcomeLine(report)) << "\n";
    }
    PrintProblems(report, err);
    return ExitStatus(report);
  }
  const PassReport report = CollectClips(fs, options.folders[0], options.folders[1], passOptions);
  if (progressLine) progressLine->Finish();
  PrintReport(report, out, err, options.json);
  return ExitStatus(report);
}

}  // namespace marlowin
