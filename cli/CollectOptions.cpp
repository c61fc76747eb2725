#include "cli/CollectOptions.h"

#include "collector/report/QuotedName.h"
#include "platform/NativeName.h"

namespace marlowin {
namespace {

std::string WhatIsWrongWithTheFolders(const CollectOptions& options) {
  const std::vector<std::u16string>& folders = options.folders;
  if (options.check) return "missing DESTINATION_FOLDER to check";
  if (folders.empty()) return "missing STARTING_FOLDER and DESTINATION_FOLDER";
  if (folders.size() == 1) return "missing DESTINATION_FOLDER";
  std::string extra = folders.size() == 3 ? "extra argument" : "extra arguments";
  for (std::size_t i = 2; i < folders.size(); ++i) extra += " " + ArgumentText(folders[i]);
  return extra;
}

// Why --check cannot go with an option of the pass, or empty when it can.
std::string CheckRefuses(const CollectOptions& options) {
  if (options.dryRun) return "--check and --dry-run do not go together: --check changes nothing already";
  if (!options.verify) return "--check and --no-verify do not go together: --check is the reading back of every copy";
  if (!options.history) return "--check and --no-history do not go together: --check checks against the history";
  if (options.reverify) return "--check and --reverify do not go together: --check changes nothing, --reverify mends";
  if (!options.backup.empty()) return "--check and --also do not go together: give --check every folder to check";
  return {};
}

// Why --reverify cannot go with an option of the pass, or empty when it can.
std::string ReverifyRefuses(const CollectOptions& options) {
  if (!options.verify) return "--reverify reads every copy back: it takes no --no-verify";
  if (!options.backup.empty()) return "--reverify mends one folder at a time: run it for the backup folder as DESTINATION_FOLDER";
  return {};
}

}  // namespace

std::string ArgumentText(std::u16string_view argument) {
  const std::u16string quoted = report::QuotedName(argument, u"'");
  return platform::ToDisplay(quoted.starts_with(u'\'') ? quoted : u"'" + quoted + u"'");
}

bool ReadCollectOptions(const std::vector<std::u16string>& arguments, CollectOptions& options, std::string& wrong) {
  bool optionsEnded = false;
  // A short option by its letter; false for one there is none of.
  const auto letter = [&options](char16_t c) {
    switch (c) {
      case u'h': options.help = true; return true;
      case u'n': options.dryRun = true; return true;
      case u'q': options.quiet = true; return true;
      default: return false;
    }
  };
  for (std::size_t at = 0; at < arguments.size(); ++at) {
    const std::u16string& argument = arguments[at];
    if (!optionsEnded && (argument == u"--also" || argument.starts_with(u"--also="))) {
      options.backup = argument == u"--also" ? (at + 1 < arguments.size() ? arguments[++at] : std::u16string())
                                              : argument.substr(7);
      if (options.backup.empty()) {
        wrong = "--also needs a BACKUP_FOLDER";
        return false;
      }
    } else if (optionsEnded || argument.size() < 2 || argument[0] != u'-') {
      options.folders.push_back(argument);
    } else if (argument == u"--") {
      optionsEnded = true;
    } else if (argument == u"--help") {
      options.help = true;
    } else if (argument == u"--version") {
      options.version = true;
    } else if (argument == u"--check") {
      options.check = true;
    } else if (argument == u"--reverify") {
      options.reverify = true;
    } else if (argument == u"--dry-run") {
      options.dryRun = true;
    } else if (argument == u"--json") {
      options.json = true;
    } else if (argument == u"--no-verify") {
      options.verify = false;
    } else if (argument == u"--no-history") {
      options.history = false;
    } else if (argument == u"--quiet") {
      options.quiet = true;
    } else if (argument[1] != u'-') {
      for (std::size_t i = 1; i < argument.size(); ++i) {
        if (letter(argument[i])) continue;
        wrong = "unknown option " + ArgumentText(std::u16string(u"-") + argument[i]);
        if (argument.size() > 2) wrong += " in " + ArgumentText(argument);
        return false;
      }
    } else {
      wrong = "unknown option " + ArgumentText(argument);
      return false;
    }
  }
  if (options.help || options.version) return true;
  if (options.check && !(wrong = CheckRefuses(options)).empty()) return false;
  if (options.reverify && !(wrong = ReverifyRefuses(options)).empty()) return false;
  if (options.check ? options.folders.empty() : options.folders.size() != 2u) {
    wrong = WhatIsWrongWithTheFolders(options);
    return false;
  }
  return true;
}

}  // namespace marlowin
