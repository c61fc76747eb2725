#pragma once

// What a history says last about each file: the entry of the latest generation that mentions it.
#include <cstdint>
#include <map>
#include <string>

#include "history/Generation.h"
#include "history/History.h"

namespace marlowin::history {

struct LatestEntry {
  HashEntry entry;          // its xxh128 is empty when that generation has none for the file
  std::uint64_t sequence;   // of the generation it comes from
};

// By path. Generations count in the order of their sequence numbers; within one, the last
// entry of a path counts. An older generation's xxh128 never stands in for a newer one's lack.
std::map<std::u16string, LatestEntry> LatestEntries(const History& history);

}  // namespace marlowin::history
