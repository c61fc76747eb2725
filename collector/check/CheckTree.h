#pragma once

// Room collector/check (marlowin::check): the check of a collected tree against its history, with
// a progress of its own. Uses report/ (its texts quote names as a pass's do), naming/, history/
// and platform/; nothing of the pass.
//

// The check of a collected tree against its ASC MHL history: every file the history records
// (the latest entry of each path) read back from the disk and compared with the size and the
// xxh128 recorded, and every file of an adl or int folder that no generation records named.
// Nothing in the tree is changed. The texts and the JSON of marlowin-collect --check are views
// of the TreeCheck it gives.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "collector/check/CheckProgress.h"
#include "history/Failure.h"
#include "platform/FileSystem.h"

namespace marlowin::check {

enum class CheckOutcome {
  kProven,             // every recorded file is there with its size and hash
  kNotProven,          // some recorded file is missing, changed, unreadable or refused
  kNoHistory,          // the folder has no ascmhl/ history
  kHistoryUnreadable,  // its history cannot be read (the reason is in historyFailure)
  kFolderMissing,      // the folder cannot be looked up
  kCancelled,
};

enum class FileVerdict {
  kProven,
  kMissing,     // recorded, but not there
  kChanged,     // another size or another hash
  kUnreadable,  // there, but it could not be looked up or read to its end (reason)
  kRefused,     // a path that would lead outside the folder: not looked up
  kThroughLink, // the file, or a folder on its way, is a link: not followed out of the tree
  kNoHash,      // the latest entry has no xxh128 to prove it with
  kNotChecked,  // the check was stopped before it
  kUnrecorded,  // a file of an adl or int folder that no generation records: a warning
  kUnlisted,    // a folder (or the tree, path empty) that could not be listed for unrecorded files: a warning
};

struct CheckedFile {
  std::u16string path;  // relative to the folder, '/'-separated, as the history writes it
  FileVerdict verdict = FileVerdict::kNotChecked;
  std::uint64_t sequence = 0;               // of the generation whose entry counts; 0 unrecorded
  std::optional<std::uint64_t> recordedSize;
  std::string recordedHash;                 // empty when the entry has none
  std::optional<std::uint64_t> foundSize;   // as looked up on the disk
  std::string foundHash;                    // of the bytes read back; empty when not read
  std::error_code reason;                   // kUnreadable: why

  bool IsWarning() const { return verdict == FileVerdict::kUnrecorded || verdict == FileVerdict::kUnlisted; }
  bool IsFailure() const { return verdict != FileVerdict::kProven && !IsWarning(); }
};

struct TreeCheck {
  std::u16string folder;
  CheckOutcome outcome = CheckOutcome::kProven;
  history::Failure historyFailure;  // kNoHistory, kHistoryUnreadable, kFolderMissing: why
  std::size_t generations = 0;
  std::vector<CheckedFile> files;   // the recorded files by path, then the unrecorded ones
  std::uint64_t bytesRead = 0;

  std::size_t Count(FileVerdict verdict) const;
  std::size_t Recorded() const;  // every file but the unrecorded ones
  std::size_t Failures() const;
  std::size_t Warnings() const;
};

// Checks `folder` as the header says, telling `observer` (when given) how far it is.
TreeCheck CheckTree(platform::FileSystem& fs, const std::u16string& folder, CheckObserver* observer = nullptr);

// 0 proven, 1 not proven, 2 no history or none that can be read (or no folder), 130 cancelled.
int CheckExitStatus(const TreeCheck& check);

// The texts, one line each, names quoted by QuotedName. The outcome ("check passed: ...",
// "check failed: ...", "no history: ...", ...), the summary, and each failure or warning
// with the file's full path.
std::u16string CheckOutcomeLine(const TreeCheck& check);
std::u16string CheckSummaryLine(const TreeCheck& check);
std::u16string DescribeCheckedFile(const TreeCheck& check, const CheckedFile& file);
std::u16string FullPathOf(const TreeCheck& check, const CheckedFile& file);

}  // namespace marlowin::check
