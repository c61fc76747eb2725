// The check of a tree against its history: the recorded files looked up and then read back
// past the cache, in path order, while the next ones are read ahead; the adl and int folders
// walked for files the history does not know.
#include "collector/check/CheckTree.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <set>

#include "collector/naming/NamingRules.h"
#include "collector/check/ReadAhead.h"
#include "history/HistoryFolder.h"
#include "history/LatestEntries.h"
#include "platform/ContentHash.h"
#include "platform/Errors.h"
#include "platform/NativeName.h"
#include "platform/Paths.h"

namespace marlowin::check {
namespace {

// The parts of a history's path, each a name of this platform, or none when the path would
// lead outside the folder. Besides what ASC MHL refuses ("..", "." and absolute paths), Windows
// reads '\' as a separator and ':' as a drive or a stream, and drops a trailing '.' or ' ' from
// a name (".. " would be "..").
std::optional<std::vector<std::u16string_view>> PartsBelow(std::u16string_view mhlPath) {
  if (!history::IsMhlPath(mhlPath)) return std::nullopt;
  std::vector<std::u16string_view> parts;
  for (std::size_t start = 0; start <= mhlPath.size();) {
    const std::size_t end = std::min(mhlPath.find(u'/', start), mhlPath.size());
    const std::u16string_view part = mhlPath.substr(start, end - start);
    if (part.find(platform::kPathSeparator) != std::u16string_view::npos) return std::nullopt;
#ifdef _WIN32
    if (part.find(u':') != std::u16string_view::npos || part.back() == u'.' || part.back() == u' ') return std::nullopt;
#endif
    parts.push_back(part);
    start = end + 1;
  }
  return parts;
}

// How a file's path is matched against the history's: as the folder's file system matches names.
std::u16string Key(std::u16string_view path, bool foldsCase) {
  return foldsCase ? platform::FoldAToZ(path) : std::u16string(path);
}

CheckedFile FileAt(std::u16string path, FileVerdict verdict) {
  CheckedFile file;
  file.path = std::move(path);
  file.verdict = verdict;
  return file;
}

class Checker {
 public:
  Checker(platform::FileSystem& fs, TreeCheck& check, CheckObserver* observer)
      : fs_(fs), check_(check), observer_(observer) {}

  void Run();

 private:
  // Looks up the file and the folders on its way; true when it is to be read.
  bool LookUp(CheckedFile& file, std::u16string& path);
  // Looks up a folder below the check's folder once; the verdict for the files in it.
  FileVerdict LookUpFolder(const std::u16string& path, std::error_code& reason);
  void ReadBack(std::vector<CheckedFile*>& files, std::vector<std::u16string> paths);
  // The files below `folder` (`relative` in the tree; empty for the tree itself) that no
  // generation records.
  void FindUnrecorded(const std::u16string& folder, const std::u16string& relative);
  bool Stopped();
  void Report(const std::u16string& current);

