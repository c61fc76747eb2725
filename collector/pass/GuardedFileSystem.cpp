#include "collector/pass/GuardedFileSystem.h"

#include "platform/Errors.h"
#include "platform/Paths.h"

namespace marlowin::pass {
namespace {

bool IsSeparator(char16_t c) { return c == platform::kPathSeparator || c == u'/'; }

}  // namespace

std::error_code GuardedFileSystem::Hold(const std::u16string& folder, Role role) {
  platform::FileStatus status;
  if (const std::error_code error = inner_.GetStatus(folder, status)) return error;
  Held held;
  held.prefix = platform::JoinPath(folder, u"");
  held.volume = status.volume;
  held.fileId = status.fileId;
  held.gone = role == Role::kDestination ? platform::Errc::kDestinationGone
              : role == Role::kBackup      ? platform::Errc::kBackupGone
                                           : platform::Errc::kStartingFolderGone;
  held.destination = role != Role::kStartingFolder;
  held.role = role;
  held.folder = folder;
  if (held_.size() == kMostHeld) return std::make_error_code(std::errc::invalid_argument);
  held_.push_back(std::move(held));
  return {};
}

std::error_code GuardedFileSystem::Gone() const {
  std::error_code firstDestination;
  bool everyDestination = true;
  for (std::size_t i = 0; i < held_.size(); ++i) {
    const bool gone = gone_[i].load();
    if (!held_[i].destination && gone) return held_[i].gone;
    if (held_[i].destination) {
      everyDestination = everyDestination && gone;
      if (gone && !firstDestination) firstDestination = held_[i].gone;
    }
  }
  return everyDestination ? firstDestination : std::error_code();
}

std::vector<std::pair<std::u16string, std::error_code>> GuardedFileSystem::GoneFolders() const {
  std::vector<std::pair<std::u16string, std::error_code>> gone;
  for (std::size_t i = 0; i < held_.size(); ++i) {
    if (gone_[i].load()) gone.emplace_back(held_[i].folder, held_[i].gone);
  }
  return gone;
}

std::error_code GuardedFileSystem::GoneOf(Role role) const {
  for (std::size_t i = 0; i < held_.size(); ++i) {
    if (held_[i].role == role && gone_[i].load()) return held_[i].gone;
  }
  return {};
}

const GuardedFileSystem::Held* GuardedFileSystem::Under(const std::u16string& path) const {
  // The longest prefix: a starting folder may be a folder of the copy to folder's disk, never
  // inside it (the pass refuses that), but the check costs nothing.
  const Held* under = nullptr;
  for (const Held& held : held_) {
    const bool inside = path.size() > held.prefix.size() && path.starts_with(held.prefix);
    const bool itself = path.size() + 1 == held.prefix.size() && held.prefix.starts_with(path);
    if ((inside || itself) && (!under || held.prefix.size() > under->prefix.size())) {
      under = &held;
    }
  }
  return under;
}

std::error_code GuardedFileSystem::CheckHeld(const Held& held) {
  platform::FileStatus now;
  const std::u16string folder = held.prefix.substr(0, held.prefix.size() - 1);
  if (!inner_.GetStatus(folder, now) && now.type == platform::FileType::kFolder && now.volume == held.volume &&
      now.fileId == held.fileId) {
    return {};
  }
  // Gone for good: a folder that comes back is not trusted again within this pass.
  gone_[static_cast<std::size_t>(&held - held_.data())] = true;
  return held.gone;
}

std::error_code GuardedFileSystem::CheckLinks(const Held& held, const std::u16string& path, Links links) {
  // Only the copy to folder: the starting folder's links (a card mounted through one, a shot
  // folder linked in) are the person's choice of what to collect.
  if (!held.destination || links == Links::kNone) return {};
  std::size_t end = path.size();
  if (end < held.prefix.size()) return {};  // the folder itself
  if (links == Links::kFoldersOnTheWay) {
    while (end > held.prefix.size() && !IsSeparator(path[end - 1])) --end;
  }
  for (std::size_t at = held.prefix.size(); at < end;) {
    std::size_t next = at;
    while (next < end && !IsSeparator(path[next])) ++next;
    if (next > at) {
      platform::FileStatus status;
      // What is not there is no link; the call itself says what is missing.
      if (inner_.GetLinkStatus(path.substr(0, next), status)) return {};
      if (status.type == platform::FileType::kLink) return platform::Errc::kThroughLink;
    }
    at = next + 1;
  }
  return {};
}

std::error_code GuardedFileSystem::Before(const std::u16string& path, Links links, bool marks) {
  const Held* under = Under(path);
  if (!under) return {};
  for (std::size_t i = 0; i < held_.size(); ++i) {
    // The starting folder gone ends everything; a destination gone, only its own calls.
    if (gone_[i].load() && (!held_[i].destination || &held_[i] == under || (marks && !under->destination))) {
      return held_[i].gone;
    }
  }
  // A read of the pass's own copy or of a clip is not looked at first: it fails on a disk that
  // went, and what it read counts only once a step that writes or marks has looked.
  if (links == Links::kNone) return {};
  if (const std::error_code error = CheckHeld(*under)) return error;
  // A mark in the starting folder needs the copies where they were proven.
  for (const Held& held : held_) {
    if (marks && !under->destination && &held != under && held.destination) {
      if (const std::error_code error = CheckHeld(held)) return error;
    }
  }
  return CheckLinks(*under, path, links);
}

std::error_code GuardedFileSystem::After(const std::u16string& path) {
  const Held* under = Under(path);
  if (!under) return {};
  return CheckHeld(*under);
}

std::error_code GuardedFileSystem::Failed(const std::u16string& path, std::error_code error) {
  if (!error || error.category() == platform::MarlowinCategory()) return error;
  const Held* under = Under(path);
  if (!under) return error;
  const std::error_code gone = CheckHeld(*under);
  return gone ? gone : error;
}

std::error_code GuardedFileSystem::ListFolder(const std::u16string& folder, std::vector<platform::FolderEntry>& entries) {
  if (const std::error_code error = Before(folder, Links::kWholePath)) return error;
  return Failed(folder, inner_.ListFolder(folder, entries));
}

std::error_code GuardedFileSystem::OpenForReading(const std::u16string& path, std::unique_ptr<platform::OpenFile>& file) {
  if (const std::error_code error = Before(path, Links::kWholePath)) return error;
  return Failed(path, inner_.OpenForReading(path, file));
}

std::error_code GuardedFileSystem::OpenFromDisk(const std::u16string& path, std::unique_ptr<platform::OpenFile>& file) {
  // The proof of a copy: the plan looked at its name, or the pass made it.
  if (const std::error_code error = Before(path, Links::kNone)) return error;
  return Failed(path, inner_.OpenFromDisk(path, file));
}

std::error_code GuardedFileSystem::CreateTemporary(const std::u16string& folder, std::u16string& path,
                                                   std::unique_ptr<platform::OpenFile>& file) {
  if (const std::error_code error = Before(folder, Links::kWholePath)) return error;
  if (const std::error_code error = inner_.CreateTemporary(folder, path, file)) return Failed(folder, error);
  if (const std::error_code gone = After(folder)) {
    (void)file->Close();  // made where the folder is not: taken back
    file.reset();
    (void)inner_.RemoveFile(path);
    path.clear();
    return gone;
  }
  return {};
}

std::error_code GuardedFileSystem::OpenForWriting(const std::u16string& path, std::unique_ptr<platform::OpenFile>& file) {
  if (const std::error_code error = Before(path, Links::kWholePath)) return error;
  return Failed(path, inner_.OpenForWriting(path, file));
}

std::error_code GuardedFileSystem::CopyToNewFile(const std::u16string& from, const std::u16string& to,
                                                 const std::function<bool(std::uint64_t)>& progress,
                                                 std::unique_ptr<platform::OpenFile>& file, platform::ContentHasher* hasher) {
  if (const std::error_code error = Before(from, Links::kNone)) return error;  // a clip, or the pass's own copy
  if (const std::error_code error = Before(to, Links::kFoldersOnTheWay)) return error;
  if (const std::error_code error = inner_.CopyToNewFile(from, to, progress, file, hasher)) {
    const std::error_code gone = Failed(from, error);
    return gone != error ? gone : Failed(to, error);
  }
  if (const std::error_code gone = After(to)) {
    (void)file->Close();
    file.reset();
    (void)inner_.RemoveFile(to);
    return gone;
  }
  return {};
}

std::error_code GuardedFileSystem::MakeFolder(const std::u16string& path) {
  if (const std::error_code error = Before(path, Links::kFoldersOnTheWay)) return error;
  const std::error_code made = inner_.MakeFolder(path);
  if (const std::error_code gone = After(path)) {
    if (!made) (void)inner_.RemoveEmptyFolder(path);
    return gone;
  }
  return made == std::errc::file_exists ? made : Failed(path, made);
}

std::error_code GuardedFileSystem::RenameNoReplace(const std::u16string& from, const std::u16string& to) {
  // A new name in the same folder (a mark, a file put in place) is looked at once.
  if (const std::error_code error = Before(to, Links::kFoldersOnTheWay, true)) return error;
  if (platform::FolderOf(from) != platform::FolderOf(to)) {
    if (const std::error_code error = Before(from, Links::kFoldersOnTheWay)) return error;
  }
  const std::error_code error = inner_.RenameNoReplace(from, to);
  return error == std::errc::file_exists ? error : Failed(from, error);
}

std::error_code GuardedFileSystem::MoveReplacing(const std::u16string& from, const std::u16string& to) {
  if (const std::error_code error = Before(to, Links::kFoldersOnTheWay)) return error;
  if (platform::FolderOf(from) != platform::FolderOf(to)) {
    if (const std::error_code error = Before(from, Links::kFoldersOnTheWay)) return error;
  }
  return Failed(to, inner_.MoveReplacing(from, to));
}

std::error_code GuardedFileSystem::RemoveFile(const std::u16string& path) {
  if (const std::error_code error = Before(path, Links::kFoldersOnTheWay)) return error;
  return Failed(path, inner_.RemoveFile(path));
}

std::error_code GuardedFileSystem::RemoveEmptyFolder(const std::u16string& path) {
  if (const std::error_code error = Before(path, Links::kFoldersOnTheWay)) return error;
  return Failed(path, inner_.RemoveEmptyFolder(path));
}

std::error_code GuardedFileSystem::RemoveLeftover(const std::u16string& path) {
  if (const std::error_code error = Before(path, Links::kFoldersOnTheWay)) return error;
  return Failed(path, inner_.RemoveLeftover(path));
}

std::error_code GuardedFileSystem::FlushFolders(const std::vector<std::u16string>& folders) {
  for (const std::u16string& folder : folders) {
    if (const std::error_code error = Before(folder, Links::kWholePath)) return error;
  }
  const std::error_code error = inner_.FlushFolders(folders);
  return error && !folders.empty() ? Failed(folders.front(), error) : error;
}

}  // namespace marlowin::pass
