#pragma once

// Room collector/plan (marlowin::plan): everything a pass decides before its first copy, and the
// one walk of it (PlanWalk) that the pass, the dry run and the plan's problems follow. Uses
// naming/, report/, recorder/ (the copies the history records), history/ and platform/.
//

// The plan of one pass: everything decided before the first copy, from the listings and the
// sizes alone. BuildPlan walks the starting folder once; the pass (CollectClips) carries the plan
// out step by step, the dry run prints it (PlanLines), the progress counts its totals and the
// free-space check reads its bytes per volume. What only the copies themselves can decide (an adl
// copy that fails, and so the clean-up of its shot) is CleanUpRule's.
//
// The plan keeps names, not paths: a path is formed from them when it is needed, by the naming
// rules, so a plan of 60,000 clips stays small.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <unordered_map>
#include <vector>

#include "collector/naming/CleanUpRule.h"
#include "collector/naming/NamingRules.h"
#include "recorder/RecordedCopies.h"
#include "collector/report/Report.h"
#include "platform/FileSystem.h"

namespace marlowin::plan {

inline constexpr std::uint32_t kNoIndex = std::numeric_limits<std::uint32_t>::max();

// A pass writes its tree to the copy to folder and, when asked, to a backup folder beside it: the
// same tree by the same rules, each destination with what its own disk holds.
inline constexpr std::size_t kMaxDestinations = 2;
template <typename T>
using PerDestination = std::array<T, kMaxDestinations>;

// What becomes of one copy.
enum class CopyAction : std::uint8_t {
  kWrite,    // written under a temporary name, proven (with verification), put in place
  kProve,    // found in place; read back and proven against the clip before its clip is marked
  kInPlace,  // found in place and left as it is: its clip is marked already, or nothing is proven
};

struct PlannedCopy {
  CopyAction action = CopyAction::kWrite;
  // Made from an adl copy written just before it: an int copy from its destination's, the
  // backup's adl copy from the copy to folder's (the clip is read once).
  bool fromAdlCopy = false;
  bool overRecorded = false;   // the history records a copy of this name: only the same bytes go there
  std::uint16_t volume = 0;    // of Plan::volumes
};

struct PlannedClip {
  std::u16string name;         // as listed
  char16_t number[2] = {};     // its clip number, when hasNumber
  bool hasNumber = false;
  bool marked = false;         // carries the mark already: keeps its name
  bool hasIntCopy = false;     // an int copy is made (a number other than 01, not the greatest)
  PerDestination<bool> tidiesIntFolder{};  // first to make its int video folder, which holds leftovers
  std::uint64_t size = 0;
  platform::FileTime modified;
  std::uint64_t volume = 0;    // the clip's identity when it was listed: its copies are made
  std::uint64_t fileId = 0;    // of this very file, which must be the same when it is marked
  PerDestination<PlannedCopy> adl;      // in each destination
  PerDestination<PlannedCopy> intCopy;  // when hasIntCopy
  // Problems known before the first copy (Plan::problems), told when the clip's turn comes. A
  // clip with a failure among them, in any destination, is not copied at all: it cannot be marked.
  std::uint32_t firstProblem = 0;
  std::uint32_t problemCount = 0;
  bool blocked = false;        // a failure among its problems: nothing is done for it
  // A failure told when the clip is concluded instead of its mark: a later clip of the pass
  // replaces its copy, or a later shot's clean-up deletes it (Plan::problems).
  std::uint32_t loses = kNoIndex;

