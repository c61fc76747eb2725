#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/NativeName.h"

namespace marlowin::testing {

// Passes every call on to a real file system and writes it down, one line a call, with the
// paths relative to a root ("<root>" stands for it). A test may make chosen calls fail
// without touching the disk, for faults that cannot be made for real.
class RecordingFileSystem final : public sys::FileSystem {
 public:
  using FailWhen = std::function<bool(const std::string& call)>;

  RecordingFileSystem(sys::FileSystem& real, std::u16string root)
      : real_(real), root_(std::move(root)) {}

  std::vector<std::string> calls;
  FailWhen failWhen = [](const std::string&) { return false; };

  bool ListFolder(const std::u16string& folder, std::vector<sys::FolderEntry>& entries) override {
    return Run("list " + Show(folder), [&] { return real_.ListFolder(folder, entries); });
  }
  bool Exists(const std::u16string& path) override {
    return Run("exists " + Show(path), [&] { return real_.Exists(path); });
  }
  bool MakeFolder(const std::u16string& path) override {
    return Run("mkdir " + Show(path), [&] { return real_.MakeFolder(path); });
  }
  bool CopyReplacing(const std::u16string& from, const std::u16string& to) override {
    return Run("copy " + Show(from) + " -> " + Show(to),
               [&] { return real_.CopyReplacing(from, to); });
  }
  bool RenameNoReplace(const std::u16string& from, const std::u16string& to) override {
    return Run("move " + Show(from) + " -> " + Show(to),
               [&] { return real_.RenameNoReplace(from, to); });
  }
  bool RemoveFile(const std::u16string& path) override {
    return Run("delete " + Show(path), [&] { return real_.RemoveFile(path); });
  }
  bool RemoveEmptyFolder(const std::u16string& path) override {
    return Run("rmdir " + Show(path), [&] { return real_.RemoveEmptyFolder(path); });
  }

 private:
  template <typename Call>
  bool Run(std::string line, Call call) {
    if (failWhen(line)) {
      calls.push_back(line + " [failed]");
      return false;
    }
    calls.push_back(line);
    return call();
  }

  // The path under the root with "/" for the separator, so one expectation fits every platform.
  std::string Show(std::u16string path) const {
    if (path.compare(0, root_.size(), root_) == 0) path.replace(0, root_.size(), u"<root>");
    for (char16_t& c : path) {
      if (c == sys::kPathSeparator) c = u'/';
    }
    return sys::ToDisplay(path);
  }

  sys::FileSystem& real_;
  std::u16string root_;
};

}  // namespace marlowin::testing
