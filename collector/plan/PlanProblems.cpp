#include "collector/plan/PlanProblems.h"

#include <string>

#include "collector/naming/CleanUpRule.h"
#include "history/MhlDate.h"
#include "platform/NativeName.h"
#include "platform/Paths.h"

namespace marlowin::plan {
namespace {

std::u16string Generation(const recorder::RecordedCopy& recorded) {
  return u"generation " + platform::FromNativeName(std::to_string(recorded.sequence));
}

// What a dry run tells beyond the plan's problems: each copy that would go where the history
// records one, and each recorded copy the clean-up leaves.
void TellRecorded(const Plan& plan, const PlannedShot& shot, report::ProblemList& problems) {
  for (const PlannedClip& clip : shot.clips) {
    if (clip.blocked) continue;
    const auto tell = [&](const PlannedCopy& copy, const std::u16string& target) {
      const recorder::RecordedCopy* recorded = copy.overRecorded ? plan.Recorded(target) : nullptr;
      if (!recorded) return;
      report::Problem& problem = problems.Add(false, report::Operation::kOverRecorded, plan.ClipPath(shot, clip));
      problem.target = target;
      problem.rule = Generation(*recorded) + u" on " + platform::FromNativeName(history::FormatShownDate(recorded->recorded));
    };
    tell(clip.adl, plan.AdlTarget(shot, clip));
    if (clip.hasIntCopy) tell(clip.intCopy, plan.IntTarget(shot, clip));
  }
  const naming::CleanUp cleanUp = ShotCleanUp(shot, [&](std::size_t i) { return !shot.clips[i].blocked; });
  if (cleanUp.intNumber.empty()) return;
  const std::u16string deleted =
      platform::JoinPath(plan.IntVideoFolder(shot, cleanUp.intNumber), naming::MakeCleanupClipName(cleanUp.greatest));
  if (const recorder::RecordedCopy* recorded = plan.Recorded(deleted)) {
    problems.Add(false, report::Operation::kKeptRecorded, deleted).rule = Generation(*recorded);
  }
}

}  // namespace

void TellProblems(const Plan& plan, std::uint32_t first, std::uint32_t count, report::ProblemList& problems) {
  for (std::uint32_t i = first; i < first + count; ++i) problems.Tell(plan.problems[i]);
}

void TellShot(const Plan& plan, const PlannedShot& shot, report::PassReport& report, report::ProblemList& problems) {
  ++report.shotFolders;
  TellProblems(plan, shot.firstProblem, shot.problemCount, problems);
  report.clipsSeen += shot.clips.size();
  if (shot.clipFolder == ClipFolderState::kUnreadable) ++report.clipFoldersUnread;
}

void TellPlan(const Plan& plan, report::PassReport& report, report::ProblemList& problems) {
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

}  // namespace marlowin::plan
