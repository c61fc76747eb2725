#pragma once

// The one walk of a plan: its steps in order, each operation handed to a sink, which carries it
// out (the pass), prints it (the dry run) or tells what the plan knows (its problems). What only
// the copies decide comes back from the sink: whether a clip's adl copy was made (a clip whose
// adl copy fails is out of the rest of its shot and of its clean-up, which may then move, as the
// naming rules have it), and whether copies are still staged in the folders the clean-up would
// remove (they are settled first). A copy the history records is never deleted by the clean-up.
#include <cstddef>
#include <cstdint>
#include <string>

#include "collector/naming/CleanUpRule.h"
#include "collector/plan/Plan.h"
#include "collector/report/Report.h"
#include "recorder/RecordedCopies.h"

namespace marlowin::plan {

class PlanSink {
 public:
  enum class CopyVerdict { kDone, kFailed, kDropped };  // kDropped: a stop during the copy

  virtual ~PlanSink() = default;

  // Asked before each step: true ends the walk there.
  virtual bool StopBefore() { return false; }
  // A problem known before the first copy, at its place among the steps.
  virtual void Tell(const report::Problem& problem) = 0;
  // A shot folder reached, before its folders are made.
  virtual void BeginShot(std::uint32_t shot) = 0;
  // A folder the copies go into made, or a leftover of a stopped pass removed (`clip` kNoIndex
  // for the shot's adl folders); `needed`: copies go into it. The operation says in which
  // destination, as every operation of a copy does.
  virtual void Folder(const PlanOperation& op, std::uint32_t shot, std::uint32_t clip, bool needed) = 0;
  // A clip reached; a blocked one is ended at once (EndClip), its copies not handed over.
  virtual void BeginClip(std::uint32_t shot, std::uint32_t clip) = 0;
  // One of its copies: written (copy), proven in place (prove) or left (keep). A destination's
  // copies of a clip follow one another; a failed adl copy ends the clip in that destination only.
  virtual CopyVerdict Copy(const PlanOperation& op, std::uint32_t shot, std::uint32_t clip) = 0;
  // Its copies are all handed over; `adlMade` false when no destination's adl copy was made (or
  // it was blocked).
  virtual void EndClip(std::uint32_t shot, std::uint32_t clip, bool adlMade, bool dropped) = 0;
  // A commit point: the copies so far go to be proven (`staged`: the plan has some), the batch
  // before is concluded; with `settle`, everything staged is proven and concluded.
  virtual void Commit(bool staged, bool settle) = 0;
  // Whether copies not yet in place lie in this folder.
  virtual bool StagedIn(const std::u16string& folder) = 0;
  // One operation of a shot's clean-up in a destination (delete, then rmdir twice); `moved`:
  // failed adl copies moved it off the plan's. False ends the clean-up.
  virtual bool CleanUp(const PlanOperation& op, std::uint32_t shot, const naming::CleanUp& cleanUp, bool moved) = 0;
  // The clean-up's copy is one the destination's history records: it stays, its folders too.
  virtual void KeepRecorded(const std::u16string& path, const recorder::RecordedCopy& recorded) = 0;
};

// Walks the steps from `next` on (it is moved past each step taken) to the end or a stop.
void Walk(const Plan& plan, PlanSink& sink, std::size_t& next);

}  // namespace marlowin::plan
