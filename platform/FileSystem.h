#pragma once

// The file system as the pass sees it: a few basic calls (list, look up, open, read, write, flush,
// rename, remove, make a folder, lock), so that the same pass runs against the real disk, a
// recording wrapper or one that fails any chosen step. Everything built of them (staging copies,
// proving them, putting them in place) is the pass's own code, above this seam.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "platform/Files.h"

namespace marlowin::platform {

// Told the bytes of a copy or of a proof as they go; false stops the work (Errc::kCancelled).
class ByteObserver {
 public:
  virtual ~ByteObserver() = default;
  virtual bool OnBytes(std::uint64_t bytesDone) = 0;
};

// An open file of a FileSystem. Closed when destroyed.
class OpenFile {
 public:
  virtual ~OpenFile() = default;

  // Reads at the file's position; `got` is 0 at the end.
  [[nodiscard]] virtual std::error_code Read(void* buffer, std::size_t size, std::size_t& got) = 0;
  [[nodiscard]] virtual std::error_code Write(const void* data, std::size_t size) = 0;
  [[nodiscard]] virtual std::error_code Status(FileStatus& status) = 0;
  // Asks for what was written so far to go to the disk now, without waiting for it.
  virtual void StartWriteback() = 0;
  // Waits until the file's data and size are on the disk.
  [[nodiscard]] virtual std::error_code Flush() = 0;
  // Flush(), and where the volume can be flushed whole, everything else written to it: then
  // `wholeVolume` says the other files of the volume need no flush of their own.
  [[nodiscard]] virtual std::error_code FlushVolume(bool& wholeVolume) = 0;
  // Gives the file the source's modification and access time and permission bits.
  [[nodiscard]] virtual std::error_code TakeAttributes(const FileStatus& source) = 0;
  // Closes now: a close error can be the first sign of a failed write.
  [[nodiscard]] virtual std::error_code Close() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Looking: the entries of a folder (in ListsBefore order), what is at a path (following links,
  // or the entry itself), the bytes free to this user on the volume of a folder, whether the
  // folder's file system takes names that differ only in the case of A to Z as one.
  [[nodiscard]] virtual std::error_code ListFolder(const std::u16string& folder,
                                                   std::vector<FolderEntry>& entries) = 0;
  [[nodiscard]] virtual std::error_code GetStatus(const std::u16string& path, FileStatus& status) = 0;
  [[nodiscard]] virtual std::error_code GetLinkStatus(const std::u16string& path, FileStatus& status) = 0;
  [[nodiscard]] virtual std::error_code FreeSpace(const std::u16string& folder, std::uint64_t& bytes) = 0;
  [[nodiscard]] virtual std::error_code FoldsCase(const std::u16string& folder, bool& folds) = 0;
  [[nodiscard]] virtual std::error_code DescribeVolume(const std::u16string& folder, VolumeFacts& facts) = 0;
  // The full path of what is at `path`, links resolved (and on Windows case and short names).
  [[nodiscard]] virtual std::error_code ResolvePath(const std::u16string& path, std::u16string& resolved) = 0;
  [[nodiscard]] virtual std::error_code LockFolder(const std::u16string& folder,
                                                   std::unique_ptr<FolderLock>& lock) = 0;

  // Files: as platform::File says for each.
  [[nodiscard]] virtual std::error_code OpenForReading(const std::u16string& path, std::unique_ptr<OpenFile>& file) = 0;
  [[nodiscard]] virtual std::error_code OpenFromDisk(const std::u16string& path, std::unique_ptr<OpenFile>& file) = 0;
  [[nodiscard]] virtual std::error_code CreateTemporary(const std::u16string& folder, std::u16string& path,
                                                        std::unique_ptr<OpenFile>& file) = 0;
  [[nodiscard]] virtual std::error_code OpenForWriting(const std::u16string& path, std::unique_ptr<OpenFile>& file) = 0;
  // The kernel's copy of a whole file into a new file `to`, hashing what it copies when given a
  // hasher (see platform::CopyToNewFile).
  [[nodiscard]] virtual std::error_code CopyToNewFile(const std::u16string& from, const std::u16string& to,
                                                      const std::function<bool(std::uint64_t)>& progress,
                                                      std::unique_ptr<OpenFile>& file, ContentHasher* hasher) = 0;
  // A name for a new temporary in the folder (for CopyToNewFile).
  virtual std::u16string NewTemporaryPath(const std::u16string& folder) = 0;

  // Names.
  [[nodiscard]] virtual std::error_code MakeFolder(const std::u16string& path) = 0;
  [[nodiscard]] virtual std::error_code RenameNoReplace(const std::u16string& from, const std::u16string& to) = 0;
  [[nodiscard]] virtual std::error_code MoveReplacing(const std::u16string& from, const std::u16string& to) = 0;
  [[nodiscard]] virtual std::error_code RemoveFile(const std::u16string& path) = 0;
  [[nodiscard]] virtual std::error_code RemoveEmptyFolder(const std::u16string& path) = 0;
  [[nodiscard]] virtual std::error_code RemoveLeftover(const std::u16string& path) = 0;
  [[nodiscard]] virtual std::error_code FlushFolders(const std::vector<std::u16string>& folders) = 0;
};

// Passes every call on to another file system, as leveldb's EnvWrapper does: a wrapper (the
// pass's guard, a test's recorder or fault) overrides only the calls it changes, and a call added
// to the seam needs no line in any of them.
class FileSystemWrapper : public FileSystem {
 public:
  explicit FileSystemWrapper(FileSystem& target) : target_(target) {}
  FileSystem& Target() const { return target_; }

