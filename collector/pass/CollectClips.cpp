// The pass: the two folders checked and held (by identity, GuardedFileSystem), the destination's
// history read, the plan built, the room on the destination checked, then the plan's steps
// carried out in order. A clip's copies are queued (CopyQueue) and committed in batches; once its
// batch is proven and in place, its clips are concluded together: their copies recorded in the
// history and flushed there, then each clip marked when every copy of it is proven and recorded
// and the clip is still the one they were made from. An adl copy that fails leaves its clip out of
// the rest of its shot, and the clean-up follows from the copies as they went (CleanUpRule);
// everything else was decided by the plan. A stop ends the pass between two steps, or drops the
// copy under way: the copies written before it are still proven, put in place and their clips
// marked. A folder that goes away ends the pass at once, and every clip not collected says why.
#include "collector/pass/CollectClips.h"

#include <chrono>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "collector/naming/CleanUpRule.h"
#include "collector/pass/CopyQueue.h"
#include "collector/pass/FoldersMade.h"
#include "collector/pass/GuardedFileSystem.h"
#include "recorder/PassHistory.h"
#include "collector/pass/PassStart.h"
#include "collector/plan/PlanProblems.h"
#include "collector/report/ProblemList.h"
#include "collector/pass/WorkMeter.h"
#include "history/MhlDate.h"
#include "platform/Errors.h"
#include "platform/NativeName.h"
#include "platform/Paths.h"

namespace marlowin::pass {
namespace {

constexpr std::uint64_t kNoTicket = 0;

platform::FileTime ToFileTime(std::chrono::system_clock::time_point time) {
  const auto since = std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
  return {since / 1'000'000'000, static_cast<std::uint32_t>(since % 1'000'000'000)};
}
constexpr std::size_t kNoRecord = static_cast<std::size_t>(-1);

// A clip whose copies are queued, waiting for the commit that proves them before it is marked.
// Its paths are the plan's: only what the copies did is kept here.
struct PendingClip {
  std::uint32_t shot = 0;
  std::uint32_t clip = 0;
  std::uint64_t adlTicket = kNoTicket;
  std::uint64_t intTicket = kNoTicket;
  bool adlWritten = false, intWritten = false;  // else found in place and proven
  bool failed = false;
  std::size_t record = kNoRecord;
};

class Pass {
 public:
  Pass(platform::FileSystem& fs, const PassOptions& options)
      : fs_(fs), options_(options), problems_(report_.problems), meter_(options.observer), queue_(fs_),
        folders_(fs_, problems_) {}

  report::PassReport Run(std::u16string startingFolder, std::u16string destinationFolder) {
    report_.startingFolder = std::move(startingFolder);
    report_.destinationFolder = std::move(destinationFolder);
    report_.verified = options_.verify;
    report_.started = std::chrono::system_clock::now();
    std::vector<std::unique_ptr<platform::FolderLock>> locks;
    std::vector<platform::FolderEntry> entries;
    if (!OpenFolders(fs_, report_, locks, entries)) return std::move(report_);
    // From here on both folders must stay the ones just checked.
    if (!Hold(report_.startingFolder, GuardedFileSystem::Role::kStartingFolder) ||
        !Hold(report_.destinationFolder, GuardedFileSystem::Role::kDestination)) {
      return std::move(report_);
    }
    ReadHistory();

    plan::PlanSettings settings{options_.verify, &recorded_, historyKept_ && options_.verify, options_.batchBytes,
                          options_.batchCopies};
    plan_ = plan::BuildPlan(fs_, report_.startingFolder, report_.destinationFolder, entries, settings, [this](const plan::Plan& plan) {
      meter_.Progress().clipsTotal = plan.clips;
      meter_.Progress().bytesTotal = plan.clipBytes;
      meter_.Tell();
      return !meter_.Stopped();
    });
    std::vector<platform::FolderEntry>().swap(entries);  // the plan holds what the pass needs of it
    if (options_.onPlan) options_.onPlan(plan_);
    collectedInShot_.assign(plan_.shots.size(), 0);
    report_.clipsPlanned = plan_.clips;
    if (plan_.stopped) return Finish();
    if (!HasRoom(fs_, plan_, report_)) return std::move(report_);
    if (options_.dryRun) {
      plan::TellPlan(plan_, report_, problems_);
      return Finish();
    }

    meter_.Start(plan_.work, plan_.clips, plan_.clipBytes);
    meter_.Progress().stage = report::PassProgress::Stage::kCopying;
    meter_.Tell();
    for (; next_ < plan_.steps.size(); ++next_) {
      if (meter_.Stopped() || fs_.Gone()) break;
      Carry(plan_.steps[next_]);
    }
    return Finish();
  }


