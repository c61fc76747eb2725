#include <cerrno>

#include "platform/Errors.h"

namespace marlowin::platform {

std::error_code LastError() { return SystemError(errno); }

// errno values are the generic category's own, so they compare equal to std::errc.
std::error_code SystemError(int code) { return {code, std::generic_category()}; }

}  // namespace marlowin::platform
