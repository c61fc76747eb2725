#include "collector/pass/DryRunSummary.h"

#include <utility>
#include <vector>

#include "collector/report/QuotedName.h"
#include "collector/report/Report.h"
#include "platform/Text.h"

namespace marlowin::pass {
namespace {

using platform::CountedText;
using report::CountedParts;

}  // namespace

std::u16string DryRunSummary(const plan::Plan& plan) {
  std::size_t toCopy = 0, toMark = 0, collected = 0, blocked = 0, written = 0, proven = 0, inPlace = 0;
  for (const plan::PlannedShot& shot : plan.shots) {
    for (const plan::PlannedClip& clip : shot.clips) {
      if (clip.blocked) {
        ++blocked;
        continue;
      }
      bool writes = false;
      for (std::size_t d = 0; d < plan.destinations.size(); ++d) {
        for (const plan::PlannedCopy* copy : {&clip.adl[d], clip.hasIntCopy ? &clip.intCopy[d] : nullptr}) {
          if (!copy) continue;
          switch (copy->action) {
            case plan::CopyAction::kWrite: ++written; writes = true; break;
            case plan::CopyAction::kProve: ++proven; break;
            case plan::CopyAction::kInPlace: ++inPlace; break;
          }
        }
      }
      (writes ? toCopy : !clip.marked ? toMark : collected) += 1;
    }
  }
  std::u16string clips = CountedParts({{toCopy, u" would be copied"}, {toMark, u" would be marked, their copies in place"},
                                {collected, u" already collected"},
                                {blocked, u" would not be collected"}},
                               u"clip", u"clips");
  if (clips.empty()) clips = u"no clips would be copied";
  std::u16string text = u"Nothing was changed: " + clips + u", from " +
                        CountedText(plan.shots.size(), u"shot folder", u"shot folders") + u" to " +
                        report::QuotedName(plan.destinations[0]) +
                        (plan.destinations.size() > 1 ? u" and " + report::QuotedName(plan.destinations[1]) : u"") + u".";
  const std::u16string copies =
      CountedParts({{written, plan.settings.verify ? u" would be written and verified" : u" would be written, not read back"},
             {proven, u" in place would be proven"},
             {inPlace, u" already in place and not read again"}},
            u"copy", u"copies");
  if (!copies.empty()) text += u" " + copies + u".";
  return text;
}

}  // namespace marlowin::pass
