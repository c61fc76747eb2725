#include "collector/pass/CopyBatch.h"

#include <algorithm>
#include <new>
#include <set>
#include <thread>

#include "platform/ContentHash.h"
#include "platform/Errors.h"
#include "platform/Paths.h"
#include "platform/ReadBuffer.h"

namespace marlowin::pass {


std::error_code HashWholeFile(platform::OpenFile& file, platform::CopyBuffer& buffer, std::string& hash,
                              std::atomic<std::uint64_t>* counted, const std::atomic<bool>* stop) {
  platform::FileStatus status;
  if (const std::error_code error = file.Status(status)) return error;
  if (status.size >= buffer.size()) buffer.ForWholeReads();
  platform::ContentHasher hasher;
  // Reads of no more than the whole blocks left (a read past the cache fills every page it is
  // given): small files keep the buffer's pages untouched, and out of the pass's memory.
  constexpr std::uint64_t kBlock = 4096;
  for (std::uint64_t done = 0;;) {
    const std::uint64_t left = status.size > done ? status.size - done : 0;
    const auto want = static_cast<std::size_t>(std::clamp<std::uint64_t>((left + kBlock - 1) / kBlock * kBlock, kBlock, buffer.size()));
    std::size_t got = 0;
    if (const std::error_code error = file.Read(buffer.data(), want, got)) return error;
    if (got == 0) break;
    done += got;
    hasher.Update(buffer.data(), got);
    if (counted) *counted += got;
    if (stop && *stop) return platform::Errc::kCancelled;
  }
  hash = hasher.Hex();
  return {};
}

void CopyBatch::Commit() {
  MakeDurable();
  Prove();
  PutInPlace();
}

void CopyBatch::Discard(StagedCopy& copy) {
  if (copy.temporary.empty()) return;
  if (copy.file) (void)copy.file->Close();
  copy.file.reset();
  (void)fs_.RemoveFile(copy.temporary);  // ours; nothing else can be done if it stays
  copy.temporary.clear();
}

void CopyBatch::DiscardAll() {
  for (StagedCopy& copy : copies) Discard(copy);
  copies.clear();
}

// One flush for each volume that can be flushed whole; each file on the others. When a volume's
// flush fails, each of its files is flushed on its own to learn whose data failed.
void CopyBatch::MakeDurable() {
  std::set<std::uint64_t> flushed;
  std::set<std::uint64_t> failed;
  for (StagedCopy& copy : copies) {
    if (copy.temporary.empty() || copy.error) continue;
    platform::FileStatus status;
    if ((copy.error = copy.file->Status(status))) continue;
    if (flushed.contains(status.volume)) continue;
    if (failed.contains(status.volume)) {
      copy.error = copy.file->Flush();
      continue;
    }
    bool wholeVolume = false;
    const std::error_code error = copy.file->FlushVolume(wholeVolume);
    if (!error && wholeVolume) flushed.insert(status.volume);
    if (error && wholeVolume) {
      failed.insert(status.volume);
      copy.error = copy.file->Flush();
    } else {
      copy.error = error;
    }
  }
}

std::error_code CopyBatch::HashFile(const std::u16string& path, bool fromDisk, platform::CopyBuffer& buffer, std::string& hash) {
  std::unique_ptr<platform::OpenFile> file;
  if (const std::error_code error = fromDisk ? fs_.OpenFromDisk(path, file) : fs_.OpenForReading(path, file)) {
    return error;
  }
  return HashWholeFile(*file, buffer, hash, fromDisk ? &proven : nullptr, &stop);
}

std::string CopyBatch::ExpectedHash(StagedCopy& copy) { return ExpectedHash(copy, buffers_[0]); }

std::string CopyBatch::ExpectedHash(StagedCopy& copy, platform::CopyBuffer& buffer) {
  if (copy.copyOf == kNotACopy) {
    if (copy.verify) LearnHash(copy, buffer);
    return copy.hash;
  }
  // A copy made from another copy reads that one's hash, learnt before the proofs began (so the
  // two proofs share nothing they write); where it could not be learnt, it fails for that reason.
  const StagedCopy& original = copies[copy.copyOf];
  if (original.hash.empty() && copy.verify && !copy.error) {
    copy.error = original.error ? original.error : std::error_code(platform::Errc::kCopyDiffers);
  }
  return original.hash;
}

// A copy found in place, or written without hashing, learns its clip's hash from the clip.
void CopyBatch::LearnHash(StagedCopy& copy, platform::CopyBuffer& buffer) {
  if (!copy.hash.empty()) return;
  if (const std::error_code error = HashFile(copy.source, false, buffer, copy.hash)) {
    copy.error = error;
    copy.hash.clear();
  }
}

void CopyBatch::Prove() {
  // Each original once: a clip that cannot be read is not read again for each copy of it.
  std::vector<bool> learnt(copies.size(), false);
  for (StagedCopy& copy : copies) {
    if (copy.copyOf == kNotACopy || !copy.verify || copy.error || learnt[copy.copyOf]) continue;
    learnt[copy.copyOf] = true;
    LearnHash(copies[copy.copyOf], buffers_[0]);
  }
  std::atomic<std::size_t> next{0};
  std::thread other([this, &next] { ProveFrom(next, buffers_[1]); });
  ProveFrom(next, buffers_[0]);
  other.join();
}

void CopyBatch::ProveFrom(std::atomic<std::size_t>& next, platform::CopyBuffer& buffer) {
  for (std::size_t i = next++; i < copies.size(); i = next++) {
    StagedCopy& copy = copies[i];
    if (copy.error || !copy.verify) continue;
    if (stop) {
      copy.error = platform::Errc::kCancelled;
      continue;
    }
    const std::u16string& onDisk = copy.temporary.empty() ? copy.target : copy.temporary;
    std::string actual;
    if ((copy.error = HashFile(onDisk, true, buffer, actual))) continue;
    const std::string expected = ExpectedHash(copy, buffer);
    if (!copy.error && actual != expected) copy.error = platform::Errc::kCopyDiffers;
    // A copy found in place that differs from its clip is no copy: it goes, unless the
    // destination's history records it (then it is another clip's, kept as it is).
    if (copy.error == platform::Errc::kCopyDiffers && copy.temporary.empty() && !copy.keepTarget) {
      (void)fs_.RemoveFile(copy.target);
    }
  }
}

void CopyBatch::PutInPlace() {
  std::vector<std::u16string> folders;
  for (StagedCopy& copy : copies) {
    if (copy.temporary.empty()) continue;
    // A copy whose file could not be opened again (after a copy was made from it) has an error.
    if (!copy.error) copy.error = copy.file->TakeAttributes(copy.sourceStatus);
    // Closed before the move: Windows moves no file that is open without shared deletion.
    const std::error_code closed = copy.file ? copy.file->Close() : std::error_code();
    copy.file.reset();
    if (!copy.error) copy.error = closed;
    if (!copy.error) copy.error = fs_.MoveReplacing(copy.temporary, copy.target);
    if (copy.error) {
      Discard(copy);
      continue;
    }
    copy.temporary.clear();
    folders.push_back(platform::FolderOf(copy.target));
  }
  std::sort(folders.begin(), folders.end());
  folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
  // The new names must be on the disk before a clip is marked as collected.
  if (const std::error_code error = fs_.FlushFolders(folders)) {
    for (StagedCopy& copy : copies) {
      if (!copy.error) copy.error = error;
    }
  }
}

}  // namespace marlowin::pass
