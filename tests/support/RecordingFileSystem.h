#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "collector/DryRunFileSystem.h"
#include "platform/FileSystem.h"
#include "platform/NativeName.h"

namespace marlowin::testing {

// Passes every call on to the real file system and writes it down, one line a call, with the
// paths under a root written as "<root>/..." and "/" for the separator, so that one
// expectation fits every platform. The lines of calls that change something are those a dry
// run prints. A test may make chosen calls fail without touching the disk, for faults that
// cannot be made for real, and may act before or after any call.
class RecordingFileSystem final : public sys::FileSystem {
 public:
  using Fault = std::function<std::error_code(const std::string& call)>;
  using Hook = std::function<void(const std::string& call)>;

  explicit RecordingFileSystem(std::u16string root)
      : owned_(sys::MakeRealFileSystem()), real_(*owned_), root_(std::move(root)) {}

  std::vector<std::string> calls;
  Fault fault = [](const std::string&) { return std::error_code(); };
  Hook before = [](const std::string&) {};
  Hook after = [](const std::string&) {};

  // The calls that change something, without the faults' marks.
  std::vector<std::string> Changes() const {
    std::vector<std::string> changes;
    for (std::string call : calls) {
      const std::size_t mark = call.find(" [failed]");
      if (mark != std::string::npos) call.erase(mark);
      for (const char* verb : {"mkdir ", "copy ", "commit", "move ", "delete ", "rmdir ", "remove-leftover "}) {
        if (call.rfind(verb, 0) == 0) changes.push_back(call);
      }
    }
    return changes;
  }

  // A path as the lines show it.
  std::u16string Show(std::u16string path) const {
    if (path.compare(0, root_.size(), root_) == 0) path.replace(0, root_.size(), u"<root>");
    for (char16_t& c : path) {
      if (c == sys::kPathSeparator) c = u'/';
    }
    return path;
  }

  std::error_code ListFolder(const std::u16string& folder, std::vector<sys::FolderEntry>& entries) override {
    return Run(Line("list", folder), [&] { return real_.ListFolder(folder, entries); });
  }
  std::error_code GetStatus(const std::u16string& path, sys::FileStatus& status) override {
    return Run(Line("status", path), [&] { return real_.GetStatus(path, status); });
  }
  std::error_code LockFolder(const std::u16string& folder, std::unique_ptr<sys::FolderLock>& lock) override {
    return Run(Line("lock", folder), [&] { return real_.LockFolder(folder, lock); });
  }
  std::error_code MakeFolder(const std::u16string& path) override {
    return Run(Line("mkdir", path), [&] { return real_.MakeFolder(path); });
  }
  std::error_code Copy(const std::u16string& from, const std::u16string& to, const sys::CopyRequest& request,
                       sys::CopyResult& result) override {
    return Run(Line("copy", from, to), [&] { return real_.Copy(from, to, request, result); });
  }
  std::error_code Commit(std::vector<sys::CommittedCopy>& copies, sys::ByteObserver* progress) override {
    return Run("commit", [&] { return real_.Commit(copies, progress); });
  }
  void BeginCommit() override {
    (void)Run("commit", [&] {
      real_.BeginCommit();
      return std::error_code();
    });
  }
  std::error_code FinishCommit(std::vector<sys::CommittedCopy>& copies, sys::ByteObserver* progress) override {
    calls.push_back("finish-commit");
    return real_.FinishCommit(copies, progress);
  }
  void Abandon() override {
    calls.push_back("abandon");
    real_.Abandon();
  }
  std::error_code RenameNoReplace(const std::u16string& from, const std::u16string& to) override {
    return Run(Line("move", from, to), [&] { return real_.RenameNoReplace(from, to); });
  }
  std::error_code RemoveFile(const std::u16string& path) override {
    return Run(Line("delete", path), [&] { return real_.RemoveFile(path); });
  }
  std::error_code RemoveEmptyFolder(const std::u16string& path) override {
    return Run(Line("rmdir", path), [&] { return real_.RemoveEmptyFolder(path); });
  }
  std::error_code RemoveLeftover(const std::u16string& path) override {
    return Run(Line("remove-leftover", path), [&] { return real_.RemoveLeftover(path); });
  }

 private:
  std::string Line(const char* verb, const std::u16string& path, const std::u16string& to = {}) const {
    return OperationLine(verb, Show(path), to.empty() ? std::u16string() : Show(to));
  }

  template <typename Call>
  std::error_code Run(const std::string& line, Call call) {
    before(line);
    if (const std::error_code injected = fault(line)) {
      calls.push_back(line + " [failed]");
      return injected;
    }
    calls.push_back(line);
    const std::error_code error = call();
    after(line);
    return error;
  }

  std::unique_ptr<sys::FileSystem> owned_;
  sys::FileSystem& real_;
  std::u16string root_;
};

}  // namespace marlowin::testing
