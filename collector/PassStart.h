#pragma once

#include <memory>
#include <vector>

#include "collector/Plan.h"
#include "collector/Report.h"
#include "platform/FileSystem.h"

namespace marlowin {

// Checks that both folders are there and are folders, that neither lies inside the other (nor
// are they one), holds both against other passes and lists the starting folder. False when the
// pass cannot start: the report then holds the outcome and its reason.
[[nodiscard]] bool OpenFolders(sys::FileSystem& fs, PassReport& report,
                               std::vector<std::unique_ptr<sys::FolderLock>>& locks,
                               std::vector<sys::FolderEntry>& entries);

// Whether every destination volume of the plan has room for the copies it is to take, with a
// margin for folders and records; false with Outcome::kNoRoom and the figures in the report.
[[nodiscard]] bool HasRoom(sys::FileSystem& fs, const Plan& plan, PassReport& report);

}  // namespace marlowin