 private:
  // A folder held by its identity from now on; false (the pass not started) when it is not there.
  bool Hold(const std::u16string& folder, GuardedFileSystem::Role role) {
    const std::error_code error = fs_.Hold(folder, role);
    if (!error) return true;
    const bool start = role == GuardedFileSystem::Role::kStartingFolder;
    report_.outcome = start ? report::Outcome::kStartingFolderMissing : report::Outcome::kDestinationFolderMissing;
    report::Problem& problem = problems_.Add(true, start ? report::Operation::kListStartingFolder : report::Operation::kOpenDestination, folder);
    problem.reason = error;
    return false;
  }

  // The destination's history, read before the plan: the copies it records are kept as they are.
  // A dry run reads it and changes nothing, not even what a stopped pass left.
  void ReadHistory() {
    bool foldsCase = true;
    if (fs_.FoldsCase(report_.destinationFolder, foldsCase)) foldsCase = true;
    recorded_ = recorder::RecordedCopies(foldsCase);
    history_.emplace(fs_, report_.destinationFolder, ToFileTime(report_.started), options_.verify);
    const bool keep = options_.keepHistory && !options_.dryRun;
    if (const history::Failure failure = history_->Open(keep, recorded_)) {
      report::Problem& problem = problems_.Add(false, report::Operation::kHistoryUnread, history_->Folder());
      problem.reason = failure.code;
      problem.rule = platform::FromNativeName(history::Describe(failure));
      recorded_ = recorder::RecordedCopies(foldsCase);
      return;
    }
    historyKept_ = keep;
  }

  void Carry(const plan::Step& step) {
    switch (step.kind) {
      case plan::StepKind::kProblem:
        problems_.Tell(plan_.problems[step.index]);
        break;
      case plan::StepKind::kShot: {
        const plan::PlannedShot& shot = plan_.shots[step.shot];
        adlFailed_.assign(shot.clips.size(), false);
        // Its folders matter only where a copy goes into them.
        plan_.ShotOperations(shot, [&](const plan::PlanOperation& op) {
          folders_.MakeOrTidy(op, step.shot, plan::kNoIndex, !shot.clips.empty());
          return true;
        });
        plan::TellShot(plan_, shot, report_, problems_);
        break;
      }
      case plan::StepKind::kClip:
        CarryClip(step.shot, step.index);
        break;
      case plan::StepKind::kCommit:
        batches_.OnCommit(step.index != 0, Finisher(), Concluder(), Committer());
        ConcludeAll();
        break;
      case plan::StepKind::kSettle:
        Settle(step.index != 0);
        break;
      case plan::StepKind::kCleanUp:
        CleanUpShot(plan_.shots[step.shot]);
        break;
    }
  }

  // Everything staged proven, put in place and concluded.
  void Settle(bool staged) {
    batches_.OnSettle(staged, Finisher(), Concluder(), Committer());
    ConcludeAll();
  }

