// The file system the pass really works on: copies are staged beside their targets and put in
// place together, once they are on the disk and, with verification, proven by reading them
// back. Flushing many copies at once lets the disk write while the next ones are copied.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>
#include <set>
#include <thread>
#include <unordered_map>
#include <utility>

#include "platform/ContentHash.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"

namespace marlowin::sys {
namespace {

constexpr std::size_t kBufferSize = 4u << 20;
constexpr std::uint64_t kReportEvery = 4ull << 20;  // the most bytes between two progress reports
constexpr std::size_t kNone = static_cast<std::size_t>(-1);

std::u16string FolderOf(const std::u16string& path) {
  const std::size_t separator = path.find_last_of(u"\\/");
  return separator == std::u16string::npos ? std::u16string(u".") : path.substr(0, separator);
}

// A copy carries its source's modification time, in the steps its file system keeps: FAT
// whole seconds in steps of 2, exFAT 10 ms, NTFS 100 ns. A target time that is as coarse as
// one of those is compared within that step.
bool SameModificationTime(const FileTime& source, const FileTime& target) {
  if (source == target) return true;
  const std::int64_t difference =
      (source.seconds - target.seconds) * 1'000'000'000 +
      (static_cast<std::int64_t>(source.nanoseconds) - static_cast<std::int64_t>(target.nanoseconds));
  const std::int64_t distance = std::llabs(difference);
  if (target.nanoseconds == 0) return distance <= 2'000'000'000;
  if (target.nanoseconds % 10'000'000 == 0) return distance < 10'000'000;
  if (target.nanoseconds % 100 == 0) return distance < 100;
  return false;
}

bool Reports(ByteObserver* observer, std::uint64_t bytes) { return !observer || observer->OnBytes(bytes); }

// One copy between Copy and Commit.
struct Staged {
  std::u16string target;
  std::u16string temporary;  // empty: the target was found in place and is only to be proven
  File file;                 // the temporary, held open until it is put in place
  std::u16string source;     // where its bytes come from: a clip, a target in place, a temporary
  FileStatus sourceStatus;   // the clip's size and times, which the copy takes
  std::string hash;          // the source's, hashed as it was read; empty when not hashed
  std::size_t copyOf = kNone;  // the staged copy this one was made from
  bool verify = false;
  std::error_code error;
};

// An aligned buffer, so that reads past the cache go straight into it.
class Buffer {
 public:
  char* data() {
    if (!storage_) storage_.reset(new (std::align_val_t(kAlignment)) char[kBufferSize]);
    return storage_.get();
  }
  static constexpr std::size_t size() { return kBufferSize; }

 private:
  static constexpr std::size_t kAlignment = 4096;
  struct Free {
    void operator()(char* p) const { ::operator delete[](p, std::align_val_t(kAlignment)); }
  };
  std::unique_ptr<char[], Free> storage_;
};

// Copies staged together and put in place together: on the disk, proven, moved over their
// targets, durable. A batch is committed on the pass's thread, or on a thread of its own while
// the pass copies the next one.
class Batch {
 public:
  std::vector<Staged> copies;
  // Told the bytes proven so far; a stop makes the copies not yet proven Errc::kCancelled.
  std::atomic<std::uint64_t> proven{0};
  std::atomic<bool> stop{false};

  void Commit() {
    MakeDurable();
    Prove();
    PutInPlace();
  }

  std::error_code Outcomes(std::vector<CommittedCopy>& out) {
    out.clear();
    std::error_code first;
    for (Staged& copy : copies) {
      if (!first) first = copy.error;
      out.push_back({copy.target, copy.error, copy.error ? std::string() : ExpectedHash(copy)});
    }
    return first;
  }

  void Abandon() {
    for (Staged& copy : copies) Discard(copy);
    copies.clear();
  }

  static void Discard(Staged& copy) {
    if (copy.temporary.empty()) return;
    (void)copy.file.Close();
    (void)sys::RemoveFile(copy.temporary);  // ours; nothing else can be done if it stays
    copy.temporary.clear();
  }

