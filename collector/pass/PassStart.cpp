// Before a pass: the two folders looked up, found apart and held against other passes, and the
// starting folder listed; once the plan is built, the room on each destination volume. A
// refusal is the report's outcome, with its reason, and nothing is changed.
#include "collector/pass/PassStart.h"

#include <tuple>

#include "platform/Errors.h"
#include "platform/Paths.h"

namespace marlowin::pass {
namespace {

// Room kept free beyond the copies' bytes: the folders' entries and the record of the pass.
std::uint64_t Margin(const plan::PlannedVolume& volume) {
  return (1ull << 20) + 4096ull * volume.foldersToMake + 1024ull * volume.copiesToWrite;
}

class PassStart {
 public:
  PassStart(platform::FileSystem& fs, report::PassReport& report) : fs_(fs), report_(report) {}

  // The folders checked and held, and the starting folder listed; false when the pass cannot
  // start, with the outcome and its reason in the report.
  bool Open(std::vector<std::unique_ptr<platform::FolderLock>>& locks, std::vector<platform::FolderEntry>& entries) {
    const std::u16string& start = report_.startingFolder;
    const std::u16string& destination = report_.destinationFolder;
    platform::FileStatus startStatus;
    std::error_code error = fs_.GetStatus(start, startStatus);
    if (!error && startStatus.type != platform::FileType::kFolder) error = std::make_error_code(std::errc::not_a_directory);
    if (error) return Refuse(report::Outcome::kStartingFolderMissing, report::Operation::kListStartingFolder, start, error);
    platform::FileStatus destinationStatus;
    error = fs_.GetStatus(destination, destinationStatus);
    if (!error && destinationStatus.type != platform::FileType::kFolder) {
      error = std::make_error_code(std::errc::not_a_directory);
    }
    if (error) return Refuse(report::Outcome::kDestinationFolderMissing, report::Operation::kOpenDestination, destination, error);
    if (!Apart(startStatus, destinationStatus)) return false;
    const std::u16string& backup = report_.backupFolder;
    if (!backup.empty() && !BackupApart(startStatus, destinationStatus)) return false;

    // One pass at a time over the same clips and into the same folders. Only a lock that
    // another pass holds means "in use"; a folder that cannot be opened is not accessible.
    const auto hold = [&](const std::u16string& folder, report::Outcome notAccessible) {
      locks.emplace_back();
      const std::error_code locked = fs_.LockFolder(folder, locks.back());
      if (!locked) return true;
      return Refuse(locked == platform::Errc::kFolderInUse ? report::Outcome::kFolderInUse : notAccessible, report::Operation::kLockFolder, folder,
                    locked);
    };
    if (!hold(start, report::Outcome::kStartingFolderMissing) || !hold(destination, report::Outcome::kDestinationFolderMissing) ||
        (!backup.empty() && !hold(backup, report::Outcome::kBackupFolderMissing))) {
      return false;
    }
    if ((error = fs_.ListFolder(start, entries))) {
      return Refuse(report::Outcome::kStartingFolderMissing, report::Operation::kListStartingFolder, start, error);
    }
    return true;
  }

  // The two folders must be apart: a copy inside the starting folder lies on the card that is
  // cleared once its clips carry the mark. Compared as the file system resolves them (links;
  // on Windows also case and short names).
  bool Apart(const platform::FileStatus& start, const platform::FileStatus& destination) {
    std::u16string from, to;
    if (const std::error_code error = fs_.ResolvePath(report_.startingFolder, from)) {
      return Refuse(report::Outcome::kStartingFolderMissing, report::Operation::kListStartingFolder, report_.startingFolder, error);
    }
    if (const std::error_code error = fs_.ResolvePath(report_.destinationFolder, to)) {
      return Refuse(report::Outcome::kDestinationFolderMissing, report::Operation::kOpenDestination, report_.destinationFolder, error);
    }
#ifdef _WIN32
    from = platform::FoldAToZ(from);
    to = platform::FoldAToZ(to);
#endif
    const auto inside = [](const std::u16string& inner, std::u16string outer) {
      if (outer.empty() || (outer.back() != u'/' && outer.back() != u'\\')) outer.push_back(platform::kPathSeparator);
      return inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0;
    };
    report::Outcome refused = report::Outcome::kComplete;
    if (start.IsSameFileAs(destination) || from == to) {
      refused = report::Outcome::kSameFolder;
    } else if (inside(to, from)) {
      refused = report::Outcome::kDestinationInside;
    } else if (inside(from, to)) {
      refused = report::Outcome::kStartInside;
    }
    if (refused == report::Outcome::kComplete) return true;
    report_.outcome = refused;
    return false;
  }

