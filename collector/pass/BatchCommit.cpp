#include "collector/pass/BatchCommit.h"

#include <algorithm>

#include "platform/Errors.h"
#include "platform/Paths.h"

namespace marlowin::pass {

BatchCommit::BatchCommit(platform::FileSystem* fs, WorkMeter* meter, bool verify)
    : queue_(fs ? std::make_unique<CopyQueue>(*fs) : nullptr), meter_(meter), verify_(verify) {
  if (meter_ && queue_) meter_->WatchReadBack([this](bool& underWay) { return queue_->ReadBack(underWay); });
}

void BatchCommit::BeginClip(std::uint32_t shot, std::uint32_t clip, std::size_t tag) {
  open_ = Waiting{};
  open_.clip.shot = shot;
  open_.clip.clip = clip;
  open_.clip.tag = tag;
}

std::error_code BatchCommit::Copy(bool intCopy, const std::u16string& from, const std::u16string& to,
                                  const CopyQueue::Mode& mode, std::uint64_t proofBytes,
                                  platform::ByteObserver* progress) {
  if (queue_) {
    if (const std::error_code error = queue_->Copy(from, to, mode, progress, Ticket(intCopy))) return error;
  } else {
    dryTargets_.push_back(to);
  }
  Result(intCopy).handed = Result(intCopy).written = true;
  batchProofBytes_ += proofBytes;
  staged_ = true;
  return {};
}

std::error_code BatchCommit::CopyFromAdl(const std::u16string& to, std::uint64_t proofBytes,
                                         platform::ByteObserver* progress) {
  if (queue_) {
    if (const std::error_code error = queue_->CopyOfQueued(open_.adlTicket, to, verify_, progress, open_.intTicket)) {
      return error;
    }
  } else {
    dryTargets_.push_back(to);
  }
  open_.clip.intCopy.handed = open_.clip.intCopy.written = true;
  batchProofBytes_ += proofBytes;
  staged_ = true;
  return {};
}

void BatchCommit::Prove(bool intCopy, const std::u16string& clip, const std::u16string& target, bool keep,
                        std::uint64_t proofBytes) {
  if (queue_) Ticket(intCopy) = queue_->Prove(clip, target, keep);
  Result(intCopy).handed = true;
  batchProofBytes_ += proofBytes;
  staged_ = true;
}

std::string BatchCommit::ClipHash(bool intCopy) { return queue_ ? queue_->HashOf(Ticket(intCopy)) : std::string(); }

void BatchCommit::Drop(bool intCopy) {
  if (queue_) queue_->Drop(Ticket(intCopy));
  Ticket(intCopy) = 0;
  Result(intCopy) = CopyResult{};
}

void BatchCommit::EndClip(bool waits) {
  if (waits) current_.push_back(std::move(open_));
  open_ = Waiting{};
}

void BatchCommit::Finish(std::vector<CommittedClip>& done) {
  if (committing_) {
    committing_ = false;
    std::vector<CopyOutcome> outcomes;
    if (queue_) {
      // Copies written are proven and put in place even after a stop: their clips are marked.
      queue_->FinishCommit(outcomes, meter_ ? meter_->AwaitReadBack() : nullptr);
      if (meter_) meter_->EndReadBack();
    }
    for (CopyOutcome& outcome : outcomes) outcomes_[outcome.ticket] = std::move(outcome);
    dryInFlight_.clear();
  }
  Conclude(inFlight_, done);
}

void BatchCommit::Conclude(std::vector<Waiting>& clips, std::vector<CommittedClip>& done) {
  const auto take = [this](std::uint64_t ticket, CopyResult& result) {
    if (!result.handed || !queue_) return;
    const auto found = outcomes_.find(ticket);
    if (found == outcomes_.end()) {
      result.error = platform::Errc::kCancelled;  // its commit never came: the pass was stopped
      return;
    }
    result.error = found->second.error;
    result.hash = std::move(found->second.hash);
    outcomes_.erase(found);
  };
  for (Waiting& waiting : clips) {
    take(waiting.adlTicket, waiting.clip.adl);
    take(waiting.intTicket, waiting.clip.intCopy);
    done.push_back(std::move(waiting.clip));
  }
  clips.clear();
}

std::vector<CommittedClip> BatchCommit::Commit(bool staged) {
  std::vector<CommittedClip> done;
  Finish(done);
  if (staged) {
    if (queue_ && meter_) meter_->BeginReadBack(batchProofBytes_);
    if (queue_) queue_->BeginCommit();
    committing_ = true;
    inFlight_ = std::move(current_);
    dryInFlight_ = std::move(dryTargets_);
  } else {
    Conclude(current_, done);
  }
  current_.clear();
  dryTargets_.clear();
  batchProofBytes_ = 0;
  staged_ = false;
  return done;
}

std::vector<CommittedClip> BatchCommit::Settle(bool staged) {
  std::vector<CommittedClip> done = Commit(staged);
  Finish(done);
  return done;
}

bool BatchCommit::HasCopiesIn(const std::u16string& folder) const {
  if (queue_) return queue_->HasCopiesIn(folder);
  const std::u16string prefix = platform::FoldAToZ(folder) + platform::kPathSeparator;
  for (const std::vector<std::u16string>* targets : {&dryTargets_, &dryInFlight_}) {
    for (const std::u16string& target : *targets) {
      if (platform::FoldAToZ(target).starts_with(prefix)) return true;
    }
  }
  return false;
}

}  // namespace marlowin::pass