  std::u16string Number() const { return hasNumber ? std::u16string(number, 2) : std::u16string(); }
  bool HasIntFolders() const;  // a number other than 01: its int folders are made
};

enum class ClipFolderState : std::uint8_t { kListed, kMissing, kUnreadable };

struct PlannedShot {
  std::u16string name;         // as listed in the starting folder
  naming::FolderTokens tokens;
  std::vector<PlannedClip> clips;
  ClipFolderState clipFolder = ClipFolderState::kListed;
  PerDestination<bool> tidiesAdlFolder{};  // first to make its adl video folder, which holds leftovers
  naming::CleanUp cleanUp;       // as the plan has it, every copy made; failed adl copies may move it
  std::uint32_t firstProblem = 0;  // told after its folders are made (listing its clip folder)
  std::uint32_t problemCount = 0;
};

enum class StepKind : std::uint8_t {
  kProblem,   // tell Plan::problems[index]
  kShot,      // a shot folder: its adl folders are made, its listing's problems told
  kClip,      // a clip: its copies, int folders and leftovers, in ClipOperations' order
  kCommit,    // the copies so far go to the disk to be proven; the batch before is concluded
  kSettle,    // everything staged is proven, put in place and concluded
  kCleanUp,   // the clean-up of a shot
};

struct Step {
  StepKind kind = StepKind::kProblem;
  std::uint32_t shot = 0;
  // The clip (kClip), the problem (kProblem); kCommit and kSettle: 1 when the batch handed over
  // holds copies to flush or prove, 0 when its clips can be concluded at once.
  std::uint32_t index = 0;
};

// One destination volume and what the pass writes to it.
struct PlannedVolume {
  std::uint64_t id = 0;
  std::u16string folder;          // a folder on it, for its free space
  std::u16string fileSystem;      // as the system names it, when it tells
  std::uint64_t largestFile = 0;  // the largest file it holds; 0 when no limit is known
  std::uint64_t bytesToWrite = 0; // copies written, not found in place
  std::size_t copiesToWrite = 0;
  std::size_t foldersToMake = 0;
};

struct PlanSettings {
  bool verify = true;
  // The copies each destination's history records (none when null): never replaced by other
  // bytes. With `proveUnrecorded`, a copy in place that no history records is proven (and so
  // recorded) also when its clip carries the mark already.
  PerDestination<const recorder::RecordedCopies*> recorded{};
  PerDestination<bool> proveUnrecorded{};
  // A batch of copies is committed when it holds this many bytes or copies.
  std::uint64_t batchBytes = 1ull << 30;
  std::size_t batchCopies = 256;
  // Towards the end of the plan each batch holds no more than what comes after it, down to this
  // many bytes: what is proven after the last clip is read is a small batch, not a full one.
  std::uint64_t leastLastBatch = 64ull << 20;
  // Every copy found in place is proven against its clip, also when the clip carries the mark
  // (the mend of damaged copies: one that differs is replaced by the pass, not removed).
  bool reverify = false;
};

// One file-system operation of the plan, as the dry run prints it and the pass performs it.
struct PlanOperation {
  enum class Kind : std::uint8_t {
    kMakeFolder, kRemoveLeftover, kCopy, kProve, kInPlace, kDelete, kRemoveFolder, kMark, kCommit,
  };
  Kind kind;
  std::u16string path;  // the target, folder or file
  std::u16string from;  // kCopy, kProve: what is copied or proven against; kMark: the clip
  bool intCopy = false; // kCopy, kProve, kInPlace: the int copy
  std::uint8_t destination = 0;  // of Plan::destinations, for what lies in one
};

class Plan {
 public:
  std::u16string startingFolder;
  std::vector<std::u16string> destinations;  // the copy to folder, then the backup folder if any
  PlanSettings settings;
  PerDestination<bool> foldsCase{true, true};  // the destination takes V02 and v02 as one name
  bool stableClipIds = true;    // the starting folder's file system keeps a file's id
  bool stopped = false;         // asked to stop while it was built: nothing is to be done

  std::vector<PlannedShot> shots;
  std::vector<Step> steps;
  std::vector<report::Problem> problems;  // known before the first copy; told at their steps
  std::unordered_map<std::u16string, std::vector<std::u16string>> leftovers;  // by folder
  std::vector<PlannedVolume> volumes;

  std::size_t clips = 0;
  std::uint64_t clipBytes = 0;  // the clips' own bytes

  // Paths, as the naming rules form them.
  std::u16string ShotFolder(const PlannedShot& shot) const;
  std::u16string ClipFolder(const PlannedShot& shot) const;
  std::u16string ClipPath(const PlannedShot& shot, const PlannedClip& clip) const;
  std::u16string MarkedPath(const PlannedShot& shot, const PlannedClip& clip) const;  // empty when marked
  // In destination `d`.
  std::u16string AdlFolder(const PlannedShot& shot, std::size_t d = 0) const;
  std::u16string AdlVideoFolder(const PlannedShot& shot, std::size_t d = 0) const;
  std::u16string AdlTarget(const PlannedShot& shot, const PlannedClip& clip, std::size_t d = 0) const;
  std::u16string IntFolder(const PlannedShot& shot, std::u16string_view number, std::size_t d = 0) const;
  std::u16string IntVideoFolder(const PlannedShot& shot, std::u16string_view number, std::size_t d = 0) const;
  std::u16string IntTarget(const PlannedShot& shot, const PlannedClip& clip, std::size_t d = 0) const;

  // The history's entry of a copy of destination `d`, or null.
  const recorder::RecordedCopy* Recorded(const std::u16string& path, std::size_t d = 0) const;

  // The operations of a shot folder's start (its adl folders and their leftovers), of one clip
  // (its adl copy; with a number other than 01 its int folders, their leftovers and its int copy,
  // in this order), and of a clean-up (the file, then its two folders), each in the order they
  // are done. `go` returning false ends the list (an adl copy failed: nothing more for the clip).
  // Each in destination `d`.
  void ShotOperations(const PlannedShot& shot, std::size_t d, const std::function<bool(const PlanOperation&)>& go) const;
  void ClipOperations(const PlannedShot& shot, const PlannedClip& clip, std::size_t d,
                      const std::function<bool(const PlanOperation&)>& go) const;
  void CleanUpOperations(const PlannedShot& shot, std::u16string_view greatest, std::u16string_view intNumber,
                         std::size_t d, const std::function<bool(const PlanOperation&)>& go) const;

 private:
  void Leftovers(const std::u16string& folder, std::size_t d,
                 const std::function<bool(const PlanOperation&)>& go) const;
};

// The clean-up of a shot as the naming rules have it, with the clips whose adl copy was made.
naming::CleanUp ShotCleanUp(const PlannedShot& shot, const std::function<bool(std::size_t clip)>& adlCopyMade);

// Decides the pass. `entries` is the starting folder's listing. `onShot` is told after each
// shot folder, with the plan so far; false stops the building (Plan::stopped).
// Decides the pass into each of `destinations` (one or two), the same clips into each.
Plan BuildPlan(platform::FileSystem& fs, std::u16string startingFolder, std::vector<std::u16string> destinations,
               const std::vector<platform::FolderEntry>& entries, const PlanSettings& settings,
               const std::function<bool(const Plan&)>& onShot);

}  // namespace marlowin::plan