  std::error_code ListFolder(const std::u16string& folder, std::vector<FolderEntry>& entries) override {
    return target_.ListFolder(folder, entries);
  }
  std::error_code GetStatus(const std::u16string& path, FileStatus& status) override {
    return target_.GetStatus(path, status);
  }
  std::error_code GetLinkStatus(const std::u16string& path, FileStatus& status) override {
    return target_.GetLinkStatus(path, status);
  }
  std::error_code FreeSpace(const std::u16string& folder, std::uint64_t& bytes) override {
    return target_.FreeSpace(folder, bytes);
  }
  std::error_code FoldsCase(const std::u16string& folder, bool& folds) override { return target_.FoldsCase(folder, folds); }
  std::error_code DescribeVolume(const std::u16string& folder, VolumeFacts& facts) override {
    return target_.DescribeVolume(folder, facts);
  }
  std::error_code ResolvePath(const std::u16string& path, std::u16string& resolved) override {
    return target_.ResolvePath(path, resolved);
  }
  std::error_code LockFolder(const std::u16string& folder, std::unique_ptr<FolderLock>& lock) override {
    return target_.LockFolder(folder, lock);
  }
  std::error_code OpenForReading(const std::u16string& path, std::unique_ptr<OpenFile>& file) override {
    return target_.OpenForReading(path, file);
  }
  std::error_code OpenFromDisk(const std::u16string& path, std::unique_ptr<OpenFile>& file) override {
    return target_.OpenFromDisk(path, file);
  }
  std::error_code CreateTemporary(const std::u16string& folder, std::u16string& path,
                                  std::unique_ptr<OpenFile>& file) override {
    return target_.CreateTemporary(folder, path, file);
  }
  std::error_code OpenForWriting(const std::u16string& path, std::unique_ptr<OpenFile>& file) override {
    return target_.OpenForWriting(path, file);
  }
  std::error_code CopyToNewFile(const std::u16string& from, const std::u16string& to,
                                const std::function<bool(std::uint64_t)>& progress, std::unique_ptr<OpenFile>& file,
                                ContentHasher* hasher) override {
    return target_.CopyToNewFile(from, to, progress, file, hasher);
  }
  std::u16string NewTemporaryPath(const std::u16string& folder) override { return target_.NewTemporaryPath(folder); }
  std::error_code MakeFolder(const std::u16string& path) override { return target_.MakeFolder(path); }
  std::error_code RenameNoReplace(const std::u16string& from, const std::u16string& to) override {
    return target_.RenameNoReplace(from, to);
  }
  std::error_code MoveReplacing(const std::u16string& from, const std::u16string& to) override {
    return target_.MoveReplacing(from, to);
  }
  std::error_code RemoveFile(const std::u16string& path) override { return target_.RemoveFile(path); }
  std::error_code RemoveEmptyFolder(const std::u16string& path) override { return target_.RemoveEmptyFolder(path); }
  std::error_code RemoveLeftover(const std::u16string& path) override { return target_.RemoveLeftover(path); }
  std::error_code FlushFolders(const std::vector<std::u16string>& folders) override {
    return target_.FlushFolders(folders);
  }

 private:
  FileSystem& target_;
};

// The operating system's file system. It keeps no state of its own: its calls may come from
// more than one thread.
std::unique_ptr<FileSystem> MakeRealFileSystem();

}  // namespace marlowin::platform
