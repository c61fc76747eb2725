// The latest entry of each path over all generations of a history.
#include "history/LatestEntries.h"

#include <algorithm>
#include <vector>

namespace marlowin::history {

std::map<std::u16string, LatestEntry> LatestEntries(const History& history) {
  std::vector<const RecordedGeneration*> order;
  for (const RecordedGeneration& recorded : history.generations) order.push_back(&recorded);
  std::stable_sort(order.begin(), order.end(), [](const RecordedGeneration* a, const RecordedGeneration* b) {
    return a->entry.sequence < b->entry.sequence;
  });
  std::map<std::u16string, LatestEntry> latest;
  for (const RecordedGeneration* recorded : order) {
    for (const HashEntry& entry : recorded->generation.hashes) {
      latest.insert_or_assign(entry.path, LatestEntry{entry, recorded->entry.sequence});
    }
  }
  return latest;
}

}  // namespace marlowin::history
