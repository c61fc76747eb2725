#include "collector/plan/PlanWalk.h"

#include <vector>

#include "platform/Paths.h"

namespace marlowin::plan {
namespace {

class Walker {
 public:
  Walker(const Plan& plan, PlanSink& sink) : plan_(plan), sink_(sink) {}

  void Step(const plan::Step& step) {
    switch (step.kind) {
      case StepKind::kProblem:
        sink_.Tell(plan_.problems[step.index]);
        break;
      case StepKind::kShot: {
        const PlannedShot& shot = plan_.shots[step.shot];
        adlFailed_.assign(shot.clips.size(), false);
        sink_.BeginShot(step.shot);
        // Its folders matter only where a copy goes into them.
        plan_.ShotOperations(shot, [&](const PlanOperation& op) {
          sink_.Folder(op, step.shot, kNoIndex, !shot.clips.empty());
          return true;
        });
        break;
      }
      case StepKind::kClip:
        Clip(step.shot, step.index);
        break;
      case StepKind::kCommit:
      case StepKind::kSettle:
        sink_.Commit(step.index != 0, step.kind == StepKind::kSettle);
        break;
      case StepKind::kCleanUp:
        CleanUp(step.shot);
        break;
    }
  }

 private:
  void Clip(std::uint32_t shotIndex, std::uint32_t index) {
    const PlannedShot& shot = plan_.shots[shotIndex];
    const PlannedClip& clip = shot.clips[index];
    sink_.BeginClip(shotIndex, index);
    if (clip.blocked) {
      adlFailed_[index] = true;
      sink_.EndClip(shotIndex, index, false, false);
      return;
    }
    bool dropped = false;
    plan_.ClipOperations(shot, clip, [&](const PlanOperation& op) {
      if (op.kind == PlanOperation::Kind::kMakeFolder || op.kind == PlanOperation::Kind::kRemoveLeftover) {
        sink_.Folder(op, shotIndex, index, clip.hasIntCopy);
        return true;
      }
      const PlanSink::CopyVerdict verdict = sink_.Copy(op, shotIndex, index);
      if (verdict == PlanSink::CopyVerdict::kDropped) {
        dropped = true;
        return false;
      }
      // A clip whose adl copy failed is passed over: no int copy, no mark, no part in the clean-up.
      if (verdict == PlanSink::CopyVerdict::kFailed && !op.intCopy) adlFailed_[index] = true;
      return verdict == PlanSink::CopyVerdict::kDone || op.intCopy;
    });
    sink_.EndClip(shotIndex, index, !adlFailed_[index], dropped);
  }

  // The int copy of the greatest-numbered clip whose adl copy was made goes again, with its two
  // folders when they are empty; never a copy the history records.
  void CleanUp(std::uint32_t shotIndex) {
    const PlannedShot& shot = plan_.shots[shotIndex];
    const naming::CleanUp cleanUp = ShotCleanUp(shot, [this](std::size_t clip) { return !adlFailed_[clip]; });
    if (cleanUp.intNumber.empty()) return;
    const bool moved = !(cleanUp == shot.cleanUp);
    // A copy still staged in these folders would keep them: it is settled first.
    if (sink_.StagedIn(plan_.IntFolder(shot, cleanUp.intNumber))) sink_.Commit(true, true);
    plan_.CleanUpOperations(shot, cleanUp.greatest, cleanUp.intNumber, [&](const PlanOperation& op) {
      if (op.kind == PlanOperation::Kind::kDelete) {
        if (const recorder::RecordedCopy* recorded = plan_.Recorded(op.path)) {
          sink_.KeepRecorded(op.path, *recorded);
          return false;
        }
      }
      return sink_.CleanUp(op, shotIndex, cleanUp, moved);
    });
  }

  const Plan& plan_;
  PlanSink& sink_;
  std::vector<bool> adlFailed_;  // by clip of the shot under way
};

}  // namespace

void Walk(const Plan& plan, PlanSink& sink, std::size_t& next) {
  Walker walker(plan, sink);
  for (; next < plan.steps.size(); ++next) {
    if (sink.StopBefore()) return;
    walker.Step(plan.steps[next]);
  }
}

}  // namespace marlowin::plan
