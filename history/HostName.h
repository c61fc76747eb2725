#pragma once

// The name of this computer, for a generation's <hostname>: gethostname on POSIX, the DNS host
// name (GetComputerNameExW) on Windows.
#include <string>
#include <system_error>

namespace marlowin::history {

// In UTF-8; the system's reason when it cannot be had.
[[nodiscard]] std::error_code HostName(std::string& name);

}  // namespace marlowin::history
