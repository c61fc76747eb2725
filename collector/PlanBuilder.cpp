// Building the plan. It walks the starting folder's listing in order; for each shot folder it
// lists the clip folder, looks up every clip and the name of each of its copies, and decides
// each copy (written, proven in place, left in place), then appends the shot's steps, with a
// commit wherever a batch is full. What a copy's name holds is followed through the pass: a
// copy written earlier in this pass by another clip (shots that share their adl and int folders,
// v02.mp4 beside v02_hires.mp4) is replaced, and the clean-up's deletion empties its name.
// Only listings and look-ups are made; nothing is changed.
#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "collector/CleanUpRule.h"
#include "collector/Plan.h"
#include "platform/Paths.h"

namespace marlowin {
namespace {

// What a copy's name holds as the pass goes.
struct NameState {
  bool exists = false;
  std::uint64_t size = 0;
  sys::FileTime modified;
  std::uint32_t writerShot = kNoIndex;  // the clip of this pass that put a copy there
  std::uint32_t writerClip = 0;
};

// Names and folders seen by the shots of one adl folder; shots that share it share this.
struct GroupState {
  std::unordered_map<std::u16string, NameState> names;
  std::unordered_set<std::u16string> folders;  // video folders already made in this pass
  std::size_t shotsLeft = 0;
};

// Why a folder of the starting folder is not a shot folder.
std::u16string SkipRule(std::u16string_view name, const FolderVerdict& verdict) {
  if (verdict.tokens.last.empty()) return u"fewer than three words";
  if (name == MakeAdlFolderName(verdict.tokens)) return u"named as an adl folder";
  return u"two underscores in a row";
}

class Builder {
 public:
  Builder(sys::FileSystem& fs, const std::function<bool(const Plan&)>& onShot) : fs_(fs), onShot_(onShot) {}

  Plan Build(Plan plan, const std::vector<sys::FolderEntry>& entries) {
    plan_ = std::move(plan);
    sys::FileStatus destination;
    (void)fs_.GetStatus(plan_.destinationFolder, destination);  // checked before the plan
    destinationVolume_ = Volume(destination.volume, plan_.destinationFolder);
    if (fs_.FoldsCase(plan_.destinationFolder, plan_.foldsCase)) plan_.foldsCase = true;
    std::vector<std::pair<bool, std::uint32_t>> walk;  // shots and problems, in listing order
    Walk(entries, walk);
    for (const auto& [isShot, index] : walk) {
      if (!isShot) {
        Add(StepKind::kProblem, 0, index);
        continue;
      }
      Add(StepKind::kShot, index, 0);
      PlanShot(index);
      if (!onShot_(plan_)) {
        plan_.stopped = true;
        break;
      }
    }
    Commit(true);
    return std::move(plan_);
  }

 private:
  std::u16string Key(std::u16string_view path) const {
    return plan_.foldsCase ? sys::FoldAToZ(path) : std::u16string(path);
  }

  void Add(StepKind kind, std::uint32_t shot, std::uint32_t index) { plan_.steps.push_back({kind, shot, index}); }

  std::uint32_t AddProblem(Problem problem) {
    plan_.problems.push_back(std::move(problem));
    return static_cast<std::uint32_t>(plan_.problems.size() - 1);
  }

  std::uint32_t AddWarning(Operation operation, std::u16string path, std::u16string rule = {}) {
    Problem problem;
    problem.operation = operation;
    problem.path = std::move(path);
    problem.rule = std::move(rule);
    return AddProblem(std::move(problem));
  }

  std::uint16_t Volume(std::uint64_t id, const std::u16string& folder) {
    for (std::size_t i = 0; i < plan_.volumes.size(); ++i) {
      if (plan_.volumes[i].id == id) return static_cast<std::uint16_t>(i);
    }
    plan_.volumes.push_back({id, folder, 0, 0, 0});
    return static_cast<std::uint16_t>(plan_.volumes.size() - 1);
  }

