// The pass: the two folders checked and held (by identity, GuardedFileSystem), the destination's
// history read, the plan built, the room on the destination checked, then one walk of the plan
// with the pass as its sink. Folders are made as the plan has them; a clip's copies go to the
// batch commit (BatchCommit), which hands the clips back batch by batch once their copies are
// proven and in place; then they are concluded (Conclusion): recorded, and marked. Whatever a dry
// run prints comes from the same walk, with a sink that prints (DryRun). A stop ends the walk
// between two steps, or drops the copy under way: the copies written before it are still proven,
// put in place and their clips marked. A folder that goes away ends the pass at once, and every
// clip not collected says why. The pass's copies are in PassCopies.cpp.
#include "collector/pass/CollectClips.h"

#include <chrono>
#include <optional>
#include <utility>
#include <vector>

#include "collector/pass/DryRun.h"
#include "collector/pass/Pass.h"
#include "collector/pass/PassStart.h"
#include "platform/Errors.h"
#include "platform/NativeName.h"

namespace marlowin::pass {
namespace {

platform::FileTime ToFileTime(std::chrono::system_clock::time_point time) {
  const auto since = std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
  return {since / 1'000'000'000, static_cast<std::uint32_t>(since % 1'000'000'000)};
}

}  // namespace

report::PassReport Pass::Run(std::u16string startingFolder, std::u16string destinationFolder) {
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
  settings.leastLastBatch = options_.leastLastBatch;
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
  cacheAhead_.emplace(plan_);
  plan::Walk(plan_, *this, next_);
  cacheAhead_.reset();
  NameCopiesWithoutClip();
  return Finish();
}

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

report::PassReport CollectClips(platform::FileSystem& fs, std::u16string startingFolder,
                                std::u16string destinationFolder, const PassOptions& options) {
  report::PassReport report = Pass(fs, options).Run(std::move(startingFolder), std::move(destinationFolder));
  report.finished = std::chrono::system_clock::now();
  return report;
}

}  // namespace marlowin::pass
