#include "platform/FileSystem.h"

#include <algorithm>

namespace marlowin::sys {

bool FinishListing(bool complete, std::vector<FolderEntry>& entries) {
  if (!complete) {
    entries.clear();  // a listing cut short is no listing
    return false;
  }
  // The same order on every platform and every run: UTF-16 code units, ascending.
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return true;
}

}  // namespace marlowin::sys