  void CarryClip(std::uint32_t shotIndex, std::uint32_t index) {
    const plan::PlannedShot& shot = plan_.shots[shotIndex];
    const plan::PlannedClip& clip = shot.clips[index];
    plan::TellProblems(plan_, clip.firstProblem, clip.problemCount, problems_);
    report::PassProgress& progress = meter_.Progress();
    if (clip.blocked) {
      adlFailed_[index] = true;
      ++progress.clipsDone;
      return;
    }
    PendingClip pending;
    pending.shot = shotIndex;
    pending.clip = index;
    const std::u16string clipPath = plan_.ClipPath(shot, clip);
    if (options_.recordClips) {
      pending.record = report_.clips.size();
      report_.clips.emplace_back().source = clipPath;
    }
    progress.currentClip = clipPath;
    meter_.Tell();
    bool dropped = false;  // stopped during a copy: the clip is for the next pass
    plan_.ClipOperations(shot, clip, [&](const plan::PlanOperation& op) {
      if (op.kind == plan::PlanOperation::Kind::kMakeFolder || op.kind == plan::PlanOperation::Kind::kRemoveLeftover) {
        folders_.MakeOrTidy(op, shotIndex, index, clip.hasIntCopy);
        return true;
      }
      const plan::PlannedCopy& planned = op.intCopy ? clip.intCopy : clip.adl;
      const std::error_code error = CopyOne(op, planned, clip, pending);
      if (error == platform::Errc::kCancelled) {
        dropped = true;
        return false;
      }
      if (!error) return true;
      if (error == platform::Errc::kRecordedCopyDiffers) {
        report::Problem& problem = problems_.FailClip(report::Operation::kRecordedCopy, clipPath);
        problem.target = op.path;
        problem.rule = u"holds another clip's copy, recorded by " + RecordedWhen(op.path) + u": the clip keeps its name";
      } else {
        problems_.Fail(op.intCopy ? report::Operation::kCopyToInt : report::Operation::kCopyToAdl, clipPath, op.path, error);
      }
      pending.failed = true;
      if (!op.intCopy) adlFailed_[index] = true;  // the clip is passed over: no int copy, no mark
      return op.intCopy;
    });
    if (dropped) return;
    ++progress.clipsDone;
    if (!adlFailed_[index]) batches_.Add(std::move(pending));
  }

  // "generation 3 on 2026-12-08 19:22:17 UTC", of the copy the history records at `path`.
  std::u16string RecordedWhen(const std::u16string& path) const {
    const recorder::RecordedCopy* recorded = plan_.Recorded(path);
    if (!recorded) return u"the history";
    return u"generation " + platform::FromNativeName(std::to_string(recorded->sequence)) + u" on " +
           platform::FromNativeName(history::FormatShownDate(recorded->recorded));
  }

  // One copy as the plan has it: written, queued to be proven, or left in place.
  std::error_code CopyOne(const plan::PlanOperation& op, const plan::PlannedCopy& planned, const plan::PlannedClip& clip,
                          PendingClip& pending) {
    std::uint64_t& ticket = op.intCopy ? pending.intTicket : pending.adlTicket;
    if (pending.record != kNoRecord) (op.intCopy ? report_.clips[pending.record].intCopy : report_.clips[pending.record].adlCopy) = op.path;
    WorkMeter::Step work(meter_);
    const std::uint64_t proof = options_.verify ? clip.size : 0;
    if (planned.action == plan::CopyAction::kInPlace) {
      ++report_.copiesInPlace;
      work.Done(clip.size + proof);
      return {};
    }
    if (planned.action == plan::CopyAction::kProve) {
      ticket = queue_.Prove(op.from, op.path, planned.overRecorded);
      work.Done(clip.size);
      batchProofBytes_ += proof;
      return {};
    }
    // The clip's bytes are hashed as they are read: for the proof, the record, and a copy that
    // may go only where the history records the same bytes.
    CopyQueue::Mode mode;
    mode.hash = options_.verify || historyKept_ || clip.adl.overRecorded || clip.intCopy.overRecorded;
    mode.prove = options_.verify;
    mode.planned = true;
    mode.size = clip.size;
    mode.modified = clip.modified;
    const std::error_code error = planned.fromAdlCopy
                                      ? queue_.CopyOfQueued(pending.adlTicket, op.path, options_.verify, &work, ticket)
                                      : queue_.Copy(op.from, op.path, mode, &work, ticket);
    if (error) return error;
    if (planned.overRecorded) {
      const recorder::RecordedCopy* recorded = plan_.Recorded(op.path);
      if (!recorded || queue_.HashOf(ticket) != recorded->xxh128) {
        // Another clip's copy is recorded there: it stays, and this clip keeps its name.
        queue_.Drop(ticket);
        ticket = kNoTicket;
        work.Done(clip.size + proof);
        return platform::Errc::kRecordedCopyDiffers;
      }
    }
    (op.intCopy ? pending.intWritten : pending.adlWritten) = true;  // counted once it is in place
    work.Done(clip.size);
    batchProofBytes_ += proof;
    return {};
  }

