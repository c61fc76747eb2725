#pragma once

// The queue of copies that wait for their flush and proof. A copy is written under a temporary
// name beside its target (hashed as it is read from the clip, with verification), or a copy found
// in place is queued to be proven; the queued copies go together to a commit (CopyBatch), which
// runs on a thread of its own while the next copies are written; its outcome, copy by copy, is
// read when it is finished. Only one batch is committed at a time.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "collector/pass/CopyBatch.h"
#include "platform/FileSystem.h"

namespace marlowin::pass {

// What became of one queued copy.
struct CopyOutcome {
  std::uint64_t ticket = 0;
  std::error_code error;  // why it is not in place (or not proven); empty when it is
  std::string hash;       // of its clip's bytes, as `xxhsum -H2` prints it, when they were hashed
};

class CopyQueue {
 public:
  explicit CopyQueue(platform::FileSystem& fs);
  CopyQueue(const CopyQueue&) = delete;
  CopyQueue& operator=(const CopyQueue&) = delete;
  ~CopyQueue();  // Abandon()

  // How a copy is made: `hash` hashes the clip's bytes as they are copied; `prove` reads the
  // copy back at its commit and compares it with the clip's hash. Either way the copy is the
  // kernel's, hashed from the cache it fills; only where the kernel's copy cannot hash (Windows)
  // is the clip read, hashed and written here.
  struct Mode {
    bool hash = true;
    bool prove = true;
    // The clip as the plan found it: a clip found otherwise when its copy starts has changed
    // since (Errc::kSourceChanged), and its copy would not be the one planned and recorded.
    bool planned = false;
    std::uint64_t size = 0;
    platform::FileTime modified;
  };

  // Copies a clip to a temporary beside `to`. A failed copy leaves no temporary and keeps
  // whatever `to` holds; so does a clip whose size or time changed while it was copied
  // (Errc::kSourceChanged).
  [[nodiscard]] std::error_code Copy(const std::u16string& from, const std::u16string& to, Mode mode,
                                     platform::ByteObserver* progress, std::uint64_t& ticket);
  // Copies a copy queued in this batch (its temporary) to a temporary beside `to`, in the kernel
  // (a block clone where the volume has it). It stands for the same clip: it is proven against
  // that clip's bytes.
  [[nodiscard]] std::error_code CopyOfQueued(std::uint64_t of, const std::u16string& to, bool prove,
                                             platform::ByteObserver* progress, std::uint64_t& ticket);
  // Queues a copy found in place, to be read back and proven against the clip at its commit. One
  // that differs from its clip goes, unless `keep` (a copy the destination's history records).
  std::uint64_t Prove(const std::u16string& clip, const std::u16string& target, bool keep = false);

  // The hash of the clip's bytes of a copy queued and not yet committed; empty when not hashed.
  std::string HashOf(std::uint64_t ticket);
  // Drops a copy queued and not yet committed: its temporary goes, and no outcome tells of it.
  void Drop(std::uint64_t ticket);

  std::size_t Queued() const { return current_->copies.size(); }
  // Whether a copy queued or being committed has its target in this folder.
  bool HasCopiesIn(const std::u16string& folder) const;

  // Hands the queued copies to a commit of their own and returns at once; it first waits for the
  // commit before. FinishCommit waits for it and gives each copy's outcome (none when no commit
  // was begun), telling `progress` the bytes proven; a stop asked there stops the proofs.
  void BeginCommit();
  void FinishCommit(std::vector<CopyOutcome>& outcomes, platform::ByteObserver* progress);

  // The bytes read back from the disk so far, by every commit, and whether a commit is under way;
  // for the progress, on the thread that begins the commits.
  std::uint64_t ReadBack(bool& underWay);

  // Drops the copies not yet committed (their temporaries go), and stops a commit under way
  // where its copies are not yet proven.
  void Abandon();

 private:
  StagedCopy* Find(std::uint64_t ticket);
  std::error_code CopyHashing(StagedCopy& copy, platform::ByteObserver* progress);
  std::error_code CopyInKernel(StagedCopy& copy, platform::ByteObserver* progress, platform::ContentHasher* hasher);
  std::error_code CheckUnchanged(StagedCopy& copy);
  std::uint64_t Queue(StagedCopy&& copy);
  void Wait(std::vector<CopyOutcome>* outcomes);

  platform::FileSystem& fs_;
  std::unique_ptr<CopyBatch> current_;
  std::unique_ptr<CopyBatch> inFlight_;
  std::thread worker_;
  std::mutex doneMutex_;
  std::condition_variable doneChanged_;
  bool done_ = false;  // under doneMutex_: the commit in flight has finished
  std::uint64_t readBackBefore_ = 0;  // by the commits finished
  std::uint64_t nextTicket_ = 1;
  platform::CopyBuffer buffer_;
};

}  // namespace marlowin::pass
