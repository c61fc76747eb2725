// The pass: the two folders checked and held (by identity, GuardedFileSystem), the destination's
// history read, the plan built, the room on the destination checked, then one walk of the plan
// with the pass as its sink. Folders are made as the plan has them; a clip's copies go to the
// batch commit (BatchCommit), which hands the clips back batch by batch once their copies are
// proven and in place; then they are concluded (Conclusion): recorded, and marked. Whatever a dry
// run prints comes from the same walk, with a sink that prints (DryRun). A stop ends the walk
// between two steps, or drops the copy under way: the copies written before it are still proven,
// put in place and their clips marked. A folder that goes away ends the pass at once, and every
// clip not collected says why.
#include "collector/pass/CollectClips.h"

#include <chrono>
#include <optional>
#include <utility>
#include <vector>

#include "collector/pass/BatchCommit.h"
#include "collector/pass/Conclusion.h"
#include "collector/pass/CopiesWithoutClip.h"
#include "collector/pass/CopyMend.h"
#include "collector/pass/DryRun.h"
#include "collector/pass/FoldersMade.h"
#include "collector/pass/GuardedFileSystem.h"
#include "collector/pass/PassStart.h"
#include "collector/pass/WorkMeter.h"
#include "collector/plan/PlanProblems.h"
#include "collector/plan/PlanWalk.h"
#include "collector/report/ProblemList.h"
#include "platform/Errors.h"
#include "platform/NativeName.h"
#include "recorder/PassHistory.h"

namespace marlowin::pass {
namespace {

platform::FileTime ToFileTime(std::chrono::system_clock::time_point time) {
  const auto since = std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
  return {since / 1'000'000'000, static_cast<std::uint32_t>(since % 1'000'000'000)};
}

class Pass final : public plan::PlanSink {
 public:
  Pass(platform::FileSystem& fs, const PassOptions& options)
      : fs_(fs), options_(options), problems_(report_.problems), meter_(options.observer),
        commit_(&fs_, &meter_, options.verify), folders_(fs_, problems_) {}

  report::PassReport Run(std::u16string startingFolder, std::u16string destinationFolder) {
    report_.startingFolder = std::move(startingFolder);
    report_.destinationFolder = std::move(destinationFolder);
    report_.backupFolder = options_.backupFolder;
    report_.verified = options_.verify;
    report_.started = std::chrono::system_clock::now();
    std::vector<std::unique_ptr<platform::FolderLock>> locks;
    std::vector<platform::FolderEntry> entries;
    if (!OpenFolders(fs_, report_, locks, entries)) return std::move(report_);
    // From here on both folders must stay the ones just checked.
    std::vector<std::u16string> destinations{report_.destinationFolder};
    if (!report_.backupFolder.empty()) destinations.push_back(report_.backupFolder);
    if (!Hold(report_.startingFolder, GuardedFileSystem::Role::kStartingFolder) ||
        !Hold(report_.destinationFolder, GuardedFileSystem::Role::kDestination) ||
        (destinations.size() > 1 && !Hold(report_.backupFolder, GuardedFileSystem::Role::kBackup))) {
      return std::move(report_);
    }
    plan::PlanSettings settings;
    settings.verify = options_.verify;
    settings.batchBytes = options_.batchBytes;
    settings.batchCopies = options_.batchCopies;
    settings.reverify = options_.reverify;
    plan::PerDestination<recorder::PassHistory*> histories{};
    bool everyHistoryKept = true;
    for (std::size_t d = 0; d < destinations.size(); ++d) {
      ReadHistory(d, destinations);
      settings.recorded[d] = &recorded_[d];
      settings.proveUnrecorded[d] = historyKept_[d] && options_.verify;
      histories[d] = historyKept_[d] ? &*history_[d] : nullptr;
      everyHistoryKept = everyHistoryKept && historyKept_[d];
    }
    plan_ = plan::BuildPlan(fs_, report_.startingFolder, destinations, entries, settings,
                            [this](const plan::Plan& plan) {
                              meter_.Progress().clipsTotal = plan.clips;
                              meter_.Progress().bytesToCopy = plan.clipBytes;
                              meter_.Tell();
                              return !meter_.Stopped();
                            });
    std::vector<platform::FolderEntry>().swap(entries);  // the plan holds what the pass needs of it
    if (options_.onPlan) options_.onPlan(plan_);
    // A history that cannot be read in one destination keeps none of this pass's records there;
    // the other's are still kept and waited for.
    conclusion_.emplace(fs_, plan_, report_, problems_, histories, true, options_.verify);
    (void)everyHistoryKept;
    // A mend needs the history: without it, other footage could take a recorded copy's place.
    if (options_.reverify && historyRead_) conclusion_->MendWith(&mender_.emplace(fs_, plan_, problems_));
    report_.clipsPlanned = plan_.clips;
    report_.shotFoldersPlanned = plan_.shots.size();
    if (plan_.stopped) return Finish();
    if (!HasRoom(fs_, plan_, report_)) return std::move(report_);
    if (options_.dryRun) {
      DryRun dryRun(plan_, report_, problems_, options_.printLine, &fs_);
      plan::Walk(plan_, dryRun, next_);
      NameCopiesWithoutClip();
      return Finish();
    }

    meter_.Start(plan_);
    meter_.Tell();
    plan::Walk(plan_, *this, next_);
    NameCopiesWithoutClip();
    return Finish();
  }

