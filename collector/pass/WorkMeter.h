#pragma once

// How far a pass is, told to its observer. Two figures, each against its total from the plan:
// the clips' bytes as their copies are written (a clip with two copies to write counts half of its
// bytes with each), and the copies' bytes as they are read back to prove them, which a batch does
// on its own thread while the next one is written: the meter asks how far that read-back is
// whenever it tells. The clips are counted done when their copies are proven (or have failed).
// The plan's batches go with the figures, so that the time left can follow them. A stop asked by
// the observer is remembered.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "collector/plan/Plan.h"
#include "collector/report/Progress.h"
#include "platform/FileSystem.h"

namespace marlowin::pass {

class WorkMeter {
 public:
  explicit WorkMeter(report::PassObserver* observer) : observer_(observer) {}

  report::PassProgress& Progress() { return progress_; }
  // The totals and the batches of the plan, before its first step.
  void Start(const plan::Plan& plan);

  // Tells the observer, with the read-back in flight as far as it is.
  void Tell();
  // Whether the observer asked the pass to stop, now or before.
  bool Stopped();

  // A clip reached, shown by its path; and its copies all handed over, failed or dropped: the
  // copy figure is then at its end. `done`: its work is over now (it waits for no commit).
  void BeginClip(const plan::PlannedClip& clip, const std::u16string& path);
  void EndClip(bool done);
  // Clips handed back by a commit, their copies proven (or failed).
  void ClipsDone(std::size_t clips);

  // One copy being written: the bytes it reports move the copy figure by the clip's share. A step
  // that may be stopped tells a stop asked meanwhile; one that may not goes on to its end.
  class Step final : public platform::ByteObserver {
   public:
    explicit Step(WorkMeter& meter, bool stoppable = true)
        : meter_(meter), base_(meter.progress_.bytesCopied), stoppable_(stoppable) {}
    bool OnBytes(std::uint64_t bytesDone) override;

   private:
    WorkMeter& meter_;
    std::uint64_t base_;
    bool stoppable_;
  };

  // The read-back: `source` tells the bytes read back so far over the pass, and whether a batch
  // is being read back. A batch of `bytes` is handed over; then the pass waits for it (the
  // observer given is told how far it is), and it is done.
  using ReadBackSource = std::function<std::uint64_t(bool& underWay)>;
  void WatchReadBack(ReadBackSource source) { source_ = std::move(source); }
  void BeginReadBack(std::uint64_t bytes);
  platform::ByteObserver* AwaitReadBack();
  void EndReadBack();
  // The bytes read back from the disk so far, whatever came of them.
  std::uint64_t BytesReadBack();

 private:
  class Waiting final : public platform::ByteObserver {
   public:
    explicit Waiting(WorkMeter& meter) : meter_(meter) {}
    bool OnBytes(std::uint64_t) override;

   private:
    WorkMeter& meter_;
  };

  void SetCopied(std::uint64_t bytes);
  void FollowReadBack();

  report::PassObserver* observer_;
  report::PassProgress progress_;
  std::uint64_t clipsEnd_ = 0;       // of the copy figure, once the clip under way is over
  unsigned copiesToWrite_ = 1;       // of the clip under way
  ReadBackSource source_;
  std::uint64_t readBase_ = 0;       // of the read-back figure, where the batch in flight starts
  std::uint64_t readBatch_ = 0;      // its bytes
  std::uint64_t readFrom_ = 0;       // the source's count when it was handed over
  Waiting waiting_{*this};
  bool stopped_ = false;
};

}  // namespace marlowin::pass
