#include "collector/CollectClips.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "collector/NamingRules.h"
#include "platform/Errors.h"

namespace marlowin {
namespace {

constexpr std::u16string_view kVideoFolderName = u"video";
constexpr std::u16string_view kClipFolderName = u"MP4 HIGH RES";
constexpr std::size_t kNoRecord = static_cast<std::size_t>(-1);  // a clip not kept in the report

std::u16string Join(std::u16string_view folder, std::u16string_view name) {
  std::u16string path;
  path.reserve(folder.size() + 1 + name.size());
  path.append(folder).push_back(sys::kPathSeparator);
  path.append(name);
  return path;
}

// Paths as a case-insensitive destination sees them, for telling copies that may land on one
// another. Only a to z are folded: that is what every such file system folds.
std::u16string Folded(std::u16string_view path) {
  std::u16string folded(path);
  for (char16_t& c : folded) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - (u'a' - u'A'));
  }
  return folded;
}

std::u16string FolderOf(std::u16string_view path) {
  return std::u16string(path.substr(0, path.find_last_of(sys::kPathSeparator)));
}

// Why a folder of the starting folder is not a shot folder.
std::u16string SkipRule(std::u16string_view name, const FolderVerdict& verdict) {
  if (verdict.tokens.last.empty()) return u"fewer than three words";
  if (name == MakeAdlFolderName(verdict.tokens)) return u"named as an adl folder";
  return u"two underscores in a row";
}

struct Clip {
  std::u16string name;
  ClipNameParts parts;
  std::optional<std::u16string> number;
};

// A clip whose copies are staged, waiting for the commit that proves them before it is marked.
struct PendingClip {
  std::u16string path;
  std::u16string newPath;             // empty when it carries the mark already
  std::vector<std::u16string> adlTargets;  // staged copies, by kind
  std::vector<std::u16string> intTargets;
  bool failed = false;
  std::size_t record = kNoRecord;
};

// The state of one handled shot folder; nothing of it outlives the folder's clean-up.
struct ShotState {
  FolderTokens tokens;
  std::u16string adlVideoFolder;
  std::u16string currentIntFolder;
  std::u16string currentIntVideoFolder;
  std::u16string greatestClipNumber;
  std::u16string rememberedIntFolder;
  std::u16string rememberedIntVideoFolder;
  std::u16string plannedGreatest;  // of every clip listed, before any copy
  bool shared = false;             // its adl folder is another shot's too
};

// A copy made in this pass, kept where a later copy of another clip may land on it.
struct WrittenCopy {
  std::u16string target;
  std::u16string clip;
  std::size_t batch = 0;
  std::size_t shot = 0;
};

class Pass {
 public:
  Pass(sys::FileSystem& fs, const PassOptions& options) : fs_(fs), options_(options) {}

  PassReport Run(std::u16string startingFolder, std::u16string destinationFolder) {
    report_.startingFolder = std::move(startingFolder);
    report_.destinationFolder = std::move(destinationFolder);
    report_.verified = options_.verify;
    std::vector<std::unique_ptr<sys::FolderLock>> locks;
    std::vector<sys::FolderEntry> entries;
    if (!Open(locks, entries)) return std::move(report_);

    Plan(entries);
    if (Stopped()) return Finish();
    progress_.stage = PassProgress::Stage::kCopying;
    Tell();

    for (std::size_t i = 0; i < entries.size() && !cancelled_; ++i) {
      const sys::FolderEntry& entry = entries[i];
      if (!entry.isFolder) continue;
      const std::u16string path = Join(report_.startingFolder, entry.name);
      FolderVerdict verdict = ClassifyFolderName(entry.name);
      if (verdict.kind == FolderVerdict::EndPass) {
        Warn(Operation::kEndedPass, path);
        for (std::size_t j = i + 1; j < entries.size(); ++j) {
          if (entries[j].isFolder) Warn(Operation::kNotVisited, Join(report_.startingFolder, entries[j].name));
        }
        break;
      }
      if (verdict.kind == FolderVerdict::Skip) {
        Problem& problem = Add(false, Operation::kPassedOver, path);
        problem.rule = SkipRule(entry.name, verdict);
        continue;
      }
      HandleShot(path, std::move(verdict.tokens));
    }
    if (!cancelled_) Settle(true);
    return Finish();
  }

