// The plan's paths and the operations of each of its steps. Paths are formed by the naming rules
// and joined with the platform's separator; the operations are listed in the order the pass
// carries them out, which is the order the dry run prints them in.
#include "collector/plan/Plan.h"

#include "platform/Paths.h"

namespace marlowin::plan {
namespace {

naming::ClipNameParts Parts(const PlannedClip& clip) {
  // Every planned clip passed SplitClipName when it was listed.
  return naming::SplitClipName(clip.name).value_or(naming::ClipNameParts{});
}

PlanOperation Operation(PlanOperation::Kind kind, std::u16string path, std::size_t d) {
  return {kind, std::move(path), {}, false, static_cast<std::uint8_t>(d)};
}

PlanOperation CopyOperation(CopyAction action, std::u16string target, std::u16string from, bool intCopy, std::size_t d) {
  const PlanOperation::Kind kind = action == CopyAction::kWrite   ? PlanOperation::Kind::kCopy
                               : action == CopyAction::kProve ? PlanOperation::Kind::kProve
                                                              : PlanOperation::Kind::kInPlace;
  return {kind, std::move(target), std::move(from), intCopy, static_cast<std::uint8_t>(d)};
}

}  // namespace

naming::CleanUp ShotCleanUp(const PlannedShot& shot, const std::function<bool(std::size_t clip)>& adlCopyMade) {
  return naming::FindCleanUp(shot.clips.size(), [&](std::size_t i) {
    const PlannedClip& clip = shot.clips[i];
    return clip.hasNumber && adlCopyMade(i) ? clip.Number() : std::u16string();
  });
}

bool PlannedClip::HasIntFolders() const { return hasNumber && naming::NeedsIntCopy(Number()); }

std::u16string Plan::ShotFolder(const PlannedShot& shot) const { return platform::JoinPath(startingFolder, shot.name); }

std::u16string Plan::ClipFolder(const PlannedShot& shot) const {
  return platform::JoinPath(ShotFolder(shot), naming::kClipFolderName);
}

std::u16string Plan::ClipPath(const PlannedShot& shot, const PlannedClip& clip) const {
  return platform::JoinPath(ClipFolder(shot), clip.name);
}

std::u16string Plan::MarkedPath(const PlannedShot& shot, const PlannedClip& clip) const {
  if (clip.marked) return {};
  const naming::ClipNameParts parts = Parts(clip);
  return platform::JoinPath(ClipFolder(shot), naming::MakeAdlClipName(clip.name, parts.baseName, parts.extension));
}

std::u16string Plan::AdlFolder(const PlannedShot& shot, std::size_t d) const {
  return platform::JoinPath(destinations[d], naming::MakeAdlFolderName(shot.tokens));
}

std::u16string Plan::AdlVideoFolder(const PlannedShot& shot, std::size_t d) const {
  return platform::JoinPath(AdlFolder(shot, d), naming::kVideoFolderName);
}

std::u16string Plan::AdlTarget(const PlannedShot& shot, const PlannedClip& clip, std::size_t d) const {
  const naming::ClipNameParts parts = Parts(clip);
  return platform::JoinPath(AdlVideoFolder(shot, d), naming::MakeAdlClipName(clip.name, parts.baseName, parts.extension));
}

std::u16string Plan::IntFolder(const PlannedShot& shot, std::u16string_view number, std::size_t d) const {
  return platform::JoinPath(destinations[d], naming::MakeIntFolderName(shot.tokens, number));
}

std::u16string Plan::IntVideoFolder(const PlannedShot& shot, std::u16string_view number, std::size_t d) const {
  return platform::JoinPath(IntFolder(shot, number, d), naming::kVideoFolderName);
}

std::u16string Plan::IntTarget(const PlannedShot& shot, const PlannedClip& clip, std::size_t d) const {
  const naming::ClipNameParts parts = Parts(clip);
  return platform::JoinPath(IntVideoFolder(shot, clip.Number(), d), naming::MakeIntClipName(parts.baseName, parts.extension));
}

const recorder::RecordedCopy* Plan::Recorded(const std::u16string& path, std::size_t d) const {
  std::u16string relative;
  if (d >= destinations.size() || !settings.recorded[d] || !recorder::PathInHistory(destinations[d], path, relative)) {
    return nullptr;
  }
  return settings.recorded[d]->Find(relative);
}

void Plan::Leftovers(const std::u16string& folder, std::size_t d,
                     const std::function<bool(const PlanOperation&)>& go) const {
  const auto found = leftovers.find(folder);
  if (found == leftovers.end()) return;
  for (const std::u16string& name : found->second) {
    if (!go(Operation(PlanOperation::Kind::kRemoveLeftover, platform::JoinPath(folder, name), d))) return;
  }
}

void Plan::ShotOperations(const PlannedShot& shot, std::size_t d,
                          const std::function<bool(const PlanOperation&)>& go) const {
  const std::u16string video = AdlVideoFolder(shot, d);
  if (!go(Operation(PlanOperation::Kind::kMakeFolder, AdlFolder(shot, d), d))) return;
  if (!go(Operation(PlanOperation::Kind::kMakeFolder, video, d))) return;
  if (shot.tidiesAdlFolder[d]) Leftovers(video, d, go);
}

void Plan::ClipOperations(const PlannedShot& shot, const PlannedClip& clip, std::size_t d,
                          const std::function<bool(const PlanOperation&)>& go) const {
  const std::u16string clipPath = ClipPath(shot, clip);
  const std::u16string adlTarget = AdlTarget(shot, clip, d);
  // The backup's adl copy is made from the copy to folder's, the clip read once for both.
  const std::u16string adlFrom = d > 0 && clip.adl[d].fromAdlCopy ? AdlTarget(shot, clip, 0) : clipPath;
  if (!go(CopyOperation(clip.adl[d].action, adlTarget, adlFrom, false, d))) return;
  if (!clip.HasIntFolders()) return;
  const std::u16string number = clip.Number();
  const std::u16string video = IntVideoFolder(shot, number, d);
  if (!go(Operation(PlanOperation::Kind::kMakeFolder, IntFolder(shot, number, d), d))) return;
  if (!go(Operation(PlanOperation::Kind::kMakeFolder, video, d))) return;
  if (clip.tidiesIntFolder[d]) Leftovers(video, d, go);
  if (!clip.hasIntCopy) return;
  (void)go(CopyOperation(clip.intCopy[d].action, IntTarget(shot, clip, d),
                         clip.intCopy[d].fromAdlCopy ? adlTarget : clipPath, true, d));
}

void Plan::CleanUpOperations(const PlannedShot& shot, std::u16string_view greatest, std::u16string_view intNumber,
                             std::size_t d, const std::function<bool(const PlanOperation&)>& go) const {
  const std::u16string video = IntVideoFolder(shot, intNumber, d);
  if (!go(Operation(PlanOperation::Kind::kDelete, platform::JoinPath(video, naming::MakeCleanupClipName(greatest)), d))) {
    return;
  }
  if (!go(Operation(PlanOperation::Kind::kRemoveFolder, video, d))) return;
  (void)go(Operation(PlanOperation::Kind::kRemoveFolder, IntFolder(shot, intNumber, d), d));
}

}  // namespace marlowin::plan
