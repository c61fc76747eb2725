#pragma once

// What the collection pass needs from the file system, as one interface, so that the same pass
// runs against the real disk, a recording wrapper (tests) or a dry run that changes nothing.
#include <cstdint>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "platform/Files.h"

namespace marlowin::sys {

// Told the bytes of a copy or of a proof as they go; false stops the work (Errc::kCancelled).
class ByteObserver {
 public:
  virtual ~ByteObserver() = default;
  virtual bool OnBytes(std::uint64_t bytesDone) = 0;
};

struct CopyRequest {
  // Hash the bytes as they are read, and prove the copy at Commit by reading it back from the
  // disk. Off: the kernel's own copy path, and a copy is proven by having been written.
  bool verify = true;
  // A target that is already in place (a regular file of the source's size and modification
  // time) is not written again. With this set and verify on, Commit still proves it by
  // hashing it and the source: for a clip about to be marked collected.
  bool proveExisting = false;
  ByteObserver* progress = nullptr;
};

struct CopyResult {
  bool alreadyThere = false;  // the target was in place and was not written
  std::uint64_t bytes = 0;    // the source's size
};

// One copy as Commit left it.
struct CommittedCopy {
  std::u16string target;
  std::error_code error;  // why it is not in place; empty when it is
  std::string hash;       // the source's XXH3-128 as `xxhsum -H2` prints it, when it was hashed
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  [[nodiscard]] virtual std::error_code ListFolder(const std::u16string& folder,
                                                   std::vector<FolderEntry>& entries) = 0;
  [[nodiscard]] virtual std::error_code GetStatus(const std::u16string& path, FileStatus& status) = 0;
  [[nodiscard]] virtual std::error_code LockFolder(const std::u16string& folder,
                                                   std::unique_ptr<FolderLock>& lock) = 0;
  [[nodiscard]] virtual std::error_code MakeFolder(const std::u16string& path) = 0;

  // Copies a regular file to the target, replacing a file of that name. The copy is staged:
  // written under a temporary name beside the target and put in place by Commit, once it is
  // on the disk (and proven, with verify). A copy from a target staged earlier reads the
  // staged bytes. A failed copy leaves no temporary and keeps an earlier target; so does a
  // source whose size or time changed while it was copied (Errc::kSourceChanged). A target
  // that is the source itself (reached through a link) is left alone and counts as in place.
  [[nodiscard]] virtual std::error_code Copy(const std::u16string& from, const std::u16string& to,
                                             const CopyRequest& request, CopyResult& result) = 0;

  // Puts every staged copy in place: on the disk, proven, moved over its target, durable. The
  // outcome of each, in the order they were staged. A copy that differs from its source
  // (Errc::kCancelled when the observer stopped the work) is removed and its target kept.
  // The error of Commit itself is the first error of those copies.
  [[nodiscard]] virtual std::error_code Commit(std::vector<CommittedCopy>& copies,
                                               ByteObserver* progress) = 0;

  // Commit in two halves, so that the disk flushes and the proofs of one batch overlap the
  // copies of the next: BeginCommit hands the copies staged so far to a commit of their own
  // and returns at once (the copies staged after it are a new batch); FinishCommit waits for
  // it and gives its outcome as Commit does (nothing when none was begun). Only one batch is
  // committed at a time: BeginCommit first waits for the one before.
  virtual void BeginCommit() = 0;
  [[nodiscard]] virtual std::error_code FinishCommit(std::vector<CommittedCopy>& copies,
                                                     ByteObserver* progress) = 0;

  // Drops every staged copy that is not yet committed: their temporaries go. A batch being
  // committed is stopped where its copies are not yet proven.
  virtual void Abandon() = 0;

  // Gives a file a new name in the same folder, never replacing one (std::errc::file_exists).
  [[nodiscard]] virtual std::error_code RenameNoReplace(const std::u16string& from,
                                                        const std::u16string& to) = 0;
  [[nodiscard]] virtual std::error_code RemoveFile(const std::u16string& path) = 0;
  [[nodiscard]] virtual std::error_code RemoveEmptyFolder(const std::u16string& path) = 0;
  [[nodiscard]] virtual std::error_code RemoveLeftover(const std::u16string& path) = 0;
};

// The operating system's file system. Each call gives a new object with its own staging.
std::unique_ptr<FileSystem> MakeRealFileSystem();

}  // namespace marlowin::sys
