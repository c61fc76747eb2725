#pragma once

// Copies staged together and put in place together. A batch's commit runs in three steps: its
// temporaries go to the disk (one flush for a volume that can be flushed whole), each copy is
// read back from the disk and compared with the hash of its clip's bytes (two copies at a time,
// each read on a thread of its own: one stream of direct reads leaves the disk idle between
// two of them, and the disks measured served two streams a tenth faster), and each proven copy
// is moved over its target, its folder's new names flushed. A batch is committed on a thread of
// its own while the pass copies the next one; every step goes through the FileSystem, so a test
// can fail any of them.
#include <atomic>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/ReadBuffer.h"

namespace marlowin::pass {

inline constexpr std::size_t kNotACopy = std::numeric_limits<std::size_t>::max();

// One copy between its staging and its outcome.
struct StagedCopy {
  std::uint64_t ticket = 0;
  std::u16string target;
  std::u16string temporary;              // empty: found in place, only to be proven
  std::unique_ptr<platform::OpenFile> file;   // the temporary, held open until it is put in place
  std::u16string source;                 // the clip, or the temporary it was copied from
  platform::FileStatus sourceStatus;          // the clip's size and times, which the copy takes
  std::string hash;                      // of the bytes read from the clip; empty when not hashed
  std::size_t copyOf = kNotACopy;        // the staged copy of the same clip it was made from
  bool verify = false;
  bool keepTarget = false;               // found in place and recorded: never removed, even if it differs
  std::error_code error;
};

class CopyBatch {
 public:
  explicit CopyBatch(platform::FileSystem& fs) : fs_(fs) {}

  std::vector<StagedCopy> copies;
  std::atomic<std::uint64_t> proven{0};  // bytes read back so far
  std::atomic<bool> stop{false};         // copies not yet proven become Errc::kCancelled

  void Commit();
  // The hash each copy must have: that of the bytes read from its clip.
  std::string ExpectedHash(StagedCopy& copy);
  // Its temporary closed and removed; the target, and an earlier copy there, untouched.
  void Discard(StagedCopy& copy);
  void DiscardAll();

 private:
  void MakeDurable();
  void Prove();
  // Proves the copies from the index `next` gives out, one after the other, until none is left.
  void ProveFrom(std::atomic<std::size_t>& next, platform::CopyBuffer& buffer);
  void PutInPlace();
  std::string ExpectedHash(StagedCopy& copy, platform::CopyBuffer& buffer);
  void LearnHash(StagedCopy& copy, platform::CopyBuffer& buffer);
  std::error_code HashFile(const std::u16string& path, bool fromDisk, platform::CopyBuffer& buffer, std::string& hash);

  platform::FileSystem& fs_;
  platform::CopyBuffer buffers_[2];  // one for each proof under way
};

// Hashes a file (XXH3-128, as `xxhsum -H2` prints it) through a buffer, adding the bytes read
// to `counted` when given; stops with Errc::kCancelled when `stop` is set.
[[nodiscard]] std::error_code HashWholeFile(platform::OpenFile& file, platform::CopyBuffer& buffer, std::string& hash,
                                            std::atomic<std::uint64_t>* counted, const std::atomic<bool>* stop);

}  // namespace marlowin::pass