  // The listing's folders in order: shot folders are planned, the others told why not.
  void Walk(const std::vector<sys::FolderEntry>& entries, std::vector<std::pair<bool, std::uint32_t>>& walk) {
    std::unordered_map<std::u16string, std::uint32_t> groups;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const sys::FolderEntry& entry = entries[i];
      if (!entry.isFolder) continue;
      FolderVerdict verdict = ClassifyFolderName(entry.name);
      const std::u16string path = sys::JoinPath(plan_.startingFolder, entry.name);
      if (verdict.kind == FolderVerdict::EndPass) {
        walk.push_back({false, AddWarning(Operation::kEndedPass, path)});
        for (std::size_t j = i + 1; j < entries.size(); ++j) {
          if (!entries[j].isFolder) continue;
          walk.push_back({false, AddWarning(Operation::kNotVisited, sys::JoinPath(plan_.startingFolder, entries[j].name))});
        }
        break;
      }
      if (verdict.kind == FolderVerdict::Skip) {
        walk.push_back({false, AddWarning(Operation::kPassedOver, path, SkipRule(entry.name, verdict))});
        continue;
      }
      const auto [group, added] =
          groups.try_emplace(Key(MakeAdlFolderName(verdict.tokens)), static_cast<std::uint32_t>(groupOf_.size()));
      (void)added;
      const auto shot = static_cast<std::uint32_t>(plan_.shots.size());
      plan_.shots.push_back({entry.name, std::move(verdict.tokens), {}, ClipFolderState::kListed, false, 0, 0});
      groupOf_.push_back(group->second);
      ++groupSizes_[group->second];
      walk.push_back({true, shot});
    }
  }

  // The clips of the shot's clip folder, its problems, and the look-ups of its copies' folders.
  void ListClips(PlannedShot& shot, std::vector<Problem>& problems) {
    const std::u16string clipFolder = plan_.ClipFolder(shot);
    std::vector<sys::FolderEntry> entries;
    if (const std::error_code error = fs_.ListFolder(clipFolder, entries)) {
      Problem problem;
      if (error == std::errc::no_such_file_or_directory) {
        shot.clipFolder = ClipFolderState::kMissing;
        problem.operation = Operation::kNoClipFolder;
        problem.path = plan_.ShotFolder(shot);
      } else {
        shot.clipFolder = ClipFolderState::kUnreadable;
        problem.failure = true;
        problem.operation = Operation::kListClipFolder;
        problem.path = clipFolder;
        problem.reason = error;
      }
      problems.push_back(std::move(problem));
      return;
    }
    for (sys::FolderEntry& entry : entries) {
      if (entry.isFolder) continue;
      const auto parts = SplitClipName(entry.name);
      if (!parts || !IsClipName(parts->extension)) {
        Problem problem;
        problem.operation = Operation::kNotAClip;
        problem.path = sys::JoinPath(clipFolder, entry.name);
        problem.rule = u"only names ending in \".mp4\" are clips";
        problems.push_back(std::move(problem));
        continue;
      }
      PlannedClip clip;
      clip.marked = HasHiresMark(entry.name);
      if (const std::optional<std::u16string> number = ReadClipNumber(parts->baseName)) {
        clip.hasNumber = true;
        clip.number[0] = (*number)[0];
        clip.number[1] = (*number)[1];
      }
      clip.name = std::move(entry.name);
      sys::FileStatus status;
      // A clip that cannot be looked up stays in the plan: its copy fails and says why.
      if (!fs_.GetStatus(plan_.ClipPath(shot, clip), status)) {
        clip.size = status.size;
        clip.modified = status.modified;
        clipIds_.push_back({status.volume, status.fileId});
      } else {
        clipIds_.push_back({~0ull, ~0ull});
      }
      shot.clips.push_back(std::move(clip));
    }
  }

