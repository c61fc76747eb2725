#pragma once

// What a running check of a collected tree tells about itself, and how it is asked to stop. A
// display made for a pass's progress shows it through ShownOn: the files read back as its items.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "collector/report/Progress.h"

namespace marlowin::check {

struct CheckProgress {
  enum class Stage {
    kReadingHistory,  // the history read, the recorded files looked up
    kReadingFiles,    // the recorded files read back past the cache and hashed
    kDone,
  };
  Stage stage = Stage::kReadingHistory;
  std::size_t filesDone = 0;
  std::size_t filesTotal = 0;
  std::uint64_t bytesDone = 0;
  std::uint64_t bytesTotal = 0;
  std::u16string currentFile;  // the file being read, as a full path; empty between files
};

// Both calls come on the thread that runs the check, between pieces of at most 4 MiB.
class CheckObserver {
 public:
  virtual ~CheckObserver() = default;
  virtual void OnProgress(const CheckProgress& progress) = 0;
  virtual bool StopRequested() = 0;  // true stops the check; it reports what it read up to then
};

// An observer that shows a check on a display made for a pass (the progress window, the terminal
// line): reading the history as its planning, the files as its items, the reading back as its
// verifying.
std::unique_ptr<CheckObserver> ShownOn(report::PassObserver& display);

}  // namespace marlowin::check