  std::function<void()> Finisher() {
    return [this] {
      if (!committing_) return;
      report::PassProgress& progress = meter_.Progress();
      progress.currentClip.clear();
      progress.verifying = options_.verify;  // the window says it reads copies back
      meter_.Tell();
      // Copies written are proven and put in place even after a stop: their clips are marked.
      WorkMeter::Step work(meter_, false);
      std::vector<CopyOutcome> outcomes;
      queue_.FinishCommit(outcomes, &work);
      work.Done(inFlightProofBytes_);
      progress.verifying = false;
      meter_.Tell();
      for (CopyOutcome& outcome : outcomes) outcomes_[outcome.ticket] = std::move(outcome);
      committing_ = false;
    };
  }
  std::function<void()> Committer() {
    return [this] {
      queue_.BeginCommit();
      inFlightProofBytes_ = batchProofBytes_;
      batchProofBytes_ = 0;
      committing_ = true;
    };
  }
  std::function<void(PendingClip&)> Concluder() {
    return [this](PendingClip& clip) { concluding_.push_back(std::move(clip)); };
  }

  // The clips whose batches are finished: the copies of those fully proven recorded and flushed
  // to the history first, then each of them marked.
  void ConcludeAll() {
    std::vector<PendingClip> clips;
    clips.swap(concluding_);
    std::vector<PendingClip*> proven;
    for (PendingClip& clip : clips) {
      if (CheckCopies(clip)) proven.push_back(&clip);
    }
    if (proven.empty()) return;
    if (historyKept_) {
      if (const std::error_code error = history_->Flush()) {
        for (PendingClip* clip : proven) {
          const plan::PlannedShot& shot = plan_.shots[clip->shot];
          problems_.Fail(report::Operation::kNotRecorded, plan_.ClipPath(shot, shot.clips[clip->clip]), {}, error);
        }
        return;
      }
    }
    for (PendingClip* clip : proven) Mark(*clip);
  }