  // A video folder the copies go into: whether it is there, its volume, whether it is the clip
  // folder itself (reached through a link), and (the first time this pass makes it) the
  // leftovers an interrupted pass left in it.
  struct Folder {
    bool exists = false;
    bool isClipFolder = false;
    std::uint16_t volume = 0;
    bool tidies = false;
  };
  Folder LookUpFolder(GroupState& group, const std::u16string& video, const std::u16string& parent) {
    Folder folder;
    folder.volume = destinationVolume_;
    sys::FileStatus status;
    if (!fs_.GetStatus(video, status) && status.type == sys::FileType::kFolder) {
      folder.exists = true;
      folder.isClipFolder = status.IsSameFileAs(clipFolderStatus_);
      folder.volume = Volume(status.volume, video);
    } else if (!fs_.GetStatus(parent, status) && status.type == sys::FileType::kFolder) {
      folder.volume = Volume(status.volume, parent);
      plan_.volumes[folder.volume].foldersToMake += 1;
    } else {
      plan_.volumes[folder.volume].foldersToMake += 2;
    }
    if (!group.folders.insert(Key(video)).second || !folder.exists) return folder;
    std::vector<sys::FolderEntry> entries;
    if (fs_.ListFolder(video, entries)) return folder;  // the copies into it will say what is wrong
    for (const sys::FolderEntry& entry : entries) {
      if (!entry.isFolder && sys::IsTemporaryName(entry.name)) plan_.leftovers[video].push_back(entry.name);
    }
    folder.tidies = plan_.leftovers.contains(video);
    return folder;
  }

  // Decides one copy of a clip from what its name holds now (on the disk, or from this pass).
  void Decide(GroupState& group, std::uint32_t shotIndex, std::uint32_t clipIndex, const std::u16string& target,
              const Folder& folder, PlannedCopy& copy, std::vector<Problem>& problems) {
    PlannedShot& shot = plan_.shots[shotIndex];
    PlannedClip& clip = shot.clips[clipIndex];
    copy.volume = folder.volume;
    copy.action = CopyAction::kWrite;
    if (folder.isClipFolder) {
      // Its copy would be the clip itself, under the clip's own name or beside it on the card.
      Problem problem;
      problem.failure = true;
      problem.operation = Operation::kCopyIsClip;
      problem.path = plan_.ClipPath(shot, clip);
      problem.target = target;
      problems.push_back(std::move(problem));
      clip.blocked = true;
      return;
    }
    const auto [state, first] = group.names.try_emplace(Key(target));
    if (first && folder.exists) LookUpName(shot, clipIndex, target, state->second, problems);
    const NameState& now = state->second;
    if (now.writerShot != kNoIndex && (now.writerShot != shotIndex || now.writerClip != clipIndex)) {
      // Another clip of this pass made the copy that this one replaces: that clip's copy is not
      // its own any more, and this one is never taken as in place.
      Lose(now.writerShot, now.writerClip, Operation::kCopyReplaced, target, plan_.ClipPath(shot, clip));
    } else if (now.exists && now.size == clip.size && sys::SameModificationTime(clip.modified, now.modified)) {
      copy.action = clip.marked || !plan_.settings.verify ? CopyAction::kInPlace : CopyAction::kProve;
    }
    state->second = {true, clip.size, clip.modified, shotIndex, clipIndex};
  }

  // A clip of this pass whose copy another clip replaces, or another shot's clean-up deletes:
  // it is not collected, though its copies are made as the naming rules have it.
  void Lose(std::uint32_t shotIndex, std::uint32_t clipIndex, Operation operation, const std::u16string& copy,
            std::u16string by) {
    PlannedClip& clip = plan_.shots[shotIndex].clips[clipIndex];
    if (clip.loses != kNoIndex) return;
    Problem problem;
    problem.failure = true;
    problem.operation = operation;
    problem.path = plan_.ClipPath(plan_.shots[shotIndex], clip);
    problem.target = copy;
    problem.other = std::move(by);
    clip.loses = AddProblem(std::move(problem));
  }

