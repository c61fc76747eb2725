#pragma once

#include <memory>
#include <vector>

#include "collector/plan/Plan.h"
#include "collector/report/Report.h"
#include "platform/FileSystem.h"

namespace marlowin::pass {

// Checks that both folders are there and are folders, that neither lies inside the other (nor
// are they one), holds both against other passes and lists the starting folder. False when the
// pass cannot start: the report then holds the outcome and its reason.
[[nodiscard]] bool OpenFolders(platform::FileSystem& fs, report::PassReport& report,
                               std::vector<std::unique_ptr<platform::FolderLock>>& locks,
                               std::vector<platform::FolderEntry>& entries);

// Whether every destination volume of the plan has room for the copies it is to take, with a
// margin for folders and records; false with Outcome::kNoRoom and the figures in the report.
[[nodiscard]] bool HasRoom(platform::FileSystem& fs, const plan::Plan& plan, report::PassReport& report);

}  // namespace marlowin::pass
