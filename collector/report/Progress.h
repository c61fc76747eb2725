#pragma once

// What a running pass tells about itself, and how it is asked to stop.
#include <cstddef>
#include <cstdint>
#include <string>

namespace marlowin::report {

struct PassProgress {
  enum class Stage {
    kPlanning,  // listing the folders and adding up the clips
    kCopying,   // copying, proving and marking the clips
    kDone,
  };
  Stage stage = Stage::kPlanning;
  std::size_t clipsDone = 0;  // clips whose work is over, collected or not
  std::size_t clipsTotal = 0;
  std::uint64_t bytesDone = 0;  // of the clips' own bytes; grows as they are copied and proven
  std::uint64_t bytesTotal = 0;
  std::u16string currentClip;  // the clip being worked on, as a full path; empty between clips
  // In the copying stage: the copies are being read back from the disk and compared with their
  // clips (currentClip is then the clip whose copy is read, or empty for a batch of them).
  bool verifying = false;
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
