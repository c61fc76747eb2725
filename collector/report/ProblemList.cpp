#include "collector/report/ProblemList.h"

namespace marlowin::report {

Problem& ProblemList::Add(bool failure, Operation operation, const std::u16string& path) {
  Problem& problem = problems_.emplace_back();
  problem.failure = failure;
  problem.operation = operation;
  problem.path = path;
  return problem;
}

void ProblemList::Warn(Operation operation, const std::u16string& path, std::error_code reason) {
  Add(false, operation, path).reason = reason;
}

void ProblemList::Fail(Operation operation, const std::u16string& clip, const std::u16string& target,
                       std::error_code reason) {
  Problem& problem = Add(true, operation, clip);
  problem.target = target;
  problem.reason = reason;
  failedClips_.insert(clip);
}

Problem& ProblemList::FailClip(Operation operation, const std::u16string& clip) {
  failedClips_.insert(clip);
  return Add(true, operation, clip);
}

void ProblemList::Tell(const Problem& problem) {
  problems_.push_back(problem);
  // A clip folder that cannot be listed is a failure too, but of no clip that was seen.
  if (problem.failure && problem.operation != Operation::kListClipFolder) failedClips_.insert(problem.path);
}

}  // namespace marlowin::report