 private:
  // One flush for each volume that can be flushed whole; each file on the others. When a
  // volume's flush fails, each of its files is flushed on its own to learn whose data failed.
  void MakeDurable() {
    std::set<std::uint64_t> flushed;
    std::set<std::uint64_t> failed;
    for (Staged& copy : copies) {
      if (copy.temporary.empty() || copy.error) continue;
      FileStatus status;
      if ((copy.error = copy.file.Status(status))) continue;
      if (flushed.contains(status.volume)) continue;
      if (failed.contains(status.volume)) {
        copy.error = copy.file.Flush();
        continue;
      }
      bool wholeVolume = false;
      const std::error_code error = copy.file.FlushVolume(wholeVolume);
      if (!error && wholeVolume) flushed.insert(status.volume);
      if (error && wholeVolume) {
        failed.insert(status.volume);
        copy.error = copy.file.Flush();
      } else {
        copy.error = error;
      }
    }
  }

  // The hash each copy must have: that of the bytes read from its clip.
  std::string ExpectedHash(Staged& copy) {
    if (copy.copyOf != kNone) return ExpectedHash(copies[copy.copyOf]);
    if (copy.hash.empty() && copy.verify) {
      if (const std::error_code error = HashFile(copy.source, false, copy.hash)) {
        copy.error = error;
        copy.hash.clear();
      }
    }
    return copy.hash;
  }

  void Prove() {
    for (std::size_t i = 0; i < copies.size(); ++i) {
      Staged& copy = copies[i];
      if (copy.error || !copy.verify) continue;
      if (stop) {
        copy.error = Errc::kCancelled;
        continue;
      }
      const std::u16string& onDisk = copy.temporary.empty() ? copy.target : copy.temporary;
      std::string actual;
      if ((copy.error = HashFile(onDisk, true, actual))) continue;
      const std::string expected = ExpectedHash(copy);
      if (!copy.error && actual != expected) copy.error = Errc::kCopyDiffers;
      // A copy found in place that differs from its clip is no copy: it goes.
      if (copy.error == Errc::kCopyDiffers && copy.temporary.empty()) (void)sys::RemoveFile(copy.target);
    }
  }

  std::error_code HashFile(const std::u16string& path, bool fromDisk, std::string& hash) {
    File file;
    if (const std::error_code error = fromDisk ? file.OpenFromDisk(path) : file.OpenForReading(path)) return error;
    ContentHasher hasher;
    for (;;) {
      std::size_t got = 0;
      if (const std::error_code error = file.Read(buffer_.data(), buffer_.size(), got)) return error;
      if (got == 0) break;
      hasher.Update(buffer_.data(), got);
      if (fromDisk) proven += got;
      if (stop) return Errc::kCancelled;
    }
    hash = hasher.Hex();
    return {};
  }

  void PutInPlace() {
    std::vector<std::u16string> folders;
    for (Staged& copy : copies) {
      if (copy.temporary.empty()) continue;
      if (!copy.error) copy.error = copy.file.TakeAttributes(copy.sourceStatus);
      // Closed before the move: Windows moves no file that is open without shared deletion.
      const std::error_code closed = copy.file.Close();
      if (!copy.error) copy.error = closed;
      if (!copy.error) copy.error = MoveReplacing(copy.temporary, copy.target);
      if (copy.error) {
        Discard(copy);
        continue;
      }
      copy.temporary.clear();
      folders.push_back(FolderOf(copy.target));
    }
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    // The new names must be on the disk before a clip is marked as collected.
    if (const std::error_code error = FlushFolders(folders)) {
      for (Staged& copy : copies) {
        if (!copy.error) copy.error = error;
      }
    }
  }

  Buffer buffer_;
};

class RealFileSystem final : public FileSystem {
 public:
  ~RealFileSystem() override { Abandon(); }

