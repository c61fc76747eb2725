#include "collector/pass/CopyQueue.h"

#include <algorithm>
#include <chrono>

#include "platform/ContentHash.h"
#include "platform/Errors.h"
#include "platform/Paths.h"

namespace marlowin::pass {
namespace {

constexpr std::uint64_t kReportEvery = 4ull << 20;  // the most bytes between two progress reports

bool Reports(platform::ByteObserver* observer, std::uint64_t bytes) { return !observer || observer->OnBytes(bytes); }

}  // namespace

CopyQueue::CopyQueue(platform::FileSystem& fs) : fs_(fs), current_(std::make_unique<CopyBatch>(fs)) {}

CopyQueue::~CopyQueue() { Abandon(); }

StagedCopy* CopyQueue::Find(std::uint64_t ticket) {
  for (StagedCopy& copy : current_->copies) {
    if (copy.ticket == ticket) return &copy;
  }
  return nullptr;
}

std::uint64_t CopyQueue::Queue(StagedCopy&& copy) {
  copy.ticket = nextTicket_++;
  current_->copies.push_back(std::move(copy));
  return current_->copies.back().ticket;
}

std::error_code CopyQueue::Copy(const std::u16string& from, const std::u16string& to, Mode mode,
                                platform::ByteObserver* progress, std::uint64_t& ticket) {
  StagedCopy copy;
  copy.target = to;
  copy.source = from;
  copy.verify = mode.prove;
  if (const std::error_code error = fs_.GetStatus(from, copy.sourceStatus)) return error;
  if (copy.sourceStatus.type != platform::FileType::kFile) return platform::Errc::kNotARegularFile;
  if (mode.planned && (copy.sourceStatus.size != mode.size || !(copy.sourceStatus.modified == mode.modified))) {
    return platform::Errc::kSourceChanged;
  }
  // The kernel's copy costs the least. A copy to be proven or recorded hashes the clip as it
  // goes, from the cache the copy has just filled: a clip that changes meanwhile is caught by
  // the check below. Where the kernel's copy cannot hash, the clip is read, hashed and written here.
  platform::ContentHasher hasher;
  std::error_code error = CopyInKernel(copy, progress, mode.hash ? &hasher : nullptr);
  if (error == std::errc::function_not_supported && mode.hash) {
    error = CopyHashing(copy, progress);
  } else if (!error && mode.hash) {
    copy.hash = hasher.Hex();
  }
  if (!error) error = CheckUnchanged(copy);
  if (error) {
    current_->Discard(copy);
    return error;
  }
  ticket = Queue(std::move(copy));
  return {};
}

std::error_code CopyQueue::CopyOfQueued(std::uint64_t of, const std::u16string& to, bool prove,
                                        platform::ByteObserver* progress, std::uint64_t& ticket) {
  StagedCopy* original = Find(of);
  if (!original || original->temporary.empty() || !original->file) return std::make_error_code(std::errc::invalid_argument);
  StagedCopy copy;
  copy.target = to;
  copy.verify = prove;
  // Proven against the clip's own hash, also when made from a copy of a copy.
  copy.copyOf = original->copyOf != kNotACopy ? original->copyOf
                                               : static_cast<std::size_t>(original - current_->copies.data());
  copy.source = original->temporary;
  copy.sourceStatus = original->sourceStatus;
  // The copy it is made from is closed meanwhile: Windows opens no source that another handle
  // writes to.
  std::error_code error = original->file->Close();
  original->file.reset();
  if (!error) error = CopyInKernel(copy, progress, nullptr);
  const std::error_code reopened = fs_.OpenForWriting(original->temporary, original->file);
  if (!original->error) original->error = reopened;
  if (error) return error;
  ticket = Queue(std::move(copy));
  return {};
}

std::uint64_t CopyQueue::Prove(const std::u16string& clip, const std::u16string& target, bool keep) {
  StagedCopy copy;
  copy.target = target;
  copy.source = clip;
  copy.verify = true;
  copy.keepTarget = keep;
  return Queue(std::move(copy));
}

std::string CopyQueue::HashOf(std::uint64_t ticket) {
  const StagedCopy* copy = Find(ticket);
  if (!copy) return {};
  return copy->copyOf == kNotACopy ? copy->hash : current_->copies[copy->copyOf].hash;
}

void CopyQueue::Drop(std::uint64_t ticket) {
  StagedCopy* copy = Find(ticket);
  if (!copy) return;
  // Kept in the batch (the copies made from it know it by its place), with nothing to commit.
  current_->Discard(*copy);
  copy->error = platform::Errc::kCancelled;
}

bool CopyQueue::HasCopiesIn(const std::u16string& folder) const {
  const std::u16string prefix = platform::FoldAToZ(folder) + platform::kPathSeparator;
  for (const CopyBatch* batch : {current_.get(), inFlight_.get()}) {
    if (!batch) continue;
    for (const StagedCopy& copy : batch->copies) {
      if (platform::FoldAToZ(copy.target).starts_with(prefix)) return true;
    }
  }
  return false;
}

// The kernel's copy of the copy's source to a new temporary beside its target.
std::error_code CopyQueue::CopyInKernel(StagedCopy& copy, platform::ByteObserver* progress, platform::ContentHasher* hasher) {
  copy.temporary = fs_.NewTemporaryPath(platform::FolderOf(copy.target));
  const std::error_code error = fs_.CopyToNewFile(
      copy.source, copy.temporary, [progress](std::uint64_t bytes) { return Reports(progress, bytes); }, copy.file, hasher);
  if (error) copy.temporary.clear();  // the kernel's copy leaves nothing behind
  return error;
}

// Reads the clip, hashes and writes what was read, so that the hash is of the very bytes the
// copy holds.
std::error_code CopyQueue::CopyHashing(StagedCopy& copy, platform::ByteObserver* progress) {
  std::unique_ptr<platform::OpenFile> source;
  if (const std::error_code error = fs_.OpenForReading(copy.source, source)) return error;
  if (const std::error_code error = fs_.CreateTemporary(platform::FolderOf(copy.target), copy.temporary, copy.file)) {
    copy.temporary.clear();
    return error;
  }
  platform::ContentHasher hasher;
  // No more than the clip's size at the start: one still being written is caught after.
  const std::uint64_t size = copy.sourceStatus.size;
  std::uint64_t done = 0;
  std::uint64_t reported = 0;
  while (done < size) {
    std::size_t got = 0;
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer_.size(), size - done));
    if (const std::error_code error = source->Read(buffer_.data(), want, got)) return error;
    if (got == 0) break;
    hasher.Update(buffer_.data(), got);
    if (const std::error_code error = copy.file->Write(buffer_.data(), got)) return error;
    done += got;
    if (done - reported >= kReportEvery) {
      reported = done;
      copy.file->StartWriteback();
      if (!Reports(progress, done)) return platform::Errc::kCancelled;
    }
  }
  copy.file->StartWriteback();
  if (!Reports(progress, done)) return platform::Errc::kCancelled;
  copy.hash = hasher.Hex();
  return {};
}

