// The history folder is listed and its chain parsed once, at the start, while the pass holds the
// destination. A generation is written from a spool through the XML library into a temporary file
// while its C4 id is computed, the new chain into another; then both are put in place, generation
// first, and the spool goes.
#include "recorder/PassHistory.h"

#include <algorithm>
#include <vector>

#include "Version.h"
#include "history/C4Id.h"
#include "history/Generation.h"
#include "history/History.h"
#include "history/HistoryFolder.h"
#include "history/HostName.h"
#include "history/LatestEntries.h"
#include "history/XmlText.h"
#include "history/Sha512.h"
#include "history/XmlText.h"
#include "platform/NativeName.h"
#include "platform/Paths.h"
#include "platform/StagedFile.h"

namespace marlowin::recorder {
namespace {

using history::Failure;

Failure FileFailure(std::error_code error, std::u16string_view name) { return {error, platform::ToDisplay(name)}; }

bool IsAbsent(std::error_code error) {
  return error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory;
}

// Copies deleted again by the pass (the clean-up), as the hash of the path and the place of the
// removal among the spool's records: a copy of that path before it is left out. Hashes, not
// names, keep this small for a spool of any size; two paths of one pass with the same 64-bit hash
// (about one chance in 10^10 for 10,000 shots) would leave a copy unrecorded, which a check of the
// tree reports and the next pass mends.
struct Removal {
  std::size_t pathHash;
  std::uint64_t index;
  friend bool operator<(const Removal& a, const Removal& b) { return a.pathHash < b.pathHash; }
};

bool RemovedLater(const std::vector<Removal>& removed, const std::u16string& path, std::uint64_t index) {
  const std::size_t hash = std::hash<std::u16string>{}(path);
  auto last = std::upper_bound(removed.begin(), removed.end(), hash,
                               [](std::size_t h, const Removal& removal) { return h < removal.pathHash; });
  return last != removed.begin() && (last - 1)->pathHash == hash && index < (last - 1)->index;
}

}  // namespace

PassHistory::PassHistory(platform::FileSystem& fs, std::u16string destination, platform::FileTime started, bool readBack)
    : fs_(fs),
      destination_(std::move(destination)),
      folder_(platform::JoinPath(destination_, history::kHistoryFolder)),
      spool_(fs) {
  header_.started = started;
  header_.readBack = readBack;
  header_.toolVersion = MARLOWIN_VERSION;
  if (history::HostName(header_.hostname)) header_.hostname = "unknown";
}

Failure PassHistory::ReadChain() {
  std::vector<platform::FolderEntry> entries;
  if (std::error_code error = fs_.ListFolder(folder_, entries)) {
    return IsAbsent(error) ? Failure{} : FileFailure(error, history::kHistoryFolder);
  }
  for (const platform::FolderEntry& entry : entries) {
    if (entry.isFolder) continue;
    hasChain_ = hasChain_ || entry.name == history::kChainFileName;
    names_.push_back(entry.name);
  }
  if (hasChain_) {
    std::string bytes;
    if (std::error_code error = history::ReadWholeFile(fs_, platform::JoinPath(folder_, history::kChainFileName), bytes)) {
      return FileFailure(error, history::kChainFileName);
    }
    history::Result<history::Chain> parsed = history::ParseChain(bytes);
    if (!parsed) {
      Failure failure = parsed.failure();
      failure.detail = platform::ToDisplay(history::kChainFileName) + (failure.detail.empty() ? "" : ": " + failure.detail);
      return failure;
    }
    chain_ = std::move(parsed.value());
  }
  if (Failure failure = history::CheckChainFiles(chain_, names_)) return failure;

  // Generations after the chain's last that it does not list (a pass stopped between putting
  // its generation in place and listing it) are listed, in their order.
  std::uint64_t last = 0;
  for (const history::ChainEntry& entry : chain_.generations) last = std::max(last, entry.sequence);
  std::map<std::uint64_t, std::u16string> unlisted;
  for (const std::u16string& name : names_) {
    if (history::NumberOfGenerationFile(name) > last) unlisted.emplace(history::NumberOfGenerationFile(name), name);
  }
  for (const auto& [number, name] : unlisted) {
    std::string bytes;
    if (std::error_code error = history::ReadWholeFile(fs_, platform::JoinPath(folder_, name), bytes)) {
      return FileFailure(error, name);
    }
    history::Result<history::ChainEntry> entry = history::ChainEntryFor(number, name, bytes);
    if (!entry) return entry.failure();
    chain_.generations.push_back(std::move(entry.value()));
    chainBehind_ = true;
  }
  return {};
}

Failure PassHistory::PutChain(const history::Chain& chain) {
  history::Result<std::string> bytes = history::WriteChain(chain);
  if (!bytes) return bytes.failure();
  platform::StagedFile file(fs_, folder_);
  if (std::error_code error = file.Create()) return FileFailure(error, history::kChainFileName);
  if (std::error_code error = file.Write(bytes.value())) return FileFailure(error, history::kChainFileName);
  if (std::error_code error = file.Finish()) return FileFailure(error, history::kChainFileName);
  if (std::error_code error = file.PutInPlace(platform::JoinPath(folder_, history::kChainFileName), hasChain_)) {
    return FileFailure(error, history::kChainFileName);
  }
  hasChain_ = true;
  chainBehind_ = false;
  return {};
}

Failure PassHistory::Open(bool keep, RecordedCopies& recorded) {
  if (Failure failure = ReadChain()) return failure;
  const auto read = [&](history::Result<history::History>& history) {
    history = history::ReadHistory(chain_, names_, [&](const std::u16string& fileName, std::string& bytes) {
      return history::ReadWholeFile(fs_, platform::JoinPath(folder_, fileName), bytes);
    });
    if (!history) return;
    for (const history::RecordedGeneration& generation : history.value().generations) {
      created_[generation.entry.sequence] = {generation.generation.creationDate, generation.generation.hostname};
    }
  };
  history::Result<history::History> history = history::History{};
  read(history);
  if (!history) return history.failure();

  if (keep) {
    // A generation in place that a stopped pass could not list yet is listed now.
    if (chainBehind_) {
      if (Failure failure = PutChain(chain_)) return failure;
      if (std::error_code error = fs_.FlushFolders({folder_})) return FileFailure(error, history::kHistoryFolder);
    }
    // What stopped passes left: a spool becomes its pass's generation, anything else goes.
    const std::vector<std::u16string> names = names_;
    for (const std::u16string& name : names) {
      if (!platform::IsTemporaryName(name)) continue;
      if (Failure failure = Recover(platform::JoinPath(folder_, name))) return failure;
    }
    if (recovered_ > 0) read(history);
    if (!history) return history.failure();
    keep_ = true;
  }

  for (const auto& [path, latest] : history::LatestEntries(history.value())) {
    RecordedCopy copy;
    copy.hasSize = latest.entry.size.has_value();
    copy.size = latest.entry.size.value_or(0);
    copy.xxh128 = latest.entry.xxh128;
    copy.sequence = latest.sequence;
    copy.recorded = created_[latest.sequence].first;
    copy.host = created_[latest.sequence].second;
    recorded.Add(path, std::move(copy));
  }
  return {};
}

bool PassHistory::AlreadyWritten(const SpoolHeader& header) {
  // Its generation was put in place before the spool could go: one of the same start (to the
  // second, as the generation keeps it) and host. Two such passes in one second, the one killed,
  // would leave the killed one's copies unrecorded, and the next pass proves and records them.
  for (const auto& [sequence, created] : created_) {
    if (created.first.seconds == header.started.seconds && created.second == header.hostname) return true;
  }
  return false;
}

Failure PassHistory::Recover(const std::u16string& path) {
  bool written = false;
  bool isSpool = false;
  {
    HistorySpool leftover(fs_);
    // One that cannot be read is left: its pass's copies are proven and recorded again.
    if (leftover.OpenLeftover(path, isSpool)) return {};
    if (isSpool && !AlreadyWritten(leftover.Header())) {
      if (Failure failure = WriteGeneration(leftover, written)) return failure;
    }
  }
  if (written) ++recovered_;
  // Of a pass that was stopped; one a running pass holds stays.
  (void)fs_.RemoveLeftover(path);
  return {};
}

std::error_code PassHistory::Add(const LoggedCopy& copy) {
  if (!keep_ || failed_) return failed_;
  SpoolRecord record;
  record.copy = copy;
  if (!PathInHistory(destination_, copy.path, record.copy.path)) return history::HistoryErrc::kBadValue;
  // A name XML cannot hold is left out; the rest of the pass is recorded.
  if (!history::ToXmlText(record.copy.path)) return history::HistoryErrc::kNotXmlText;
  if (!spool_.Created()) {
    const std::error_code made = fs_.MakeFolder(folder_);
    if (made && made != std::errc::file_exists) return failed_ = made;
    madeFolder_ = !made;
    if ((failed_ = spool_.Create(folder_, header_))) return failed_;
  }
  return failed_ = spool_.Append(record);
}

std::error_code PassHistory::Remove(const std::u16string& path) {
  if (!keep_ || failed_ || !spool_.Created()) return failed_;
  SpoolRecord record;
  record.removal = true;
  if (!PathInHistory(destination_, path, record.copy.path)) return {};
  if ((failed_ = spool_.Append(record))) return failed_;
  // On the disk before the copy goes: else a stop between the two would record a copy that is not there.
  return Flush();
}

std::error_code PassHistory::Flush() {
  if (failed_ || !spool_.Created()) return failed_;
  if (!folderFlushed_) {
    // The spool's name, and the history folder's when this pass made it, on the disk.
    std::vector<std::u16string> folders{folder_};
    if (madeFolder_) folders.push_back(destination_);
    if ((failed_ = fs_.FlushFolders(folders))) return failed_;
    folderFlushed_ = true;
  }
  return failed_ = spool_.Flush();
}

Failure PassHistory::Finish() {
  if (!spool_.Created()) return {};
  bool written = false;
  Failure failure = failed_ ? FileFailure(failed_, history::kHistoryFolder) : WriteGeneration(spool_, written);
  if (failure) {
    // Copies whose clips were marked are in the spool: the next pass writes their generation.
    spoolKept_ = true;
    return failure;
  }
  spool_.Discard();
  // A folder made for a record that never came goes again; anything in it keeps it.
  if (madeFolder_ && !written) (void)fs_.RemoveEmptyFolder(folder_);
  return {};
}

Failure PassHistory::WriteGeneration(HistorySpool& spool, bool& written) {
  written = false;
  // The copies deleted again, then how many entries are left to list.
  std::vector<Removal> removed;
  SpoolRecord record;
  std::uint64_t index = 0;
  if (std::error_code error = spool.Rewind()) return FileFailure(error, history::kHistoryFolder);
  for (bool got = true;; ++index) {
    if (std::error_code error = spool.Next(record, got)) return FileFailure(error, history::kHistoryFolder);
    if (!got) break;
    if (record.removal) removed.push_back({std::hash<std::u16string>{}(record.copy.path), index});
  }
  std::stable_sort(removed.begin(), removed.end());
  std::uint64_t listed = 0;
  if (std::error_code error = spool.Rewind()) return FileFailure(error, history::kHistoryFolder);
  index = 0;
  for (bool got = true;; ++index) {
    if (std::error_code error = spool.Next(record, got)) return FileFailure(error, history::kHistoryFolder);
    if (!got) break;
    listed += !record.removal && !RemovedLater(removed, record.copy.path, index) ? 1 : 0;
  }
  if (listed == 0) return {};  // every copy recorded went again: nothing to add

  history::Generation head;
  head.creationDate = spool.Header().started;
  head.hostname = spool.Header().hostname;
  head.toolVersion = spool.Header().toolVersion;
  if (!spool.Header().readBack) head.comment = "the copies were not read back: their hashes were taken while reading the clips";
  // A folder name XML cannot hold is left out of the comment, not the generation.
  if (const std::string sibling = platform::ToNativeName(sibling_);
      &spool == &spool_ && !sibling.empty() && history::IsXmlText(sibling)) {
    head.comment += (head.comment.empty() ? "" : "; ") + sibling;
  }

  platform::StagedFile generation(fs_, folder_);
  if (std::error_code error = generation.Create()) return FileFailure(error, history::kHistoryFolder);
  if (std::error_code error = spool.Rewind()) return FileFailure(error, history::kHistoryFolder);
  index = 0;
  history::Sha512Stream digest;
  const Failure failure = history::WriteGenerationInPieces(
      head,
      [&](history::HashEntry& entry) -> history::Result<bool> {
        for (bool got = true;; ++index) {
          if (std::error_code error = spool.Next(record, got)) return FileFailure(error, history::kHistoryFolder);
          if (!got) return false;
          if (!record.removal && !RemovedLater(removed, record.copy.path, index)) break;
        }
        ++index;
        LoggedCopy& copy = record.copy;
        entry.path = std::move(copy.path);
        entry.size = copy.size;
        entry.modified = copy.modified;
        entry.xxh128 = std::move(copy.xxh128);
        entry.action = copy.original ? history::HashAction::kOriginal : history::HashAction::kVerified;
        entry.hashDate = copy.hashed;
        return true;
      },
      [&](std::string_view bytes) {
        digest.Update(bytes);
        return generation.Write(bytes);
      });
  if (failure) return failure;
  history::Sha512Digest sha;
  if (std::error_code error = digest.Finish(sha)) return {error, {}};
  if (std::error_code error = generation.Finish()) return FileFailure(error, history::kHistoryFolder);

  const std::uint64_t sequence = history::NextSequenceNumber(chain_, names_);
  std::u16string_view folderName = destination_;
  while (folderName.size() > 1 && (folderName.back() == u'/' || folderName.back() == platform::kPathSeparator)) {
    folderName.remove_suffix(1);
  }
  const std::u16string name = history::GenerationFileName(sequence, platform::FileNameOf(folderName), head.creationDate);
  history::Chain chain = chain_;
  chain.generations.push_back({sequence, name, history::C4IdOfDigest(sha)});
  // The generation in place and on the disk before the chain that lists it.
  const std::u16string generationPath = platform::JoinPath(folder_, name);
  if (std::error_code error = generation.PutInPlace(generationPath, false)) return FileFailure(error, name);
  Failure unlisted = FileFailure(fs_.FlushFolders({folder_}), history::kHistoryFolder);
  if (!unlisted) unlisted = PutChain(chain);
  if (unlisted) {
    // Without its entry in the chain the generation goes again: the history is as it was.
    (void)fs_.RemoveFile(generationPath);
    return unlisted;
  }
  chain_ = std::move(chain);
  hasChain_ = true;
  names_.push_back(name);
  created_[sequence] = {head.creationDate, head.hostname};
  written = true;
  if (std::error_code flushed = fs_.FlushFolders({folder_})) return FileFailure(flushed, history::kHistoryFolder);
  return {};
}

}  // namespace marlowin::recorder
