#pragma once

// The clips a pass is about to copy, read into the system's cache a little ahead of the copy, on
// a thread of its own. A card reader is slower than the disks written to, so its time is the
// pass's: it is kept busy while the copy waits on a destination (a flush, a journal, the slower
// of two disks) and the copy then finds the clip's bytes in the cache. It runs no more than a
// window ahead of the copy, so what it read is still cached when the copy comes, and each byte
// is read from the card once. It changes nothing and fails nothing: a clip it cannot read is
// left to the copy, which meets the fault itself. It follows the plan's steps as the pass does,
// keeping nothing per clip (a plan of 60,000 clips stays small); the plan does not change
// while it runs.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "collector/plan/Plan.h"
#include "platform/FileSystem.h"

namespace marlowin::pass {

class CacheAhead {
 public:
  // Reads `length` bytes of the file from `offset` into the cache; `got` is less at its end. An
  // empty path tells that the reads of a clip are over: nothing is held open on the card.
  using Reader = std::function<std::error_code(const std::u16string& path, std::uint64_t offset, std::uint64_t length,
                                               std::uint64_t& got)>;
  static constexpr std::uint64_t kWindow = 128ull << 20;  // 1.4 s of a UHS-I card, 0.4 s of a fast reader
  static constexpr std::uint64_t kStep = 4ull << 20;
  // Smaller clips are left to the copy: reading them ahead would cost an open each, and their
  // bytes are no time.
  static constexpr std::uint64_t kLeastClip = 1ull << 20;

  // Starts reading the clips of `plan` the pass reads from the starting folder, in its order;
  // an empty `reader` reads through the platform's files.
  explicit CacheAhead(const plan::Plan& plan, Reader reader = {}, std::uint64_t window = kWindow,
                     std::uint64_t step = kStep, std::uint64_t leastClip = kLeastClip);
  CacheAhead(const CacheAhead&) = delete;
  CacheAhead& operator=(const CacheAhead&) = delete;
  ~CacheAhead();  // stops, and waits for the read under way

  // The copy begins the clip (shot, clip). Clips come in the plan's order; one not read ahead
  // moves nothing, and one the pass skipped is passed over.
  void BeginClip(std::uint32_t shot, std::uint32_t clip);
  // The copy has read `offset` bytes of the clip it began.
  void Copied(std::uint64_t offset);

  // A copy's progress, told to `work` and followed by `ahead` (when there is one).
  class Follower final : public platform::ByteObserver {
   public:
    Follower(CacheAhead* ahead, platform::ByteObserver& work) : ahead_(ahead), work_(work) {}
    bool OnBytes(std::uint64_t done) override {
      if (ahead_) ahead_->Copied(done);
      return work_.OnBytes(done);
    }

   private:
    CacheAhead* ahead_;
    platform::ByteObserver& work_;
  };

 private:
  // Where one of the two threads is in the plan: the step of its clip, the bytes of the clips
  // read ahead before it.
  struct Cursor {
    std::size_t step = 0;
    std::uint64_t start = 0;
  };
  bool ReadsAhead(const plan::Step& step) const;
  // Moves `cursor` to the next clip read ahead at or after it; false at the plan's end.
  bool Next(Cursor& cursor) const;
  const plan::PlannedClip& ClipOf(const Cursor& cursor) const;
  void Run();

  const plan::Plan& plan_;
  Reader reader_;
  std::uint64_t window_;
  std::uint64_t step_;
  std::uint64_t leastClip_;
  Cursor copy_;           // the clip the copy reads, on the copy's thread
  bool following_ = false;  // that clip is read ahead
  std::mutex mutex_;
  std::condition_variable moved_;
  std::uint64_t position_ = 0;  // under mutex_: how far the copy has come in the clips read ahead
  bool stop_ = false;           // under mutex_
  std::thread worker_;
};

// Whether the pass reads the clip from the starting folder: a copy of it written from the clip
// itself (not from another copy).
bool ReadFromStart(const plan::Plan& plan, const plan::PlannedClip& clip);

}  // namespace marlowin::pass
