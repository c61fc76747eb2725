// The copies go to the spool as the pass concludes them. At the end the history folder is read
// (its chain parsed, the files it names looked up, leftovers of a stopped pass removed), the
// generation is written from the spool through the XML library into a temporary file while its
// C4 id is computed, the new chain into another; then both are put in place, generation first.
#include "collector/PassHistory.h"

#include <algorithm>
#include <map>
#include <vector>

#include "Version.h"
#include "history/C4Id.h"
#include "history/Chain.h"
#include "history/Generation.h"
#include "history/History.h"
#include "history/HistoryFolder.h"
#include "history/HostName.h"
#include "history/Sha512.h"
#include "platform/NativeName.h"
#include "platform/Paths.h"

namespace marlowin {
namespace {

using history::Failure;

Failure FileFailure(std::error_code error, std::u16string_view name) { return {error, sys::ToDisplay(name)}; }

// A temporary file of the folder, written, flushed to the disk and closed; `write` gives it its
// bytes. The temporary goes again when anything fails.
class TemporaryFile {
 public:
  TemporaryFile(sys::FileSystem& fs, const std::u16string& folder) : fs_(fs), folder_(folder) {}
  ~TemporaryFile() {
    if (file_) (void)file_->Close();
    if (!path_.empty()) (void)fs_.RemoveFile(path_);  // a temporary: nothing depends on it
  }
  [[nodiscard]] std::error_code Create() { return fs_.CreateTemporary(folder_, path_, file_); }
  [[nodiscard]] std::error_code Write(std::string_view bytes) { return file_->Write(bytes.data(), bytes.size()); }
  [[nodiscard]] std::error_code Finish() {
    // Readable by everyone who may check the copies, as the copies are (a temporary is not).
    sys::FileStatus attributes;
    attributes.modified = attributes.accessed = sys::Now();
    attributes.permissions = 0644;
    if (std::error_code error = file_->TakeAttributes(attributes)) return error;
    if (std::error_code error = file_->Flush()) return error;
    const std::error_code error = file_->Close();
    file_.reset();
    return error;
  }
  // Put in place under `path`; a file there is replaced only when `replace` says so.
  [[nodiscard]] std::error_code PutInPlace(const std::u16string& path, bool replace) {
    const std::error_code error = replace ? fs_.MoveReplacing(path_, path) : fs_.RenameNoReplace(path_, path);
    if (!error) path_.clear();
    return error;
  }