  std::error_code ListFolder(const std::u16string& folder, std::vector<FolderEntry>& entries) override {
    return sys::ListFolder(folder, entries);
  }
  std::error_code GetStatus(const std::u16string& path, FileStatus& status) override {
    return sys::GetStatus(path, status);
  }
  std::error_code LockFolder(const std::u16string& folder, std::unique_ptr<FolderLock>& lock) override {
    return sys::LockFolder(folder, lock);
  }
  std::error_code MakeFolder(const std::u16string& path) override { return sys::MakeFolder(path); }
  std::error_code RenameNoReplace(const std::u16string& from, const std::u16string& to) override {
    return sys::RenameNoReplace(from, to);
  }
  std::error_code RemoveFile(const std::u16string& path) override { return sys::RemoveFile(path); }
  std::error_code RemoveEmptyFolder(const std::u16string& path) override {
    return sys::RemoveEmptyFolder(path);
  }
  std::error_code RemoveLeftover(const std::u16string& path) override { return sys::RemoveLeftover(path); }

  std::error_code Copy(const std::u16string& from, const std::u16string& to, const CopyRequest& request,
                       CopyResult& result) override {
    result = {};
    Staged copy;
    copy.target = to;
    copy.verify = request.verify;
    // A copy of a copy staged in this batch reads the staged bytes and stands for the same clip.
    const auto earlier = stagedByTarget_.find(from);
    if (earlier != stagedByTarget_.end() && !current_.copies[earlier->second].temporary.empty()) {
      const Staged& original = current_.copies[earlier->second];
      copy.copyOf = earlier->second;
      copy.source = original.temporary;
      copy.sourceStatus = original.sourceStatus;
    } else {
      copy.source = from;
      if (const std::error_code error = sys::GetStatus(from, copy.sourceStatus)) return error;
      if (copy.sourceStatus.type != FileType::kFile) return Errc::kNotARegularFile;
    }
    result.bytes = copy.sourceStatus.size;

    FileStatus targetStatus;
    if (!sys::GetStatus(to, targetStatus)) {
      if (targetStatus.type == FileType::kFolder) return std::make_error_code(std::errc::is_a_directory);
      // The source itself, reached through a linked folder: it is already there.
      if (copy.copyOf == kNone && targetStatus.IsSameFileAs(copy.sourceStatus)) {
        result.alreadyThere = true;
        return {};
      }
      if (targetStatus.type == FileType::kFile && targetStatus.size == copy.sourceStatus.size &&
          SameModificationTime(copy.sourceStatus.modified, targetStatus.modified)) {
        result.alreadyThere = true;
        if (request.verify && request.proveExisting) Stage(std::move(copy));
        return {};
      }
    }

    const auto progress = [&request](std::uint64_t bytes) { return Reports(request.progress, bytes); };
    const std::u16string folder = FolderOf(to);
    std::error_code error;
    if (request.verify && copy.copyOf == kNone) {
      error = CopyHashing(copy, folder, progress);
    } else {
      // The kernel's copy: a clone where the volume shares blocks, as for a copy of a copy.
      // The copy it is made from is closed meanwhile: Windows opens no source that another
      // handle writes to.
      Staged* original = copy.copyOf == kNone ? nullptr : &current_.copies[copy.copyOf];
      if (original) error = original->file.Close();
      copy.temporary = NewTemporaryPath(folder);
      if (!error) error = CopyToNewFile(copy.source, copy.temporary, progress, copy.file);
      if (error) copy.temporary.clear();
      if (original) {
        const std::error_code reopened = original->file.OpenForWriting(original->temporary);
        if (!original->error) original->error = reopened;
      }
    }
    if (!error) error = CheckUnchanged(copy);
    if (error) {
      Batch::Discard(copy);
      return error;
    }
    Stage(std::move(copy));
    return {};
  }

  std::error_code Commit(std::vector<CommittedCopy>& copies, ByteObserver* progress) override {
    BeginCommit();
    return FinishCommit(copies, progress);
  }

  void BeginCommit() override {
    WaitForInFlight();
    inFlight_ = std::make_unique<Batch>();
    inFlight_->copies = std::move(current_.copies);
    current_.copies.clear();
    stagedByTarget_.clear();
    Batch* batch = inFlight_.get();
    done_ = false;
    worker_ = std::thread([this, batch] {
      batch->Commit();
      done_ = true;
    });
  }

