#pragma once

// What is wrong with a folder the person chose, in one wording wherever it is told: the pass's
// starting and destination folders and the folder --check reads.
#include <string>
#include <system_error>

namespace marlowin::report {

// "PATH: not found", "PATH: not a folder", or "PATH: cannot be opened: REASON" (no permission, a
// bad disk). The path as QuotedName shows it.
std::u16string FolderProblemText(const std::u16string& path, const std::error_code& reason);

}  // namespace marlowin::report
