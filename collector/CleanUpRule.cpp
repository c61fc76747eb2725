#include "collector/CleanUpRule.h"

namespace marlowin {

CleanUp FindCleanUp(const PlannedShot& shot, const std::function<bool(std::size_t clip)>& adlCopyMade) {
  CleanUp cleanUp;
  std::u16string current;  // the number of the int folder formed last
  for (std::size_t i = 0; i < shot.clips.size(); ++i) {
    const PlannedClip& clip = shot.clips[i];
    if (!clip.hasNumber || !adlCopyMade(i)) continue;
    const std::u16string number = clip.Number();
    if (NeedsIntCopy(number)) current = number;
    // Every number is greater than the empty start; an equal one changes nothing, so of two
    // clips with one number the one listed first is remembered.
    if (number > cleanUp.greatest) {
      cleanUp.greatest = number;
      cleanUp.intNumber = current;
    }
  }
  return cleanUp;
}

}  // namespace marlowin
