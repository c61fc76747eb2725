// What writing and reading a generation share: the names of actions and the rule for paths.
#include "history/Generation.h"

#include <algorithm>

namespace marlowin::history {

std::string_view ActionName(HashAction action) {
  switch (action) {
    case HashAction::kOriginal: return "original";
    case HashAction::kVerified: return "verified";
    case HashAction::kFailed: return "failed";
  }
  return "original";
}

bool IsMhlPath(std::u16string_view path) {
  if (path.empty() || path.front() == u'/') return false;
  for (std::size_t start = 0;;) {
    const std::size_t end = std::min(path.find(u'/', start), path.size());
    const std::u16string_view part = path.substr(start, end - start);
    if (part.empty() || part == u"." || part == u"..") return false;
    if (end == path.size()) return true;
    start = end + 1;
  }
}

}  // namespace marlowin::history