 private:
  // The folders checked and held, and the starting folder listed; false when the pass cannot
  // start, with the outcome and its reason in the report.
  bool Open(std::vector<std::unique_ptr<sys::FolderLock>>& locks, std::vector<sys::FolderEntry>& entries) {
    const std::u16string& start = report_.startingFolder;
    const std::u16string& destination = report_.destinationFolder;
    sys::FileStatus startStatus;
    std::error_code error = fs_.GetStatus(start, startStatus);
    if (!error && startStatus.type != sys::FileType::kFolder) error = std::make_error_code(std::errc::not_a_directory);
    if (error) return Refuse(Outcome::kStartingFolderMissing, Operation::kListStartingFolder, start, error);
    sys::FileStatus destinationStatus;
    error = fs_.GetStatus(destination, destinationStatus);
    if (!error && destinationStatus.type != sys::FileType::kFolder) {
      error = std::make_error_code(std::errc::not_a_directory);
    }
    if (error) return Refuse(Outcome::kDestinationFolderMissing, Operation::kOpenDestination, destination, error);

    // One pass at a time over the same clips and into the same folders.
    locks.emplace_back();
    if ((error = fs_.LockFolder(start, locks.back()))) {
      return Refuse(Outcome::kFolderInUse, Operation::kLockFolder, start, error);
    }
    if (!destinationStatus.IsSameFileAs(startStatus)) {
      locks.emplace_back();
      if ((error = fs_.LockFolder(destination, locks.back()))) {
        return Refuse(Outcome::kFolderInUse, Operation::kLockFolder, destination, error);
      }
    }
    if ((error = fs_.ListFolder(start, entries))) {
      return Refuse(Outcome::kStartingFolderMissing, Operation::kListStartingFolder, start, error);
    }
    return true;
  }

  bool Refuse(Outcome outcome, Operation operation, const std::u16string& path, std::error_code reason) {
    report_.outcome = outcome;
    Problem& problem = Add(true, operation, path);
    problem.reason = reason;
    return false;
  }

  // Reads the listings only, to know the clips, their bytes and the work before the first copy,
  // and which shot folders share their adl folder.
  void Plan(const std::vector<sys::FolderEntry>& entries) {
    std::unordered_map<std::u16string, unsigned> adlFolders;
    for (const sys::FolderEntry& entry : entries) {
      if (!entry.isFolder) continue;
      const FolderVerdict verdict = ClassifyFolderName(entry.name);
      if (verdict.kind == FolderVerdict::EndPass) break;
      if (verdict.kind != FolderVerdict::Handle) continue;
      ++adlFolders[Folded(MakeAdlFolderName(verdict.tokens))];
      std::vector<Clip> clips;
      const std::u16string clipFolder = Join(Join(report_.startingFolder, entry.name), kClipFolderName);
      if (ListClips(clipFolder, clips, false)) continue;
      const std::u16string greatest = GreatestNumber(clips);
      for (const Clip& clip : clips) {
        sys::FileStatus status;
        if (fs_.GetStatus(Join(clipFolder, clip.name), status)) continue;
        const bool intCopy = clip.number && NeedsIntCopy(*clip.number) && *clip.number != greatest;
        ++progress_.clipsTotal;
        progress_.bytesTotal += status.size;
        workTotal_ += status.size * (intCopy ? 2 : 1) * (options_.verify ? 2 : 1);
      }
      if (Stopped()) return;
      Tell();
    }
    for (auto& [name, count] : adlFolders) {
      if (count > 1) sharedAdlFolders_.insert(name);
    }
  }

  // The clips of a clip folder, in listing order; with `report`, every other file is a warning
  // and a folder that cannot be listed a failure. The error, when it cannot be listed.
  std::error_code ListClips(const std::u16string& clipFolder, std::vector<Clip>& clips, bool report) {
    std::vector<sys::FolderEntry> entries;
    const std::error_code error = fs_.ListFolder(clipFolder, entries);
    if (error) {
      if (!report) return error;
      if (error == std::errc::no_such_file_or_directory) {
        Warn(Operation::kNoClipFolder, FolderOf(clipFolder));
      } else {
        Problem& problem = Add(true, Operation::kListClipFolder, clipFolder);
        problem.reason = error;
      }
      return error;
    }
    for (sys::FolderEntry& entry : entries) {
      if (entry.isFolder) continue;
      auto parts = SplitClipName(entry.name);
      if (!parts || !IsClipName(parts->extension)) {
        if (report) {
          Problem& problem = Add(false, Operation::kNotAClip, Join(clipFolder, entry.name));
          problem.rule = u"only names ending in \".mp4\" are clips";
        }
        continue;
      }
      std::optional<std::u16string> number = ReadClipNumber(parts->baseName);
      clips.push_back({std::move(entry.name), std::move(*parts), std::move(number)});
    }
    return {};
  }