  // The outcome of each copy of a clip whose batch is finished, told and recorded; true when
  // every copy is proven and in place.
  bool CheckCopies(PendingClip& pending) {
    const plan::PlannedShot& shot = plan_.shots[pending.shot];
    const plan::PlannedClip& planned = shot.clips[pending.clip];
    const std::u16string path = plan_.ClipPath(shot, planned);
    bool stopped = false;
    const auto check = [&](std::uint64_t ticket, const std::u16string& target, report::Operation operation, bool written,
                           const plan::PlannedCopy& copy) {
      if (ticket == kNoTicket) return;
      const auto found = outcomes_.find(ticket);
      const std::error_code error = found == outcomes_.end() ? std::error_code(platform::Errc::kCancelled) : found->second.error;
      if (error == platform::Errc::kCancelled) {
        stopped = true;  // not a failure: the person stopped the pass before its proof
      } else if (error == platform::Errc::kCopyDiffers && !written && copy.overRecorded) {
        // The copy in place is the one the history records, and not this clip's: it stays.
        report::Problem& problem = problems_.FailClip(report::Operation::kRecordedCopy, path);
        problem.target = target;
        problem.rule = u"holds another clip's copy, recorded by " + RecordedWhen(target) + u": the clip keeps its name";
        pending.failed = true;
      } else if (error) {
        problems_.Fail(operation, path, target, error);
        pending.failed = true;
      } else {
        if (written) {
          ++report_.copiesWritten;
          report_.bytesWritten += planned.size;
        } else {
          ++report_.copiesProven;
        }
        if (operation == report::Operation::kCopyToAdl && pending.record != kNoRecord) {
          report_.clips[pending.record].hash = found->second.hash;
        }
        // A copy that a later clip of the pass replaces is not this clip's to record.
        if (planned.loses == plan::kNoIndex || plan_.problems[planned.loses].target != target) {
          Record({target, planned.size, planned.modified, found->second.hash, written, options_.verify,
                  written || !plan_.Recorded(target), platform::Now()});
        }
      }
      if (found != outcomes_.end()) outcomes_.erase(found);
    };
    if (pending.adlTicket != kNoTicket) {
      check(pending.adlTicket, plan_.AdlTarget(shot, planned), report::Operation::kCopyToAdl, pending.adlWritten, planned.adl);
    }
    if (pending.intTicket != kNoTicket) {
      check(pending.intTicket, plan_.IntTarget(shot, planned), report::Operation::kCopyToInt, pending.intWritten,
            planned.intCopy);
    }
    return !pending.failed && !stopped;
  }

  // A clip whose copies are proven and recorded: given its marked name, when it is still the clip
  // they were made from.
  void Mark(PendingClip& pending) {
    const plan::PlannedShot& shot = plan_.shots[pending.shot];
    const plan::PlannedClip& planned = shot.clips[pending.clip];
    const std::u16string path = plan_.ClipPath(shot, planned);
    if (planned.loses != plan::kNoIndex) {
      problems_.Tell(plan_.problems[planned.loses]);
      return;
    }
    if (!planned.marked) {
      const std::u16string newPath = plan_.MarkedPath(shot, planned);
      if (const std::error_code changed = Changed(path, planned)) {
        problems_.Fail(report::Operation::kMark, path, newPath, changed);
        return;
      }
      const std::error_code error = fs_.RenameNoReplace(path, newPath);
      if (error == std::errc::file_exists) {
        problems_.Add(false, report::Operation::kKeptName, path).target = newPath;
      } else if (error) {
        problems_.Fail(report::Operation::kMark, path, newPath, error);
        return;
      } else {
        ++report_.clipsMarked;
        if (pending.record != kNoRecord) report_.clips[pending.record].markedAs = newPath;
      }
    }
    ++report_.clipsCollected;
    if (pending.adlWritten || pending.intWritten) {
      ++report_.clipsCopied;
    } else if (pending.adlTicket != kNoTicket || pending.intTicket != kNoTicket) {
      ++report_.clipsProven;
    } else {
      ++report_.clipsAlready;
    }
    ++collectedInShot_[pending.shot];
    if (pending.record != kNoRecord) report_.clips[pending.record].collected = true;
  }

  // Whether the clip is no longer the file its copies were made from: another size, time or
  // file (where its file system keeps a file's id). A camera still writing, a card swapped.
  std::error_code Changed(const std::u16string& path, const plan::PlannedClip& planned) {
    platform::FileStatus now;
    if (const std::error_code error = fs_.GetStatus(path, now)) return error;
    const bool same = now.size == planned.size && now.modified == planned.modified &&
                      (!plan_.stableClipIds || (now.volume == planned.volume && now.fileId == planned.fileId));
    return same ? std::error_code() : std::error_code(platform::Errc::kClipChanged);
  }

