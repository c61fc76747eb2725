#include "collector/pass/FoldersMade.h"

#include "platform/Errors.h"

namespace marlowin::pass {

void FoldersMade::MakeOrTidy(const plan::PlanOperation& op, std::uint32_t shot, std::uint32_t clip, bool needed) {
  if (op.kind == plan::PlanOperation::Kind::kMakeFolder) {
    const std::error_code error = fs_.MakeFolder(op.path);
    if (!error) {
      // The first folder of a pair is the outer one, the second its video folder.
      if (made_.empty() || made_.back().shot != shot || made_.back().clip != clip ||
          made_.back().destination != op.destination) {
        made_.push_back({shot, clip, 0, op.destination});
      }
      made_.back().folders |= op.path.ends_with(u"video") ? 2 : 1;
    }
    // A link on the way: the plan has its clips fail, each saying so.
    if (error && error != std::errc::file_exists && error != platform::Errc::kThroughLink) {
      problems_.Add(needed, report::Operation::kMakeFolder, op.path).reason = error;
    }
  } else if (op.kind == plan::PlanOperation::Kind::kRemoveLeftover) {
    const std::error_code removed = fs_.RemoveLeftover(op.path);
    // One still held belongs to a pass that runs now (elsewhere, on a shared drive).
    if (removed && removed != platform::Errc::kLeftoverInUse && removed != std::errc::no_such_file_or_directory) {
      problems_.Warn(report::Operation::kLeftover, op.path, removed);
    }
  }
}

void FoldersMade::RemoveEmpty(const plan::Plan& plan) {
  for (auto made = made_.rbegin(); made != made_.rend(); ++made) {
    const plan::PlannedShot& shot = plan.shots[made->shot];
    const bool adl = made->clip == plan::kNoIndex;
    const std::u16string number = adl ? std::u16string() : shot.clips[made->clip].Number();
    // Not there any more, or not empty: either way it is as it should be.
    const std::size_t d = made->destination;
    if (made->folders & 2) {
      (void)fs_.RemoveEmptyFolder(adl ? plan.AdlVideoFolder(shot, d) : plan.IntVideoFolder(shot, number, d));
    }
    if (made->folders & 1) (void)fs_.RemoveEmptyFolder(adl ? plan.AdlFolder(shot, d) : plan.IntFolder(shot, number, d));
  }
}

}  // namespace marlowin::pass
