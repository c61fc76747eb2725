#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/CollectCommand.h"
#include "platform/FileSystem.h"

namespace marlowin {

// marlowin-collect --check FOLDER: the check of a collected tree against its history, as lines
// (the outcome and a summary on stdout, each failure and warning on stderr) or as JSON, with a
// progress line on a terminal unless `quiet`. The exit status is CheckExitStatus.
int RunCheckCommand(const std::u16string& folder, bool json, bool quiet, platform::FileSystem& fs, std::ostream& out,
                    std::ostream& err, const CommandConsole& console);

// The same for each of `folders` (a copy to folder and its backup), one after the other; as JSON
// an array of the checks. The worst exit status of them.
int RunCheckCommands(const std::vector<std::u16string>& folders, bool json, bool quiet, platform::FileSystem& fs,
                     std::ostream& out, std::ostream& err, const CommandConsole& console);

}  // namespace marlowin
