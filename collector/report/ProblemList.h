#pragma once

// The problems of a pass as it meets them: failures (a clip not fully collected, a folder that
// cannot be listed or made) and warnings, in the order they happen, into the report. A failure of
// a clip counts the clip once, however many of its copies failed.
#include <string>
#include <system_error>
#include <unordered_set>
#include <vector>

#include "collector/report/Report.h"

namespace marlowin::report {

class ProblemList {
 public:
  explicit ProblemList(std::vector<Problem>& problems) : problems_(problems) {}

  Problem& Add(bool failure, Operation operation, const std::u16string& path);
  void Warn(Operation operation, const std::u16string& path, std::error_code reason = {});
  // A failure of a clip: one of its copies or its mark.
  void Fail(Operation operation, const std::u16string& clip, const std::u16string& target, std::error_code reason);
  // A failure of a clip whose description needs more than a reason: the caller fills it in.
  Problem& FailClip(Operation operation, const std::u16string& clip);
  // A problem the plan knew before the first copy; a failure about a clip counts the clip.
  void Tell(const Problem& problem);

  bool Failed(const std::u16string& clip) const { return failedClips_.contains(clip); }
  std::size_t FailedClips() const { return failedClips_.size(); }

 private:
  std::vector<Problem>& problems_;
  std::unordered_set<std::u16string> failedClips_;
};

}  // namespace marlowin::report
