#include "collector/DryRunFileSystem.h"

#include "platform/NativeName.h"

namespace marlowin {

std::string OperationLine(std::string_view verb, std::u16string_view path, std::u16string_view to) {
  std::string line(verb);
  line += ' ';
  line += sys::ToDisplay(path);
  if (!to.empty()) {
    line += " -> ";
    line += sys::ToDisplay(to);
  }
  return line;
}

std::error_code DryRunFileSystem::GetStatus(const std::u16string& path, sys::FileStatus& status) {
  // A copy staged since the last commit stands where its target will be.
  for (auto it = sizes_.rbegin(); it != sizes_.rend(); ++it) {
    if (it->first == path) {
      status = {};
      status.type = sys::FileType::kFile;
      status.size = it->second;
      return {};
    }
  }
  return real_.GetStatus(path, status);
}

std::error_code DryRunFileSystem::MakeFolder(const std::u16string& path) {
  print_(OperationLine("mkdir", path));
  sys::FileStatus status;
  if (real_.GetStatus(path, status)) return {};
  return std::make_error_code(status.type == sys::FileType::kFolder ? std::errc::file_exists
                                                                    : std::errc::not_a_directory);
}

std::error_code DryRunFileSystem::Copy(const std::u16string& from, const std::u16string& to,
                                       const sys::CopyRequest&, sys::CopyResult& result) {
  print_(OperationLine("copy", from, to));
  result = {};
  sys::FileStatus status;
  if (!GetStatus(from, status)) result.bytes = status.size;
  staged_.push_back(to);
  sizes_.emplace_back(to, result.bytes);
  return {};
}

std::error_code DryRunFileSystem::Commit(std::vector<sys::CommittedCopy>& copies, sys::ByteObserver* progress) {
  BeginCommit();
  return FinishCommit(copies, progress);
}

void DryRunFileSystem::BeginCommit() {
  print_("commit");
  inFlight_ = std::move(staged_);
  staged_.clear();
  sizes_.clear();
}

std::error_code DryRunFileSystem::FinishCommit(std::vector<sys::CommittedCopy>& copies, sys::ByteObserver*) {
  copies.clear();
  for (const std::u16string& target : inFlight_) copies.push_back({target, {}, {}});
  inFlight_.clear();
  return {};
}

std::error_code DryRunFileSystem::RenameNoReplace(const std::u16string& from, const std::u16string& to) {
  print_(OperationLine("move", from, to));
  return {};
}

std::error_code DryRunFileSystem::RemoveFile(const std::u16string& path) {
  print_(OperationLine("delete", path));
  return {};
}

std::error_code DryRunFileSystem::RemoveEmptyFolder(const std::u16string& path) {
  print_(OperationLine("rmdir", path));
  return {};
}

std::error_code DryRunFileSystem::RemoveLeftover(const std::u16string& path) {
  print_(OperationLine("remove-leftover", path));
  return {};
}

}  // namespace marlowin
