#pragma once

#include <cstdint>
#include <memory>
#include <optional>
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
  // A file of `size` zero bytes that takes no room on the disk (a sparse file).
  void WriteSparseFile(std::u16string_view relative, std::uint64_t size) const;
  std::string ReadFile(std::u16string_view relative) const;
  bool Exists(std::u16string_view relative) const;
  // The entry and everything in it.
  void Remove(std::u16string_view relative) const;
  // The names of a folder's entries, sorted; none when it is not there.
  std::vector<std::u16string> Names(std::u16string_view relative) const;

  // Every entry below the root, one a line, sorted: "a/b/" for a folder, "a/b/c = text" for
  // a file with its content (a file over 1 KiB as "[N bytes, xxh128 HASH]"). Names print as UTF-8.
  std::string Dump() const;
  std::string Dump(std::u16string_view relative) const;

 private:
  std::u16string root_;
};

// The user's records (the reports of passes) kept in a temporary folder while it lives:
// XDG_STATE_HOME and LOCALAPPDATA point at it, for this process and the programs it starts,
// so that no test writes into the records of the person running it. A test program started
// by another (which may be killed) keeps to its parent's folder.
class TemporaryRecords {
 public:
  TemporaryRecords();
  ~TemporaryRecords();

 private:
  std::unique_ptr<TempTree> tree_;  // none in a child
};

// An environment variable of this process (and of the programs it starts) set while it lives,
// then as it was before.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const std::u16string& value);
  ~ScopedVariable();
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
  std::optional<std::u16string> previous_;
};

std::u16string U16(std::string_view ascii);

}  // namespace marlowin::testing
