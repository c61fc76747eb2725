#pragma once

// The file system of a pass, held to the two folders it started with. A folder chosen is a path
// only: a disk that is pulled or unmounted leaves its mount point behind, an empty folder of the
// system disk, and another disk may be mounted there. Every call under a held folder first makes
// sure that the path still leads to the folder held (its volume and file id), and a call that
// makes something checks again after it and takes back what it made when the folder changed
// meanwhile: nothing is ever left beneath a mount point. Once a held folder is found gone, every
// call under it fails with the reason (Errc::kDestinationGone, Errc::kBackupGone,
// Errc::kStartingFolderGone), and no clip is marked after it; a starting folder gone fails every
// call. A destination gone stops only its own copies: the other destination's go on.
//
// In the copy to folder no call goes through a link: a folder on the way (or, for what is opened,
// the file itself) that is a link fails with Errc::kThroughLink, so nothing outside the folder is
// written or proven in its place.
#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/FileSystem.h"

namespace marlowin::pass {

class GuardedFileSystem final : public platform::FileSystemWrapper {
 public:
  explicit GuardedFileSystem(platform::FileSystem& inner) : FileSystemWrapper(inner), inner_(inner) {}

  enum class Role { kStartingFolder, kDestination, kBackup };

  // Holds `folder` as it is now (looked up through `inner`). Call before the pass begins, from
  // one thread; nothing under a folder is guarded until it is held.
  [[nodiscard]] std::error_code Hold(const std::u16string& folder, Role role);

  // Why the pass must stop: the starting folder gone, or every destination; empty else.
  std::error_code Gone() const;
  // Each held folder found gone, with the reason, in the order they were held.
  std::vector<std::pair<std::u16string, std::error_code>> GoneFolders() const;
  // The reason the folder held in `role` is gone; empty while it is there.
  std::error_code GoneOf(Role role) const;

  std::error_code ListFolder(const std::u16string& folder, std::vector<platform::FolderEntry>& entries) override;
  // Looking is not held back. A look at what should be there (GetStatus: a clip, a folder held)
  // that fails asks whether its folder is still there; GetLinkStatus asks whether a name is
  // taken, where "not there" is the common answer, and is passed on as it is.
  std::error_code GetStatus(const std::u16string& path, platform::FileStatus& status) override {
    return Failed(path, inner_.GetStatus(path, status));
  }
  std::error_code OpenForReading(const std::u16string& path, std::unique_ptr<platform::OpenFile>& file) override;
  std::error_code OpenFromDisk(const std::u16string& path, std::unique_ptr<platform::OpenFile>& file) override;
  std::error_code CreateTemporary(const std::u16string& folder, std::u16string& path,
                                  std::unique_ptr<platform::OpenFile>& file) override;
  std::error_code OpenForWriting(const std::u16string& path, std::unique_ptr<platform::OpenFile>& file) override;
  std::error_code CopyToNewFile(const std::u16string& from, const std::u16string& to,
                                const std::function<bool(std::uint64_t)>& progress,
                                std::unique_ptr<platform::OpenFile>& file, platform::ContentHasher* hasher) override;
  std::error_code MakeFolder(const std::u16string& path) override;
  std::error_code RenameNoReplace(const std::u16string& from, const std::u16string& to) override;
  std::error_code MoveReplacing(const std::u16string& from, const std::u16string& to) override;
  std::error_code RemoveFile(const std::u16string& path) override;
  std::error_code RemoveEmptyFolder(const std::u16string& path) override;
  std::error_code RemoveLeftover(const std::u16string& path) override;
  std::error_code FlushFolders(const std::vector<std::u16string>& folders) override;

 private:
  struct Held {
    std::u16string prefix;  // the folder and a separator
    std::uint64_t volume = 0;
    std::uint64_t fileId = 0;
    std::error_code gone;   // the reason when it is not there any more
    bool destination = false;
    Role role = Role::kStartingFolder;
    std::u16string folder;  // as given
  };
  static constexpr std::size_t kMostHeld = 3;  // the starting folder and two destinations

  // How much of a path must not be a link: the folders on its way, those and the path itself, or
  // nothing (a read of a file the pass made or the plan looked at, where a look-up per step
  // would cost more than the copy of a small clip).
  enum class Links { kFoldersOnTheWay, kWholePath, kNone };

  // Before a call on `path`: the held folders still there, and no link on its way in the copy to
  // folder. Empty when the call may go ahead.
  // `marks`: a clip is given its marked name, which needs every held destination too.
  std::error_code Before(const std::u16string& path, Links links, bool marks = false);
  // After a call that made `path`: empty when the folders are still held; else the reason, and
  // what was made is to be taken back.
  std::error_code After(const std::u16string& path);
  // A call on `path` that failed: the reason is the folder gone when it is (a disk pulled while a
  // file of it was being opened says "No such file or directory", not why), else its own.
  std::error_code Failed(const std::u16string& path, std::error_code error);
  std::error_code CheckHeld(const Held& held);
  std::error_code CheckLinks(const Held& held, const std::u16string& path, Links links);
  const Held* Under(const std::u16string& path) const;

  platform::FileSystem& inner_;
  std::vector<Held> held_;     // set up before the pass, read-only after: calls come from two threads
  std::array<std::atomic<bool>, kMostHeld> gone_{};  // by held folder: found gone, for good
};

}  // namespace marlowin::pass
