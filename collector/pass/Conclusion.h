#pragma once

// The end of a clip's way through the pass, once its batch is committed: what became of each of
// its copies is told, the copies proven go to the destination's history and are flushed there,
// then each clip whose copies are all proven and recorded is marked, when it is still the very
// file they were made from. A clip whose copy a later clip replaces is not marked.
#include <cstddef>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "collector/pass/BatchCommit.h"
#include "collector/pass/CopyMend.h"
#include "collector/plan/Plan.h"
#include "collector/report/ProblemList.h"
#include "collector/report/Report.h"
#include "platform/FileSystem.h"
#include "recorder/PassHistory.h"

namespace marlowin::pass {

inline constexpr std::size_t kNoRecord = static_cast<std::size_t>(-1);

class Conclusion {
 public:
  // Each destination's history; one null or `keepHistory` false: nothing is recorded there, and
  // nothing waits for a record there.
  Conclusion(platform::FileSystem& fs, const plan::Plan& plan, report::PassReport& report,
             report::ProblemList& problems, plan::PerDestination<recorder::PassHistory*> histories, bool keepHistory,
             bool verify)
      : fs_(fs), plan_(plan), report_(report), problems_(problems), histories_(histories),
        keepHistory_(keepHistory), verify_(verify), collectedInShot_(plan.shots.size(), 0) {}

  // The clips a commit handed back; `tag` is the clip's place in report.clips, or kNoRecord.
  void Conclude(std::vector<CommittedClip> clips);

  // A copy found in place that differs from its clip is mended by `mender` (--reverify), not failed.
  void MendWith(CopyMender* mender) { mender_ = mender; }

  // How many clips of each shot were collected.
  const std::vector<std::size_t>& CollectedInShot() const { return collectedInShot_; }

  // "generation 3 on 2026-12-08 19:22:17 UTC", of the copy destination `d`'s history records at `path`.
  std::u16string RecordedWhen(const std::u16string& path, std::size_t d = 0) const;

 private:
  bool CheckCopies(CommittedClip& clip);
  void Mark(const CommittedClip& clip);
  std::error_code Changed(const std::u16string& path, const plan::PlannedClip& planned);
  void Record(std::size_t d, const recorder::LoggedCopy& copy);
  recorder::PassHistory* Kept(std::size_t d) const { return keepHistory_ ? histories_[d] : nullptr; }

  platform::FileSystem& fs_;
  const plan::Plan& plan_;
  report::PassReport& report_;
  report::ProblemList& problems_;
  plan::PerDestination<recorder::PassHistory*> histories_;
  bool keepHistory_;
  bool verify_;
  CopyMender* mender_ = nullptr;
  std::vector<std::size_t> collectedInShot_;
};

}  // namespace marlowin::pass
