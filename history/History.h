#pragma once

// A folder's ASC MHL history as a whole: the chain and the generations it names, the name and
// number of the next generation, and reading it all through a reader of files the caller gives.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "history/Chain.h"
#include "history/Failure.h"
#include "history/Generation.h"
#include "platform/Files.h"

namespace marlowin::history {

// The number a generation file's name starts with (digits, '_', ... ".mhl"); 0 for any other name.
std::uint64_t NumberOfGenerationFile(std::u16string_view name);

// The number after every generation there is: those the chain names and every file of ascmhl/
// whose name is digits, '_', ... ".mhl" (a generation written by a pass that stopped before it
// could add it to the chain keeps its number). 1 for a new history.
std::uint64_t NextSequenceNumber(const Chain& chain, const std::vector<std::u16string>& historyFolderNames);

// "0007_<folder>_2026-12-08_192217Z.mhl": the number in four digits or more, the name of the
// folder that holds ascmhl/, and the UTC time the pass started. The folder's name is shortened
// so that the whole name takes at most 255 bytes, and what XML cannot hold of it becomes "_".
std::u16string GenerationFileName(std::uint64_t sequence, std::u16string_view folderName, platform::FileTime startUtc);

// Success when every generation the chain names is among the names of ascmhl/; else
// kGenerationMissing with the first that is not.
[[nodiscard]] Failure CheckChainFiles(const Chain& chain, const std::vector<std::u16string>& historyFolderNames);

struct RecordedGeneration {
  ChainEntry entry;
  Generation generation;
};

// Every generation in the chain's order, each checked against its C4 id.
struct History {
  std::vector<RecordedGeneration> generations;
};

// Reads a generation file of ascmhl/ by its name into `bytes`.
using ReadGenerationFile = std::function<std::error_code(const std::u16string& fileName, std::string& bytes)>;

// The history the chain tells of: CheckChainFiles, then each file read, checked with
// CheckGeneration and parsed. The first failure, with the file's name in its detail.
Result<History> ReadHistory(const Chain& chain, const std::vector<std::u16string>& historyFolderNames,
                            const ReadGenerationFile& read);

}  // namespace marlowin::history