  static std::u16string GreatestNumber(const std::vector<Clip>& clips) {
    std::u16string greatest;
    for (const Clip& clip : clips) {
      if (clip.number && *clip.number > greatest) greatest = *clip.number;
    }
    return greatest;
  }

  void HandleShot(const std::u16string& shotFolder, FolderTokens tokens) {
    ++report_.shotFolders;
    ShotState shot;
    const std::u16string adlFolderName = MakeAdlFolderName(tokens);
    shot.shared = sharedAdlFolders_.contains(Folded(adlFolderName));
    shot.tokens = std::move(tokens);
    const std::u16string adlFolder = Join(report_.destinationFolder, adlFolderName);
    shot.adlVideoFolder = Join(adlFolder, kVideoFolderName);
    MakeFolder(adlFolder, false);
    MakeFolder(shot.adlVideoFolder, true);

    std::vector<Clip> clips;
    const std::u16string clipFolder = Join(shotFolder, kClipFolderName);
    if (!ListClips(clipFolder, clips, true)) {
      shot.plannedGreatest = GreatestNumber(clips);
      report_.clipsSeen += clips.size();
      for (const Clip& clip : clips) {
        if (Stopped()) break;
        HandleClip(clipFolder, clip, shot);
      }
    }
    if (cancelled_) return;  // the rest of the shot, its clean-up included, is for the next pass
    CleanUp(shot);
    // Only a shot that shares its adl folder can meet its copies again in a later shot.
    if (!shot.shared) {
      for (const std::u16string& key : shotKeys_) written_.erase(key);
    }
    shotKeys_.clear();
  }

  void HandleClip(const std::u16string& clipFolder, const Clip& clip, ShotState& shot) {
    PendingClip pending;
    pending.path = Join(clipFolder, clip.name);
    const bool marked = HasHiresMark(clip.name);
    const std::u16string adlClipName = MakeAdlClipName(clip.name, clip.parts.baseName, clip.parts.extension);
    if (!marked) pending.newPath = Join(clipFolder, adlClipName);
    const std::u16string adlTarget = Join(shot.adlVideoFolder, adlClipName);
    if (options_.recordClips) {
      pending.record = report_.clips.size();
      report_.clips.emplace_back();
      report_.clips.back().source = pending.path;
      report_.clips.back().adlCopy = adlTarget;
    }
    progress_.currentClip = pending.path;
    Tell();

    const std::error_code adlError = CopyClip(pending, pending.path, adlTarget, !marked, pending.adlTargets);
    if (adlError) {
      if (adlError == Errc::kCancelled) return;
      Fail(Operation::kCopyToAdl, pending.path, adlTarget, adlError);
      ++progress_.clipsDone;
      return;
    }

    if (clip.number && NeedsIntCopy(*clip.number)) {
      shot.currentIntFolder = Join(report_.destinationFolder, MakeIntFolderName(shot.tokens, *clip.number));
      shot.currentIntVideoFolder = Join(shot.currentIntFolder, kVideoFolderName);
      const std::u16string intTarget =
          Join(shot.currentIntVideoFolder, MakeIntClipName(clip.parts.baseName, clip.parts.extension));
      MakeFolder(shot.currentIntFolder, false);
      MakeFolder(shot.currentIntVideoFolder, true);
      // The greatest-numbered clip's int copy is what the clean-up deletes again: not written.
      if (*clip.number != shot.plannedGreatest) {
        if (pending.record != kNoRecord) report_.clips[pending.record].intCopy = intTarget;
        const std::error_code intError = CopyClip(pending, adlTarget, intTarget, !marked, pending.intTargets);
        if (intError == Errc::kCancelled) return;
        if (intError) {
          Fail(Operation::kCopyToInt, pending.path, intTarget, intError);
          pending.failed = true;
        }
      }
    }

    // Code-unit comparison; every number is greater than the empty start value.
    if (clip.number && *clip.number > shot.greatestClipNumber) {
      shot.greatestClipNumber = *clip.number;
      shot.rememberedIntVideoFolder = shot.currentIntVideoFolder;
      shot.rememberedIntFolder = shot.currentIntFolder;
    }

    ++progress_.clipsDone;
    batch_.push_back(std::move(pending));
    if (batchCopies_ >= options_.batchCopies || batchBytes_ >= options_.batchBytes) Settle(false);
  }

