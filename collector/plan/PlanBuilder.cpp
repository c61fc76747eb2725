// Building the plan. It walks the starting folder's listing in order; for each shot folder it
// lists the clip folder, looks up every clip and the name of each of its copies, and decides
// each copy (written, proven in place, left in place), then appends the shot's steps, with a
// commit wherever a batch is full. What a copy's name holds is followed through the pass: a
// copy written earlier in this pass by another clip (shots that share their adl and int folders,
// v02.mp4 beside v02_hires.mp4) is replaced, and the clean-up's deletion empties its name.
// Only listings and look-ups are made; nothing is changed.
#include <algorithm>

#include "collector/plan/PlanBuilder.h"

namespace marlowin::plan {
namespace planning {
namespace {

// Why a folder of the starting folder is not a shot folder.
std::u16string SkipRule(std::u16string_view name, const naming::FolderVerdict& verdict) {
  if (verdict.tokens.last.empty()) return u"its name has fewer than three parts separated by _";
  if (name == naming::MakeAdlFolderName(verdict.tokens)) return u"its name is that of an adl folder, which the pass makes";
  return u"its name has two _ in a row";
}

}  // namespace

Plan Builder::Build(Plan plan, const std::vector<platform::FolderEntry>& entries) {
  plan_ = std::move(plan);
  for (std::size_t d = 0; d < plan_.destinations.size(); ++d) {
    platform::FileStatus destination;
    (void)fs_.GetStatus(plan_.destinations[d], destination);  // checked before the plan
    destinationVolume_[d] = Volume(destination.volume, plan_.destinations[d]);
    if (fs_.FoldsCase(plan_.destinations[d], plan_.foldsCase[d])) plan_.foldsCase[d] = true;
  }
  // Through FUSE a file's id is not its own for long: a clip is then known by size and time.
  platform::VolumeFacts card;
  plan_.stableClipIds = fs_.DescribeVolume(plan_.startingFolder, card) || card.stableFileIds;
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
  ShrinkLastBatches();
  return std::move(plan_);
}

void Builder::Walk(const std::vector<platform::FolderEntry>& entries, std::vector<std::pair<bool, std::uint32_t>>& walk) {
  std::unordered_map<std::u16string, std::uint32_t> groups;
  // A plan of many shots keeps no slack.
  plan_.shots.reserve(static_cast<std::size_t>(
      std::count_if(entries.begin(), entries.end(), [](const platform::FolderEntry& entry) { return entry.isFolder; })));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const platform::FolderEntry& entry = entries[i];
    if (!entry.isFolder) continue;
    naming::FolderVerdict verdict = naming::ClassifyFolderName(entry.name);
    const std::u16string path = platform::JoinPath(plan_.startingFolder, entry.name);
    if (verdict.kind == naming::FolderVerdict::EndPass) {
      walk.push_back({false, AddWarning(report::Operation::kEndedPass, path)});
      for (std::size_t j = i + 1; j < entries.size(); ++j) {
        if (!entries[j].isFolder) continue;
        walk.push_back({false, AddWarning(report::Operation::kNotVisited, platform::JoinPath(plan_.startingFolder, entries[j].name))});
      }
      break;
    }
    if (verdict.kind == naming::FolderVerdict::Skip) {
      walk.push_back({false, AddWarning(report::Operation::kPassedOver, path, SkipRule(entry.name, verdict))});
      continue;
    }
    const auto [group, added] =
        groups.try_emplace(Key(naming::MakeAdlFolderName(verdict.tokens)), static_cast<std::uint32_t>(groupOf_.size()));
    (void)added;
    const auto shot = static_cast<std::uint32_t>(plan_.shots.size());
    PlannedShot& planned = plan_.shots.emplace_back();
    planned.name = entry.name;
    planned.tokens = std::move(verdict.tokens);
    groupOf_.push_back(group->second);
    ++groupSizes_[group->second];
    walk.push_back({true, shot});
  }
}

void Builder::PlanShot(std::uint32_t shotIndex) {
  PlannedShot& shot = plan_.shots[shotIndex];
  const std::uint32_t groupIndex = groupOf_[shotIndex];
  std::vector<report::Problem> shotProblems;
  clipFolderStatus_ = {};
  if (fs_.GetStatus(plan_.ClipFolder(shot), clipFolderStatus_)) clipFolderStatus_.fileId = ~0ull;
  ListClips(shot, shotProblems);
  std::vector<std::vector<report::Problem>> clipProblems(shot.clips.size());

  // Every destination's adl copies first: a clip that cannot go to one is collected in none.
  for (d_ = 0; d_ < plan_.destinations.size(); ++d_) {
    GroupState& group = groups_[d_][groupIndex];
    if (group.shotsLeft == 0) group.shotsLeft = groupSizes_[groupIndex];
    const Folder adlFolder = LookUpFolder(group, plan_.AdlVideoFolder(shot, d_), plan_.AdlFolder(shot, d_));
    shot.tidiesAdlFolder[d_] = adlFolder.tidies;
    for (std::uint32_t i = 0; i < shot.clips.size(); ++i) {
      Decide(group, shotIndex, i, plan_.AdlTarget(shot, shot.clips[i], d_), adlFolder, shot.clips[i].adl[d_],
             clipProblems[i]);
    }
  }
  const naming::CleanUp planned = ShotCleanUp(shot, [&](std::size_t i) { return !shot.clips[i].blocked; });
  for (PlannedClip& clip : shot.clips) {
    for (std::size_t d = 1; d < plan_.destinations.size(); ++d) {
      clip.adl[d].fromAdlCopy = clip.adl[0].action == CopyAction::kWrite && clip.adl[d].action == CopyAction::kWrite;
    }
    // The greatest clip's int copy is what the clean-up deletes again: it is not written.
    clip.hasIntCopy = !clip.blocked && clip.HasIntFolders() && clip.Number() != planned.greatest;
  }
  for (d_ = 0; d_ < plan_.destinations.size(); ++d_) {
    GroupState& group = groups_[d_][groupIndex];
    for (std::uint32_t i = 0; i < shot.clips.size(); ++i) {
      PlannedClip& clip = shot.clips[i];
      if (clip.blocked || !clip.HasIntFolders()) continue;
      const Folder intFolder = LookUpFolder(group, plan_.IntVideoFolder(shot, clip.Number(), d_),
                                            plan_.IntFolder(shot, clip.Number(), d_));
      clip.tidiesIntFolder[d_] = intFolder.tidies;
      if (!clip.hasIntCopy) continue;
      Decide(group, shotIndex, i, plan_.IntTarget(shot, clip, d_), intFolder, clip.intCopy[d_], clipProblems[i]);
      clip.intCopy[d_].fromAdlCopy =
          clip.adl[d_].action == CopyAction::kWrite && clip.intCopy[d_].action == CopyAction::kWrite;
    }
  }

  shot.firstProblem = static_cast<std::uint32_t>(plan_.problems.size());
  shot.problemCount = static_cast<std::uint32_t>(shotProblems.size());
  for (report::Problem& problem : shotProblems) AddProblem(std::move(problem));
  for (std::uint32_t i = 0; i < shot.clips.size(); ++i) {
    PlannedClip& clip = shot.clips[i];
    clip.firstProblem = static_cast<std::uint32_t>(plan_.problems.size());
    clip.problemCount = static_cast<std::uint32_t>(clipProblems[i].size());
    for (report::Problem& problem : clipProblems[i]) AddProblem(std::move(problem));
    AddClipSteps(shotIndex, i);
  }
  PlanCleanUp(groupIndex, shotIndex, planned);
  shot.cleanUp = ShotCleanUp(shot, [&](std::size_t i) { return !shot.clips[i].blocked; });
  for (auto& groups : groups_) {
    const auto group = groups.find(groupIndex);
    // No later shot meets these names.
    if (group != groups.end() && --group->second.shotsLeft == 0) groups.erase(group);
  }
}

void Builder::AddClipSteps(std::uint32_t shotIndex, std::uint32_t clipIndex) {
  const PlannedShot& shot = plan_.shots[shotIndex];
  const PlannedClip& clip = shot.clips[clipIndex];
  ++plan_.clips;
  plan_.clipBytes += clip.size;
  Add(StepKind::kClip, shotIndex, clipIndex);
  if (clip.blocked) return;
  for (d_ = 0; d_ < plan_.destinations.size(); ++d_) {
    for (const PlannedCopy* copy : {&clip.adl[d_], clip.hasIntCopy ? &clip.intCopy[d_] : nullptr}) {
      if (!copy) continue;
      if (copy->action == CopyAction::kWrite) {
        plan_.volumes[copy->volume].bytesToWrite += clip.size;
        ++plan_.volumes[copy->volume].copiesToWrite;
      }
      if (!Stages(*copy)) continue;
      currentStaged_ = true;
      ++batchCopies_;
      batchBytes_ += clip.size;
      if (copy == &clip.intCopy[d_]) currentIntFolders_.push_back(Key(plan_.IntFolder(shot, clip.Number(), d_)));
    }
  }
  // Clips with nothing to commit (copies in place) are concluded in batches too: a rerun over a
  // large shoot keeps few of them waiting.
  ++batchClips_;
  if (batchCopies_ >= plan_.settings.batchCopies || batchBytes_ >= plan_.settings.batchBytes ||
      batchClips_ >= 4 * plan_.settings.batchCopies) {
    Commit(false);
  }
}

void Builder::Commit(bool settle) {
  Add(settle ? StepKind::kSettle : StepKind::kCommit, 0, currentStaged_ ? 1 : 0);
  inFlightIntFolders_ = settle || !currentStaged_ ? std::vector<std::u16string>() : std::move(currentIntFolders_);
  currentIntFolders_.clear();
  currentStaged_ = false;
  batchCopies_ = 0;
  batchClips_ = 0;
  batchBytes_ = 0;
}

bool Builder::Stages(const PlannedCopy& copy) const {
  return copy.action != CopyAction::kInPlace && (plan_.settings.verify || copy.action == CopyAction::kWrite);
}

std::size_t Builder::StagedCopies(const Step& step) const {
  if (step.kind != StepKind::kClip) return 0;
  const PlannedClip& clip = plan_.shots[step.shot].clips[step.index];
  if (clip.blocked) return 0;
  std::size_t copies = 0;
  for (std::size_t d = 0; d < plan_.destinations.size(); ++d) {
    copies += (Stages(clip.adl[d]) ? 1 : 0) + (clip.hasIntCopy && Stages(clip.intCopy[d]) ? 1 : 0);
  }
  return copies;
}

// A batch is proven while the next is copied; the last one after the last clip is read, and the
// pass waits for it. So the batches shrink towards the end, each holding no more than what is
// left after it: the last is small. A commit only comes earlier than it would, so every copy
// that a clean-up must see settled is settled all the same.
void Builder::ShrinkLastBatches() {
  const std::uint64_t least = plan_.settings.leastLastBatch;
  const auto bytes = [this](const Step& step) {
    return step.kind == StepKind::kClip ? StagedCopies(step) * plan_.shots[step.shot].clips[step.index].size : 0;
  };
  std::uint64_t left = 0;
  for (const Step& step : plan_.steps) left += bytes(step);
  if (least == 0 || left < 2 * least) return;
  std::vector<std::size_t> added;  // each a commit before the step of this index
  std::uint64_t batch = 0;
  for (std::size_t i = 0; i < plan_.steps.size(); ++i) {
    const Step& step = plan_.steps[i];
    if (step.kind == StepKind::kCommit || step.kind == StepKind::kSettle) batch = 0;
    if (step.kind != StepKind::kClip) continue;
    left -= bytes(step);
    batch += bytes(step);
    const bool committedNext = i + 1 < plan_.steps.size() && (plan_.steps[i + 1].kind == StepKind::kCommit ||
                                                              plan_.steps[i + 1].kind == StepKind::kSettle);
    if (!committedNext && left > 0 && batch >= least && batch >= left) {
      added.push_back(i + 1);
      batch = 0;
    }
  }
  if (added.empty()) return;
  // Near the end: each insertion moves only the steps after it.
  for (auto at = added.rbegin(); at != added.rend(); ++at) {
    plan_.steps.insert(plan_.steps.begin() + static_cast<std::ptrdiff_t>(*at), Step{StepKind::kCommit, 0, 1});
  }
  // A commit hands over copies when a clip since the one before staged any.
  bool any = false;
  for (Step& step : plan_.steps) {
    if (step.kind == StepKind::kCommit || step.kind == StepKind::kSettle) {
      step.index = any ? 1 : 0;
      any = false;
    }
    any = any || StagedCopies(step) > 0;
  }
}

void Builder::PlanCleanUp(std::uint32_t groupIndex, std::uint32_t shotIndex, const naming::CleanUp& planned) {
  PlannedShot& shot = plan_.shots[shotIndex];
  if (!planned.intNumber.empty()) {
    bool settle = false;
    for (d_ = 0; d_ < plan_.destinations.size(); ++d_) {
      const std::u16string folder = Key(plan_.IntFolder(shot, planned.intNumber, d_));
      for (const std::vector<std::u16string>* staged : {&currentIntFolders_, &inFlightIntFolders_}) {
        settle = settle || std::find(staged->begin(), staged->end(), folder) != staged->end();
      }
    }
    if (settle) Commit(true);
    for (d_ = 0; d_ < plan_.destinations.size(); ++d_) {
      const std::u16string file = platform::JoinPath(plan_.IntVideoFolder(shot, planned.intNumber, d_),
                                                     naming::MakeCleanupClipName(planned.greatest));
      NameState& state = groups_[d_][groupIndex].names[Key(file)];
      if (state.writerShot != kNoIndex && state.writerShot != shotIndex) {
        Lose(state.writerShot, state.writerClip, report::Operation::kCopyDeleted, file, plan_.ShotFolder(shot));
      }
      state = NameState{};
    }
  }
  Add(StepKind::kCleanUp, shotIndex, 0);
}

}  // namespace planning

Plan BuildPlan(platform::FileSystem& fs, std::u16string startingFolder, std::vector<std::u16string> destinations,
               const std::vector<platform::FolderEntry>& entries, const PlanSettings& settings,
               const std::function<bool(const Plan&)>& onShot) {
  Plan plan;
  plan.startingFolder = std::move(startingFolder);
  plan.destinations = std::move(destinations);
  plan.settings = settings;
  return planning::Builder(fs, onShot).Build(std::move(plan), entries);
}

}  // namespace marlowin::plan
