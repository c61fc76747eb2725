#pragma once

// The history of a folder on the disk: its ascmhl/ listed, its chain file and each generation
// read through the file system.
#include <string>

#include "history/History.h"
#include "platform/FileSystem.h"

namespace marlowin::history {

// The history in `folder`/ascmhl/, as ReadHistory reads it. kNoHistory when the folder holds
// no ascmhl/ folder or no chain file in it; the system's reason, with the file's name, when
// one cannot be listed or read.
Result<History> ReadHistoryFolder(platform::FileSystem& fs, const std::u16string& folder);

// A file of the history (a chain, a generation) whole, into `bytes`.
[[nodiscard]] std::error_code ReadWholeFile(platform::FileSystem& fs, const std::u16string& path, std::string& bytes);

}  // namespace marlowin::history
