#include "tests/support/TreeHistory.h"

#include <algorithm>

#include "collector/naming/NamingRules.h"
#include "history/Chain.h"
#include "history/History.h"
#include "history/HistoryFolder.h"
#include "platform/ContentHash.h"
#include "platform/Files.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace marlowin::testing {
namespace {

using history::Failure;
using history::Result;

std::error_code ListFiles(const std::u16string& folder, const std::u16string& relative,
                          std::vector<std::u16string>& files) {
  std::vector<platform::FolderEntry> entries;
  if (std::error_code error = platform::ListFolder(folder, entries)) return error;
  for (const platform::FolderEntry& entry : entries) {
    const std::u16string inTree = relative + u'/' + entry.name;
    if (!entry.isFolder) {
      files.push_back(inTree);
    } else if (std::error_code error = ListFiles(platform::JoinPath(folder, entry.name), inTree, files)) {
      return error;
    }
  }
  return {};
}

std::u16string Native(std::u16string path) {
  std::replace(path.begin(), path.end(), u'/', platform::kPathSeparator);
  return path;
}

std::error_code WriteWhole(const std::u16string& path, const std::string& bytes) {
  platform::File file;
  std::u16string temporary;
  if (std::error_code error = file.CreateTemporary(platform::FolderOf(path), temporary)) return error;
  if (std::error_code error = file.Write(bytes.data(), bytes.size())) return error;
  if (std::error_code error = file.Close()) return error;
  return platform::MoveReplacing(temporary, path);
}

}  // namespace

Result<std::vector<std::u16string>> CollectedFiles(const std::u16string& folder) {
  std::vector<platform::FolderEntry> entries;
  if (std::error_code error = platform::ListFolder(folder, entries)) return Failure{error, "listing"};
  std::vector<std::u16string> files;
  for (const platform::FolderEntry& entry : entries) {
    if (!entry.isFolder || !naming::IsCollectedFolderName(entry.name)) continue;
    if (std::error_code error = ListFiles(platform::JoinPath(folder, entry.name), entry.name, files)) {
      return Failure{error, "listing"};
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

Result<history::HashEntry> EntryOf(const std::u16string& folder, const std::u16string& path) {
  platform::File file;
  if (std::error_code error = file.OpenForReading(platform::JoinPath(folder, Native(path)))) return Failure{error, "open"};
  platform::FileStatus status;
  if (std::error_code error = file.Status(status)) return Failure{error, "status"};
  platform::ContentHasher hasher;
  std::string buffer(1 << 20, '\0');
  for (std::size_t got = 1; got > 0;) {
    if (std::error_code error = file.Read(buffer.data(), buffer.size(), got)) return Failure{error, "read"};
    hasher.Update(buffer.data(), got);
  }
  return history::HashEntry{path, status.size, status.modified, hasher.Hex(), history::HashAction::kOriginal,
                            platform::Now()};
}

Failure AddGeneration(const std::u16string& folder, std::vector<history::HashEntry> entries, std::int64_t start) {
  const std::u16string historyFolder = platform::JoinPath(folder, history::kHistoryFolder);
  if (std::error_code error = platform::MakeFolder(historyFolder); error && error != std::errc::file_exists) {
    return {error, "ascmhl"};
  }
  history::Chain chain;
  const auto fs = platform::MakeRealFileSystem();
  Result<history::History> existing = history::ReadHistoryFolder(*fs, folder);
  if (existing) {
    for (const history::RecordedGeneration& recorded : existing.value().generations) chain.generations.push_back(recorded.entry);
  } else if (existing.error() != history::HistoryErrc::kNoHistory) {
    return existing.failure();
  }
  std::vector<platform::FolderEntry> listed;
  if (std::error_code error = platform::ListFolder(historyFolder, listed)) return {error, "ascmhl"};
  std::vector<std::u16string> names;
  for (const platform::FolderEntry& entry : listed) names.push_back(entry.name);
  const std::uint64_t sequence = history::NextSequenceNumber(chain, names);
  const std::u16string name = history::GenerationFileName(sequence, platform::FileNameOf(folder), {start, 0});
  history::Generation generation;
  generation.creationDate = {start, 0};
  generation.hostname = "test-host";
  generation.toolVersion = "0.0.0";
  generation.hashes = std::move(entries);
  Result<std::string> bytes = history::WriteGeneration(generation);
  if (!bytes) return bytes.failure();
  if (std::error_code error = WriteWhole(platform::JoinPath(historyFolder, name), bytes.value())) return {error, "generation"};
  Result<history::ChainEntry> entry = history::ChainEntryFor(sequence, name, bytes.value());
  if (!entry) return entry.failure();
  chain.generations.push_back(entry.value());
  Result<std::string> chainBytes = history::WriteChain(chain);
  if (!chainBytes) return chainBytes.failure();
  if (std::error_code error = WriteWhole(platform::JoinPath(historyFolder, history::kChainFileName), chainBytes.value())) {
    return {error, "chain"};
  }
  return {};
}

Failure RecordCollectedFiles(const std::u16string& folder, std::int64_t start) {
  Result<std::vector<std::u16string>> files = CollectedFiles(folder);
  if (!files) return files.failure();
  std::vector<history::HashEntry> entries;
  for (const std::u16string& path : files.value()) {
    Result<history::HashEntry> entry = EntryOf(folder, path);
    if (!entry) return entry.failure();
    entries.push_back(std::move(entry.value()));
  }
  return AddGeneration(folder, std::move(entries), start);
}

}  // namespace marlowin::testing