  // The backup folder is checked as the copy to folder is, and must lie apart from both other
  // folders: a backup inside the card is cleared with it, one inside the copy to folder is no
  // second copy. On the copy to folder's own disk it is allowed, with a warning.
  bool BackupApart(const platform::FileStatus& start, const platform::FileStatus& destination) {
    const std::u16string& backup = report_.backupFolder;
    platform::FileStatus status;
    std::error_code error = fs_.GetStatus(backup, status);
    if (!error && status.type != platform::FileType::kFolder) error = std::make_error_code(std::errc::not_a_directory);
    std::u16string resolved, from, to;
    if (!error) error = fs_.ResolvePath(backup, resolved);
    if (error) return Refuse(report::Outcome::kBackupFolderMissing, report::Operation::kOpenBackup, backup, error);
    if (fs_.ResolvePath(report_.startingFolder, from) || fs_.ResolvePath(report_.destinationFolder, to)) return true;
#ifdef _WIN32
    resolved = platform::FoldAToZ(resolved);
    from = platform::FoldAToZ(from);
    to = platform::FoldAToZ(to);
#endif
    std::u16string refusal;
    for (const auto& [other, status2, name] :
         {std::tuple(from, start, u"the starting folder"), std::tuple(to, destination, u"the copy to folder")}) {
      const std::u16string what(name);
      if (status.IsSameFileAs(status2) || resolved == other) {
        refusal = u"is " + what;
      } else if (Inside(resolved, other)) {
        refusal = u"lies inside " + what;
      } else if (Inside(other, resolved)) {
        refusal = u"holds " + what;
      }
      if (!refusal.empty()) break;
    }
    if (!refusal.empty()) {
      Refuse(report::Outcome::kBackupInside, report::Operation::kBackupPlace, backup, {});
      report_.problems.back().rule = u"the backup folder " + refusal + u": it must lie apart from it";
      return false;
    }
    if (status.volume == destination.volume) {
      report::Problem& problem = report_.problems.emplace_back();
      problem.operation = report::Operation::kSameDisk;
      problem.path = backup;
      problem.other = report_.destinationFolder;
    }
    return true;
  }

  static bool Inside(const std::u16string& inner, std::u16string outer) {
    if (outer.empty() || (outer.back() != u'/' && outer.back() != u'\\')) outer.push_back(platform::kPathSeparator);
    return inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0;
  }

  bool Refuse(report::Outcome outcome, report::Operation operation, const std::u16string& path, std::error_code reason) {
    report_.outcome = outcome;
    report::Problem& problem = report_.problems.emplace_back();
    problem.failure = true;
    problem.operation = operation;
    problem.path = path;
    problem.reason = reason;
    return false;
  }

  // Every volume must take its copies before the first byte is written. The report keeps the
  // tightest volume's figures, or the one that has no room.
  bool HasRoom(const plan::Plan& plan_) {
    for (const plan::PlannedVolume& volume : plan_.volumes) {
      if (volume.bytesToWrite == 0) continue;
      std::uint64_t free = 0;
      if (fs_.FreeSpace(volume.folder, free)) continue;  // not told: the copies will say
      const std::uint64_t needed = volume.bytesToWrite + Margin(volume);
      const auto spare = [](std::uint64_t n, std::uint64_t f) { return static_cast<long double>(f) - static_cast<long double>(n); };
      if (!report_.roomChecked || spare(needed, free) < spare(report_.roomNeeded, report_.roomFree)) {
        report_.roomChecked = true;
        report_.roomNeeded = needed;
        report_.roomFree = free;
      }
      if (needed <= free) continue;
      report_.outcome = report::Outcome::kNoRoom;
      report_.roomNeeded = needed;
      report_.roomFree = free;
      return false;
    }
    return true;
  }


 private:
  platform::FileSystem& fs_;
  report::PassReport& report_;
};

}  // namespace

bool OpenFolders(platform::FileSystem& fs, report::PassReport& report, std::vector<std::unique_ptr<platform::FolderLock>>& locks,
                 std::vector<platform::FolderEntry>& entries) {
  return PassStart(fs, report).Open(locks, entries);
}

bool HasRoom(platform::FileSystem& fs, const plan::Plan& plan, report::PassReport& report) { return PassStart(fs, report).HasRoom(plan); }

}  // namespace marlowin::pass
