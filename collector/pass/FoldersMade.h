#pragma once

// The folders a pass makes for its copies and the leftovers of a stopped pass that it removes,
// as the plan lists them; after a stop, the folders it made that are still empty go again.
#include <cstdint>
#include <vector>

#include "collector/plan/Plan.h"
#include "collector/report/ProblemList.h"
#include "platform/FileSystem.h"

namespace marlowin::pass {

class FoldersMade {
 public:
  FoldersMade(platform::FileSystem& fs, report::ProblemList& problems) : fs_(fs), problems_(problems) {}

  // A folder the copies need, made (a failure when a copy goes into it, `needed`: the copies
  // then fail too; else a warning); or a leftover of an interrupted pass, removed. `clip` is
  // kNoIndex for the shot's adl folders.
  void MakeOrTidy(const plan::PlanOperation& op, std::uint32_t shot, std::uint32_t clip, bool needed);

  // A folder that holds anything stays, as it should.
  void RemoveEmpty(const plan::Plan& plan);

 private:
  struct Made {
    std::uint32_t shot;
    std::uint32_t clip;    // kNoIndex: the shot's adl folders, else the clip's int folders
    unsigned folders;      // 1 the outer folder, 2 its video folder
    std::size_t destination;
  };
  platform::FileSystem& fs_;
  report::ProblemList& problems_;
  std::vector<Made> made_;
};

}  // namespace marlowin::pass
