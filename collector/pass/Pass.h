#pragma once

// The pass as the sink of the plan's walk: how it goes is told atop CollectClips.cpp; its copies
// (each clip's, to one destination or two) are carried out in PassCopies.cpp. Only the pass's
// own files include this.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "collector/pass/BatchCommit.h"
#include "collector/pass/CollectClips.h"
#include "collector/pass/Conclusion.h"
#include "collector/pass/CopiesWithoutClip.h"
#include "collector/pass/CopyMend.h"
#include "collector/pass/FoldersMade.h"
#include "collector/pass/GuardedFileSystem.h"
#include "collector/pass/CacheAhead.h"
#include "collector/pass/WorkMeter.h"
#include "collector/plan/PlanProblems.h"
#include "collector/plan/PlanWalk.h"
#include "collector/report/ProblemList.h"
#include "platform/NativeName.h"
#include "recorder/PassHistory.h"

namespace marlowin::pass {

class Pass final : public plan::PlanSink {
 public:
  Pass(platform::FileSystem& fs, const PassOptions& options)
      : fs_(fs), options_(options), problems_(report_.problems), meter_(options.observer),
        commit_(&fs_, &meter_, options.verify), folders_(fs_, problems_) {}

  report::PassReport Run(std::u16string startingFolder, std::u16string destinationFolder);

  // The walk's sink: the plan carried out.
  bool StopBefore() override { return meter_.Stopped() || fs_.Gone(); }
  void Tell(const report::Problem& problem) override { problems_.Tell(problem); }
  void BeginShot(std::uint32_t shot) override {
    for (std::vector<bool>& failed : adlFailed_) failed.assign(plan_.shots[shot].clips.size(), false);
    plan::TellShot(plan_, plan_.shots[shot], report_, problems_);
  }
  void Folder(const plan::PlanOperation& op, std::uint32_t shot, std::uint32_t clip, bool needed) override {
    // A destination gone takes no more folders: its copies fail, each saying so.
    if (DestinationGone(op.destination)) return;
    folders_.MakeOrTidy(op, shot, clip, needed);
  }
  void BeginClip(std::uint32_t shot, std::uint32_t clip) override;
  CopyVerdict Copy(const plan::PlanOperation& op, std::uint32_t shot, std::uint32_t clip) override;
  void EndClip(std::uint32_t shot, std::uint32_t clip, bool adlMade, bool dropped) override;
  void Commit(bool staged, bool settle) override {
    std::vector<CommittedClip> done = settle ? commit_.Settle(staged) : commit_.Commit(staged);
    const std::size_t clips = done.size();
    conclusion_->Conclude(std::move(done));
    meter_.ClipsDone(clips);
  }
  bool StagedIn(const std::u16string& folder) override { return commit_.HasCopiesIn(folder); }
  bool CleanUp(const plan::PlanOperation& op, std::uint32_t shot, const naming::CleanUp& cleanUp, bool moved) override;
  void KeepRecorded(const std::u16string& path, const recorder::RecordedCopy& recorded) override {
    // A proven copy someone may have cleared a card on: it stays, and with it its folders.
    problems_.Add(false, report::Operation::kKeptRecorded, path).rule =
        u"generation " + platform::FromNativeName(std::to_string(recorded.sequence));
  }

 private:
  bool Hold(const std::u16string& folder, GuardedFileSystem::Role role);
  void ReadHistory(std::size_t d, const std::vector<std::u16string>& destinations);
  // One copy as the plan has it: written, queued to be proven, or left in place.
  std::error_code CopyOne(const plan::PlanOperation& op, const plan::PlannedShot& shot, const plan::PlannedClip& clip);
  // The clip's bytes for a copy written to destination `d`: read once for both destinations.
  std::error_code WriteCopy(const plan::PlanOperation& op, const plan::PlannedShot& shot, const plan::PlannedClip& clip,
                            std::uint64_t proof,
                            WorkMeter::Step& work);
  std::error_code DestinationGone(std::size_t d) const;
  void EndWithFolderGone(std::error_code gone);
  void TellGone();
  void NameCopiesWithoutClip() {
    if (options_.reverify && !meter_.Stopped() && !fs_.Gone()) TellCopiesWithoutClip(plan_, recorded_[0], report_, problems_);
  }
  report::PassReport Finish();

  GuardedFileSystem fs_;
  const PassOptions& options_;
  report::PassReport report_;
  report::ProblemList problems_;
  WorkMeter meter_;
  BatchCommit commit_;
  plan::Plan plan_;
  FoldersMade folders_;
  std::size_t next_ = 0;  // the step carried out next
  std::size_t record_ = kNoRecord;  // the clip under way's place in report_.clips
  plan::PerDestination<std::vector<bool>> adlFailed_;  // by clip of the shot under way, for the clean-up's line
  plan::PerDestination<recorder::RecordedCopies> recorded_;
  plan::PerDestination<bool> historyKept_{};  // this pass adds to the history: a clip is marked once recorded
  plan::PerDestination<std::optional<recorder::PassHistory>> history_;
  std::optional<Conclusion> conclusion_;
  bool historyRead_ = false;  // the copies it records are known
  std::optional<CopyMender> mender_;
  std::optional<CacheAhead> cacheAhead_;  // while the plan is carried out
};

}  // namespace marlowin::pass
