#pragma once

// The options of marlowin-collect as people write them: long ones, short ones alone or together
// ("-nq"), and "--" before folder names that start with "-". A combination that cannot be done is
// refused with the reason, in one line.
#include <string>
#include <vector>

namespace marlowin {

struct CollectOptions {
  bool help = false;
  bool version = false;
  bool check = false;
  bool dryRun = false;
  bool json = false;
  bool verify = true;
  bool quiet = false;
  bool history = true;
  bool reverify = false;
  std::u16string backup;  // --also: the backup folder
  std::vector<std::u16string> folders;
};

// The options in `arguments`; false with `wrong` saying what is wrong, in one line.
bool ReadCollectOptions(const std::vector<std::u16string>& arguments, CollectOptions& options, std::string& wrong);

// An argument as the person typed it, in single quotes ('--fast'), escaped when it needs it.
std::string ArgumentText(std::u16string_view argument);

}  // namespace marlowin
