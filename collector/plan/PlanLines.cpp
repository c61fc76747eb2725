#include "collector/plan/PlanLines.h"

#include "collector/report/QuotedName.h"
#include "platform/NativeName.h"

namespace marlowin::plan {

std::string OperationLine(const PlanOperation& op) {
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

}  // namespace marlowin::plan