  // The walk's sink: the plan carried out.
  bool StopBefore() override { return meter_.Stopped() || fs_.Gone(); }
  void Tell(const report::Problem& problem) override { problems_.Tell(problem); }
  void BeginShot(std::uint32_t shot) override {
    for (std::vector<bool>& failed : adlFailed_) failed.assign(plan_.shots[shot].clips.size(), false);
    plan::TellShot(plan_, plan_.shots[shot], report_, problems_);
  }
  void Folder(const plan::PlanOperation& op, std::uint32_t shot, std::uint32_t clip, bool needed) override {
    // A destination gone takes no more folders: its copies fail, each saying so.
    if (DestinationGone(op.destination)) return;
    folders_.MakeOrTidy(op, shot, clip, needed);
  }
  void BeginClip(std::uint32_t shot, std::uint32_t clip) override;
  CopyVerdict Copy(const plan::PlanOperation& op, std::uint32_t shot, std::uint32_t clip) override;
  void EndClip(std::uint32_t shot, std::uint32_t clip, bool adlMade, bool dropped) override;
  void Commit(bool staged, bool settle) override {
    std::vector<CommittedClip> done = settle ? commit_.Settle(staged) : commit_.Commit(staged);
    const std::size_t clips = done.size();
    conclusion_->Conclude(std::move(done));
    meter_.ClipsDone(clips);
  }
  bool StagedIn(const std::u16string& folder) override { return commit_.HasCopiesIn(folder); }
  bool CleanUp(const plan::PlanOperation& op, std::uint32_t shot, const naming::CleanUp& cleanUp, bool moved) override;
  void KeepRecorded(const std::u16string& path, const recorder::RecordedCopy& recorded) override {
    // A proven copy someone may have cleared a card on: it stays, and with it its folders.
    problems_.Add(false, report::Operation::kKeptRecorded, path).rule =
        u"generation " + platform::FromNativeName(std::to_string(recorded.sequence));
  }

 private:
  bool Hold(const std::u16string& folder, GuardedFileSystem::Role role);
  void ReadHistory(std::size_t d, const std::vector<std::u16string>& destinations);
  // One copy as the plan has it: written, queued to be proven, or left in place.
  std::error_code CopyOne(const plan::PlanOperation& op, const plan::PlannedShot& shot, const plan::PlannedClip& clip);
  // The clip's bytes for a copy written to destination `d`: read once for both destinations.
  std::error_code WriteCopy(const plan::PlanOperation& op, const plan::PlannedShot& shot, const plan::PlannedClip& clip,
                            std::uint64_t proof,
                            WorkMeter::Step& work);
  std::error_code DestinationGone(std::size_t d) const;
  void EndWithFolderGone(std::error_code gone);
  void TellGone();
  void NameCopiesWithoutClip() {
    if (options_.reverify && !meter_.Stopped() && !fs_.Gone()) TellCopiesWithoutClip(plan_, recorded_[0], report_, problems_);
  }
  report::PassReport Finish();

