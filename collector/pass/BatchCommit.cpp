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

std::error_code BatchCommit::Copy(std::size_t d, bool intCopy, const std::u16string& from, const std::u16string& to,
                                  const CopyQueue::Mode& mode, std::uint64_t proofBytes,
                                  platform::ByteObserver* progress) {
  if (queue_) {
    if (const std::error_code error = queue_->Copy(from, to, mode, progress, Ticket(d, intCopy))) return error;
  }
  Staged(d, intCopy, to, proofBytes);
  return {};
}

std::error_code BatchCommit::CopyFromAdl(std::size_t of, std::size_t d, bool intCopy, const std::u16string& to,
                                         std::uint64_t proofBytes, platform::ByteObserver* progress) {
  if (queue_) {
    if (const std::error_code error = queue_->CopyOfQueued(open_.adlTicket[of], to, verify_, progress, Ticket(d, intCopy))) {
      return error;
    }
  }
  Staged(d, intCopy, to, proofBytes);
  return {};
}

void BatchCommit::Staged(std::size_t d, bool intCopy, const std::u16string& to, std::uint64_t proofBytes) {
  if (!queue_) dryTargets_.push_back(to);
  Result(d, intCopy).handed = Result(d, intCopy).written = true;
  batchProofBytes_ += proofBytes;
  staged_ = true;
}

void BatchCommit::Prove(std::size_t d, bool intCopy, const std::u16string& clip, const std::u16string& target, bool keep,
                        std::uint64_t proofBytes) {
  if (queue_) Ticket(d, intCopy) = queue_->Prove(clip, target, keep);
  Result(d, intCopy).handed = true;
  batchProofBytes_ += proofBytes;
  staged_ = true;
}

std::string BatchCommit::ClipHash(std::size_t d, bool intCopy) {
  return queue_ ? queue_->HashOf(Ticket(d, intCopy)) : std::string();
}

void BatchCommit::Drop(std::size_t d, bool intCopy) {
  if (queue_) queue_->Drop(Ticket(d, intCopy));
  Ticket(d, intCopy) = 0;
  Result(d, intCopy) = CopyResult{};
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
    for (std::size_t d = 0; d < plan::kMaxDestinations; ++d) {
      take(waiting.adlTicket[d], waiting.clip.adl[d]);
      take(waiting.intTicket[d], waiting.clip.intCopy[d]);
    }
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
