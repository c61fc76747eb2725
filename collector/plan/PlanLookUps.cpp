// The look-ups of the plan: a shot folder's clips, the folders its copies go into and what each
// copy's name holds, and from them what becomes of each copy.
#include "collector/plan/PlanBuilder.h"

#include "history/MhlDate.h"
#include "platform/NativeName.h"

namespace marlowin::plan::planning {

void Builder::ListClips(PlannedShot& shot, std::vector<report::Problem>& problems) {
  const std::u16string clipFolder = plan_.ClipFolder(shot);
  std::vector<platform::FolderEntry> entries;
  if (const std::error_code error = fs_.ListFolder(clipFolder, entries)) {
    report::Problem problem;
    if (error == std::errc::no_such_file_or_directory) {
      shot.clipFolder = ClipFolderState::kMissing;
      problem.operation = report::Operation::kNoClipFolder;
      problem.path = plan_.ShotFolder(shot);
    } else {
      shot.clipFolder = ClipFolderState::kUnreadable;
      problem.failure = true;
      problem.operation = report::Operation::kListClipFolder;
      problem.path = clipFolder;
      problem.reason = error;
    }
    problems.push_back(std::move(problem));
    return;
  }
  for (platform::FolderEntry& entry : entries) {
    if (entry.isFolder) continue;
    const auto parts = naming::SplitClipName(entry.name);
    if (!parts || !naming::IsClipName(parts->extension)) {
      report::Problem problem;
      problem.operation = report::Operation::kNotAClip;
      problem.path = platform::JoinPath(clipFolder, entry.name);
      problem.rule = u"only names ending in \".mp4\" are clips";
      problems.push_back(std::move(problem));
      continue;
    }
    PlannedClip clip;
    clip.marked = naming::HasHiresMark(entry.name);
    if (const std::optional<std::u16string> number = naming::ReadClipNumber(parts->baseName)) {
      clip.hasNumber = true;
      clip.number[0] = (*number)[0];
      clip.number[1] = (*number)[1];
    }
    clip.name = std::move(entry.name);
    platform::FileStatus status;
    // A clip that cannot be looked up stays in the plan: its copy fails and says why.
    if (!fs_.GetStatus(plan_.ClipPath(shot, clip), status)) {
      clip.size = status.size;
      clip.modified = status.modified;
      clip.volume = status.volume;
      clip.fileId = status.fileId;
    } else {
      clip.volume = clip.fileId = ~0ull;
    }
    shot.clips.push_back(std::move(clip));
  }
  shot.clips.shrink_to_fit();
}

Builder::Folder Builder::LookUpFolder(GroupState& group, const std::u16string& video, const std::u16string& parent) {
  // Each folder looked up as itself: a link is no folder of the destination. A missing folder is
  // the common case of a new shoot, and costs one look-up.
  Folder folder;
  folder.volume = destinationVolume_[d_];
  platform::FileStatus status;
  if (fs_.GetLinkStatus(parent, status) || (status.type != platform::FileType::kFolder &&
                                            status.type != platform::FileType::kLink)) {
    plan_.volumes[folder.volume].foldersToMake += 2;
    return folder;
  }
  if (status.type == platform::FileType::kLink) {
    folder.link = parent;
    return folder;
  }
  const std::uint64_t parentVolume = status.volume;
  if (fs_.GetLinkStatus(video, status) || (status.type != platform::FileType::kFolder &&
                                           status.type != platform::FileType::kLink)) {
    folder.volume = Volume(parentVolume, parent);
    plan_.volumes[folder.volume].foldersToMake += 1;
    return folder;
  }
  if (status.type == platform::FileType::kLink) {
    // Through a link to the clip's own folder, its copy would be the clip itself: said as such.
    platform::FileStatus target;
    folder.isClipFolder = !fs_.GetStatus(video, target) && target.IsSameFileAs(clipFolderStatus_);
    folder.exists = folder.isClipFolder;
    folder.link = video;
    return folder;
  }
  folder.exists = true;
  folder.volume = Volume(status.volume, video);
  if (!group.folders.insert(Key(video)).second || !folder.exists) return folder;
  std::vector<platform::FolderEntry> entries;
  if (fs_.ListFolder(video, entries)) return folder;  // the copies into it will say what is wrong
  for (const platform::FolderEntry& entry : entries) {
    if (!entry.isFolder && platform::IsTemporaryName(entry.name)) plan_.leftovers[video].push_back(entry.name);
  }
  folder.tidies = plan_.leftovers.contains(video);
  return folder;
}

void Builder::Decide(GroupState& group, std::uint32_t shotIndex, std::uint32_t clipIndex, const std::u16string& target,
                     const Folder& folder, PlannedCopy& copy, std::vector<report::Problem>& problems) {
  PlannedShot& shot = plan_.shots[shotIndex];
  PlannedClip& clip = shot.clips[clipIndex];
  copy.volume = folder.volume;
  copy.action = CopyAction::kWrite;
  report::Problem problem;
  problem.path = plan_.ClipPath(shot, clip);
  problem.target = target;
  if (folder.isClipFolder) {
    // Its copy would be the clip itself, under the clip's own name or beside it on the card.
    problem.operation = report::Operation::kCopyIsClip;
    return Block(clip, problems, std::move(problem));
  }
  if (!folder.link.empty()) {
    problem.operation = report::Operation::kThroughLink;
    problem.other = folder.link;
    return Block(clip, problems, std::move(problem));
  }
  const PlannedVolume& volume = plan_.volumes[folder.volume];
  if (volume.largestFile > 0 && clip.size > volume.largestFile) {
    problem.operation = report::Operation::kTooLarge;
    problem.rule = volume.fileSystem.empty() ? u"FAT" : volume.fileSystem;
    return Block(clip, problems, std::move(problem));
  }
  const auto [state, first] = group.names.try_emplace(Key(target));
  if (first && folder.exists && !LookUpName(shot, clipIndex, target, state->second, problems)) return;
  const NameState& now = state->second;
  bool foundOnDisk = false;
  if (now.writerShot != kNoIndex && (now.writerShot != shotIndex || now.writerClip != clipIndex)) {
    // Another clip of this pass made the copy that this one replaces: that clip's copy is not
    // its own any more, and this one is never taken as in place.
    Lose(now.writerShot, now.writerClip, report::Operation::kCopyReplaced, target, plan_.ClipPath(shot, clip));
  } else if (now.exists && now.size == clip.size && platform::SameModificationTime(clip.modified, now.modified)) {
    const bool proven = plan_.settings.verify && (!clip.marked || plan_.settings.reverify);
    copy.action = proven ? CopyAction::kProve : CopyAction::kInPlace;
    foundOnDisk = now.writerShot == kNoIndex;
  }
  KeepToRecord(shot, clip, target, copy, foundOnDisk, problems);
  if (clip.blocked) return;
  state->second = {true, clip.size, clip.modified, shotIndex, clipIndex};
}

void Builder::KeepToRecord(const PlannedShot& shot, PlannedClip& clip, const std::u16string& target, PlannedCopy& copy, bool foundOnDisk,
                           std::vector<report::Problem>& problems) {
  const recorder::RecordedCopy* recorded = plan_.Recorded(target, d_);
  if (!recorded) {
    // A copy in place that no history records: proven, and so recorded, even for a marked clip.
    if (foundOnDisk && copy.action == CopyAction::kInPlace && plan_.settings.proveUnrecorded[d_]) {
      copy.action = CopyAction::kProve;
    }
    return;
  }
  if (copy.action == CopyAction::kInPlace) return;  // nothing is written there
  const std::u16string when = u"generation " + platform::FromNativeName(std::to_string(recorded->sequence)) + u" on " +
                              platform::FromNativeName(history::FormatShownDate(recorded->recorded));
  if (!recorded->xxh128.empty() && (!recorded->hasSize || recorded->size == clip.size)) {
    copy.overRecorded = true;
    return;
  }
  report::Problem problem;
  problem.operation = report::Operation::kRecordedCopy;
  problem.path = plan_.ClipPath(shot, clip);
  problem.target = target;
  problem.rule = recorded->xxh128.empty()
                     ? u"holds a copy recorded by " + when +
                           u" without an xxh128 to compare the clip with: the clip keeps its name"
                     : u"holds another clip's copy, recorded by " + when + u": the clip keeps its name";
  Block(clip, problems, std::move(problem));
}

void Builder::Lose(std::uint32_t shotIndex, std::uint32_t clipIndex, report::Operation operation, const std::u16string& copy,
                   std::u16string by) {
  PlannedClip& clip = plan_.shots[shotIndex].clips[clipIndex];
  if (clip.loses != kNoIndex) return;
  report::Problem problem;
  problem.failure = true;
  problem.operation = operation;
  problem.path = plan_.ClipPath(plan_.shots[shotIndex], clip);
  problem.target = copy;
  problem.other = std::move(by);
  clip.loses = AddProblem(std::move(problem));
}

bool Builder::LookUpName(PlannedShot& shot, std::uint32_t clipIndex, const std::u16string& target, NameState& state,
                         std::vector<report::Problem>& problems) {
  platform::FileStatus status;
  if (fs_.GetLinkStatus(target, status)) return true;  // nothing there
  PlannedClip& clip = shot.clips[clipIndex];
  report::Problem problem;
  problem.path = plan_.ClipPath(shot, clip);
  problem.target = target;
  if (status.type == platform::FileType::kLink) {
    problem.operation = report::Operation::kThroughLink;
    problem.other = target;
    Block(clip, problems, std::move(problem));
    return false;
  }
  if (status.type == platform::FileType::kFile && status.links > 1 && status.volume == clip.volume &&
      status.fileId == clip.fileId) {
    problem.operation = report::Operation::kReplacedLink;
    problems.push_back(std::move(problem));
    return true;
  }
  if (status.type == platform::FileType::kFile) state = {true, status.size, status.modified, kNoIndex, 0};
  return true;
}

}  // namespace marlowin::plan::planning