  std::error_code FinishCommit(std::vector<CommittedCopy>& copies, ByteObserver* progress) override {
    copies.clear();
    if (!inFlight_) return {};
    // The observer is told on this thread, ten times a second, while the batch is proven on its
    // own: a short sleep between the reports is all the waiting this needs.
    for (int tick = 0; !done_.load() && worker_.joinable(); ++tick) {
      if (tick % 5 == 0 && progress && !progress->OnBytes(inFlight_->proven.load())) inFlight_->stop = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    WaitForInFlight(copies);
    return copies.empty() ? std::error_code() : FirstError(copies);
  }

  void Abandon() override {
    if (inFlight_) {
      inFlight_->stop = true;
      std::vector<CommittedCopy> ignored;
      WaitForInFlight(ignored);
    }
    current_.Abandon();
    stagedByTarget_.clear();
  }

 private:
  static std::error_code FirstError(const std::vector<CommittedCopy>& copies) {
    for (const CommittedCopy& copy : copies) {
      if (copy.error) return copy.error;
    }
    return {};
  }

  void WaitForInFlight() {
    std::vector<CommittedCopy> unread;
    WaitForInFlight(unread);
  }

  void WaitForInFlight(std::vector<CommittedCopy>& copies) {
    if (!inFlight_) return;
    if (worker_.joinable()) worker_.join();
    (void)inFlight_->Outcomes(copies);
    inFlight_.reset();
    done_ = false;
  }

  void Stage(Staged&& copy) {
    stagedByTarget_[copy.target] = current_.copies.size();
    current_.copies.push_back(std::move(copy));
  }

  // Reads the source, hashes and writes what was read, so that the hash is of the very bytes
  // the copy holds.
  std::error_code CopyHashing(Staged& copy, const std::u16string& folder,
                              const std::function<bool(std::uint64_t)>& progress) {
    File source;
    if (const std::error_code error = source.OpenForReading(copy.source)) return error;
    if (const std::error_code error = copy.file.CreateTemporary(folder, copy.temporary)) return error;
    ContentHasher hasher;
        // No more than the clip's size at the start: one still being written is caught after.
    const std::uint64_t size = copy.sourceStatus.size;
    std::uint64_t done = 0;
    std::uint64_t reported = 0;
    while (done < size) {
      std::size_t got = 0;
      const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer_.size(), size - done));
      if (const std::error_code error = source.Read(buffer_.data(), want, got)) return error;
      if (got == 0) break;
      hasher.Update(buffer_.data(), got);
      if (const std::error_code error = copy.file.Write(buffer_.data(), got)) return error;
      done += got;
      if (done - reported >= kReportEvery) {
        reported = done;
        copy.file.StartWriteback();
        if (!progress(done)) return Errc::kCancelled;
      }
    }
    copy.file.StartWriteback();
    if (!progress(done)) return Errc::kCancelled;
    copy.hash = hasher.Hex();
    return {};
  }

  // A clip still being written (a camera, a copy into the card) must not count as copied.
  static std::error_code CheckUnchanged(Staged& copy) {
    if (copy.copyOf != kNone) return {};  // a staged copy is ours and does not change
    FileStatus written;
    if (const std::error_code error = copy.file.Status(written)) return error;
    FileStatus now;
    if (const std::error_code error = sys::GetStatus(copy.source, now)) return error;
    if (now.size != copy.sourceStatus.size || !(now.modified == copy.sourceStatus.modified) ||
        written.size != copy.sourceStatus.size) {
      return Errc::kSourceChanged;
    }
    return {};
  }

  Batch current_;
  std::unique_ptr<Batch> inFlight_;
  std::thread worker_;
  std::atomic<bool> done_{false};
  std::unordered_map<std::u16string, std::size_t> stagedByTarget_;
  Buffer buffer_;
};

}  // namespace

std::unique_ptr<FileSystem> MakeRealFileSystem() { return std::make_unique<RealFileSystem>(); }

}  // namespace marlowin::sys
