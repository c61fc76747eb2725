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
        for (std::vector<bool>& failed : adlFailed_) failed.assign(shot.clips.size(), false);
        sink_.BeginShot(step.shot);
        // Its folders matter only where a copy goes into them.
        for (std::size_t d = 0; d < plan_.destinations.size(); ++d) {
          plan_.ShotOperations(shot, d, [&](const PlanOperation& op) {
            sink_.Folder(op, step.shot, kNoIndex, !shot.clips.empty());
            return true;
          });
        }
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
      for (std::vector<bool>& failed : adlFailed_) failed[index] = true;
      sink_.EndClip(shotIndex, index, false, false);
      return;
    }
    bool dropped = false;
    bool anyAdlMade = false;
    for (std::size_t d = 0; d < plan_.destinations.size() && !dropped; ++d) {
      plan_.ClipOperations(shot, clip, d, [&](const PlanOperation& op) {
        if (op.kind == PlanOperation::Kind::kMakeFolder || op.kind == PlanOperation::Kind::kRemoveLeftover) {
          sink_.Folder(op, shotIndex, index, clip.hasIntCopy);
          return true;
        }
        const PlanSink::CopyVerdict verdict = sink_.Copy(op, shotIndex, index);
        if (verdict == PlanSink::CopyVerdict::kDropped) {
          dropped = true;
          return false;
        }
        // A clip whose adl copy failed is passed over in that destination: no int copy there, no
        // part in its clean-up, and no mark.
        if (verdict == PlanSink::CopyVerdict::kFailed && !op.intCopy) adlFailed_[d][index] = true;
        return verdict == PlanSink::CopyVerdict::kDone || op.intCopy;
      });
      anyAdlMade = anyAdlMade || !adlFailed_[d][index];
    }
    sink_.EndClip(shotIndex, index, anyAdlMade, dropped);
  }

  // The int copy of the greatest-numbered clip whose adl copy was made goes again, with its two
  // folders when they are empty; never a copy the history records. In each destination by the
  // copies made there.
  void CleanUp(std::uint32_t shotIndex) {
    const PlannedShot& shot = plan_.shots[shotIndex];
    for (std::size_t d = 0; d < plan_.destinations.size(); ++d) {
      const std::vector<bool>& failed = adlFailed_[d];
      const naming::CleanUp cleanUp = ShotCleanUp(shot, [&](std::size_t clip) { return !failed[clip]; });
      if (cleanUp.intNumber.empty()) continue;
      const bool moved = !(cleanUp == shot.cleanUp);
      // A copy still staged in these folders would keep them: it is settled first.
      if (sink_.StagedIn(plan_.IntFolder(shot, cleanUp.intNumber, d))) sink_.Commit(true, true);
      plan_.CleanUpOperations(shot, cleanUp.greatest, cleanUp.intNumber, d, [&](const PlanOperation& op) {
        if (op.kind == PlanOperation::Kind::kDelete) {
          if (const recorder::RecordedCopy* recorded = plan_.Recorded(op.path, d)) {
            sink_.KeepRecorded(op.path, *recorded);
            return false;
          }
        }
        return sink_.CleanUp(op, shotIndex, cleanUp, moved);
      });
    }
  }

  const Plan& plan_;
  PlanSink& sink_;
  PerDestination<std::vector<bool>> adlFailed_;  // by clip of the shot under way, in each destination
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