  // One copy of a clip; `staged` gets the target when the copy waits for the commit.
  std::error_code CopyClip(const PendingClip& clip, const std::u16string& from, const std::u16string& to,
                           bool prove, std::vector<std::u16string>& staged) {
    NoteCopy(clip.path, to);
    sys::CopyRequest request;
    request.verify = options_.verify;
    request.proveExisting = prove;
    ByteCounter counter(*this);
    request.progress = &counter;
    sys::CopyResult result;
    const std::error_code error = fs_.Copy(from, to, request, result);
    counter.Done(result.bytes);
    if (error) return error;
    // The proof's share of the work: done in the commit, or now when nothing is to be proven.
    if (options_.verify) {
      if (result.alreadyThere && !prove) {
        ByteCounter(*this).Done(result.bytes);
      } else {
        batchProofBytes_ += result.bytes;
      }
    }
    ++batchCopies_;
    batchBytes_ += result.bytes;
    if (result.alreadyThere) {
      ++report_.copiesInPlace;
      if (options_.verify && prove) staged.push_back(to);
    } else {
      ++report_.copiesWritten;
      report_.bytesWritten += result.bytes;
      staged.push_back(to);
    }
    return {};
  }

  // Before a copy lands where an earlier copy of this pass did: that one is committed first,
  // so that the later copy finds it and replaces it, and a person is told.
  void NoteCopy(const std::u16string& clip, const std::u16string& target) {
    const std::u16string key = Folded(target);
    const auto earlier = written_.find(key);
    if (earlier != written_.end() && earlier->second.clip != clip) {
      if (earlier->second.batch >= settledBatches_) Settle(true);
      bool replaced = earlier->second.target == target;
      if (!replaced) {
        // Names that differ only in case: the same file on a case-insensitive destination.
        sys::FileStatus a, b;
        replaced = !fs_.GetStatus(earlier->second.target, a) && !fs_.GetStatus(target, b) && a.IsSameFileAs(b);
      }
      if (replaced) {
        Problem& problem = Add(false, Operation::kReplacedCopy, clip);
        problem.target = target;
        problem.other = earlier->second.clip;
      }
    }
    written_[key] = {target, clip, batchNumber_, report_.shotFolders};
    shotKeys_.push_back(key);
  }

  // Ends the batch: its copies are committed (on the disk, proven, in place) and its clips,
  // all of whose copies are proven, marked. The commit runs while the next batch is copied,
  // and the marks follow when it is done; with `wait`, everything is settled before it returns.
  void Settle(bool wait) {
    FinishInFlight();
    if (batchCopies_ > 0) {
      fs_.BeginCommit();
      inFlight_ = std::move(batch_);
      inFlightProofBytes_ = batchProofBytes_;
      committing_ = true;
    } else {
      for (PendingClip& clip : batch_) Conclude(clip);
      settledBatches_ = batchNumber_ + 1;
    }
    batch_.clear();
    batchCopies_ = 0;
    batchBytes_ = 0;
    batchProofBytes_ = 0;
    ++batchNumber_;
    if (wait) FinishInFlight();
    Tell();
  }

  void FinishInFlight() {
    if (!committing_) return;
    std::vector<sys::CommittedCopy> committed;
    progress_.currentClip.clear();
    ByteCounter counter(*this);
    (void)fs_.FinishCommit(committed, &counter);  // each copy's own outcome is read below
    counter.Done(inFlightProofBytes_);
    // Kept until their clip is concluded: a clip under way may have a copy in this commit.
    for (sys::CommittedCopy& copy : committed) committed_[copy.target] = std::move(copy);
    for (PendingClip& clip : inFlight_) Conclude(clip);
    inFlight_.clear();
    committing_ = false;
    settledBatches_ = batchNumber_;
  }

