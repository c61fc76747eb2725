#pragma once

// Inside the building of the plan (PlanBuilder.cpp, PlanLookUps.cpp): what a copy's name holds as
// the pass goes, and the builder itself.
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "collector/naming/CleanUpRule.h"
#include "collector/plan/Plan.h"
#include "platform/Paths.h"

namespace marlowin::plan::planning {

// What a copy's name holds as the pass goes.
struct NameState {
  bool exists = false;
  std::uint64_t size = 0;
  platform::FileTime modified;
  std::uint32_t writerShot = kNoIndex;  // the clip of this pass that put a copy there
  std::uint32_t writerClip = 0;
};

// Names and folders seen by the shots of one adl folder; shots that share it share this.
struct GroupState {
  std::unordered_map<std::u16string, NameState> names;
  std::unordered_set<std::u16string> folders;  // video folders already made in this pass
  std::size_t shotsLeft = 0;
};

class Builder {
 public:
  Builder(platform::FileSystem& fs, const std::function<bool(const Plan&)>& onShot) : fs_(fs), onShot_(onShot) {}

  Plan Build(Plan plan, const std::vector<platform::FolderEntry>& entries);

 private:
  // A name as the destination being decided compares names.
  std::u16string Key(std::u16string_view path) const {
    return plan_.foldsCase[d_] ? platform::FoldAToZ(path) : std::u16string(path);
  }

  void Add(StepKind kind, std::uint32_t shot, std::uint32_t index) { plan_.steps.push_back({kind, shot, index}); }

  std::uint32_t AddProblem(report::Problem problem) {
    plan_.problems.push_back(std::move(problem));
    return static_cast<std::uint32_t>(plan_.problems.size() - 1);
  }

  std::uint32_t AddWarning(report::Operation operation, std::u16string path, std::u16string rule = {}) {
    report::Problem problem;
    problem.operation = operation;
    problem.path = std::move(path);
    problem.rule = std::move(rule);
    return AddProblem(std::move(problem));
  }

  // A destination volume, and on first sight what its file system tells of itself.
  std::uint16_t Volume(std::uint64_t id, const std::u16string& folder) {
    for (std::size_t i = 0; i < plan_.volumes.size(); ++i) {
      if (plan_.volumes[i].id == id) return static_cast<std::uint16_t>(i);
    }
    PlannedVolume& volume = plan_.volumes.emplace_back();
    volume.id = id;
    volume.folder = folder;
    platform::VolumeFacts facts;
    if (!fs_.DescribeVolume(folder, facts)) {  // not told: the copies will say what is wrong
      volume.fileSystem = std::move(facts.fileSystem);
      volume.largestFile = facts.largestFile;
    }
    return static_cast<std::uint16_t>(plan_.volumes.size() - 1);
  }

  // A clip that cannot be collected for a reason known before its first copy.
  void Block(PlannedClip& clip, std::vector<report::Problem>& problems, report::Problem problem) {
    problem.failure = true;
    problems.push_back(std::move(problem));
    clip.blocked = true;
  }

  // The listing's folders in order: shot folders are planned, the others told why not.
  void Walk(const std::vector<platform::FolderEntry>& entries, std::vector<std::pair<bool, std::uint32_t>>& walk);

  // The clips of the shot's clip folder, its problems, and the look-ups of its copies' folders.
  void ListClips(PlannedShot& shot, std::vector<report::Problem>& problems);

  // A video folder the copies go into: whether it is there, its volume, whether it is the clip
  // folder itself (reached through a link), the folder on its way that is a link (nothing is
  // written through one), and (the first time this pass makes it) the leftovers an interrupted
  // pass left in it.
  struct Folder {
    bool exists = false;
    bool isClipFolder = false;
    std::u16string link;
    std::uint16_t volume = 0;
    bool tidies = false;
  };
  Folder LookUpFolder(GroupState& group, const std::u16string& video, const std::u16string& parent);

  // Decides one copy of a clip from what its name holds now (on the disk, or from this pass).
  void Decide(GroupState& group, std::uint32_t shotIndex, std::uint32_t clipIndex, const std::u16string& target,
              const Folder& folder, PlannedCopy& copy, std::vector<report::Problem>& problems);

  // A clip of this pass whose copy another clip replaces, or another shot's clean-up deletes:
  // it is not collected, though its copies are made as the naming rules have it.
  void Lose(std::uint32_t shotIndex, std::uint32_t clipIndex, report::Operation operation, const std::u16string& copy,
            std::u16string by);

  // What a copy's name holds on the disk. A second name of the clip itself (a hard link) is no
  // copy: a real copy takes its place. A link is neither written through nor replaced: its clip
  // is not collected (false).
  bool LookUpName(PlannedShot& shot, std::uint32_t clipIndex, const std::u16string& target, NameState& state,
                  std::vector<report::Problem>& problems);

  // Whether a copy may go to `target` as the history has it: a copy recorded there is never
  // replaced by other bytes. Where that is known before the copy (another size, a record without
  // a hash to compare) the clip is not collected; else the copy keeps to the recorded bytes.
  void KeepToRecord(const PlannedShot& shot, PlannedClip& clip, const std::u16string& target, PlannedCopy& copy, bool foundOnDisk,
                    std::vector<report::Problem>& problems);

  void PlanShot(std::uint32_t shotIndex);

  void AddClipSteps(std::uint32_t shotIndex, std::uint32_t clipIndex);

  void Commit(bool settle);
  // Splits the batches before the end of the plan (PlanSettings::leastLastBatch).
  void ShrinkLastBatches();
  // Whether a copy goes to its batch's commit (to be flushed or proven), and how many of a
  // clip's step do.
  bool Stages(const PlannedCopy& copy) const;
  std::size_t StagedCopies(const Step& step) const;

  // The clean-up of a shot: a copy still staged in its folders would keep them, so those are
  // settled first; the deleted name is empty for the shots after it.
  void PlanCleanUp(std::uint32_t groupIndex, std::uint32_t shotIndex, const naming::CleanUp& planned);

  platform::FileSystem& fs_;
  const std::function<bool(const Plan&)>& onShot_;
  Plan plan_;
  std::size_t d_ = 0;  // the destination whose copies are being decided
  PerDestination<std::uint16_t> destinationVolume_{};
  std::vector<std::uint32_t> groupOf_;                    // by shot
  std::unordered_map<std::uint32_t, std::size_t> groupSizes_;
  PerDestination<std::unordered_map<std::uint32_t, GroupState>> groups_;  // what each destination's names hold
  platform::FileStatus clipFolderStatus_;                               // of the shot's clip folder
  bool currentStaged_ = false;
  std::size_t batchCopies_ = 0;
  std::size_t batchClips_ = 0;
  std::uint64_t batchBytes_ = 0;
  std::vector<std::u16string> currentIntFolders_;   // of the int copies staged in the batch
  std::vector<std::u16string> inFlightIntFolders_;  // and in the batch being committed
};

}  // namespace marlowin::plan::planning
