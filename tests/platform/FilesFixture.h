#pragma once

// What the tests of the platform's files share: a fixture with a temporary tree, and contents
// that show where a copy or a read went wrong.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/NativeName.h"
#include "tests/support/TempTree.h"

namespace marlowin::platform::files_test {

inline const std::function<bool(std::uint64_t)> kGoOn = [](std::uint64_t) { return true; };

inline std::filesystem::path FsPath(const std::u16string& path) {
#ifdef _WIN32
  return std::filesystem::path(std::wstring(path.begin(), path.end()));
#else
  return std::filesystem::path(ToNativeName(path));
#endif
}

// Bytes that differ at every position, so that a shifted or repeated block shows.
inline std::string Content(std::size_t size) {
  std::string content(size, '\0');
  std::uint32_t x = static_cast<std::uint32_t>(size) + 1;
  for (char& c : content) {
    x = x * 1664525u + 1013904223u;
    c = static_cast<char>(x >> 24);
  }
  return content;
}

// Equal contents, without printing megabytes when they differ.
inline ::testing::AssertionResult Same(const std::string& actual, const std::string& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  std::size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  return ::testing::AssertionFailure() << actual.size() << " bytes instead of " << expected.size()
                                       << ", the first difference at " << at;
}

// Reads to the end in steps of `step` bytes, into a buffer aligned to 4096 (or one byte past that).
inline std::string ReadToEnd(File& file, std::size_t step, bool aligned) {
  std::vector<char> memory(step + 8192);
  char* buffer = memory.data() + (4096 - reinterpret_cast<std::uintptr_t>(memory.data()) % 4096) + (aligned ? 0 : 1);
  std::string content;
  for (;;) {
    std::size_t got = 0;
    const std::error_code error = file.Read(buffer, step, got);
    EXPECT_FALSE(error) << Describe(error);
    if (error || got == 0) return content;
    content.append(buffer, got);
  }
}

class FilesTest : public ::testing::Test {
 protected:
  marlowin::testing::TempTree tree;

  std::u16string P(std::u16string_view relative) const { return tree.Path(relative); }

  std::vector<std::u16string> Names(std::u16string_view folder) const {
    std::vector<FolderEntry> entries;
    const std::error_code error = ListFolder(P(folder), entries);
    EXPECT_FALSE(error) << Describe(error);
    std::vector<std::u16string> names;
    for (const FolderEntry& entry : entries) names.push_back(entry.name + (entry.isFolder ? u"/" : u""));
    return names;
  }

  // A file written through a temporary, closed.
  void Write(std::u16string_view relative, const std::string& content) const {
    File file;
    std::u16string temporary;
    ASSERT_FALSE(file.CreateTemporary(tree.Root(), temporary));
    ASSERT_FALSE(file.Write(content.data(), content.size()));
    ASSERT_FALSE(file.Flush());
    ASSERT_FALSE(file.Close());
    ASSERT_FALSE(MoveReplacing(temporary, P(relative)));
  }
};


}  // namespace marlowin::platform::files_test
