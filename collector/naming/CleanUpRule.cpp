#include "collector/naming/CleanUpRule.h"

#include "collector/naming/NamingRules.h"

namespace marlowin::naming {

CleanUp FindCleanUp(std::size_t clips, const std::function<std::u16string(std::size_t clip)>& number) {
  CleanUp cleanUp;
  std::u16string current;  // the number of the int folder formed last
  for (std::size_t i = 0; i < clips; ++i) {
    const std::u16string clipNumber = number(i);
    if (clipNumber.empty()) continue;
    if (NeedsIntCopy(clipNumber)) current = clipNumber;
    // Every number is greater than the empty start; an equal one changes nothing, so of two
    // clips with one number the one listed first is remembered.
    if (clipNumber > cleanUp.greatest) {
      cleanUp.greatest = clipNumber;
      cleanUp.intNumber = current;
    }
  }
  return cleanUp;
}

}  // namespace marlowin::naming
