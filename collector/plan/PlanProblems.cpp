#include "collector/plan/PlanProblems.h"

#include <string>

#include "history/MhlDate.h"
#include "platform/NativeName.h"

namespace marlowin::plan {
namespace {

std::u16string Generation(const recorder::RecordedCopy& recorded) {
  return u"generation " + platform::FromNativeName(std::to_string(recorded.sequence));
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

void PlanProblems::BeginClip(std::uint32_t shot, std::uint32_t clip) {
  const PlannedClip& planned = plan_.shots[shot].clips[clip];
  TellProblems(plan_, planned.firstProblem, planned.problemCount, problems_);
}

PlanSink::CopyVerdict PlanProblems::Copy(const PlanOperation& op, std::uint32_t shot, std::uint32_t clip) {
  const PlannedClip& planned = plan_.shots[shot].clips[clip];
  const PlannedCopy& copy = op.intCopy ? planned.intCopy[op.destination] : planned.adl[op.destination];
  if (const recorder::RecordedCopy* recorded = copy.overRecorded ? plan_.Recorded(op.path, op.destination) : nullptr) {
    report::Problem& problem = problems_.Add(false, report::Operation::kOverRecorded, plan_.ClipPath(plan_.shots[shot], planned));
    problem.target = op.path;
    problem.rule = Generation(*recorded) + u" on " + platform::FromNativeName(history::FormatShownDate(recorded->recorded));
  }
  return CopyVerdict::kDone;
}

void PlanProblems::EndClip(std::uint32_t shot, std::uint32_t clip, bool adlMade, bool) {
  const PlannedClip& planned = plan_.shots[shot].clips[clip];
  if (adlMade && planned.loses != kNoIndex) problems_.Tell(plan_.problems[planned.loses]);
}

void PlanProblems::KeepRecorded(const std::u16string& path, const recorder::RecordedCopy& recorded) {
  problems_.Add(false, report::Operation::kKeptRecorded, path).rule = Generation(recorded);
}

void TellPlan(const Plan& plan, report::PassReport& report, report::ProblemList& problems) {
  PlanProblems sink(plan, report, problems);
  std::size_t next = 0;
  Walk(plan, sink, next);
}

}  // namespace marlowin::plan
