#include "collector/PlanProblems.h"

#include <string>

#include "collector/CleanUpRule.h"
#include "history/MhlDate.h"
#include "platform/NativeName.h"
#include "platform/Paths.h"

namespace marlowin {
namespace {

std::u16string Generation(const RecordedCopy& recorded) {
  return u"generation " + sys::FromNativeName(std::to_string(recorded.sequence));
}

// What a dry run tells beyond the plan's problems: each copy that would go where the history
// records one, and each recorded copy the clean-up leaves.
void TellRecorded(const Plan& plan, const PlannedShot& shot, ProblemList& problems) {
  for (const PlannedClip& clip : shot.clips) {
    if (clip.blocked) continue;
    const auto tell = [&](const PlannedCopy& copy, const std::u16string& target) {
      const RecordedCopy* recorded = copy.overRecorded ? plan.Recorded(target) : nullptr;
      if (!recorded) return;
      Problem& problem = problems.Add(false, Operation::kOverRecorded, plan.ClipPath(shot, clip));
      problem.target = target;
      problem.rule = Generation(*recorded) + u" on " + sys::FromNativeName(history::FormatShownDate(recorded->recorded));
    };
    tell(clip.adl, plan.AdlTarget(shot, clip));
    if (clip.hasIntCopy) tell(clip.intCopy, plan.IntTarget(shot, clip));
  }
  const CleanUp cleanUp = FindCleanUp(shot, [&](std::size_t i) { return !shot.clips[i].blocked; });
  if (cleanUp.intNumber.empty()) return;
  const std::u16string deleted =
      sys::JoinPath(plan.IntVideoFolder(shot, cleanUp.intNumber), MakeCleanupClipName(cleanUp.greatest));
  if (const RecordedCopy* recorded = plan.Recorded(deleted)) {
    problems.Add(false, Operation::kKeptRecorded, deleted).rule = Generation(*recorded);
  }
}

}  // namespace

void TellProblems(const Plan& plan, std::uint32_t first, std::uint32_t count, ProblemList& problems) {
  for (std::uint32_t i = first; i < first + count; ++i) problems.Tell(plan.problems[i]);
}

void TellShot(const Plan& plan, const PlannedShot& shot, PassReport& report, ProblemList& problems) {
  ++report.shotFolders;
  TellProblems(plan, shot.firstProblem, shot.problemCount, problems);
  report.clipsSeen += shot.clips.size();
  if (shot.clipFolder == ClipFolderState::kUnreadable) ++report.clipFoldersUnread;
}

void TellPlan(const Plan& plan, PassReport& report, ProblemList& problems) {
  for (const Step& step : plan.steps) {
    if (step.kind == StepKind::kProblem) problems.Tell(plan.problems[step.index]);
    if (step.kind != StepKind::kShot) continue;
    const PlannedShot& shot = plan.shots[step.shot];
    TellShot(plan, shot, report, problems);
    for (const PlannedClip& clip : shot.clips) {
      TellProblems(plan, clip.firstProblem, clip.problemCount, problems);
      if (clip.loses != kNoIndex) problems.Tell(plan.problems[clip.loses]);
    }
    TellRecorded(plan, shot, problems);
  }
}

}  // namespace marlowin
