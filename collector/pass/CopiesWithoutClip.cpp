#include "collector/pass/CopiesWithoutClip.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "collector/pass/CopyMend.h"
#include "platform/NativeName.h"
#include "platform/Paths.h"
#include "platform/Text.h"

namespace marlowin::pass {
namespace {

constexpr std::u16string_view kMark = u"_hires";

// The names a clip of this copy's name has on the card: the copy's own (marked), and the one
// before its mark.
std::u16string ClipNames(std::u16string_view copyName) {
  const std::optional<naming::ClipNameParts> parts = naming::SplitClipName(copyName);
  const std::size_t mark = parts ? parts->baseName.find(kMark) : std::u16string::npos;
  if (mark == std::u16string::npos) return std::u16string(copyName) + u" is not there";
  return u"neither " + std::u16string(copyName) + u" nor " + parts->baseName.substr(0, mark) + parts->extension +
         u" is there";
}

std::u16string WhatTheHistorySays(const recorder::RecordedCopy& copy) {
  std::u16string text = u"the history records the copy by " + RecordedBy(copy);
  if (!copy.host.empty()) text += u" on the computer " + platform::FromNativeName(copy.host);
  if (!copy.xxh128.empty()) text += u", xxh128 " + platform::FromNativeName(copy.xxh128);
  if (copy.hasSize) text += u", " + platform::CountedText(copy.size, u"byte", u"bytes");
  return text + u", and not the clip it came from";
}

struct Gone {
  std::u16string path;
  std::uint32_t shot;
  const recorder::RecordedCopy* copy;
};

}  // namespace

void TellCopiesWithoutClip(const plan::Plan& plan, const recorder::RecordedCopies& recorded, report::PassReport& report,
                           report::ProblemList& problems) {
  const auto key = [&plan](std::u16string_view path) {
    return plan.foldsCase[0] ? platform::FoldAToZ(path) : std::u16string(path);
  };
  // The shots' folders in the destination by name (int folders without their number), and every
  // copy a clip of theirs would have. A clip folder that could not be listed hides its clips:
  // nothing in its shot's folders is said to be without one.
  std::unordered_map<std::u16string, std::uint32_t> adlFolders;
  std::unordered_map<std::u16string, std::uint32_t> intFolders;
  std::unordered_set<std::u16string> unknown;
  std::unordered_set<std::u16string> covered;
  for (std::uint32_t i = 0; i < plan.shots.size(); ++i) {
    const plan::PlannedShot& shot = plan.shots[i];
    const std::u16string adl = key(naming::MakeAdlFolderName(shot.tokens));
    const std::u16string ints = key(naming::MakeIntFolderName(shot.tokens, u""));
    if (shot.clipFolder == plan::ClipFolderState::kUnreadable) {
      unknown.insert(adl);
      unknown.insert(ints);
      continue;
    }
    adlFolders.try_emplace(adl, i);
    intFolders.try_emplace(ints, i);
    for (const plan::PlannedClip& clip : shot.clips) {
      covered.insert(key(plan.AdlTarget(shot, clip)));
      if (clip.HasIntFolders()) covered.insert(key(plan.IntTarget(shot, clip)));
    }
  }

  std::vector<Gone> gone;
  recorded.ForEach([&](const recorder::RecordedCopy& copy) {
    // "<adl or int folder>/video/<copy>", as the pass writes its copies.
    const std::u16string& path = copy.path;
    const std::size_t first = path.find(u'/');
    const std::size_t second = first == std::u16string::npos ? first : path.find(u'/', first + 1);
    if (second == std::u16string::npos || path.find(u'/', second + 1) != std::u16string::npos) return;
    if (path.substr(first + 1, second - first - 1) != naming::kVideoFolderName) return;
    const std::u16string folder = key(path.substr(0, first));
    const std::u16string ints = folder.size() > 2 ? folder.substr(0, folder.size() - 2) : std::u16string();
    if (unknown.contains(folder) || unknown.contains(ints)) return;
    std::uint32_t shot = 0;
    if (const auto adl = adlFolders.find(folder); adl != adlFolders.end()) {
      shot = adl->second;
    } else if (const auto in = intFolders.find(ints); in != intFolders.end()) {
      shot = in->second;
    } else {
      return;
    }
    const std::u16string full = platform::JoinPath(
        platform::JoinPath(platform::JoinPath(plan.destinations[0], path.substr(0, first)), naming::kVideoFolderName),
        path.substr(second + 1));
    if (!covered.contains(key(full))) gone.push_back({full, shot, &copy});
  });

  std::sort(gone.begin(), gone.end(), [](const Gone& a, const Gone& b) { return a.path < b.path; });
  for (const Gone& copy : gone) {
    const std::u16string name(platform::FileNameOf(copy.path));
    report::Problem& problem = problems.Add(true, report::Operation::kClipGone, copy.path);
    problem.other = plan.ClipFolder(plan.shots[copy.shot]);
    problem.rule = ClipNames(name) + u"; " + WhatTheHistorySays(*copy.copy);
    ++report.copiesWithoutClip;
  }
}

}  // namespace marlowin::pass
