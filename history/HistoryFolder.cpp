// A folder's history read from the disk.
#include "history/HistoryFolder.h"

#include <algorithm>

#include "platform/NativeName.h"
#include "platform/Paths.h"

namespace marlowin::history {
namespace {

bool IsAbsent(std::error_code error) {
  return error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory;
}

}  // namespace

std::error_code ReadWholeFile(platform::FileSystem& fs, const std::u16string& path, std::string& bytes) {
  std::unique_ptr<platform::OpenFile> file;
  if (const std::error_code error = fs.OpenForReading(path, file)) return error;
  bytes.clear();
  char buffer[64 * 1024];
  for (std::size_t got = 1; got > 0;) {
    if (const std::error_code error = file->Read(buffer, sizeof buffer, got)) return error;
    bytes.append(buffer, got);
  }
  return file->Close();
}

Result<History> ReadHistoryFolder(platform::FileSystem& fs, const std::u16string& folder) {
  const std::u16string historyFolder = platform::JoinPath(folder, kHistoryFolder);
  const std::string shownFolder = platform::ToDisplay(historyFolder);
  std::vector<platform::FolderEntry> entries;
  if (const std::error_code error = fs.ListFolder(historyFolder, entries)) {
    if (IsAbsent(error)) return Failure{HistoryErrc::kNoHistory, "no folder " + shownFolder};
    return Failure{error, shownFolder};
  }
  std::vector<std::u16string> names;
  for (const platform::FolderEntry& entry : entries) {
    if (!entry.isFolder) names.push_back(entry.name);
  }
  const std::u16string chainPath = platform::JoinPath(historyFolder, kChainFileName);
  if (std::find(names.begin(), names.end(), kChainFileName) == names.end()) {
    return Failure{HistoryErrc::kNoHistory, "no file " + platform::ToDisplay(chainPath)};
  }
  std::string chainBytes;
  if (const std::error_code error = ReadWholeFile(fs, chainPath, chainBytes)) {
    return Failure{error, platform::ToDisplay(chainPath)};
  }
  Result<Chain> chain = ParseChain(chainBytes);
  if (!chain) {
    Failure failure = chain.failure();
    failure.detail = platform::ToDisplay(chainPath) + (failure.detail.empty() ? "" : ": " + failure.detail);
    return failure;
  }
  return ReadHistory(chain.value(), names, [&](const std::u16string& fileName, std::string& bytes) {
    return ReadWholeFile(fs, platform::JoinPath(historyFolder, fileName), bytes);
  });
}

}  // namespace marlowin::history
