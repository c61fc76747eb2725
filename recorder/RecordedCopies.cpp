#include "recorder/RecordedCopies.h"

#include <algorithm>

#include "platform/Paths.h"

namespace marlowin::recorder {

std::u16string RecordedCopies::Key(std::u16string_view path) const {
  return foldsCase_ ? platform::FoldAToZ(path) : std::u16string(path);
}

void RecordedCopies::Add(std::u16string_view path, RecordedCopy copy) {
  copy.path = path;
  copies_.insert_or_assign(Key(path), std::move(copy));
}

const RecordedCopy* RecordedCopies::Find(std::u16string_view path) const {
  if (copies_.empty()) return nullptr;
  const auto found = copies_.find(Key(path));
  return found == copies_.end() ? nullptr : &found->second;
}

bool PathInHistory(const std::u16string& destination, const std::u16string& path, std::u16string& relative) {
  const std::u16string prefix = platform::JoinPath(destination, u"");
  if (!path.starts_with(prefix) || path.size() == prefix.size()) return false;
  relative = path.substr(prefix.size());
  std::replace(relative.begin(), relative.end(), static_cast<char16_t>(platform::kPathSeparator), u'/');
  return true;
}

}  // namespace marlowin::recorder