  void Conclude(PendingClip& clip) {
    bool stopped = false;
    const auto check = [&](const std::vector<std::u16string>& targets, Operation operation) {
      for (const std::u16string& target : targets) {
        const auto found = committed_.find(target);
        const std::error_code error =
            found == committed_.end() ? std::error_code(Errc::kCancelled) : found->second.error;
        if (error == Errc::kCancelled) {
          stopped = true;  // not a failure: the person stopped the pass before its proof
        } else if (error) {
          Fail(operation, clip.path, target, error);
          clip.failed = true;
        } else if (operation == Operation::kCopyToAdl && clip.record != kNoRecord) {
          report_.clips[clip.record].hash = found->second.hash;
        }
        if (found != committed_.end()) committed_.erase(found);
      }
    };
    check(clip.adlTargets, Operation::kCopyToAdl);
    check(clip.intTargets, Operation::kCopyToInt);
    if (clip.failed || stopped) return;
    if (!clip.newPath.empty()) {
      const std::error_code error = fs_.RenameNoReplace(clip.path, clip.newPath);
      if (error == std::errc::file_exists) {
        Problem& problem = Add(false, Operation::kKeptName, clip.path);
        problem.target = clip.newPath;
      } else if (error) {
        Fail(Operation::kMark, clip.path, clip.newPath, error);
        return;
      } else {
        ++report_.clipsMarked;
        if (clip.record != kNoRecord) report_.clips[clip.record].markedAs = clip.newPath;
      }
    }
    ++report_.clipsCollected;
    if (clip.record != kNoRecord) report_.clips[clip.record].collected = true;
  }

  // The int copy of the greatest-numbered clip goes again, with its two folders when empty.
  void CleanUp(const ShotState& shot) {
    if (shot.rememberedIntVideoFolder.empty()) return;
    const std::u16string file = Join(shot.rememberedIntVideoFolder, MakeCleanupClipName(shot.greatestClipNumber));
    // A copy still staged in these folders would keep them: it is committed first.
    if (StagedIn(shot.rememberedIntFolder)) Settle(true);
    const auto earlier = written_.find(Folded(file));
    const std::error_code deleted = fs_.RemoveFile(file);
    // Usually not there: it was not written. Anything else a person should know.
    if (deleted && deleted != std::errc::no_such_file_or_directory) Warn(Operation::kCleanUp, file, deleted);
    if (!deleted && earlier != written_.end() && earlier->second.shot != report_.shotFolders) {
      // A copy made earlier in this pass for another clip (a shot that shares this one's words).
      Problem& problem = Add(false, Operation::kDeletedCopy, file);
      problem.other = earlier->second.clip;
    }
    for (const std::u16string* folder : {&shot.rememberedIntVideoFolder, &shot.rememberedIntFolder}) {
      if (const std::error_code error = fs_.RemoveEmptyFolder(*folder)) Warn(Operation::kCleanUp, *folder, error);
    }
  }

  bool StagedIn(const std::u16string& folder) const {
    const std::u16string prefix = Folded(folder) + sys::kPathSeparator;
    for (const std::vector<PendingClip>* clips : {&batch_, &inFlight_}) {
      for (const PendingClip& clip : *clips) {
        for (const auto* targets : {&clip.adlTargets, &clip.intTargets}) {
          for (const std::u16string& target : *targets) {
            if (Folded(target).starts_with(prefix)) return true;
          }
        }
      }
    }
    return false;
  }

  // Creates a folder the copies need; one that is there already is tidied of the temporaries
  // an interrupted pass left in it when `tidy`.
  void MakeFolder(const std::u16string& path, bool tidy) {
    const std::error_code error = fs_.MakeFolder(path);
    if (!error) return;
    if (error != std::errc::file_exists) {
      Problem& problem = Add(true, Operation::kMakeFolder, path);
      problem.reason = error;
      return;
    }
    if (!tidy) return;
    std::vector<sys::FolderEntry> entries;
    if (fs_.ListFolder(path, entries)) return;  // the copies into it will say what is wrong
    for (const sys::FolderEntry& entry : entries) {
      if (entry.isFolder || !sys::IsTemporaryName(entry.name)) continue;
      const std::u16string leftover = Join(path, entry.name);
      const std::error_code removed = fs_.RemoveLeftover(leftover);
      // One still held is this pass's own, staged by an earlier shot that shares the folder.
      if (removed && removed != Errc::kLeftoverInUse) Warn(Operation::kLeftover, leftover, removed);
    }
  }