 private:
  sys::FileSystem& fs_;
  std::u16string folder_;
  std::u16string path_;
  std::unique_ptr<sys::OpenFile> file_;
};

// Whether the copy spooled as number `index` was deleted after it. Removals are sorted by hash,
// a path's in the order they came.
template <typename Removals>
bool RemovedLater(const Removals& removed, const std::u16string& path, std::uint64_t index) {
  const std::size_t hash = std::hash<std::u16string>{}(path);
  auto last = std::upper_bound(removed.begin(), removed.end(), hash,
                               [](std::size_t h, const auto& removal) { return h < removal.pathHash; });
  return last != removed.begin() && (last - 1)->pathHash == hash && index < (last - 1)->spooled;
}

}  // namespace

PassHistory::PassHistory(sys::FileSystem& fs, std::u16string destination, sys::FileTime started, bool readBack)
    : fs_(fs),
      destination_(std::move(destination)),
      folder_(sys::JoinPath(destination_, history::kHistoryFolder)),
      started_(started),
      readBack_(readBack),
      spool_(fs) {}

bool PassHistory::Relative(const std::u16string& path, std::u16string& relative) {
  const std::u16string prefix = sys::JoinPath(destination_, u"");
  if (!path.starts_with(prefix) || path.size() == prefix.size()) return false;
  relative = path.substr(prefix.size());
  std::replace(relative.begin(), relative.end(), static_cast<char16_t>(sys::kPathSeparator), u'/');
  return true;
}

void PassHistory::Add(const LoggedCopy& copy) {
  if (failure_) return;
  LoggedCopy spooled = copy;
  if (!Relative(copy.path, spooled.path)) {
    failure_ = {history::HistoryErrc::kBadValue, "a copy outside the folder: " + sys::ToDisplay(copy.path)};
    return;
  }
  if (!spool_.Created()) {
    const std::error_code made = fs_.MakeFolder(folder_);
    if (made && made != std::errc::file_exists) {
      failure_ = FileFailure(made, history::kHistoryFolder);
      return;
    }
    madeFolder_ = !made;
    if (std::error_code error = spool_.Create(folder_)) {
      failure_ = FileFailure(error, history::kHistoryFolder);
      return;
    }
  }
  if (std::error_code error = spool_.Append(spooled)) failure_ = FileFailure(error, history::kHistoryFolder);
}

void PassHistory::Remove(const std::u16string& path) {
  std::u16string relative;
  if (Relative(path, relative)) removed_.push_back({std::hash<std::u16string>{}(relative), spool_.Count()});
}

Failure PassHistory::Finish() {
  bool written = false;
  if (!failure_ && spool_.Created()) failure_ = WriteGeneration(written);
  spool_.Discard();
  // A folder made for a record that never came goes again; anything in it keeps it.
  if (madeFolder_ && !written) (void)fs_.RemoveEmptyFolder(folder_);
  return failure_;
}

Failure PassHistory::WriteGeneration(bool& written) {
  std::vector<sys::FolderEntry> entries;
  if (std::error_code error = fs_.ListFolder(folder_, entries)) return FileFailure(error, history::kHistoryFolder);
  std::vector<std::u16string> names;
  bool hasChain = false;
  for (const sys::FolderEntry& entry : entries) {
    const std::u16string path = sys::JoinPath(folder_, entry.name);
    if (sys::IsTemporaryName(entry.name) && path != spool_.Path()) {
      (void)fs_.RemoveLeftover(path);  // of a pass that was stopped; one in use stays
      continue;
    }
    hasChain = hasChain || entry.name == history::kChainFileName;
    names.push_back(entry.name);
  }

  history::Chain chain;
  const std::u16string chainPath = sys::JoinPath(folder_, history::kChainFileName);
  if (hasChain) {
    std::string bytes;
    if (std::error_code error = history::ReadWholeFile(fs_, chainPath, bytes)) {
      return FileFailure(error, history::kChainFileName);
    }
    history::Result<history::Chain> parsed = history::ParseChain(bytes);
    if (!parsed) {
      Failure failure = parsed.failure();
      failure.detail = sys::ToDisplay(history::kChainFileName) + (failure.detail.empty() ? "" : ": " + failure.detail);
      return failure;
    }
    chain = std::move(parsed.value());
  }
  if (Failure failure = history::CheckChainFiles(chain, names)) return failure;

  // Generations after the chain's last that it does not list (a pass stopped between putting
  // its generation in place and listing it) are listed now, in their order.
  std::uint64_t last = 0;
  for (const history::ChainEntry& entry : chain.generations) last = std::max(last, entry.sequence);
  std::map<std::uint64_t, std::u16string> unlisted;
  for (const std::u16string& name : names) {
    if (history::NumberOfGenerationFile(name) > last) unlisted.emplace(history::NumberOfGenerationFile(name), name);
  }
  for (const auto& [number, name] : unlisted) {
    std::string bytes;
    if (std::error_code error = history::ReadWholeFile(fs_, sys::JoinPath(folder_, name), bytes)) {
      return FileFailure(error, name);
    }
    history::Result<history::ChainEntry> entry = history::ChainEntryFor(number, name, bytes);
    if (!entry) return entry.failure();
    chain.generations.push_back(std::move(entry.value()));
  }

  history::Generation head;
  head.creationDate = started_;
  if (history::HostName(head.hostname)) head.hostname = "unknown";
  head.toolVersion = MARLOWIN_VERSION;
  if (!readBack_) head.comment = "the copies were not read back: their hashes were taken while reading the clips";

  std::stable_sort(removed_.begin(), removed_.end());
  TemporaryFile generation(fs_, folder_);
  if (std::error_code error = generation.Create()) return FileFailure(error, history::kHistoryFolder);
  if (std::error_code error = spool_.Rewind()) return FileFailure(error, history::kHistoryFolder);
  std::uint64_t index = 0, listed = 0;
  history::Sha512Stream digest;
  const Failure failure = history::WriteGenerationInPieces(
      head,
      [&](history::HashEntry& entry) -> history::Result<bool> {
        LoggedCopy copy;
        for (bool got = true;; ++index) {
          if (std::error_code error = spool_.Next(copy, got)) return FileFailure(error, history::kHistoryFolder);
          if (!got) return false;
          if (!RemovedLater(removed_, copy.path, index)) break;
        }
        ++index;
        ++listed;
        entry.path = std::move(copy.path);
        entry.size = copy.size;
        entry.modified = copy.modified;
        entry.xxh128 = std::move(copy.xxh128);
        entry.action = copy.written ? history::HashAction::kOriginal : history::HashAction::kVerified;
        entry.hashDate = copy.hashed;
        return true;
      },
      [&](std::string_view bytes) {
        digest.Update(bytes);
        return generation.Write(bytes);
      });
  // Every copy recorded went again: nothing to add.
  if (failure.code == history::HistoryErrc::kBadValue && listed == 0) return {};
  if (failure) return failure;
  history::Sha512Digest sha;
  if (std::error_code error = digest.Finish(sha)) return {error, {}};
  if (std::error_code error = generation.Finish()) return FileFailure(error, history::kHistoryFolder);

  const std::uint64_t sequence = history::NextSequenceNumber(chain, names);
  std::u16string_view folderName = destination_;
  while (folderName.size() > 1 && (folderName.back() == u'/' || folderName.back() == sys::kPathSeparator)) {
    folderName.remove_suffix(1);
  }
  const std::u16string name = history::GenerationFileName(sequence, sys::FileNameOf(folderName), started_);
  chain.generations.push_back({sequence, name, history::C4IdOfDigest(sha)});
  history::Result<std::string> chainBytes = history::WriteChain(chain);
  if (!chainBytes) return chainBytes.failure();
  TemporaryFile newChain(fs_, folder_);
  if (std::error_code error = newChain.Create()) return FileFailure(error, history::kChainFileName);
  if (std::error_code error = newChain.Write(chainBytes.value())) return FileFailure(error, history::kChainFileName);
  if (std::error_code error = newChain.Finish()) return FileFailure(error, history::kChainFileName);

  // The generation in place and on the disk before the chain that lists it.
  const std::u16string generationPath = sys::JoinPath(folder_, name);
  if (std::error_code error = generation.PutInPlace(generationPath, false)) return FileFailure(error, name);
  std::error_code error = fs_.FlushFolders({folder_});
  if (!error) error = newChain.PutInPlace(chainPath, hasChain);
  if (error) {
    // Without its entry in the chain the generation goes again: the history is as it was.
    (void)fs_.RemoveFile(generationPath);
    return FileFailure(error, history::kChainFileName);
  }
  written = true;
  if (std::error_code flushed = fs_.FlushFolders({folder_})) return FileFailure(flushed, history::kHistoryFolder);
  return {};
}

}  // namespace marlowin
