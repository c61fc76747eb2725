#include "platform/Paths.h"

namespace marlowin::platform {

std::u16string JoinPath(std::u16string_view folder, std::u16string_view name) {
  std::u16string path;
  path.reserve(folder.size() + 1 + name.size());
  path.append(folder).push_back(kPathSeparator);
  path.append(name);
  return path;
}

std::u16string FolderOf(std::u16string_view path) {
  const std::size_t separator = path.find_last_of(u"\\/");
  return separator == std::u16string_view::npos ? std::u16string(u".") : std::u16string(path.substr(0, separator));
}

std::u16string_view FileNameOf(std::u16string_view path) {
  const std::size_t separator = path.find_last_of(u"\\/");
  return separator == std::u16string_view::npos ? path : path.substr(separator + 1);
}

char16_t UpperAToZ(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - (u'a' - u'A')) : c; }

std::u16string FoldAToZ(std::u16string_view text) {
  std::u16string folded(text);
  for (char16_t& c : folded) c = UpperAToZ(c);
  return folded;
}

}  // namespace marlowin::platform
