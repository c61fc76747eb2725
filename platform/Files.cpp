#include "platform/Files.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "platform/Paths.h"

namespace marlowin::platform {

FileTime Now() {
  const auto since = std::chrono::system_clock::now().time_since_epoch();
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since);
  const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(since - seconds);
  return {seconds.count(), static_cast<std::uint32_t>(nanoseconds.count())};
}

bool SameModificationTime(const FileTime& source, const FileTime& copy) {
  if (source == copy) return true;
  const std::int64_t difference =
      (source.seconds - copy.seconds) * 1'000'000'000 +
      (static_cast<std::int64_t>(source.nanoseconds) - static_cast<std::int64_t>(copy.nanoseconds));
  const std::int64_t distance = std::llabs(difference);
  if (copy.nanoseconds == 0) return distance <= 2'000'000'000;
  if (copy.nanoseconds % 10'000'000 == 0) return distance < 10'000'000;
  if (copy.nanoseconds % 100 == 0) return distance < 100;
  return false;
}

bool ListsBefore(std::u16string_view a, std::u16string_view b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const char16_t x = UpperAToZ(a[i]);
    const char16_t y = UpperAToZ(b[i]);
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

}  // namespace marlowin::platform
