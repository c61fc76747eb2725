#include "tests/support/Shoot.h"

#include "collector/naming/NamingRules.h"
#include "platform/NativeName.h"

namespace marlowin::testing {

std::u16string ClipIn(std::u16string_view shot, std::u16string_view name) {
  std::u16string path = u"S/" + std::u16string(shot) + u"/" + std::u16string(naming::kClipFolderName);
  return name.empty() ? path : path + u"/" + std::u16string(name);
}

Shoot::Shoot(const TempTree& tree, std::u16string start, std::u16string destination)
    : tree_(tree), start_(std::move(start)), destination_(std::move(destination)) {
  tree_.MakeFolder(start_);
  tree_.MakeFolder(destination_);
}

std::u16string Shoot::ClipPath(std::u16string_view shot, std::u16string_view name) const {
  return start_ + u"/" + std::u16string(shot) + u"/" + std::u16string(naming::kClipFolderName) + u"/" +
         std::u16string(name);
}

std::u16string Shoot::FullClipPath(std::u16string_view shot, std::u16string_view name) const {
  return tree_.Path(ClipPath(shot, name));
}

std::string Shoot::DefaultBytes(std::u16string_view shot, std::u16string_view name) {
  return platform::ToDisplay(std::u16string(shot) + u"/" + std::u16string(name));
}

const Shoot& Shoot::Clip(std::u16string_view shot, std::u16string_view name, std::string_view bytes) const {
  tree_.WriteFile(ClipPath(shot, name), bytes);
  return *this;
}

const Shoot& Shoot::Clips(std::u16string_view shot, std::initializer_list<std::u16string_view> names,
                          std::size_t size) const {
  for (std::u16string_view name : names) {
    Clip(shot, name, size == 0 ? DefaultBytes(shot, name) : std::string(size, 'c'));
  }
  return *this;
}

}  // namespace marlowin::testing