  platform::FileSystem& fs_;
  TreeCheck& check_;
  CheckObserver* observer_;
  bool foldsCase_ = false;
  std::set<std::u16string> recorded_;                 // Key() of every recorded path
  std::map<std::u16string, std::pair<FileVerdict, std::error_code>> folders_;  // looked up
  std::atomic<bool> stop_{false};
  CheckProgress progress_;
};

bool Checker::Stopped() {
  if (!stop_ && observer_ && observer_->StopRequested()) stop_ = true;
  return stop_;
}

void Checker::Report(const std::u16string& current) {
  if (!observer_) return;
  progress_.currentFile = current;
  observer_->OnProgress(progress_);
}

FileVerdict Checker::LookUpFolder(const std::u16string& path, std::error_code& reason) {
  const auto known = folders_.find(path);
  if (known != folders_.end()) {
    reason = known->second.second;
    return known->second.first;
  }
  platform::FileStatus status;
  FileVerdict verdict = FileVerdict::kProven;  // for now: the files in it are looked up next
  reason = fs_.GetLinkStatus(path, status);
  if (reason == std::errc::no_such_file_or_directory || reason == std::errc::not_a_directory) {
    verdict = FileVerdict::kMissing;
    reason.clear();
  } else if (reason) {
    verdict = FileVerdict::kUnreadable;
  } else if (status.type == platform::FileType::kLink) {
    verdict = FileVerdict::kThroughLink;
  } else if (status.type != platform::FileType::kFolder) {
    verdict = FileVerdict::kMissing;
  }
  folders_.emplace(path, std::make_pair(verdict, reason));
  return verdict;
}

bool Checker::LookUp(CheckedFile& file, std::u16string& path) {
  const auto parts = PartsBelow(file.path);
  if (!parts) {
    file.verdict = FileVerdict::kRefused;
    return false;
  }
  // Every folder on the way must be a folder of the tree, not a link out of it.
  path = check_.folder;
  for (std::size_t i = 0; i + 1 < parts->size(); ++i) {
    path = platform::JoinPath(path, (*parts)[i]);
    const FileVerdict verdict = LookUpFolder(path, file.reason);
    if (verdict != FileVerdict::kProven) {
      file.verdict = verdict;
      return false;
    }
  }
  path = platform::JoinPath(path, parts->back());
  platform::FileStatus status;
  if (const std::error_code error = fs_.GetLinkStatus(path, status)) {
    if (error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory) {
      file.verdict = FileVerdict::kMissing;
    } else {
      file.verdict = FileVerdict::kUnreadable;
      file.reason = error;
    }
    return false;
  }
  if (status.type == platform::FileType::kLink) {
    file.verdict = FileVerdict::kThroughLink;
    return false;
  }
  if (status.type != platform::FileType::kFile) {
    file.verdict = FileVerdict::kUnreadable;
    file.reason = platform::Errc::kNotARegularFile;
    return false;
  }
  file.foundSize = status.size;
  if (file.recordedSize && *file.recordedSize != status.size) {
    file.verdict = FileVerdict::kChanged;  // no need to read it to know
    return false;
  }
  if (file.recordedHash.empty()) {
    file.verdict = FileVerdict::kNoHash;
    return false;
  }
  return true;
}

void Checker::ReadBack(std::vector<CheckedFile*>& files, std::vector<std::u16string> paths) {
  progress_.stage = CheckProgress::Stage::kReadingFiles;
  progress_.filesTotal = files.size();
  for (const CheckedFile* file : files) progress_.bytesTotal += *file->foundSize;
  Report({});
  const std::vector<std::u16string> shown = paths;
  ReadAhead reader(fs_, std::move(paths), stop_);
  std::unique_ptr<platform::ContentHasher> hasher;
  ReadAhead::Piece piece;
  while (!Stopped() && reader.Next(piece)) {
    if (!hasher) hasher = std::make_unique<platform::ContentHasher>();
    CheckedFile& file = *files[piece.file];
    if (!piece.end) {
      hasher->Update(piece.data, piece.size);
      check_.bytesRead += piece.size;
      progress_.bytesDone += piece.size;
      Report(shown[piece.file]);
      continue;
    }
    if (piece.error) {
      file.verdict = FileVerdict::kUnreadable;
      file.reason = piece.error;
    } else {
      file.foundHash = hasher->Hex();
      file.verdict = file.foundHash == file.recordedHash ? FileVerdict::kProven : FileVerdict::kChanged;
    }
    hasher.reset();
    ++progress_.filesDone;
  }
}

void Checker::FindUnrecorded(const std::u16string& folder, const std::u16string& relative) {
  std::error_code error;
  if (!relative.empty()) {
    platform::FileStatus status;
    error = fs_.GetLinkStatus(folder, status);
    // A link to a folder leads out of the tree: what lies there is not the tree's.
    if (!error && status.type != platform::FileType::kFolder) return;
  }
  std::vector<platform::FolderEntry> entries;
  if (!error) error = fs_.ListFolder(folder, entries);
  if (error) {
    CheckedFile unlisted = FileAt(relative, FileVerdict::kUnlisted);
    unlisted.reason = error;
    check_.files.push_back(std::move(unlisted));
    return;
  }
  for (const platform::FolderEntry& entry : entries) {
    // The program's own temporaries are a pass's leftovers, not files of the tree.
    if (platform::IsTemporaryName(entry.name)) continue;
    const std::u16string inTree = relative.empty() ? entry.name : relative + u'/' + entry.name;
    if (relative.empty() && !(entry.isFolder && naming::IsCollectedFolderName(entry.name))) continue;
    if (entry.isFolder) {
      FindUnrecorded(platform::JoinPath(folder, entry.name), inTree);
    } else if (!recorded_.contains(Key(inTree, foldsCase_))) {
      check_.files.push_back(FileAt(inTree, FileVerdict::kUnrecorded));
    }
  }
}

void Checker::Run() {
  platform::FileStatus status;
  std::error_code error = fs_.GetStatus(check_.folder, status);
  if (!error && status.type != platform::FileType::kFolder) error = std::make_error_code(std::errc::not_a_directory);
  if (error) {
    check_.outcome = CheckOutcome::kFolderMissing;
    check_.historyFailure = {error, platform::ToDisplay(check_.folder)};
    return;
  }
  history::Result<history::History> read = history::ReadHistoryFolder(fs_, check_.folder);
  if (!read) {
    check_.historyFailure = read.failure();
    check_.outcome = read.error() == history::HistoryErrc::kNoHistory ? CheckOutcome::kNoHistory
                                                                       : CheckOutcome::kHistoryUnreadable;
    return;
  }
  check_.generations = read.value().generations.size();
  if (fs_.FoldsCase(check_.folder, foldsCase_)) foldsCase_ = true;
  for (const auto& [path, latest] : history::LatestEntries(read.value())) {
    CheckedFile file = FileAt(path, FileVerdict::kNotChecked);
    file.sequence = latest.sequence;
    file.recordedSize = latest.entry.size;
    file.recordedHash = latest.entry.xxh128;
    check_.files.push_back(std::move(file));
    recorded_.insert(Key(path, foldsCase_));
  }
  std::vector<CheckedFile*> toRead;
  std::vector<std::u16string> paths;
  for (CheckedFile& file : check_.files) {
    std::u16string path;
    if (LookUp(file, path)) {
      toRead.push_back(&file);
      paths.push_back(std::move(path));
    }
  }
  ReadBack(toRead, std::move(paths));
  if (stop_) {
    check_.outcome = CheckOutcome::kCancelled;
    return;
  }
  FindUnrecorded(check_.folder, {});  // of the folder itself, only its adl and int folders
  check_.outcome = check_.Failures() > 0 ? CheckOutcome::kNotProven : CheckOutcome::kProven;
}

}  // namespace

std::size_t TreeCheck::Count(FileVerdict verdict) const {
  return static_cast<std::size_t>(
      std::count_if(files.begin(), files.end(), [verdict](const CheckedFile& f) { return f.verdict == verdict; }));
}

std::size_t TreeCheck::Warnings() const {
  return static_cast<std::size_t>(
      std::count_if(files.begin(), files.end(), [](const CheckedFile& f) { return f.IsWarning(); }));
}

std::size_t TreeCheck::Recorded() const { return files.size() - Warnings(); }

std::size_t TreeCheck::Failures() const {
  return static_cast<std::size_t>(
      std::count_if(files.begin(), files.end(), [](const CheckedFile& f) { return f.IsFailure(); }));
}

TreeCheck CheckTree(platform::FileSystem& fs, const std::u16string& folder, CheckObserver* observer) {
  TreeCheck check;
  check.folder = folder;
  Checker(fs, check, observer).Run();
  if (observer) {
    CheckProgress done;
    done.stage = CheckProgress::Stage::kDone;
    observer->OnProgress(done);
  }
  return check;
}

int CheckExitStatus(const TreeCheck& check) {
  switch (check.outcome) {
    case CheckOutcome::kProven: return 0;
    case CheckOutcome::kNotProven: return 1;
    case CheckOutcome::kNoHistory:
    case CheckOutcome::kHistoryUnreadable:
    case CheckOutcome::kFolderMissing: return 2;
    case CheckOutcome::kCancelled: return 130;
  }
  return 1;
}

}  // namespace marlowin::check
