#include "collector/pass/DryTree.h"

namespace marlowin::pass {

bool DryTree::There(const std::u16string& path) {
  if (const auto known = known_.find(path); known != known_.end()) return known->second;
  platform::FileStatus status;
  return !fs_->GetLinkStatus(path, status);
}

bool DryTree::Turn(const std::u16string& path, bool there) {
  if (!fs_) return true;
  const bool changes = There(path) != there;
  known_[path] = there;
  return changes;
}

}  // namespace marlowin::pass
