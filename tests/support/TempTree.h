#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace marlowin::testing {

// A real folder tree in a fresh temporary folder, removed again with everything in it.
// Relative paths use "/" and are joined with the platform's separator.
class TempTree {
 public:
  TempTree();
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;
  ~TempTree();

  const std::u16string& Root() const { return root_; }
  std::u16string Path(std::u16string_view relative) const;

  void MakeFolder(std::u16string_view relative) const;  // with missing parents
  void WriteFile(std::u16string_view relative, std::string_view content) const;
  std::string ReadFile(std::u16string_view relative) const;
  bool Exists(std::u16string_view relative) const;

  // Every entry below the root, one a line, sorted: "a/b/" for a folder, "a/b/c = text" for
  // a file with its content (a file over 1 KiB as "[N bytes, xxh128 HASH]"). Names print as UTF-8.
  std::string Dump() const;
  std::string Dump(std::u16string_view relative) const;

 private:
  std::u16string root_;
};

std::u16string U16(std::string_view ascii);

}  // namespace marlowin::testing
