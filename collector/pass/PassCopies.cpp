// The pass's copies: each clip's copies as the plan has them, written (the clip read once for both
// destinations), queued to be proven, or left in place; a destination gone fails its own copies.
#include "collector/pass/Pass.h"

#include "platform/Errors.h"

namespace marlowin::pass {

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
  if (cacheAhead_) cacheAhead_->BeginClip(shotIndex, index);
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
  // The clip's reading ahead follows the copy's.
  CacheAhead::Follower reading(cacheAhead_ ? &*cacheAhead_ : nullptr, work);
  return commit_.Copy(d, op.intCopy, op.intCopy ? op.from : plan_.ClipPath(shot, clip), op.path, mode, proof, &reading);
}

void Pass::EndClip(std::uint32_t shot, std::uint32_t clip, bool adlMade, bool dropped) {
  if (plan_.shots[shot].clips[clip].blocked) {
    for (std::vector<bool>& failed : adlFailed_) failed[clip] = true;
  }
  // A clip that waits for its commit is done when its copies are proven.
  meter_.EndClip(!dropped && (plan_.shots[shot].clips[clip].blocked || !adlMade));
  if (!plan_.shots[shot].clips[clip].blocked) commit_.EndClip(adlMade && !dropped);
}

}  // namespace marlowin::pass
