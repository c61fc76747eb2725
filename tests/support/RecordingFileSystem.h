#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/FileSystem.h"

namespace marlowin::testing {

// Passes every call on to the real file system and writes it down, one line a call ("VERB
// PATH" or "VERB FROM -> TO"), with the paths under a root written as "<root>/..." and "/" for
// the separator, and a temporary as "<folder>/.marlowin-copy-*", so that one expectation fits
// every platform. Calls on open files are written as "read PATH", "write PATH", "flush PATH",
// "flush-volume PATH", "attributes PATH", "close PATH". A test may make chosen calls fail
// without touching the disk (`fault`), and act before or after any call; calls may come from
// the commit's thread too.
// The real file system it passes calls to, made before the wrapper that needs it.
struct RealFileSystemHolder {
  std::unique_ptr<platform::FileSystem> real_ = platform::MakeRealFileSystem();
};

class RecordingFileSystem final : private RealFileSystemHolder, public platform::FileSystemWrapper {
 public:
  using Fault = std::function<std::error_code(const std::string& call)>;
  using Hook = std::function<void(const std::string& call)>;

  explicit RecordingFileSystem(std::u16string root);
  ~RecordingFileSystem() override;

  Fault fault = [](const std::string&) { return std::error_code(); };
  Hook before = [](const std::string&) {};
  Hook after = [](const std::string&) {};

  // Every call so far, failed ones marked " [failed]".
  std::vector<std::string> Calls() const;
  void Clear();

  // What changed the trees, in order, as the dry run prints it: "mkdir P", "copy FROM -> TO" (a
  // copy written under a temporary name, at the moment it was written; "-> (not put in place)"
  // when it was not), "move FROM -> TO" (a clip given its marked name), "delete P", "rmdir P",
  // "remove-leftover P".
  std::vector<std::string> Changes() const;

  // A path as the lines show it.
  std::u16string Show(std::u16string path) const;
  // A line of the dry run (real paths, UTF-8) as these lines show it.
  std::string ShowLine(const std::string& line) const;

  std::error_code ListFolder(const std::u16string& folder, std::vector<platform::FolderEntry>& entries) override;
  std::error_code GetStatus(const std::u16string& path, platform::FileStatus& status) override;
  std::error_code GetLinkStatus(const std::u16string& path, platform::FileStatus& status) override;
  std::error_code FreeSpace(const std::u16string& folder, std::uint64_t& bytes) override;
  std::error_code FoldsCase(const std::u16string& folder, bool& folds) override;
  std::error_code DescribeVolume(const std::u16string& folder, platform::VolumeFacts& facts) override;
  std::error_code ResolvePath(const std::u16string& path, std::u16string& resolved) override;
  std::error_code LockFolder(const std::u16string& folder, std::unique_ptr<platform::FolderLock>& lock) override;
  std::error_code OpenForReading(const std::u16string& path, std::unique_ptr<platform::OpenFile>& file) override;
  std::error_code OpenFromDisk(const std::u16string& path, std::unique_ptr<platform::OpenFile>& file) override;
  std::error_code CreateTemporary(const std::u16string& folder, std::u16string& path,
                                  std::unique_ptr<platform::OpenFile>& file) override;
  std::error_code OpenForWriting(const std::u16string& path, std::unique_ptr<platform::OpenFile>& file) override;
  std::error_code CopyToNewFile(const std::u16string& from, const std::u16string& to,
                                const std::function<bool(std::uint64_t)>& progress,
                                std::unique_ptr<platform::OpenFile>& file, platform::ContentHasher* hasher) override;
  std::u16string NewTemporaryPath(const std::u16string& folder) override;
  std::error_code MakeFolder(const std::u16string& path) override;
  std::error_code RenameNoReplace(const std::u16string& from, const std::u16string& to) override;
  std::error_code MoveReplacing(const std::u16string& from, const std::u16string& to) override;
  std::error_code RemoveFile(const std::u16string& path) override;
  std::error_code RemoveEmptyFolder(const std::u16string& path) override;
  std::error_code RemoveLeftover(const std::u16string& path) override;
  std::error_code FlushFolders(const std::vector<std::u16string>& folders) override;

  // For the open files it hands out.
  std::string Line(const char* verb, const std::u16string& path, const std::u16string& to = {}) const;
  template <typename Call>
  std::error_code Run(const std::string& line, Call call) {
    before(line);
    if (const std::error_code injected = fault(line)) {
      Note(line + " [failed]");
      return injected;
    }
    Note(line);
    const std::error_code error = call();
    after(line);
    return error;
  }

 private:
  struct CopyRecord {
    std::u16string from;
    std::u16string to;  // empty until it is put in place
  };
  void Note(const std::string& line);
  void NoteChange(std::string line);
  void NoteCopy(const std::u16string& from, const std::u16string& temporary);
  std::error_code Wrap(const std::u16string& path, std::error_code error, std::unique_ptr<platform::OpenFile>& file);

  std::u16string root_;
  mutable std::mutex mutex_;
  std::vector<std::string> calls_;
  std::vector<std::string> changes_;                       // a copy's entry is empty: see copies_
  std::map<std::size_t, CopyRecord> copies_;               // by its place in changes_
  std::map<std::u16string, std::size_t> copyOfTemporary_;  // a temporary's copy
  std::map<std::thread::id, std::u16string> lastRead_;     // the file each thread opened last
};

}  // namespace marlowin::testing
