#include "collector/plan/PlanLines.h"

#include "collector/naming/CleanUpRule.h"
#include "collector/report/QuotedName.h"
#include "platform/NativeName.h"

namespace marlowin::plan {
namespace {

std::string Line(const PlanOperation& op) {
  switch (op.kind) {
    case PlanOperation::Kind::kMakeFolder: return OperationLine("mkdir", op.path);
    case PlanOperation::Kind::kRemoveLeftover: return OperationLine("remove-leftover", op.path);
    case PlanOperation::Kind::kCopy: return OperationLine("copy", op.from, op.path);
    case PlanOperation::Kind::kProve: return OperationLine("prove", op.from, op.path);
    case PlanOperation::Kind::kInPlace: return OperationLine("keep", op.path);
    case PlanOperation::Kind::kDelete: return OperationLine("delete", op.path);
    case PlanOperation::Kind::kRemoveFolder: return OperationLine("rmdir", op.path);
    case PlanOperation::Kind::kMark: return OperationLine("move", op.from, op.path);
    case PlanOperation::Kind::kCommit: return "commit";
  }
  return {};
}

}  // namespace

std::string OperationLine(std::string_view verb, std::u16string_view path, std::u16string_view to) {
  // A name that holds a line break, or the arrow itself, is quoted: one line, one operation.
  std::string line(verb);
  line += ' ';
  line += platform::ToDisplay(report::QuotedName(path, u" -> "));
  if (!to.empty()) {
    line += " -> ";
    line += platform::ToDisplay(report::QuotedName(to, u" -> "));
  }
  return line;
}

void PrintPlan(const Plan& plan, const std::function<void(const std::string& line)>& print) {
  const auto show = [&print](const PlanOperation& op) {
    print(Line(op));
    return true;
  };
  struct Marking {
    const PlannedShot* shot;
    const PlannedClip* clip;
  };
  BatchOrder<Marking> batches;
  const auto finish = [] {};
  // A clip whose copy a later clip replaces (or whose int copy a later shot's clean-up deletes)
  // keeps its name.
  const auto conclude = [&](const Marking& m) {
    if (m.clip->marked || m.clip->loses != kNoIndex) return;
    show({PlanOperation::Kind::kMark, plan.MarkedPath(*m.shot, *m.clip), plan.ClipPath(*m.shot, *m.clip)});
  };
  const auto commit = [&] { show({PlanOperation::Kind::kCommit, {}, {}}); };
  for (const Step& step : plan.steps) {
    const PlannedShot& shot = plan.shots[step.shot];
    switch (step.kind) {
      case StepKind::kProblem:
        break;
      case StepKind::kShot:
        plan.ShotOperations(shot, show);
        break;
      case StepKind::kClip: {
        const PlannedClip& clip = shot.clips[step.index];
        if (clip.blocked) break;
        plan.ClipOperations(shot, clip, show);
        batches.Add({&shot, &clip});
        break;
      }
      case StepKind::kCommit:
        batches.OnCommit(step.index != 0, finish, conclude, commit);
        break;
      case StepKind::kSettle:
        batches.OnSettle(step.index != 0, finish, conclude, commit);
        break;
      case StepKind::kCleanUp: {
        const naming::CleanUp cleanUp = ShotCleanUp(shot, [&](std::size_t i) { return !shot.clips[i].blocked; });
        if (cleanUp.intNumber.empty()) break;
        // A copy the history records stays, and its folders with it.
        plan.CleanUpOperations(shot, cleanUp.greatest, cleanUp.intNumber, [&](const PlanOperation& op) {
          return !(op.kind == PlanOperation::Kind::kDelete && plan.Recorded(op.path)) && show(op);
        });
        break;
      }
    }
  }
}

}  // namespace marlowin::plan
