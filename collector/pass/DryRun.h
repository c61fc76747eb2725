#pragma once

// The dry run: the pass's own walk of the plan with a sink that prints each operation instead of
// carrying it out, and tells what the plan knows. Its commits come from a BatchCommit that copies
// nothing, so its "commit" and "move" lines fall where a pass's commits and marks do.
#include <functional>
#include <string>

#include "collector/pass/BatchCommit.h"
#include "collector/pass/DryTree.h"
#include "collector/plan/Plan.h"
#include "collector/plan/PlanProblems.h"
#include "collector/report/ProblemList.h"
#include "collector/report/Report.h"

namespace marlowin::pass {

class DryRun final : public plan::PlanProblems {
 public:
  using Print = std::function<void(const std::string& line)>;
  // `fs`, when given, tells what is there already: what would change nothing is not printed.
  DryRun(const plan::Plan& plan, report::PassReport& report, report::ProblemList& problems, Print print,
         platform::FileSystem* fs = nullptr);

  void Folder(const plan::PlanOperation& op, std::uint32_t shot, std::uint32_t clip, bool needed) override;
  void BeginClip(std::uint32_t shot, std::uint32_t clip) override;
  CopyVerdict Copy(const plan::PlanOperation& op, std::uint32_t shot, std::uint32_t clip) override;
  void EndClip(std::uint32_t shot, std::uint32_t clip, bool adlMade, bool dropped) override;
  void Commit(bool staged, bool settle) override;
  bool StagedIn(const std::u16string& folder) override { return commit_.HasCopiesIn(folder); }
  bool CleanUp(const plan::PlanOperation& op, std::uint32_t shot, const naming::CleanUp& cleanUp, bool moved) override;

 private:
  void Show(const plan::PlanOperation& op) const;

  Print print_;
  BatchCommit commit_;
  DryTree tree_;
};

// The plan's operations, one a line, in the order a pass performs them.
void PrintPlan(const plan::Plan& plan, const DryRun::Print& print);

}  // namespace marlowin::pass
