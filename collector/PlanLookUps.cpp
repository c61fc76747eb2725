// The look-ups of the plan: a shot folder's clips, the folders its copies go into and what each
// copy's name holds, and from them what becomes of each copy.
#include "collector/PlanBuilder.h"

namespace marlowin::planning {

void Builder::ListClips(PlannedShot& shot, std::vector<Problem>& problems) {
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
  shot.clips.shrink_to_fit();
}

Builder::Folder Builder::LookUpFolder(GroupState& group, const std::u16string& video, const std::u16string& parent) {
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

void Builder::Decide(GroupState& group, std::uint32_t shotIndex, std::uint32_t clipIndex, const std::u16string& target,
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

void Builder::Lose(std::uint32_t shotIndex, std::uint32_t clipIndex, Operation operation, const std::u16string& copy,
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

void Builder::LookUpName(const PlannedShot& shot, std::uint32_t clipIndex, const std::u16string& target,
                         NameState& state, std::vector<Problem>& problems) {
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

}  // namespace marlowin::planning
