#pragma once

// Room collector/report (marlowin::report): what a pass did and how it is told: the report, its
// texts and problems, the report file, the progress and its texts. Uses naming/ and platform/.
//

// What a pass did, told once: the program's message, marlowin-collect's lines and its JSON are
// all views of this one report.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace marlowin::report {

inline constexpr std::u16string_view kVideoCopyComplete = u"video copy complete";
inline constexpr std::u16string_view kStartingPathNotAccessible = u"starting path not accessible";
inline constexpr std::u16string_view kCopyToPathNotAccessible = u"copy to path not accessible";
inline constexpr std::u16string_view kBackupPathNotAccessible = u"backup path not accessible";

enum class Outcome {
  kComplete,                 // every clip seen was collected (or there were none)
  kIncomplete,               // at least one failure
  kCancelled,                // the person stopped the pass
  kStartingFolderMissing,    // not a folder, or it cannot be listed: nothing changed
  kDestinationFolderMissing, // not a folder: nothing changed
  kFolderInUse,              // another pass works on one of the folders: nothing changed
  kNoRoom,                   // the copies do not fit on the destination: nothing changed
  kSameFolder,               // the two folders are one: nothing changed
  kDestinationInside,        // the copy to folder lies inside the starting folder: nothing changed
  kStartInside,              // the starting folder lies inside the copy to folder: nothing changed
  kBackupFolderMissing,      // the backup folder is not a usable folder: nothing changed
  kBackupInside,             // the backup folder lies inside, contains or is one of the other two: nothing changed
};

// What a problem is about.
enum class Operation {
  // failures
  kListStartingFolder,  // the starting folder cannot be listed
  kOpenDestination,     // the destination folder is not a usable folder
  kLockFolder,          // another pass holds a folder
  kListClipFolder,      // a clip folder exists but cannot be listed
  kMakeFolder,          // a folder the copies need cannot be made
  kCopyToAdl,           // the adl copy failed (or could not be proven)
  kCopyToInt,           // the int copy failed (or could not be proven)
  kMark,                // the clip could not be given its marked name
  kCopyIsClip,          // the copy's name leads to the clip itself: its folder is the clip's
  kCopyReplaced,        // a later clip of the pass replaces this clip's copy: it is not its own
  kCopyDeleted,         // a later shot's clean-up deletes this clip's int copy
  kRecordedCopy,        // the history records another clip's copy (or one it cannot compare) at its copy's name
  kThroughLink,         // a link lies on the way to its copy (`other`): nothing is written through one
  kTooLarge,            // the destination's file system (`rule`) holds no file of the clip's size
  kFolderGone,          // the starting folder or the copy to folder is gone: the pass stopped
  kDestinationLost,     // one destination is gone: its copies stopped, the other's went on
  kNotReached,          // a clip the pass did not reach because a folder went (`reason`)
  kNotRecorded,         // its copies are proven, but could not be recorded in the history: not marked
  kNotMended,           // (reverify) its copy differs from it, and the history records other bytes there (`rule`)
  kClipGone,            // (reverify) a recorded copy (`path`) whose clip is no longer in the clip folder (`other`)
  // warnings
  kNotAClip,            // a file of a clip folder that is no clip
  kNoClipFolder,        // a handled shot folder without its clip folder
  kPassedOver,          // a folder of the starting folder that is not a shot folder
  kEndedPass,           // the underscores-only folder that ended the pass
  kNotVisited,          // a folder after it, therefore not visited
  kKeptName,            // the clip kept its name: its marked name exists
  kCleanUp,             // the clean-up could not remove what it should
  kLeftover,            // a temporary of an earlier pass that could not be removed
  kReplacedLink,        // the copy's name was a link to the clip: a real copy takes its place
  kCleanUpMoved,        // a failed adl copy moved the clean-up onto another clip's int copy
  kHistory,             // the destination's history could not be added to (`rule` says why)
  kHistoryUnread,       // the destination's history cannot be read: it protects nothing (`rule` says why)
  kKeptRecorded,        // the clean-up leaves a copy the history records (`rule`: its generation)
  kNameNotRecorded,     // a copy whose name XML cannot hold is left out of the history
  kOverRecorded,        // (a dry run) a copy goes where the history records one (`rule`: by which)
  kOpenBackup,          // the backup folder is not a usable folder
  kBackupPlace,         // the backup folder lies inside, contains or is one of the other folders (`other`)
  kSameDisk,            // the copy to folder and the backup folder are on one disk
  kMended,              // (reverify) a copy (`path`) that differed from its clip (`other`), replaced by a proven copy
};

struct Problem {
  bool failure = false;   // the clip is not fully collected; else a warning
  Operation operation = Operation::kNotAClip;
  std::u16string path;    // what it is about: the clip, the folder
  std::u16string target;  // the copy or new name concerned, where there is one
  std::u16string other;   // the clip whose copy was replaced
  std::error_code reason; // the system's reason, or one of ours; empty when `rule` says it
  std::u16string rule;    // the naming rule behind a warning ("its name has two _ in a row"), or what
                          // else the description needs (a history's words, a file system's name)
};

