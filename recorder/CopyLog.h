#pragma once

// What a pass tells of each copy it has put in place or proven, for a record kept beside the
// copies: the record of the pass is written from these.
#include <cstdint>
#include <string>
#include <system_error>

#include "platform/Files.h"

namespace marlowin::recorder {

struct LoggedCopy {
  std::u16string path;       // the copy, as a full path
  std::uint64_t size = 0;
  platform::FileTime modified;    // the copy's, which is its clip's
  std::string xxh128;        // of the clip's bytes, as `xxhsum -H2` prints it
  bool written = false;      // written in this pass; else found in place and proven again
  bool readBack = false;     // read back from the disk and found equal to the clip
  bool original = false;     // the first record of this path: written now, or recorded nowhere before
  platform::FileTime hashed;      // when the hash was taken (the copy concluded)
};

class CopyLog {
 public:
  virtual ~CopyLog() = default;
  // A copy in place, proven as `readBack` says. A later copy of the same path in the same pass
  // replaces an earlier one. history::HistoryErrc::kNotXmlText when its name cannot be recorded
  // (the rest is); any other failure means nothing more is recorded.
  [[nodiscard]] virtual std::error_code Add(const LoggedCopy& copy) = 0;
  // A copy this pass logged and then deleted again (the clean-up).
  [[nodiscard]] virtual std::error_code Remove(const std::u16string& path) = 0;
};

}  // namespace marlowin::recorder