  GuardedFileSystem fs_;
  const PassOptions& options_;
  report::PassReport report_;
  report::ProblemList problems_;
  WorkMeter meter_;
  BatchCommit commit_;
  plan::Plan plan_;
  FoldersMade folders_;
  std::size_t next_ = 0;  // the step carried out next
  std::size_t record_ = kNoRecord;  // the clip under way's place in report_.clips
  plan::PerDestination<std::vector<bool>> adlFailed_;  // by clip of the shot under way, for the clean-up's line
  plan::PerDestination<recorder::RecordedCopies> recorded_;
  plan::PerDestination<bool> historyKept_{};  // this pass adds to the history: a clip is marked once recorded
  plan::PerDestination<std::optional<recorder::PassHistory>> history_;
  std::optional<Conclusion> conclusion_;
  bool historyRead_ = false;  // the copies it records are known
  std::optional<CopyMender> mender_;
};

// A folder held by its identity from now on; false (the pass not started) when it is not there.
bool Pass::Hold(const std::u16string& folder, GuardedFileSystem::Role role) {
  const std::error_code error = fs_.Hold(folder, role);
  if (!error) return true;
  const bool start = role == GuardedFileSystem::Role::kStartingFolder;
  const bool backup = role == GuardedFileSystem::Role::kBackup;
  report_.outcome = start    ? report::Outcome::kStartingFolderMissing
                    : backup ? report::Outcome::kBackupFolderMissing
                             : report::Outcome::kDestinationFolderMissing;
  problems_.Add(true, start    ? report::Operation::kListStartingFolder
                      : backup ? report::Operation::kOpenBackup
                               : report::Operation::kOpenDestination,
                folder)
      .reason = error;
  return false;
}

// The destination's history, read before the plan: the copies it records are kept as they are.
// A dry run reads it and changes nothing, not even what a stopped pass left.
void Pass::ReadHistory(std::size_t d, const std::vector<std::u16string>& destinations) {
  const std::u16string& folder = destinations[d];
  bool foldsCase = true;
  if (fs_.FoldsCase(folder, foldsCase)) foldsCase = true;
  recorded_[d] = recorder::RecordedCopies(foldsCase);
  history_[d].emplace(fs_, folder, ToFileTime(report_.started), options_.verify);
  // Each history says where the other copies of its generation went.
  if (destinations.size() > 1) {
    std::u16string other = destinations[1 - d];
    std::u16string resolved;
    if (!fs_.ResolvePath(other, resolved)) other = resolved;  // a name that still means it later
    history_[d]->SetSibling(d == 0 ? u"a backup of these copies was written to " + other
                                   : u"a backup of the copies written to " + other);
  }
  const bool keep = options_.keepHistory && !options_.dryRun;
  if (const history::Failure failure = history_[d]->Open(keep, recorded_[d])) {
    report::Problem& problem = problems_.Add(false, report::Operation::kHistoryUnread, history_[d]->Folder());
    problem.reason = failure.code;
    problem.rule = platform::FromNativeName(history::Describe(failure));
    recorded_[d] = recorder::RecordedCopies(foldsCase);
    return;
  }
  if (d == 0) historyRead_ = true;
  historyKept_[d] = keep;
}

std::error_code Pass::DestinationGone(std::size_t d) const {
  return fs_.GoneOf(d == 0 ? GuardedFileSystem::Role::kDestination : GuardedFileSystem::Role::kBackup);
}

void Pass::BeginClip(std::uint32_t shotIndex, std::uint32_t index) {
  const plan::PlannedShot& shot = plan_.shots[shotIndex];
  const plan::PlannedClip& clip = shot.clips[index];
  plan::TellProblems(plan_, clip.firstProblem, clip.problemCount, problems_);
  record_ = kNoRecord;
  if (clip.blocked) return;
  const std::u16string clipPath = plan_.ClipPath(shot, clip);
  if (options_.recordClips) {
    record_ = report_.clips.size();
    report_.clips.emplace_back().source = clipPath;
  }
  meter_.BeginClip(clip, clipPath);
  commit_.BeginClip(shotIndex, index, record_);
}

plan::PlanSink::CopyVerdict Pass::Copy(const plan::PlanOperation& op, std::uint32_t shotIndex, std::uint32_t index) {
  const plan::PlannedShot& shot = plan_.shots[shotIndex];
  const plan::PlannedClip& clip = shot.clips[index];
  const std::size_t d = op.destination;
  const std::u16string clipPath = plan_.ClipPath(shot, clip);
  if (record_ != kNoRecord && d == 0) {
    (op.intCopy ? report_.clips[record_].intCopy : report_.clips[record_].adlCopy) = op.path;
  }
  std::error_code error = DestinationGone(d);
  if (!error) error = CopyOne(op, shot, clip);
  if (error == platform::Errc::kCancelled) return CopyVerdict::kDropped;
  if (!error) return CopyVerdict::kDone;
  if (error == platform::Errc::kRecordedCopyDiffers) {
    report::Problem& problem = problems_.FailClip(report::Operation::kRecordedCopy, clipPath);
    problem.target = op.path;
    problem.rule = u"holds another clip's copy, recorded by " + conclusion_->RecordedWhen(op.path, d) +
                   u": the clip keeps its name";
  } else {
    problems_.Fail(op.intCopy ? report::Operation::kCopyToInt : report::Operation::kCopyToAdl, clipPath, op.path, error);
  }
  commit_.FailClip();
  if (!op.intCopy) adlFailed_[d][index] = true;
  return CopyVerdict::kFailed;
}

std::error_code Pass::CopyOne(const plan::PlanOperation& op, const plan::PlannedShot& shot, const plan::PlannedClip& clip) {
  const std::size_t d = op.destination;
  const plan::PlannedCopy& planned = op.intCopy ? clip.intCopy[d] : clip.adl[d];
  WorkMeter::Step work(meter_);
  const std::uint64_t proof = options_.verify ? clip.size : 0;
  if (planned.action == plan::CopyAction::kInPlace) {
    ++(d == 0 ? report_.copiesInPlace : report_.backup.copiesInPlace);
    return {};
  }
  if (planned.action == plan::CopyAction::kProve) {
    // Reverified, a copy that differs stays until a proven one replaces it.
    commit_.Prove(d, op.intCopy, op.from, op.path, planned.overRecorded || options_.reverify, proof);
    return {};
  }
  if (const std::error_code error = WriteCopy(op, shot, clip, proof, work)) return error;
  if (planned.overRecorded) {
    const recorder::RecordedCopy* recorded = plan_.Recorded(op.path, d);
    if (!recorded || commit_.ClipHash(d, op.intCopy) != recorded->xxh128) {
      // Another clip's copy is recorded there: it stays, and this clip keeps its name.
      commit_.Drop(d, op.intCopy);
      return platform::Errc::kRecordedCopyDiffers;
    }
  }
  return {};
}

std::error_code Pass::WriteCopy(const plan::PlanOperation& op, const plan::PlannedShot& shot, const plan::PlannedClip& clip,
                                std::uint64_t proof,
                                WorkMeter::Step& work) {
  const std::size_t d = op.destination;
  const plan::PlannedCopy& planned = op.intCopy ? clip.intCopy[d] : clip.adl[d];
  // An int copy is made from its destination's own adl copy, just written.
  if (op.intCopy && planned.fromAdlCopy) return commit_.CopyFromAdl(d, d, true, op.path, proof, &work);
  // The backup's adl copy is made from the copy to folder's, just written and still in the
  // cache: the card is read once. Proven against the clip's own hash all the same.
  if (!op.intCopy && planned.fromAdlCopy && commit_.AdlWritten(0)) {
    const std::error_code error = commit_.CopyFromAdl(0, d, false, op.path, proof, &work);
    if (!error || error == platform::Errc::kCancelled || DestinationGone(d)) return error;
    // The copy to folder's side failed (its disk went): the backup's is read from the clip.
  }
  // The clip's bytes are hashed as they are read: for the proof, the record, and a copy that
  // may go only where the history records the same bytes.
  CopyQueue::Mode mode;
  mode.hash = options_.verify;
  for (std::size_t i = 0; i < plan_.destinations.size(); ++i) {
    mode.hash = mode.hash || historyKept_[i] || clip.adl[i].overRecorded || clip.intCopy[i].overRecorded;
  }
  mode.prove = options_.verify;
  mode.planned = true;
  mode.size = clip.size;
  mode.modified = clip.modified;
  return commit_.Copy(d, op.intCopy, op.intCopy ? op.from : plan_.ClipPath(shot, clip), op.path, mode, proof, &work);
}

void Pass::EndClip(std::uint32_t shot, std::uint32_t clip, bool adlMade, bool dropped) {
  if (plan_.shots[shot].clips[clip].blocked) {
    for (std::vector<bool>& failed : adlFailed_) failed[clip] = true;
  }
  // A clip that waits for its commit is done when its copies are proven.
  meter_.EndClip(!dropped && (plan_.shots[shot].clips[clip].blocked || !adlMade));
  if (!plan_.shots[shot].clips[clip].blocked) commit_.EndClip(adlMade && !dropped);
}

bool Pass::CleanUp(const plan::PlanOperation& op, std::uint32_t shotIndex, const naming::CleanUp& cleanUp, bool moved) {
  const plan::PlannedShot& shot = plan_.shots[shotIndex];
  const std::size_t d = op.destination;
  if (DestinationGone(d)) return false;
  if (op.kind != plan::PlanOperation::Kind::kDelete) {
    if (const std::error_code error = fs_.RemoveEmptyFolder(op.path)) problems_.Warn(report::Operation::kCleanUp, op.path, error);
    return true;
  }
  // A copy this pass recorded is taken out of its record before it goes.
  platform::FileStatus status;
  if (history_[d] && !fs_.GetLinkStatus(op.path, status)) {
    if (const std::error_code error = history_[d]->Remove(op.path)) {
      problems_.Warn(report::Operation::kCleanUp, op.path, error);
      return false;
    }
  }
  const std::error_code deleted = fs_.RemoveFile(op.path);
  // Usually not there: it was not written. Anything else a person should know.
  if (deleted && deleted != std::errc::no_such_file_or_directory) problems_.Warn(report::Operation::kCleanUp, op.path, deleted);
  if (!deleted && moved) {
    // As the naming rules have it; the person should know what is gone, and why.
    report::Problem& problem =
        problems_.Add(false, report::Operation::kCleanUpMoved, plan_.IntFolder(shot, cleanUp.intNumber, d));
    problem.target = op.path;
    for (std::size_t i = 0; i < shot.clips.size(); ++i) {
      if (adlFailed_[d][i] && shot.clips[i].Number() == shot.cleanUp.greatest) problem.other = plan_.ClipPath(shot, shot.clips[i]);
    }
  }
  return true;
}

// A folder gone: what was staged is settled (its copies fail on their own), and every clip the
// pass did not reach is named, with the reason; the folder's line comes first.
void Pass::EndWithFolderGone(std::error_code gone) {
  Commit(commit_.Staged(), true);
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
  TellGone();
}

// Each folder found gone, first among the problems: what stopped, and why.
void Pass::TellGone() {
  std::vector<report::Problem> gone;
  for (const auto& [folder, reason] : fs_.GoneFolders()) {
    report::Problem& problem = gone.emplace_back();
    problem.failure = true;
    // A destination gone while the other goes on stops only its own copies.
    problem.operation = fs_.Gone() ? report::Operation::kFolderGone : report::Operation::kDestinationLost;
    problem.path = folder;
    problem.reason = reason;
  }
  report_.problems.insert(report_.problems.begin(), gone.begin(), gone.end());
}

report::PassReport Pass::Finish() {
  if (const std::error_code gone = fs_.Gone()) {
    EndWithFolderGone(gone);
    report_.outcome = report::Outcome::kIncomplete;
  } else if (!fs_.GoneFolders().empty()) {
    Commit(commit_.Staged(), true);
    TellGone();
    report_.outcome = meter_.Stopped() ? report::Outcome::kCancelled : report::Outcome::kIncomplete;
  } else if (meter_.Stopped()) {
    // The copy under way was dropped; those written before it are proven, put in place and
    // their clips marked. Folders made for copies that never came go again.
    Commit(commit_.Staged(), true);
    folders_.RemoveEmpty(plan_);
    report_.outcome = report::Outcome::kCancelled;
  } else if (problems_.FailedClips() > 0 || report_.Failures() > 0) {
    report_.outcome = report::Outcome::kIncomplete;
  }
  report_.clipsFailed = problems_.FailedClips();
  if (conclusion_) {
    const std::vector<std::size_t>& collected = conclusion_->CollectedInShot();
    for (std::size_t i = 0; i < plan_.shots.size() && i < collected.size(); ++i) {
      const std::size_t clips = plan_.shots[i].clips.size();
      if (clips > 0 && collected[i] == clips) ++report_.shotFoldersCollected;
    }
  }
  report_.clipsPlanned = std::max(report_.clipsPlanned, report_.clipsSeen);
  report_.bytesReadBack = meter_.BytesReadBack();
  for (std::size_t d = 0; d < plan::kMaxDestinations; ++d) {
    if (!history_[d] || !historyKept_[d]) continue;
    // The copies are what the outcome is about: a history not kept is a warning.
    if (const history::Failure failure = history_[d]->Finish()) {
      report::Problem& problem = problems_.Add(false, report::Operation::kHistory, history_[d]->Folder());
      problem.reason = failure.code;
      problem.rule = platform::FromNativeName(history::Describe(failure));
      if (history_[d]->SpoolKept()) problem.rule += u"; the next pass to this folder records its copies";
    }
  }
  meter_.Progress().stage = report::PassProgress::Stage::kDone;
  meter_.Progress().currentClip.clear();
  meter_.Tell();
  return std::move(report_);
}

}  // namespace

report::PassReport CollectClips(platform::FileSystem& fs, std::u16string startingFolder,
                                std::u16string destinationFolder, const PassOptions& options) {
  report::PassReport report = Pass(fs, options).Run(std::move(startingFolder), std::move(destinationFolder));
  report.finished = std::chrono::system_clock::now();
  return report;
}

}  // namespace marlowin::pass