  void Fail(Operation operation, const std::u16string& clip, const std::u16string& target, std::error_code error) {
    Problem& problem = Add(true, operation, clip);
    problem.target = target;
    problem.reason = error;
    failedClips_.insert(clip);
  }

  Problem& Add(bool failure, Operation operation, const std::u16string& path) {
    Problem& problem = report_.problems.emplace_back();
    problem.failure = failure;
    problem.operation = operation;
    problem.path = path;
    return problem;
  }

  void Warn(Operation operation, const std::u16string& path, std::error_code reason = {}) {
    Problem& problem = Add(false, operation, path);
    problem.reason = reason;
  }

  // Asked between steps; a stop takes effect where the pass can drop its staged copies.
  bool Stopped() {
    if (!cancelled_ && options_.observer && options_.observer->StopRequested()) cancelled_ = true;
    return cancelled_;
  }

  PassReport Finish() {
    if (cancelled_) {
      // The batch being committed stops where its copies are not yet proven; those that are
      // are marked. The copies not yet committed go; their clips keep their names.
      FinishInFlight();
      fs_.Abandon();
      batch_.clear();
    }
    report_.clipsFailed = failedClips_.size();
    if (cancelled_) {
      report_.outcome = Outcome::kCancelled;
    } else if (report_.Failures() > 0) {  // every failing clip and unlisted clip folder is one
      report_.outcome = Outcome::kIncomplete;
    }
    report_.clipsPlanned = std::max(progress_.clipsTotal, report_.clipsSeen);
    progress_.stage = PassProgress::Stage::kDone;
    progress_.currentClip.clear();
    Tell();
    return std::move(report_);
  }

  // Progress: the bytes of the work (copies, and proofs with verification) shown as a share of
  // the clips' own bytes. A counter adds what one step has done so far, and all of it at Done.
  class ByteCounter final : public sys::ByteObserver {
   public:
    explicit ByteCounter(Pass& pass) : pass_(pass), base_(pass.workDone_) {}
    bool OnBytes(std::uint64_t bytesDone) override {
      pass_.SetWorkDone(base_ + bytesDone);
      return !pass_.Stopped();
    }
    void Done(std::uint64_t bytes) { pass_.SetWorkDone(base_ + bytes); }

   private:
    Pass& pass_;
    std::uint64_t base_;
  };

  void SetWorkDone(std::uint64_t work) {
    workDone_ = std::max(workDone_, work);
    const std::uint64_t done = std::min(workDone_, workTotal_);
    progress_.bytesDone = workTotal_ == 0 ? 0
                                          : static_cast<std::uint64_t>(static_cast<long double>(progress_.bytesTotal) *
                                                                       static_cast<long double>(done) /
                                                                       static_cast<long double>(workTotal_));
    Tell();
  }

  void Tell() {
    if (options_.observer) options_.observer->OnProgress(progress_);
  }

  sys::FileSystem& fs_;
  const PassOptions& options_;
  PassReport report_;
  PassProgress progress_;
  std::uint64_t workTotal_ = 0;
  std::uint64_t workDone_ = 0;
  std::unordered_set<std::u16string> sharedAdlFolders_;
  std::unordered_map<std::u16string, WrittenCopy> written_;
  std::vector<std::u16string> shotKeys_;
  std::unordered_set<std::u16string> failedClips_;
  std::vector<PendingClip> batch_;
  std::size_t batchCopies_ = 0;
  std::uint64_t batchBytes_ = 0;
  std::uint64_t batchProofBytes_ = 0;
  std::size_t batchNumber_ = 0;      // of the batch being copied
  std::size_t settledBatches_ = 0;   // the batches before this one are committed and concluded
  std::vector<PendingClip> inFlight_;  // the clips of the batch being committed
  std::uint64_t inFlightProofBytes_ = 0;
  bool committing_ = false;
  std::unordered_map<std::u16string, sys::CommittedCopy> committed_;
  bool cancelled_ = false;
};

}  // namespace

PassReport CollectClips(sys::FileSystem& fs, std::u16string startingFolder, std::u16string destinationFolder,
                        const PassOptions& options) {
  return Pass(fs, options).Run(std::move(startingFolder), std::move(destinationFolder));
}

}  // namespace marlowin
