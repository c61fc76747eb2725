#include "cli/CollectCommand.h"

#include <chrono>
#include <optional>

#include "Version.h"
#include "cli/CheckCommand.h"
#include "cli/ReportJson.h"
#include "cli/StopFlag.h"
#include "cli/TerminalProgress.h"
#include "collector/pass/CollectClips.h"
#include "collector/report/QuotedName.h"
#include "collector/report/ReportFile.h"
#include "platform/Console.h"
#include "platform/Errors.h"
#include "platform/NativeName.h"

namespace marlowin {
namespace {

constexpr const char* kUsage =
    "usage: marlowin-collect [OPTIONS] STARTING_FOLDER DESTINATION_FOLDER\n"
    "       marlowin-collect --reverify [OPTIONS] STARTING_FOLDER DESTINATION_FOLDER\n"
    "       marlowin-collect --check [--json] [-q] DESTINATION_FOLDER...\n"
    "\n"
    "Collects the clips of every shot folder in STARTING_FOLDER (its \"MP4 HIGH RES\" folder)\n"
    "into adl and int folders in DESTINATION_FOLDER, proves every copy by reading it back,\n"
    "and then gives each collected source clip its \"_hires\" name. Each pass that writes or\n"
    "proves a copy adds a generation to the destination's ASC MHL history (its ascmhl folder).\n"
    "\n"
    "Prints the outcome (\"video copy complete\", or \"video copy incomplete: N of M clips\n"
    "could not be copied\") and a summary on stdout, and each problem on stderr.\n"
    "\n"
    "      --also BACKUP_FOLDER\n"
    "                  write the same tree to BACKUP_FOLDER as well, with its own history:\n"
    "                  each clip is read once for both, and is given its \"_hires\" name only\n"
    "                  when its copies in both folders are proven and recorded\n"
    "      --check     check a collected DESTINATION_FOLDER against its ASC MHL history:\n"
    "                  read back from the disk every file it records (the latest entry of\n"
    "                  each) and compare its size and xxh128; each file missing or\n"
    "                  changed is a failure, each file of an adl or int folder that no\n"
    "                  generation records a warning. Changes nothing. Exit status 0 every\n"
    "                  recorded file proven, 1 some not, 2 no history (or one that cannot\n"
    "                  be read: the reason is printed), 130 stopped with Ctrl+C; with\n"
    "                  several folders, each is checked and the worst status is returned\n"
    "      --reverify  mend damaged copies: collect as usual, and read back every copy\n"
    "                  already in place, also those of clips already marked, against its\n"
    "                  clip; a copy that differs is replaced by a verified copy of the clip\n"
    "                  (a copy the history records only by the very bytes it records).\n"
    "                  A recorded copy of a shot folder in STARTING_FOLDER whose clip is no\n"
    "                  longer there is a failure, and left as it is\n"
    "  -n, --dry-run   print the plan: every file-system operation the pass would perform,\n"
    "                  one a line, in order, and change nothing (\"prove\" reads a copy in\n"
    "                  place back against its clip, \"keep\" leaves one as it is, \"commit\"\n"
    "                  puts the copies made so far in place once they are on the disk and\n"
    "                  proven)\n"
    "      --json      print the whole report as one JSON object on stdout instead\n"
    "      --no-verify do not read the copies back to prove them (for hardware you trust)\n"
    "      --no-history\n"
    "                  do not add the pass to the destination's ASC MHL history (every\n"
    "                  copy written or proven, with its xxh128, in DESTINATION_FOLDER/ascmhl)\n"
    "  -q, --quiet     no progress line on the terminal\n"
    "      --version   print the version\n"
    "  -h, --help      print this text\n"
    "\n"
    "Exit status: 0 complete; 1 incomplete (some clips were not collected: they keep their\n"
    "names, and running the same command again picks them up); 2 not started (a folder not\n"
    "accessible or in use by another pass, the folders inside each other, no room on the\n"
    "destination) or wrong arguments; 130 stopped with Ctrl+C.\n";

struct Options {
  bool check = false;
  bool dryRun = false;
  bool json = false;
  bool verify = true;
  bool quiet = false;
  bool history = true;
  std::u16string backup;
  bool reverify = false;
  std::vector<std::u16string> folders;
};

// An argument as the person typed it, in single quotes ('--fast'), escaped when it needs it.
std::string Argument(std::u16string_view argument) {
  const std::u16string quoted = report::QuotedName(argument, u"'");
  return platform::ToDisplay(quoted.starts_with(u'\'') ? quoted : u"'" + quoted + u"'");
}

// What is wrong with the arguments, in one line, and where to read more.
int WrongArguments(std::ostream& err, const std::string& what) {
  err << "marlowin-collect: " << what << "\nTry 'marlowin-collect --help'\n";
  return 2;
}

std::string WhatIsWrongWithTheFolders(const std::vector<std::u16string>& folders) {
  if (folders.empty()) return "missing STARTING_FOLDER and DESTINATION_FOLDER";
  if (folders.size() == 1) return "missing DESTINATION_FOLDER";
  std::string extra = folders.size() == 3 ? "extra argument" : "extra arguments";
  for (std::size_t i = 2; i < folders.size(); ++i) extra += " " + Argument(folders[i]);
  return extra;
}

void PrintProblems(const report::PassReport& report, std::ostream& err) {
  for (const report::Problem* problem : report::ProblemsInOrder(report)) {
    err << "marlowin-collect: " << platform::ToDisplay(report::DescribeProblem(*problem)) << "\n";
  }
}

void PrintReport(const report::PassReport& report, const report::SavedReport& saved, std::ostream& out, std::ostream& err,
                 bool json) {
  if (json) {
    out << ToJson(report, &saved) << "\n";
    return;
  }
  out << platform::ToDisplay(report::OutcomeLine(report)) << "\n" << platform::ToDisplay(report::SummaryLine(report)) << "\n";
  PrintProblems(report, err);
  // Every problem is printed above; the file is only news when it is missing.
  if (saved.error) err << "marlowin-collect: report not saved: " << platform::Describe(saved.error) << "\n";
  if (saved.pruneError) err << "marlowin-collect: older reports not removed: " << platform::Describe(saved.pruneError) << "\n";
}

}  // namespace

int RunCollectCommand(const std::vector<std::u16string>& arguments, platform::FileSystem& fs,
                      std::ostream& out, std::ostream& err, const CommandConsole& console) {
  Options options;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::u16string& argument = arguments[i];
    if (!optionsEnded && (argument == u"--also" || argument.starts_with(u"--also="))) {
      if (argument == u"--also" && i + 1 == arguments.size()) return WrongArguments(err, "--also needs a BACKUP_FOLDER");
      options.backup = argument == u"--also" ? arguments[++i] : argument.substr(7);
      if (options.backup.empty()) return WrongArguments(err, "--also needs a BACKUP_FOLDER");
      continue;
    }
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
    } else if (argument == u"--check") {
      options.check = true;
    } else if (argument == u"--reverify") {
      options.reverify = true;
    } else if (argument == u"--dry-run" || argument == u"-n") {
      options.dryRun = true;
    } else if (argument == u"--json") {
      options.json = true;
    } else if (argument == u"--no-verify") {
      options.verify = false;
    } else if (argument == u"--no-history") {
      options.history = false;
    } else if (argument == u"--quiet" || argument == u"-q") {
      options.quiet = true;
    } else {
      return WrongArguments(err, "unknown option " + Argument(argument));
    }
  }
  if (options.check) {
    if (options.dryRun || !options.verify || !options.history || !options.backup.empty() || options.reverify) {
      return WrongArguments(err, "--check takes only --json and --quiet");
    }
    if (options.folders.empty()) return WrongArguments(err, "missing DESTINATION_FOLDER to check");
    return RunCheckCommands(options.folders, options.json, options.quiet, fs, out, err, console);
  }
  if (options.folders.size() != 2) return WrongArguments(err, WhatIsWrongWithTheFolders(options.folders));
  if (options.reverify && !options.verify) return WrongArguments(err, "--reverify reads every copy back: it takes no --no-verify");
  if (options.reverify && !options.backup.empty()) {
    return WrongArguments(err, "--reverify mends one folder at a time: run it for the backup folder as DESTINATION_FOLDER");
  }

  // Ctrl+C stops the pass as Cancel does; on a terminal one line shows how far it is.
  std::atomic<bool> noStop{false};
  std::atomic<bool>& stopFlag = console.stop ? *console.stop : noStop;
  StopFlag stop(&stopFlag);
  std::optional<TerminalProgress> progressLine;
  if (console.stderrIsTerminal && !options.quiet && !options.dryRun) progressLine.emplace(err, console.columns, stopFlag);
  pass::PassOptions passOptions;
  passOptions.verify = options.verify;
  passOptions.recordClips = options.json;
  passOptions.keepHistory = options.history;
  passOptions.backupFolder = options.backup;
  passOptions.reverify = options.reverify;
  passOptions.observer = progressLine ? static_cast<report::PassObserver*>(&*progressLine) : &stop;
  const platform::KeepAwake awake;  // a long copy must not be cut by sleep
  if (options.dryRun) {
    // The plan, one operation a line, and what the plan knows on stderr; nothing is changed.
    passOptions.dryRun = true;
    passOptions.printLine = [&out](const std::string& line) { out << line << "\n"; };
    const report::PassReport report = pass::CollectClips(fs, options.folders[0], options.folders[1], passOptions);
    if (report.outcome != report::Outcome::kComplete && report.outcome != report::Outcome::kIncomplete) {
      out << platform::ToDisplay(report::OutcomeLine(report)) << "\n";
    }
    PrintProblems(report, err);
    return report::ExitStatus(report);
  }
  const auto started = std::chrono::system_clock::now();
  report::PassReport report = pass::CollectClips(fs, options.folders[0], options.folders[1], passOptions);
  if (report.started == std::chrono::system_clock::time_point{}) report.started = started;  // names its file
  if (progressLine) progressLine->Finish();
  // Kept for later like the program's; a dry run changes nothing, not even the records.
  const report::SavedReport saved = report::SaveReport(report);
  PrintReport(report, saved, out, err, options.json);
  return report::ExitStatus(report);
}

}  // namespace marlowin
