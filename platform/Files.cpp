#include "platform/Files.h"

#include <algorithm>

namespace marlowin::sys {
namespace {

char16_t Upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - (u'a' - u'A')) : c; }

}  // namespace

bool ListsBefore(std::u16string_view a, std::u16string_view b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const char16_t x = Upper(a[i]);
    const char16_t y = Upper(b[i]);
    if (x != y) return x < y;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;  // names equal but for the case of a to z
}

std::error_code FinishListing(std::error_code error, std::vector<FolderEntry>& entries) {
  if (error) {
    entries.clear();  // a listing cut short is no listing
    return error;
  }
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return ListsBefore(a.name, b.name); });
  return {};
}

}  // namespace marlowin::sys
