#pragma once

// What a running pass tells about itself, and how it is asked to stop.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace marlowin::report {

// Where one batch of copies ends, in the two figures of the progress: its copies are written
// once bytesCopied reaches `copied`, and read back once bytesReadBack reaches `readBack`. A
// batch is read back while the next one is written; the pass waits for that read-back before it
// hands over the next batch, and a `settle` batch is read back before anything else is written.
struct BatchEnd {
  std::uint64_t copied = 0;
  std::uint64_t readBack = 0;
  bool settle = false;
};
using Batches = std::vector<BatchEnd>;

struct PassProgress {
  enum class Stage {
    kPlanning,   // listing the folders and adding up the clips
    kCopying,    // writing the copies, marking the clips
    kVerifying,  // waiting while copies are read back from the disk and compared with their clips
    kDone,
  };
  Stage stage = Stage::kPlanning;
  std::size_t clipsDone = 0;  // clips whose copies are done (written and proven, or failed)
  std::size_t clipsTotal = 0;
  // The clips' own bytes, counted as their copies are written (a clip with two copies to write
  // counts half of its bytes with each). While planning, bytesToCopy is what was found so far.
  std::uint64_t bytesCopied = 0;
  std::uint64_t bytesToCopy = 0;
  // The copies' bytes read back from the disk to prove them; none without verification.
  std::uint64_t bytesReadBack = 0;
  std::uint64_t bytesToReadBack = 0;
  // A read-back is under way: on its own thread while the next copies are written (stage
  // kCopying), or waited for (kVerifying).
  bool readingBack = false;
  // How the work falls into batches, in order; none: all of it is copied, then read back.
  std::shared_ptr<const Batches> batches;
  std::u16string currentClip;  // the clip being worked on, as a full path; empty between clips
};

// Watches a pass. Both calls come on the thread that runs the pass, between steps of at most
// 64 MiB of a copy or a proof, so they must be quick.
class PassObserver {
 public:
  virtual ~PassObserver() = default;
  virtual void OnProgress(const PassProgress& progress) = 0;
  // True asks the pass to stop: the copy under way is dropped, the clip keeps its name,
  // and the pass reports what it did up to then.
  virtual bool StopRequested() = 0;
};

}  // namespace marlowin::report
