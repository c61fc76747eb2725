#pragma once

// The mend of a damaged copy (marlowin-collect --reverify). A copy found in place that differs
// from its clip when read back is replaced by a proven copy of the clip: written under a
// temporary name beside it, made durable, read back from the disk and only then moved over the
// damaged one, so that a mend that fails half-way leaves the copy as it was. A copy the
// destination's history records is replaced only from a clip whose bytes are the ones recorded
// there: never by other footage (a second card with the same shot names), and never from a clip
// that cannot be compared with its record.
#include <memory>
#include <string>
#include <system_error>

#include "collector/pass/BatchCommit.h"
#include "collector/plan/Plan.h"
#include "collector/report/ProblemList.h"
#include "platform/FileSystem.h"
#include "platform/ReadBuffer.h"

namespace marlowin::pass {

// "generation 3 on 2026-12-08 19:22:17 UTC", of a copy the history records.
std::u16string RecordedBy(const recorder::RecordedCopy& recorded);

class CopyMender {
 public:
  CopyMender(platform::FileSystem& fs, const plan::Plan& plan, report::ProblemList& problems)
      : fs_(fs), plan_(plan), problems_(problems) {}

  // The copy `target` of the clip at `clipPath` was read back and differs from the clip. True
  // when it is replaced: `result` then tells of a copy written and replaced, with the clip's
  // hash, and a warning names it. False when it is not: the clip's failure is told, and the copy
  // is left as it is.
  bool Mend(const std::u16string& clipPath, const plan::PlannedClip& clip, const std::u16string& target, bool intCopy,
            CopyResult& result);

 private:
  // The clip's hash, read from it while it is still the file the plan found.
  [[nodiscard]] std::error_code HashClip(const std::u16string& clipPath, const plan::PlannedClip& clip,
                                         platform::FileStatus& status, std::string& hash);
  // A proven copy of the clip (of hash `hash`) put in place of `target`.
  [[nodiscard]] std::error_code Replace(const std::u16string& clipPath, const platform::FileStatus& clipStatus,
                                        const std::u16string& target, const std::string& hash);

  platform::FileSystem& fs_;
  const plan::Plan& plan_;
  report::ProblemList& problems_;
  platform::CopyBuffer buffer_;
};

}  // namespace marlowin::pass
