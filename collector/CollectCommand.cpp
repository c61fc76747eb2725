#include "collector/CollectCommand.h"

#include "collector/CollectClips.h"
#include "platform/NativeName.h"

namespace marlowin {
namespace {

constexpr const char* kUsage =
    "usage: marlowin-collect STARTING_FOLDER DESTINATION_FOLDER\n"
    "\n"
    "Collects the clips of every shot folder in STARTING_FOLDER (its \"MP4 HIGH RES\" folder)\n"
    "into adl and int folders in DESTINATION_FOLDER, and gives each collected source clip\n"
    "its \"_hires\" name. Prints \"video copy complete\" and exits 0 when every clip was\n"
    "copied, \"video copy incomplete: N of M clips could not be copied\" and exits 1 when\n"
    "some were not; exits 2 when a folder cannot be found or the arguments are wrong.\n"
    "\n"
    "  -h, --help   print this text\n";

}  // namespace

int RunCollectCommand(const std::vector<std::u16string>& arguments, sys::FileSystem& fs,
                      std::ostream& out, std::ostream& err) {
  std::vector<std::u16string> folders;
  bool optionsEnded = false;
  for (const std::u16string& argument : arguments) {
    if (!optionsEnded && (argument == u"--help" || argument == u"-h")) {
      out << kUsage;
      return 0;
    }
    if (!optionsEnded && argument == u"--") {
      optionsEnded = true;
    } else if (!optionsEnded && argument.size() > 1 && argument[0] == u'-') {
      err << "marlowin-collect: unknown option " << sys::ToDisplay(argument) << "\n" << kUsage;
      return 2;
    } else {
      folders.push_back(argument);
    }
  }
  if (folders.size() != 2) {
    err << kUsage;
    return 2;
  }
  if (!fs.Exists(folders[0])) {
    err << "starting path not accessible\n";
    return 2;
  }
  if (!fs.Exists(folders[1])) {
    err << "copy to path not accessible\n";
    return 2;
  }
  const CollectionSummary summary = CollectClips(fs, folders[0], folders[1]);
  out << sys::ToDisplay(DescribeOutcome(summary)) << "\n";
  return summary.clipsNotCopied == 0 ? 0 : 1;
}

}  // namespace marlowin
