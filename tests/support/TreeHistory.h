#pragma once

// Histories written into real trees for the tests of the check, as a pass records them: a
// generation file, then the chain that names it.
#include <cstdint>
#include <string>
#include <vector>

#include "history/Failure.h"
#include "history/Generation.h"

namespace marlowin::testing {

// The files in the adl and int folders of `folder`, relative to it with '/', sorted.
history::Result<std::vector<std::u16string>> CollectedFiles(const std::u16string& folder);

// The entry of a file of `folder` as it is now: its size, modification time and xxh128.
history::Result<history::HashEntry> EntryOf(const std::u16string& folder, const std::u16string& path);

// Adds a generation with these entries to the history in `folder`/ascmhl/ (made when missing),
// created at `start` (seconds since 1970), and names it in the chain.
[[nodiscard]] history::Failure AddGeneration(const std::u16string& folder, std::vector<history::HashEntry> entries,
                                             std::int64_t start);

// AddGeneration of every collected file as it is now.
[[nodiscard]] history::Failure RecordCollectedFiles(const std::u16string& folder, std::int64_t start);

}  // namespace marlowin::testing
