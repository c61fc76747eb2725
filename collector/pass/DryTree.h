#pragma once

// The destination as a dry run sees it: what is there now, and what the operations printed before
// would have made or removed. A dry run prints only what would change something: no folder made
// that is there already, no file deleted that is not there.
#include <string>
#include <unordered_map>

#include "platform/FileSystem.h"

namespace marlowin::pass {

class DryTree {
 public:
  // Without `fs`, every operation is taken to change something.
  explicit DryTree(platform::FileSystem* fs) : fs_(fs) {}

  // Whether making the folder, deleting the file or removing the folder would do anything; each
  // then counts as done.
  bool Makes(const std::u16string& folder) { return Turn(folder, true); }
  bool Deletes(const std::u16string& file) { return Turn(file, false); }
  bool Removes(const std::u16string& folder) { return Turn(folder, false); }
  // A copy put in place.
  void Wrote(const std::u16string& file) { known_[file] = true; }

 private:
  // Whether `path` is not yet as `there` says; it is from now on.
  bool Turn(const std::u16string& path, bool there);
  bool There(const std::u16string& path);

  platform::FileSystem* fs_;
  std::unordered_map<std::u16string, bool> known_;  // paths the printed operations changed
};

}  // namespace marlowin::pass
