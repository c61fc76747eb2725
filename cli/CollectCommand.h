#pragma once

#include <atomic>
#include <ostream>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace marlowin {

// What marlowin-collect knows of where it runs.
struct CommandConsole {
  std::atomic<bool>* stop = nullptr;  // set when the person presses Ctrl+C
  bool stderrIsTerminal = false;      // a progress line is drawn only there
  int columns = 80;
};

// marlowin-collect [OPTIONS] STARTING_FOLDER DESTINATION_FOLDER: one pass and its report, as
// lines (the outcome and a summary on stdout, each problem on stderr) or as JSON. The exit
// status is ExitStatus of the report, or 2 for wrong arguments.
int RunCollectCommand(const std::vector<std::u16string>& arguments, platform::FileSystem& fs,
                      std::ostream& out, std::ostream& err, const CommandConsole& console = {});

}  // namespace marlowin