  // What a copy's name holds on the disk. A link is no copy, whatever it leads to, and neither is
  // a second name of the clip itself: a real copy takes its place (the link is replaced by the
  // move into place, never written through).
  void LookUpName(const PlannedShot& shot, std::uint32_t clipIndex, const std::u16string& target, NameState& state,
                  std::vector<Problem>& problems) {
    sys::FileStatus status;
    if (fs_.GetLinkStatus(target, status)) return;  // nothing there
    const bool secondName = status.type == sys::FileType::kFile && status.links > 1 &&
                            status.volume == clipIds_[clipIndex].first && status.fileId == clipIds_[clipIndex].second;
    if (status.type == sys::FileType::kLink || secondName) {
      Problem problem;
      problem.operation = Operation::kReplacedLink;
      problem.path = plan_.ClipPath(shot, shot.clips[clipIndex]);
      problem.target = target;
      problems.push_back(std::move(problem));
      return;
    }
    if (status.type == sys::FileType::kFile) state = {true, status.size, status.modified, kNoIndex, 0};
  }

  void PlanShot(std::uint32_t shotIndex) {
    PlannedShot& shot = plan_.shots[shotIndex];
    GroupState& group = groups_[groupOf_[shotIndex]];
    if (group.shotsLeft == 0) group.shotsLeft = groupSizes_[groupOf_[shotIndex]];
    std::vector<Problem> shotProblems;
    clipIds_.clear();
    clipFolderStatus_ = {};
    if (fs_.GetStatus(plan_.ClipFolder(shot), clipFolderStatus_)) clipFolderStatus_.fileId = ~0ull;
    ListClips(shot, shotProblems);
    std::vector<std::vector<Problem>> clipProblems(shot.clips.size());

    const Folder adlFolder = LookUpFolder(group, plan_.AdlVideoFolder(shot), plan_.AdlFolder(shot));
    shot.tidiesAdlFolder = adlFolder.tidies;
    for (std::uint32_t i = 0; i < shot.clips.size(); ++i) {
      Decide(group, shotIndex, i, plan_.AdlTarget(shot, shot.clips[i]), adlFolder, shot.clips[i].adl, clipProblems[i]);
    }
    const CleanUp planned = FindCleanUp(shot, [&](std::size_t i) { return !shot.clips[i].blocked; });
    for (std::uint32_t i = 0; i < shot.clips.size(); ++i) {
      PlannedClip& clip = shot.clips[i];
      if (clip.blocked || !clip.HasIntFolders()) continue;
      const Folder intFolder = LookUpFolder(group, plan_.IntVideoFolder(shot, clip.Number()),
                                            plan_.IntFolder(shot, clip.Number()));
      clip.tidiesIntFolder = intFolder.tidies;
      // The greatest clip's int copy is what the clean-up deletes again: it is not written.
      clip.hasIntCopy = clip.Number() != planned.greatest;
      if (!clip.hasIntCopy) continue;
      Decide(group, shotIndex, i, plan_.IntTarget(shot, clip), intFolder, clip.intCopy, clipProblems[i]);
      clip.intCopy.fromAdlCopy = clip.adl.action == CopyAction::kWrite && clip.intCopy.action == CopyAction::kWrite;
    }

    shot.firstProblem = static_cast<std::uint32_t>(plan_.problems.size());
    shot.problemCount = static_cast<std::uint32_t>(shotProblems.size());
    for (Problem& problem : shotProblems) AddProblem(std::move(problem));
    for (std::uint32_t i = 0; i < shot.clips.size(); ++i) {
      PlannedClip& clip = shot.clips[i];
      clip.firstProblem = static_cast<std::uint32_t>(plan_.problems.size());
      clip.problemCount = static_cast<std::uint32_t>(clipProblems[i].size());
      for (Problem& problem : clipProblems[i]) AddProblem(std::move(problem));
      AddClipSteps(shotIndex, i);
    }
    PlanCleanUp(group, shotIndex, planned);
    if (--group.shotsLeft == 0) groups_.erase(groupOf_[shotIndex]);  // no later shot meets these names
  }

