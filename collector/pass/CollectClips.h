#pragma once

// Room collector/pass (marlowin::pass): the pass itself: its folders held, its copies made and
// committed in batches (BatchCommit), its clips recorded and marked (Conclusion), and its dry
// run. Uses every room below it: plan/, report/, naming/, recorder/, history/, platform/.
//

// The collection pass: its options and its one entry point, which returns the report of what it
// did. How it goes is told at the top of CollectClips.cpp.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "collector/plan/Plan.h"
#include "collector/report/Progress.h"
#include "collector/report/Report.h"
#include "platform/FileSystem.h"

namespace marlowin::pass {

struct PassOptions {
  // Prove every copy by reading it back from the disk before its clip is marked.
  bool verify = true;
  // Keep a record of every clip in the report (with its hash), as --json shows it.
  bool recordClips = false;
  report::PassObserver* observer = nullptr;
  // Copies are put in place and their clips marked in batches of this many bytes or copies,
  // whichever comes first: one flush of the disk for many copies.
  std::uint64_t batchBytes = 1ull << 30;
  std::size_t batchCopies = 256;
  // Towards the end the batches shrink, down to this many bytes, so that little is left to prove
  // after the last clip is read.
  std::uint64_t leastLastBatch = 64ull << 20;
  // Told the plan once it is built, before anything is done.
  std::function<void(const plan::Plan&)> onPlan;
  // Only the plan: nothing is done; each operation the pass would perform is told to
  // `printLine`, one a line ("mkdir PATH", "copy FROM -> TO", ...), and the report tells what the
  // plan knows.
  bool dryRun = false;
  std::function<void(const std::string& line)> printLine;
  // Add a generation to the ASC MHL history of the destination folder (its ascmhl folder) when
  // the pass writes or proves any copy; its clips are then marked only once their copies are
  // recorded. The history is read either way: the copies it records are never replaced.
  bool keepHistory = false;
  // A second destination: the same tree, by the same rules, with its own history. Each clip is
  // read once for both, and marked only once its copies in both are proven and recorded.
  std::u16string backupFolder;
  // The mend of damaged copies (marlowin-collect --reverify): every copy found in place is read
  // back against its clip, also when the clip carries the mark, and one that differs is replaced
  // by a proven copy of the clip (CopyMender). Recorded copies whose clip is gone are named.
  bool reverify = false;
};

// One collection pass from the starting folder into the destination folder, and its report.
report::PassReport CollectClips(platform::FileSystem& fs, std::u16string startingFolder, std::u16string destinationFolder,
                        const PassOptions& options = {});

}  // namespace marlowin::pass
