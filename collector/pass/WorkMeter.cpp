#include "collector/pass/WorkMeter.h"

#include <algorithm>

namespace marlowin::pass {

void WorkMeter::Start(std::uint64_t work, std::size_t clips, std::uint64_t clipBytes) {
  total_ = work;
  progress_.clipsTotal = clips;
  progress_.bytesTotal = clipBytes;
}

void WorkMeter::Tell() {
  if (observer_) observer_->OnProgress(progress_);
}

bool WorkMeter::Stopped() {
  if (!stopped_ && observer_ && observer_->StopRequested()) stopped_ = true;
  return stopped_;
}

void WorkMeter::SetDone(std::uint64_t work) {
  done_ = std::max(done_, work);
  const std::uint64_t done = std::min(done_, total_);
  progress_.bytesDone = total_ == 0 ? 0
                                    : static_cast<std::uint64_t>(static_cast<long double>(progress_.bytesTotal) *
                                                                 static_cast<long double>(done) /
                                                                 static_cast<long double>(total_));
  Tell();
}

bool WorkMeter::Step::OnBytes(std::uint64_t bytesDone) {
  meter_.SetDone(base_ + bytesDone);
  const bool stopped = meter_.Stopped();  // asked either way, so that a stop is seen at once
  return !stoppable_ || !stopped;
}

void WorkMeter::Step::Done(std::uint64_t bytes) { meter_.SetDone(base_ + bytes); }

}  // namespace marlowin::pass