  void AddClipSteps(std::uint32_t shotIndex, std::uint32_t clipIndex) {
    const PlannedShot& shot = plan_.shots[shotIndex];
    const PlannedClip& clip = shot.clips[clipIndex];
    ++plan_.clips;
    plan_.clipBytes += clip.size;
    Add(StepKind::kClip, shotIndex, clipIndex);
    if (clip.blocked) return;
    const unsigned copies = clip.hasIntCopy ? 2 : 1;
    plan_.work += clip.size * copies * (plan_.settings.verify ? 2 : 1);
    for (const PlannedCopy* copy : {&clip.adl, clip.hasIntCopy ? &clip.intCopy : nullptr}) {
      if (!copy) continue;
      if (copy->action == CopyAction::kWrite) {
        plan_.volumes[copy->volume].bytesToWrite += clip.size;
        ++plan_.volumes[copy->volume].copiesToWrite;
      }
      if (copy->action == CopyAction::kInPlace || (!plan_.settings.verify && copy->action != CopyAction::kWrite)) continue;
      currentStaged_ = true;
      ++batchCopies_;
      batchBytes_ += clip.size;
      if (copy == &clip.intCopy) currentIntFolders_.push_back(Key(plan_.IntFolder(shot, clip.Number())));
    }
    if (batchCopies_ >= plan_.settings.batchCopies || batchBytes_ >= plan_.settings.batchBytes) Commit(false);
  }

  void Commit(bool settle) {
    Add(settle ? StepKind::kSettle : StepKind::kCommit, 0, currentStaged_ ? 1 : 0);
    inFlightIntFolders_ = settle || !currentStaged_ ? std::vector<std::u16string>() : std::move(currentIntFolders_);
    currentIntFolders_.clear();
    currentStaged_ = false;
    batchCopies_ = 0;
    batchBytes_ = 0;
  }

  // The clean-up of a shot: a copy still staged in its folders would keep them, so those are
  // settled first; the deleted name is empty for the shots after it.
  void PlanCleanUp(GroupState& group, std::uint32_t shotIndex, const CleanUp& planned) {
    PlannedShot& shot = plan_.shots[shotIndex];
    if (!planned.intNumber.empty()) {
      const std::u16string folder = Key(plan_.IntFolder(shot, planned.intNumber));
      for (const std::vector<std::u16string>* staged : {&currentIntFolders_, &inFlightIntFolders_}) {
        if (std::find(staged->begin(), staged->end(), folder) != staged->end()) {
          Commit(true);
          break;
        }
      }
      const std::u16string file =
          sys::JoinPath(plan_.IntVideoFolder(shot, planned.intNumber), MakeCleanupClipName(planned.greatest));
      NameState& state = group.names[Key(file)];
      if (state.writerShot != kNoIndex && state.writerShot != shotIndex) {
        Lose(state.writerShot, state.writerClip, Operation::kCopyDeleted, file, plan_.ShotFolder(shot));
      }
      state = NameState{};
    }
    Add(StepKind::kCleanUp, shotIndex, 0);
  }

  sys::FileSystem& fs_;
  const std::function<bool(const Plan&)>& onShot_;
  Plan plan_;
  std::uint16_t destinationVolume_ = 0;
  std::vector<std::uint32_t> groupOf_;                    // by shot
  std::unordered_map<std::uint32_t, std::size_t> groupSizes_;
  std::unordered_map<std::uint32_t, GroupState> groups_;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> clipIds_;  // volume and file id, by clip of the shot
  sys::FileStatus clipFolderStatus_;                               // of the shot's clip folder
  bool currentStaged_ = false;
  std::size_t batchCopies_ = 0;
  std::uint64_t batchBytes_ = 0;
  std::vector<std::u16string> currentIntFolders_;   // of the int copies staged in the batch
  std::vector<std::u16string> inFlightIntFolders_;  // and in the batch being committed
};

}  // namespace

Plan BuildPlan(sys::FileSystem& fs, std::u16string startingFolder, std::u16string destinationFolder,
               const std::vector<sys::FolderEntry>& entries, const PlanSettings& settings,
               const std::function<bool(const Plan&)>& onShot) {
  Plan plan;
  plan.startingFolder = std::move(startingFolder);
  plan.destinationFolder = std::move(destinationFolder);
  plan.settings = settings;
  return Builder(fs, onShot).Build(std::move(plan), entries);
}

}  // namespace marlowin
