#pragma once

// What the plan knows before the first copy, told into the report as the pass reaches it: the
// problems of a shot folder's listing, of a clip, and the counts of a shot folder. A dry run
// tells all of it in one walk of the plan, every copy taken as made.
#include <cstdint>

#include "collector/plan/Plan.h"
#include "collector/plan/PlanWalk.h"
#include "collector/report/ProblemList.h"
#include "collector/report/Report.h"

namespace marlowin::plan {

void TellProblems(const Plan& plan, std::uint32_t first, std::uint32_t count, report::ProblemList& problems);

// A shot folder reached: counted, and the problems of its listing told.
void TellShot(const Plan& plan, const PlannedShot& shot, report::PassReport& report, report::ProblemList& problems);

// The walk's sink that tells what the plan knows, in the order a pass would tell it, and what
// only a dry run says: each copy that would go where the history records one, and each recorded
// copy the clean-up leaves.
class PlanProblems : public PlanSink {
 public:
  PlanProblems(const Plan& plan, report::PassReport& report, report::ProblemList& problems)
      : plan_(plan), report_(report), problems_(problems) {}

  void Tell(const report::Problem& problem) override { problems_.Tell(problem); }
  void BeginShot(std::uint32_t shot) override { TellShot(plan_, plan_.shots[shot], report_, problems_); }
  void Folder(const PlanOperation&, std::uint32_t, std::uint32_t, bool) override {}
  void BeginClip(std::uint32_t shot, std::uint32_t clip) override;
  CopyVerdict Copy(const PlanOperation& op, std::uint32_t shot, std::uint32_t clip) override;
  void EndClip(std::uint32_t shot, std::uint32_t clip, bool adlMade, bool dropped) override;
  void Commit(bool, bool) override {}
  bool StagedIn(const std::u16string&) override { return false; }
  bool CleanUp(const PlanOperation&, std::uint32_t, const naming::CleanUp&, bool) override { return true; }
  void KeepRecorded(const std::u16string& path, const recorder::RecordedCopy& recorded) override;

 protected:
  const Plan& plan_;
  report::PassReport& report_;
  report::ProblemList& problems_;
};

// Everything the plan knows, in the order a pass would tell it.
void TellPlan(const Plan& plan, report::PassReport& report, report::ProblemList& problems);

}  // namespace marlowin::plan