// One clip and what became of it (kept only when asked for, such as for --json).
struct ClipRecord {
  std::u16string source;  // its path as listed
  std::u16string adlCopy;
  std::u16string intCopy;  // empty when it has none (clip 01, no number, the greatest)
  std::u16string markedAs; // its new path when it was given its marked name in this pass
  std::string hash;        // XXH3-128 of its bytes, as `xxhsum -H2` prints it; empty unverified
  bool collected = false;  // every copy made (and proven, with verification)
};

// What a pass did in its backup folder, beside the copy to folder.
struct BackupCopies {
  std::size_t copiesWritten = 0;
  std::size_t copiesProven = 0;
  std::size_t copiesInPlace = 0;
  std::uint64_t bytesWritten = 0;
};

struct PassReport {
  Outcome outcome = Outcome::kComplete;
  std::u16string startingFolder;
  std::u16string destinationFolder;
  std::u16string backupFolder;   // the second destination; empty when there is none
  BackupCopies backup;           // its copies; the counts below are the copy to folder's
  bool verified = true;          // copies were proven by reading them back
  // When the pass began (its report file is named by it, ReportFile.h) and when it ended. The
  // epoch when unknown.
  std::chrono::system_clock::time_point started{};
  std::chrono::system_clock::time_point finished{};

  std::size_t shotFolders = 0;           // handled shot folders reached
  std::size_t shotFoldersPlanned = 0;    // handled shot folders found before the first copy
  std::size_t shotFoldersCollected = 0;  // with clips, every one of them collected
  std::size_t clipFoldersUnread = 0;     // clip folders there that could not be listed
  std::size_t clipsPlanned = 0;   // clips found before the first copy
  std::size_t clipsSeen = 0;      // clips in the handled clip folders reached
  std::size_t clipsCollected = 0; // every copy in place (and proven): the three below
  std::size_t clipsCopied = 0;    //   at least one copy written in this pass
  std::size_t clipsProven = 0;    //   copies all in place, proven again in this pass
  std::size_t clipsAlready = 0;   //   copies all in place, not read in this pass
  std::size_t clipsMarked = 0;    // given their marked name in this pass
  std::size_t clipsFailed = 0;    // with at least one failure
  std::size_t copiesWritten = 0;  // copies written (not found in place already)
  std::size_t copiesProven = 0;   // copies found in place and proven against their clip
  std::size_t copiesInPlace = 0;  // copies found in place and not read
  std::size_t copiesReplaced = 0;     // (reverify) found in place, differing from their clip: replaced
  std::size_t copiesWithoutClip = 0;  // (reverify) recorded, but their clip is no longer there: not read
  std::uint64_t bytesWritten = 0;   // of the copies written (and proven, with verification)
  std::uint64_t bytesReadBack = 0;  // read back from the disk to prove copies
  // The room asked of the destination before the first copy: the bytes its volume must take (the
  // copies and a margin) and those it had free; of the tightest volume when the copies go to
  // several. Not asked when nothing is to be written.
  bool roomChecked = false;
  std::uint64_t roomNeeded = 0;
  std::uint64_t roomFree = 0;

  std::vector<Problem> problems;  // in the order they happened
  std::vector<ClipRecord> clips;  // when asked for

  std::size_t Failures() const;
  // The shoot's handled shot folders, reached or not.
  std::size_t ShotFolders() const { return shotFolders > shotFoldersPlanned ? shotFolders : shotFoldersPlanned; }
  std::size_t Warnings() const { return problems.size() - Failures(); }
};

// The first line, exactly: "video copy complete", "video copy incomplete: N of M clips could
// not be copied", "video copy cancelled: N of M clips were collected", "starting path not
// accessible", "copy to path not accessible", or the folder-in-use line.
std::u16string OutcomeLine(const PassReport& report);

// "6 clips copied, 12 already collected": the parts whose count is not zero, the first counted
// with its noun (`one`, `many`).
std::u16string CountedParts(const std::vector<std::pair<std::size_t, std::u16string_view>>& parts,
                            std::u16string_view one, std::u16string_view many);

// The lines after it: what became of the clips ("6 clips copied, 12 already collected, from
// 6 shot folders to D.") and of their copies ("12 copies written and verified, 36 already in
// place and not read again."), or, when no clip was found, what a shot folder must look like.
std::u16string SummaryLine(const PassReport& report);

// One problem as a person reads it: "PATH: REASON".
std::u16string DescribeProblem(const Problem& problem);

// The problems in the order a person should read them: failures first, each group in the
// order they happened.
std::vector<const Problem*> ProblemsInOrder(const PassReport& report);

// The program's one message: the outcome line, the summary and at most `maxProblems` problem
// lines, then "and N more".
std::u16string MessageText(const PassReport& report, std::size_t maxProblems = 10);

// Every problem, one a line, in ProblemsInOrder: the message's details.
std::u16string DetailsText(const PassReport& report);

// The exit status of marlowin-collect: 0 complete, 1 incomplete, 2 a folder not accessible
// or in use, 130 cancelled.
int ExitStatus(const PassReport& report);

}  // namespace marlowin::report
