#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"

namespace marlowin {

// One file-system operation as a line, "VERB PATH" or "VERB FROM -> TO": what a dry run prints
// and what the recording tests write down, so that the two can be compared.
std::string OperationLine(std::string_view verb, std::u16string_view path, std::u16string_view to = {});

// A file system that reads the real one and changes nothing: every change the pass asks for is
// told as an operation line instead, and succeeds. Folders are said to exist when they really do.
class DryRunFileSystem final : public sys::FileSystem {
 public:
  using Print = std::function<void(const std::string& line)>;
  DryRunFileSystem(sys::FileSystem& real, Print print) : real_(real), print_(std::move(print)) {}

  std::error_code ListFolder(const std::u16string& folder, std::vector<sys::FolderEntry>& entries) override {
    return real_.ListFolder(folder, entries);
  }
  std::error_code GetStatus(const std::u16string& path, sys::FileStatus& status) override;
  std::error_code LockFolder(const std::u16string& folder, std::unique_ptr<sys::FolderLock>& lock) override {
    return real_.LockFolder(folder, lock);
  }
  std::error_code MakeFolder(const std::u16string& path) override;
  std::error_code Copy(const std::u16string& from, const std::u16string& to, const sys::CopyRequest& request,
                       sys::CopyResult& result) override;
  std::error_code Commit(std::vector<sys::CommittedCopy>& copies, sys::ByteObserver* progress) override;
  void BeginCommit() override;
  std::error_code FinishCommit(std::vector<sys::CommittedCopy>& copies, sys::ByteObserver* progress) override;
  void Abandon() override {
    staged_.clear();
    sizes_.clear();
    inFlight_.clear();
  }
  std::error_code RenameNoReplace(const std::u16string& from, const std::u16string& to) override;
  std::error_code RemoveFile(const std::u16string& path) override;
  std::error_code RemoveEmptyFolder(const std::u16string& path) override;
  std::error_code RemoveLeftover(const std::u16string& path) override;

 private:
  sys::FileSystem& real_;
  Print print_;
  std::vector<std::u16string> staged_;
  std::vector<std::u16string> inFlight_;
  std::vector<std::pair<std::u16string, std::uint64_t>> sizes_;  // of copies staged, by target
};

}  // namespace marlowin
