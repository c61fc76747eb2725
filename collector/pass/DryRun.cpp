#include "collector/pass/DryRun.h"

#include "collector/plan/PlanLines.h"
#include "collector/plan/PlanWalk.h"

namespace marlowin::pass {

DryRun::DryRun(const plan::Plan& plan, report::PassReport& report, report::ProblemList& problems, Print print,
               platform::FileSystem* fs)
    : PlanProblems(plan, report, problems), print_(std::move(print)), commit_(nullptr, nullptr, plan.settings.verify), tree_(fs) {}

void DryRun::Show(const plan::PlanOperation& op) const {
  if (print_) print_(plan::OperationLine(op));
}

void DryRun::Folder(const plan::PlanOperation& op, std::uint32_t, std::uint32_t, bool) {
  if (op.kind != plan::PlanOperation::Kind::kMakeFolder || tree_.Makes(op.path)) Show(op);
}

void DryRun::BeginClip(std::uint32_t shot, std::uint32_t clip) {
  PlanProblems::BeginClip(shot, clip);
  if (!plan_.shots[shot].clips[clip].blocked) commit_.BeginClip(shot, clip, 0);
}

plan::PlanSink::CopyVerdict DryRun::Copy(const plan::PlanOperation& op, std::uint32_t shot, std::uint32_t clip) {
  const CopyVerdict verdict = PlanProblems::Copy(op, shot, clip);
  Show(op);
  const plan::PlannedClip& planned = plan_.shots[shot].clips[clip];
  const plan::PlannedCopy& copy = op.intCopy ? planned.intCopy[op.destination] : planned.adl[op.destination];
  if (copy.action == plan::CopyAction::kProve) {
    commit_.Prove(op.destination, op.intCopy, op.from, op.path, copy.overRecorded, 0);
  } else if (copy.action == plan::CopyAction::kWrite) {
    (void)commit_.Copy(op.destination, op.intCopy, op.from, op.path, {}, 0, nullptr);
    tree_.Wrote(op.path);
  }
  return verdict;
}

void DryRun::EndClip(std::uint32_t shot, std::uint32_t clip, bool adlMade, bool dropped) {
  PlanProblems::EndClip(shot, clip, adlMade, dropped);
  if (!plan_.shots[shot].clips[clip].blocked) commit_.EndClip(adlMade && !dropped);
}

void DryRun::Commit(bool staged, bool settle) {
  // A clip whose copy a later clip replaces (or whose int copy a later shot's clean-up deletes)
  // keeps its name.
  const auto marks = [this](const std::vector<CommittedClip>& done) {
    for (const CommittedClip& committed : done) {
      const plan::PlannedShot& shot = plan_.shots[committed.shot];
      const plan::PlannedClip& clip = shot.clips[committed.clip];
      if (clip.marked || clip.loses != plan::kNoIndex) continue;
      Show({plan::PlanOperation::Kind::kMark, plan_.MarkedPath(shot, clip), plan_.ClipPath(shot, clip)});
    }
  };
  marks(commit_.Commit(staged));
  if (staged) Show({plan::PlanOperation::Kind::kCommit, {}, {}});
  if (settle) marks(commit_.Settle(false));
}

bool DryRun::CleanUp(const plan::PlanOperation& op, std::uint32_t, const naming::CleanUp&, bool) {
  const bool changes = op.kind == plan::PlanOperation::Kind::kDelete ? tree_.Deletes(op.path)
                       : op.kind == plan::PlanOperation::Kind::kRemoveFolder ? tree_.Removes(op.path)
                                                                              : true;
  if (changes) Show(op);
  return true;
}

void PrintPlan(const plan::Plan& plan, const DryRun::Print& print) {
  report::PassReport report;
  report::ProblemList problems(report.problems);
  DryRun dryRun(plan, report, problems, print);
  std::size_t next = 0;
  plan::Walk(plan, dryRun, next);
}

}  // namespace marlowin::pass
