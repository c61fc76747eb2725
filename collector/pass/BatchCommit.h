#pragma once

// The one owner of a pass's commits. It takes each clip's copies as they are made (written under
// a temporary name, or found in place to be proven), commits them in batches at the plan's commit
// points (one batch proven and put in place on a thread of its own while the next is copied) and
// hands back each clip with what became of its copies, in the order the clips came. Without a
// file system it is a dry run's: nothing is read or written, every copy goes, and the clips come
// back at the very points a pass's would.
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <system_error>
#include <unordered_map>
#include <vector>

#include "collector/pass/CopyQueue.h"
#include "collector/pass/WorkMeter.h"
#include "collector/plan/Plan.h"
#include "platform/FileSystem.h"

namespace marlowin::pass {

// What became of one copy of a clip.
struct CopyResult {
  bool handed = false;    // the clip has this copy in its batch (written, or found in place and proven)
  bool written = false;   // written in this pass; else found in place and proven
  bool replaced = false;  // found in place differing from its clip, and replaced (CopyMender)
  std::error_code error;  // why it is not in place or not proven; Errc::kCancelled: stopped before its proof
  std::string hash;       // of the clip's bytes, as `xxhsum -H2` prints it, when they were hashed
};

struct CommittedClip {
  std::uint32_t shot = 0;
  std::uint32_t clip = 0;
  std::size_t tag = 0;    // the pass's own, handed in with the clip
  bool failed = false;    // a copy of it failed before its commit (and said so): it is not marked
  plan::PerDestination<CopyResult> adl;      // in each destination
  plan::PerDestination<CopyResult> intCopy;
};

class BatchCommit {
 public:
  // Copies through `fs`, or nothing at all (a dry run) without it; `meter`, when given, is told
  // of the read-back of each batch, as it runs and when it is waited for.
  BatchCommit(platform::FileSystem* fs, WorkMeter* meter, bool verify);
  BatchCommit(const BatchCommit&) = delete;
  BatchCommit& operator=(const BatchCommit&) = delete;

  // A clip's copies are handed over between BeginClip and EndClip; `proofBytes` is what reading
  // a copy back will cost, for the progress.
  void BeginClip(std::uint32_t shot, std::uint32_t clip, std::size_t tag);
  // Each copy is one of destination `d`: its adl copy or its int copy.
  [[nodiscard]] std::error_code Copy(std::size_t d, bool intCopy, const std::u16string& from, const std::u16string& to,
                                     const CopyQueue::Mode& mode, std::uint64_t proofBytes,
                                     platform::ByteObserver* progress);
  // A copy made from this clip's adl copy in destination `of`, just written (so the clip is read
  // once, and the copy is read from the cache): the int copy of the same destination, or the adl
  // copy of the other. It stands for the same clip and is proven against the clip's bytes.
  [[nodiscard]] std::error_code CopyFromAdl(std::size_t of, std::size_t d, bool intCopy, const std::u16string& to,
                                            std::uint64_t proofBytes, platform::ByteObserver* progress);
  // Whether destination `d`'s adl copy of the clip was just written, to copy others from.
  bool AdlWritten(std::size_t d) const { return open_.clip.adl[d].written && open_.adlTicket[d] != 0; }
  // A copy found in place, proven against the clip at its commit; `keep`: never removed, even
  // when it differs (a copy the destination's history records).
  void Prove(std::size_t d, bool intCopy, const std::u16string& clip, const std::u16string& target, bool keep,
             std::uint64_t proofBytes);
  // The clip's hash, as its copy just written learnt it; empty when not hashed.
  std::string ClipHash(std::size_t d, bool intCopy);
  // A copy just written that must not go in place after all: its temporary goes.
  void Drop(std::size_t d, bool intCopy);
  // A copy of the clip failed before its commit: it comes back, but is not to be marked.
  void FailClip() { open_.clip.failed = true; }
  // The clip waits for its batch, or, `waits` false (its adl copy failed, or a stop came during
  // a copy), it is not concluded at all; copies of it already made are still put in place.
  void EndClip(bool waits);

  // A commit point of the plan: the batch in flight is finished and its clips handed back; the
  // clips since the last point are committed (`staged`), or handed back at once.
  std::vector<CommittedClip> Commit(bool staged);
  // The same, and that commit finished too: everything handed over comes back.
  std::vector<CommittedClip> Settle(bool staged);

  // Whether a copy not yet in place has its target in this folder.
  bool HasCopiesIn(const std::u16string& folder) const;
  // Copies handed over since the last commit point.
  bool Staged() const { return staged_; }

 private:
  struct Waiting {
    CommittedClip clip;
    plan::PerDestination<std::uint64_t> adlTicket{};
    plan::PerDestination<std::uint64_t> intTicket{};
  };
  void Finish(std::vector<CommittedClip>& done);
  void Conclude(std::vector<Waiting>& clips, std::vector<CommittedClip>& done);
  CopyResult& Result(std::size_t d, bool intCopy) { return intCopy ? open_.clip.intCopy[d] : open_.clip.adl[d]; }
  std::uint64_t& Ticket(std::size_t d, bool intCopy) { return intCopy ? open_.intTicket[d] : open_.adlTicket[d]; }
  void Staged(std::size_t d, bool intCopy, const std::u16string& to, std::uint64_t proofBytes);

  std::unique_ptr<CopyQueue> queue_;  // none in a dry run
  WorkMeter* meter_;
  bool verify_;
  Waiting open_;                      // the clip whose copies are being handed over
  std::vector<Waiting> current_;      // handed over since the last commit point
  std::vector<Waiting> inFlight_;     // their commit runs
  bool committing_ = false;
  bool staged_ = false;
  std::uint64_t batchProofBytes_ = 0;
  std::unordered_map<std::uint64_t, CopyOutcome> outcomes_;  // of the commit just finished, by ticket
  std::vector<std::u16string> dryTargets_;  // a dry run's copies not yet in place
  std::vector<std::u16string> dryInFlight_;
};

}  // namespace marlowin::pass
