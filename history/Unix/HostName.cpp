// This computer's name from gethostname, which may cut a long name without ending it.
#include "history/HostName.h"

#include <unistd.h>

#include "platform/Errors.h"

namespace marlowin::history {

std::error_code HostName(std::string& name) {
  char buffer[256 + 1] = {};
  if (gethostname(buffer, sizeof buffer - 1) != 0) return platform::LastError();
  name = buffer;
  return {};
}

}  // namespace marlowin::history
