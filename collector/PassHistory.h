#pragma once

// What a pass adds to the ASC MHL history of its destination folder (D/ascmhl/): one new
// generation listing every copy the pass wrote or proved, and its entry in the chain file. The
// copies are spooled as they are concluded; at the end of the pass the generation and the new
// chain are each written under a temporary name and flushed, then the generation is put in
// place, then the chain: a pass stopped at any moment leaves the history it found, or the
// history with the new generation listed. (A generation put in place whose chain entry never
// came is listed by the next pass.) A history that cannot be read is left exactly as it is.
#include <string>
#include <vector>

#include "collector/CopyLog.h"
#include "collector/HistorySpool.h"
#include "history/Failure.h"
#include "platform/FileSystem.h"

namespace marlowin {

class PassHistory final : public CopyLog {
 public:
  // `readBack`: the pass reads its copies back (else the generation says they were not).
  PassHistory(sys::FileSystem& fs, std::u16string destination, sys::FileTime started, bool readBack);

  void Add(const LoggedCopy& copy) override;
  void Remove(const std::u16string& path) override;

  // Adds the generation when the pass recorded any copy. A failure says why the history was not
  // updated; the history is then as it was.
  [[nodiscard]] history::Failure Finish();

  // The history folder, for what is said about it.
  const std::u16string& Folder() const { return folder_; }

 private:
  bool Relative(const std::u16string& path, std::u16string& relative);
  history::Failure WriteGeneration(bool& written);

  sys::FileSystem& fs_;
  std::u16string destination_;
  std::u16string folder_;
  sys::FileTime started_;
  bool readBack_;
  HistorySpool spool_;
  bool madeFolder_ = false;
  history::Failure failure_;  // the first that keeps the generation from being written
  // Copies deleted again by the pass (one a shot, by the clean-up), as the hash of the path and
  // the number of copies spooled when it went: the entries of that path spooled before are left
  // out. Hashes, not names, keep this small for a pass of any size; two paths of one pass with
  // the same 64-bit hash (about one chance in 10^10 for 10,000 shots) would leave a copy
  // unrecorded, which a check of the tree reports.
  struct Removal {
    std::size_t pathHash;
    std::uint64_t spooled;
    friend bool operator<(const Removal& a, const Removal& b) { return a.pathHash < b.pathHash; }
  };
  std::vector<Removal> removed_;
};

}  // namespace marlowin
