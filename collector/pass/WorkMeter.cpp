#include "collector/pass/WorkMeter.h"

#include <algorithm>

namespace marlowin::pass {
namespace {

using Stage = report::PassProgress::Stage;

// In every destination: the clip's bytes are copied once for all of them, and each copy is read
// back on its own.
unsigned CopiesToWrite(const plan::PlannedClip& clip) {
  unsigned copies = 0;
  for (std::size_t d = 0; d < plan::kMaxDestinations; ++d) {
    copies += (clip.adl[d].action == plan::CopyAction::kWrite ? 1u : 0u) +
              (clip.hasIntCopy && clip.intCopy[d].action == plan::CopyAction::kWrite ? 1u : 0u);
  }
  return copies;
}

// The copies of a clip read back at their commit: those written, and those found in place to be
// proven (only with verification).
unsigned CopiesToReadBack(const plan::PlannedClip& clip, std::size_t destinations, bool verify) {
  if (!verify) return 0;
  const auto proven = [](const plan::PlannedCopy& copy) { return copy.action != plan::CopyAction::kInPlace; };
  unsigned copies = 0;
  for (std::size_t d = 0; d < destinations; ++d) {
    copies += (proven(clip.adl[d]) ? 1u : 0u) + (clip.hasIntCopy && proven(clip.intCopy[d]) ? 1u : 0u);
  }
  return copies;
}

}  // namespace

void WorkMeter::Start(const plan::Plan& plan) {
  auto batches = std::make_shared<report::Batches>();
  report::BatchEnd end;
  for (const plan::Step& step : plan.steps) {
    if (step.kind == plan::StepKind::kClip) {
      const plan::PlannedClip& clip = plan.shots[step.shot].clips[step.index];
      if (clip.blocked) continue;
      if (CopiesToWrite(clip) > 0) end.copied += clip.size;
      end.readBack += clip.size * CopiesToReadBack(clip, plan.destinations.size(), plan.settings.verify);
    } else if ((step.kind == plan::StepKind::kCommit || step.kind == plan::StepKind::kSettle) && step.index != 0) {
      end.settle = step.kind == plan::StepKind::kSettle;
      batches->push_back(end);
    }
  }
  progress_ = report::PassProgress{};
  progress_.stage = Stage::kCopying;
  progress_.clipsTotal = plan.clips;
  progress_.bytesToCopy = end.copied;
  progress_.bytesToReadBack = end.readBack;
  progress_.batches = std::move(batches);
  clipsEnd_ = 0;
}

void WorkMeter::FollowReadBack() {
  if (!source_) return;
  bool underWay = false;
  const std::uint64_t read = source_(underWay);
  progress_.readingBack = underWay && readBatch_ > 0;
  if (readBatch_ == 0) return;
  const std::uint64_t inBatch = std::min(read - std::min(read, readFrom_), readBatch_);
  progress_.bytesReadBack = std::max(progress_.bytesReadBack, readBase_ + inBatch);
}

void WorkMeter::Tell() {
  FollowReadBack();
  if (observer_) observer_->OnProgress(progress_);
}

bool WorkMeter::Stopped() {
  if (!stopped_ && observer_ && observer_->StopRequested()) stopped_ = true;
  return stopped_;
}

void WorkMeter::BeginClip(const plan::PlannedClip& clip, const std::u16string& path) {
  copiesToWrite_ = std::max(CopiesToWrite(clip), 1u);
  if (CopiesToWrite(clip) > 0) clipsEnd_ += clip.size;
  progress_.currentClip = path;
  Tell();
}

void WorkMeter::EndClip(bool done) {
  SetCopied(clipsEnd_);
  if (done) ++progress_.clipsDone;
  Tell();
}

void WorkMeter::ClipsDone(std::size_t clips) {
  if (clips == 0) return;
  progress_.clipsDone += clips;
  Tell();
}

void WorkMeter::SetCopied(std::uint64_t bytes) {
  // Only forward, and never past the clip under way.
  progress_.bytesCopied = std::max(progress_.bytesCopied, std::min(bytes, clipsEnd_));
}

bool WorkMeter::Step::OnBytes(std::uint64_t bytesDone) {
  meter_.SetCopied(base_ + bytesDone / meter_.copiesToWrite_);
  meter_.Tell();
  const bool stopped = meter_.Stopped();  // asked either way, so that a stop is seen at once
  return !stoppable_ || !stopped;
}

void WorkMeter::BeginReadBack(std::uint64_t bytes) {
  readBase_ = progress_.bytesReadBack;
  readBatch_ = bytes;
  bool underWay = false;
  readFrom_ = source_ ? source_(underWay) : 0;
  progress_.readingBack = bytes > 0;
}

platform::ByteObserver* WorkMeter::AwaitReadBack() {
  progress_.currentClip.clear();
  if (readBatch_ > 0) progress_.stage = Stage::kVerifying;
  Tell();
  return &waiting_;
}

bool WorkMeter::Waiting::OnBytes(std::uint64_t) {
  meter_.Tell();
  (void)meter_.Stopped();  // a stop is seen at once; the proofs of copies written go on
  return true;
}

void WorkMeter::EndReadBack() {
  // Copies that failed before their proof are not read: the batch is done all the same.
  progress_.bytesReadBack = std::max(progress_.bytesReadBack, readBase_ + readBatch_);
  readBase_ = progress_.bytesReadBack;
  readBatch_ = 0;
  progress_.readingBack = false;
  if (progress_.stage == Stage::kVerifying) progress_.stage = Stage::kCopying;
  Tell();
}

std::uint64_t WorkMeter::BytesReadBack() {
  bool underWay = false;
  return source_ ? source_(underWay) : 0;
}

}  // namespace marlowin::pass
