#pragma once

// How far a pass is, told to its observer: the clips done, and the work (bytes copied, and
// proven with verification) shown as a share of the clips' own bytes. Each step of work counts
// its bytes as it goes and all of them when it is done, so the figure only grows. A stop asked by
// the observer is remembered.
#include <cstdint>

#include "collector/report/Progress.h"
#include "platform/FileSystem.h"

namespace marlowin::pass {

class WorkMeter {
 public:
  explicit WorkMeter(report::PassObserver* observer) : observer_(observer) {}

  report::PassProgress& Progress() { return progress_; }
  // The totals of the plan: the work in bytes, the clips and their bytes.
  void Start(std::uint64_t work, std::size_t clips, std::uint64_t clipBytes);

  void Tell();
  // Whether the observer asked the pass to stop, now or before.
  bool Stopped();

  // One step of work: the bytes it reports are added to what was done before it. A step that
  // may be stopped tells a stop asked meanwhile; one that may not (proving copies already
  // written) goes on to its end.
  class Step final : public platform::ByteObserver {
   public:
    explicit Step(WorkMeter& meter, bool stoppable = true)
        : meter_(meter), base_(meter.done_), stoppable_(stoppable) {}
    bool OnBytes(std::uint64_t bytesDone) override;
    void Done(std::uint64_t bytes);

   private:
    WorkMeter& meter_;
    std::uint64_t base_;
    bool stoppable_;
  };

 private:
  void SetDone(std::uint64_t work);

  report::PassObserver* observer_;
  report::PassProgress progress_;
  std::uint64_t total_ = 0;
  std::uint64_t done_ = 0;
  bool stopped_ = false;
};

}  // namespace marlowin::pass
