#include "collector/PlanProblems.h"

namespace marlowin {

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
  }
}

}  // namespace marlowin