// A clip still being written (a camera, a copy into the card) must not count as copied.
std::error_code CopyQueue::CheckUnchanged(StagedCopy& copy) {
  platform::FileStatus written;
  if (const std::error_code error = copy.file->Status(written)) return error;
  platform::FileStatus now;
  if (const std::error_code error = fs_.GetStatus(copy.source, now)) return error;
  if (now.size != copy.sourceStatus.size || !(now.modified == copy.sourceStatus.modified) ||
      written.size != copy.sourceStatus.size) {
    return platform::Errc::kSourceChanged;
  }
  return {};
}

void CopyQueue::BeginCommit() {
  Wait(nullptr);
  inFlight_ = std::move(current_);
  current_ = std::make_unique<CopyBatch>(fs_);
  CopyBatch* batch = inFlight_.get();
  done_ = false;
  worker_ = std::thread([this, batch] {
    batch->Commit();
    std::lock_guard lock(doneMutex_);
    done_ = true;
    doneChanged_.notify_all();
  });
}

void CopyQueue::FinishCommit(std::vector<CopyOutcome>& outcomes, platform::ByteObserver* progress) {
  outcomes.clear();
  if (!inFlight_) return;
  // The observer is told on this thread, ten times a second, while the batch is proven on its own.
  for (std::unique_lock lock(doneMutex_); !done_;) {
    lock.unlock();
    if (!Reports(progress, inFlight_->proven.load())) inFlight_->stop = true;
    lock.lock();
    doneChanged_.wait_for(lock, std::chrono::milliseconds(100), [this] { return done_; });
  }
  Wait(&outcomes);
}

void CopyQueue::Wait(std::vector<CopyOutcome>* outcomes) {
  if (!inFlight_) return;
  if (worker_.joinable()) worker_.join();
  if (outcomes) {
    for (StagedCopy& copy : inFlight_->copies) {
      outcomes->push_back({copy.ticket, copy.error, copy.error ? std::string() : inFlight_->ExpectedHash(copy)});
    }
  }
  inFlight_->DiscardAll();  // only those that failed have a temporary left
  readBackBefore_ += inFlight_->proven.load();
  inFlight_.reset();
}

std::uint64_t CopyQueue::ReadBack(bool& underWay) {
  underWay = false;
  if (!inFlight_) return readBackBefore_;
  {
    std::lock_guard lock(doneMutex_);
    underWay = !done_;
  }
  return readBackBefore_ + inFlight_->proven.load();
}

void CopyQueue::Abandon() {
  if (inFlight_) {
    inFlight_->stop = true;
    Wait(nullptr);
  }
  current_->DiscardAll();
}

}  // namespace marlowin::pass