  // A copy for the history; one whose name XML cannot hold is left out of it, and said so.
  void Record(const recorder::LoggedCopy& copy) {
    if (!historyKept_) return;
    if (history_->Add(copy) == history::HistoryErrc::kNotXmlText) {
      problems_.Add(false, report::Operation::kNameNotRecorded, copy.path);
    }
  }

  // The int copy of the greatest-numbered clip whose adl copy was made goes again, with its two
  // folders when they are empty; never a copy the history records.
  void CleanUpShot(const plan::PlannedShot& shot) {
    const naming::CleanUp cleanUp = plan::ShotCleanUp(shot, [this](std::size_t clip) { return !adlFailed_[clip]; });
    if (cleanUp.intNumber.empty()) return;
    const naming::CleanUp planned = plan::ShotCleanUp(shot, [&shot](std::size_t clip) { return !shot.clips[clip].blocked; });
    const bool moved = cleanUp.greatest != planned.greatest || cleanUp.intNumber != planned.intNumber;
    // A copy still queued in these folders would keep them: it is committed first.
    if (queue_.HasCopiesIn(plan_.IntFolder(shot, cleanUp.intNumber))) Settle(true);
    plan_.CleanUpOperations(shot, cleanUp.greatest, cleanUp.intNumber, [&](const plan::PlanOperation& op) {
      if (op.kind != plan::PlanOperation::Kind::kDelete) {
        if (const std::error_code error = fs_.RemoveEmptyFolder(op.path)) problems_.Warn(report::Operation::kCleanUp, op.path, error);
        return true;
      }
      if (const recorder::RecordedCopy* recorded = plan_.Recorded(op.path)) {
        // A proven copy someone may have cleared a card on: it stays, and with it its folders.
        problems_.Add(false, report::Operation::kKeptRecorded, op.path).rule =
            u"generation " + platform::FromNativeName(std::to_string(recorded->sequence));
        return false;
      }
      // A copy this pass recorded is taken out of its record before it goes.
      platform::FileStatus status;
      if (!fs_.GetLinkStatus(op.path, status)) {
        if (const std::error_code error = history_->Remove(op.path)) {
          problems_.Warn(report::Operation::kCleanUp, op.path, error);
          return false;
        }
      }
      const std::error_code deleted = fs_.RemoveFile(op.path);
      // Usually not there: it was not written. Anything else a person should know.
      if (deleted && deleted != std::errc::no_such_file_or_directory) problems_.Warn(report::Operation::kCleanUp, op.path, deleted);
      if (!deleted && moved) {
        // As the naming rules have it; the person should know what is gone, and why.
        report::Problem& problem = problems_.Add(false, report::Operation::kCleanUpMoved, plan_.IntFolder(shot, cleanUp.intNumber));
        problem.target = op.path;
        problem.other = GreatestNotCopied(shot, planned.greatest);
      }
      return true;
    });
  }

  std::u16string GreatestNotCopied(const plan::PlannedShot& shot, const std::u16string& greatest) const {
    for (std::size_t i = 0; i < shot.clips.size(); ++i) {
      if (adlFailed_[i] && shot.clips[i].Number() == greatest) return plan_.ClipPath(shot, shot.clips[i]);
    }
    return {};
  }

