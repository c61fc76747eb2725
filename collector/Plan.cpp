// The plan's paths and the operations of each of its steps. Paths are formed by the naming rules
// and joined with the platform's separator; the operations are listed in the order the pass
// carries them out, which is the order the dry run prints them in.
#include "collector/Plan.h"

#include "platform/Paths.h"

namespace marlowin {
namespace {

constexpr std::u16string_view kVideoFolderName = u"video";
constexpr std::u16string_view kClipFolderName = u"MP4 HIGH RES";

ClipNameParts Parts(const PlannedClip& clip) {
  // Every planned clip passed SplitClipName when it was listed.
  return SplitClipName(clip.name).value_or(ClipNameParts{});
}

PlanOperation CopyOperation(CopyAction action, std::u16string target, std::u16string from, bool intCopy) {
  const PlanOperation::Kind kind = action == CopyAction::kWrite   ? PlanOperation::Kind::kCopy
                               : action == CopyAction::kProve ? PlanOperation::Kind::kProve
                                                              : PlanOperation::Kind::kInPlace;
  return {kind, std::move(target), std::move(from), intCopy};
}

}  // namespace

bool PlannedClip::HasIntFolders() const { return hasNumber && NeedsIntCopy(Number()); }

std::u16string Plan::ShotFolder(const PlannedShot& shot) const { return sys::JoinPath(startingFolder, shot.name); }

std::u16string Plan::ClipFolder(const PlannedShot& shot) const {
  return sys::JoinPath(ShotFolder(shot), kClipFolderName);
}

std::u16string Plan::ClipPath(const PlannedShot& shot, const PlannedClip& clip) const {
  return sys::JoinPath(ClipFolder(shot), clip.name);
}

std::u16string Plan::MarkedPath(const PlannedShot& shot, const PlannedClip& clip) const {
  if (clip.marked) return {};
  const ClipNameParts parts = Parts(clip);
  return sys::JoinPath(ClipFolder(shot), MakeAdlClipName(clip.name, parts.baseName, parts.extension));
}

std::u16string Plan::AdlFolder(const PlannedShot& shot) const {
  return sys::JoinPath(destinationFolder, MakeAdlFolderName(shot.tokens));
}

std::u16string Plan::AdlVideoFolder(const PlannedShot& shot) const {
  return sys::JoinPath(AdlFolder(shot), kVideoFolderName);
}

std::u16string Plan::AdlTarget(const PlannedShot& shot, const PlannedClip& clip) const {
  const ClipNameParts parts = Parts(clip);
  return sys::JoinPath(AdlVideoFolder(shot), MakeAdlClipName(clip.name, parts.baseName, parts.extension));
}

std::u16string Plan::IntFolder(const PlannedShot& shot, std::u16string_view number) const {
  return sys::JoinPath(destinationFolder, MakeIntFolderName(shot.tokens, number));
}

std::u16string Plan::IntVideoFolder(const PlannedShot& shot, std::u16string_view number) const {
  return sys::JoinPath(IntFolder(shot, number), kVideoFolderName);
}

std::u16string Plan::IntTarget(const PlannedShot& shot, const PlannedClip& clip) const {
  const ClipNameParts parts = Parts(clip);
  return sys::JoinPath(IntVideoFolder(shot, clip.Number()), MakeIntClipName(parts.baseName, parts.extension));
}

const RecordedCopy* Plan::Recorded(const std::u16string& path) const {
  std::u16string relative;
  if (!settings.recorded || !PathInHistory(destinationFolder, path, relative)) return nullptr;
  return settings.recorded->Find(relative);
}

void Plan::Leftovers(const std::u16string& folder, const std::function<bool(const PlanOperation&)>& go) const {
  const auto found = leftovers.find(folder);
  if (found == leftovers.end()) return;
  for (const std::u16string& name : found->second) {
    if (!go({PlanOperation::Kind::kRemoveLeftover, sys::JoinPath(folder, name), {}, false})) return;
  }
}

void Plan::ShotOperations(const PlannedShot& shot, const std::function<bool(const PlanOperation&)>& go) const {
  const std::u16string video = AdlVideoFolder(shot);
  if (!go({PlanOperation::Kind::kMakeFolder, AdlFolder(shot), {}, false})) return;
  if (!go({PlanOperation::Kind::kMakeFolder, video, {}, false})) return;
  if (shot.tidiesAdlFolder) Leftovers(video, go);
}

void Plan::ClipOperations(const PlannedShot& shot, const PlannedClip& clip,
                          const std::function<bool(const PlanOperation&)>& go) const {
  const std::u16string clipPath = ClipPath(shot, clip);
  const std::u16string adlTarget = AdlTarget(shot, clip);
  if (!go(CopyOperation(clip.adl.action, adlTarget, clipPath, false))) return;
  if (!clip.HasIntFolders()) return;
  const std::u16string number = clip.Number();
  const std::u16string video = IntVideoFolder(shot, number);
  if (!go({PlanOperation::Kind::kMakeFolder, IntFolder(shot, number), {}, false})) return;
  if (!go({PlanOperation::Kind::kMakeFolder, video, {}, false})) return;
  if (clip.tidiesIntFolder) Leftovers(video, go);
  if (!clip.hasIntCopy) return;
  (void)go(CopyOperation(clip.intCopy.action, IntTarget(shot, clip), clip.intCopy.fromAdlCopy ? adlTarget : clipPath,
                         true));
}

void Plan::CleanUpOperations(const PlannedShot& shot, std::u16string_view greatest, std::u16string_view intNumber,
                             const std::function<bool(const PlanOperation&)>& go) const {
  const std::u16string video = IntVideoFolder(shot, intNumber);
  if (!go({PlanOperation::Kind::kDelete, sys::JoinPath(video, MakeCleanupClipName(greatest)), {}, false})) return;
  if (!go({PlanOperation::Kind::kRemoveFolder, video, {}, false})) return;
  (void)go({PlanOperation::Kind::kRemoveFolder, IntFolder(shot, intNumber), {}, false});
}

}  // namespace marlowin