  // A folder gone: what was staged is settled (its copies fail on their own), and every clip the
  // pass did not reach is named, with the reason; the folder's line comes first.
  void EndWithFolderGone(std::error_code gone) {
    Settle(queue_.Queued() > 0);
    for (; next_ < plan_.steps.size(); ++next_) {
      const plan::Step& step = plan_.steps[next_];
      if (step.kind == plan::StepKind::kProblem) problems_.Tell(plan_.problems[step.index]);
      if (step.kind == plan::StepKind::kShot) plan::TellShot(plan_, plan_.shots[step.shot], report_, problems_);
      if (step.kind != plan::StepKind::kClip) continue;
      const plan::PlannedShot& shot = plan_.shots[step.shot];
      const plan::PlannedClip& clip = shot.clips[step.index];
      plan::TellProblems(plan_, clip.firstProblem, clip.problemCount, problems_);
      if (!clip.blocked) problems_.Fail(report::Operation::kNotReached, plan_.ClipPath(shot, clip), {}, gone);
    }
    report::Problem problem;
    problem.failure = true;
    problem.operation = report::Operation::kFolderGone;
    problem.path = gone == platform::Errc::kDestinationGone ? report_.destinationFolder : report_.startingFolder;
    problem.reason = gone;
    report_.problems.insert(report_.problems.begin(), std::move(problem));
  }

  report::PassReport Finish() {
    if (const std::error_code gone = fs_.Gone()) {
      EndWithFolderGone(gone);
      report_.outcome = report::Outcome::kIncomplete;
    } else if (meter_.Stopped()) {
      // The copy under way was dropped; those written before it are proven, put in place and
      // their clips marked. Folders made for copies that never came go again.
      Settle(queue_.Queued() > 0);
      folders_.RemoveEmpty(plan_);
      report_.outcome = report::Outcome::kCancelled;
    } else if (problems_.FailedClips() > 0 || report_.Failures() > 0) {
      report_.outcome = report::Outcome::kIncomplete;
    }
    report_.clipsFailed = problems_.FailedClips();
    for (std::size_t i = 0; i < plan_.shots.size() && i < collectedInShot_.size(); ++i) {
      const std::size_t clips = plan_.shots[i].clips.size();
      if (clips > 0 && collectedInShot_[i] == clips) ++report_.shotFoldersCollected;
    }
    report_.clipsPlanned = std::max(report_.clipsPlanned, report_.clipsSeen);
    if (history_ && historyKept_) {
      // The copies are what the outcome is about: a history not kept is a warning.
      if (const history::Failure failure = history_->Finish()) {
        report::Problem& problem = problems_.Add(false, report::Operation::kHistory, history_->Folder());
        problem.reason = failure.code;
        problem.rule = platform::FromNativeName(history::Describe(failure));
        if (history_->SpoolKept()) problem.rule += u"; the next pass to this folder records its copies";
      }
    }
    meter_.Progress().stage = report::PassProgress::Stage::kDone;
    meter_.Progress().currentClip.clear();
    meter_.Tell();
    return std::move(report_);
  }

  GuardedFileSystem fs_;
  const PassOptions& options_;
  report::PassReport report_;
  report::ProblemList problems_;
  WorkMeter meter_;
  CopyQueue queue_;
  plan::Plan plan_;
  plan::BatchOrder<PendingClip> batches_;
  FoldersMade folders_;
  std::size_t next_ = 0;                 // the step carried out next
  std::vector<std::size_t> collectedInShot_;                    // clips collected, by shot
  std::vector<bool> adlFailed_;  // by clip of the shot under way: no adl copy, out of its clean-up
  std::unordered_map<std::uint64_t, CopyOutcome> outcomes_;  // of the commits finished, by ticket
  std::vector<PendingClip> concluding_;  // clips whose batch is finished, to be recorded and marked
  std::uint64_t batchProofBytes_ = 0;
  std::uint64_t inFlightProofBytes_ = 0;
  bool committing_ = false;
  recorder::RecordedCopies recorded_;
  bool historyKept_ = false;  // this pass adds to the history: a clip is marked once recorded
  std::optional<recorder::PassHistory> history_;
};

}  // namespace

report::PassReport CollectClips(platform::FileSystem& fs, std::u16string startingFolder, std::u16string destinationFolder,
                        const PassOptions& options) {
  return Pass(fs, options).Run(std::move(startingFolder), std::move(destinationFolder));
}

}  // namespace marlowin::pass
