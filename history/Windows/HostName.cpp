// This computer's DNS host name from GetComputerNameExW, asked twice when it is long.
#include "history/HostName.h"

#include <windows.h>

#include "platform/Errors.h"
#include "platform/NativeName.h"
#include "platform/WideString.h"

namespace marlowin::history {

std::error_code HostName(std::string& name) {
  std::u16string wide(64, u'\0');
  DWORD size = static_cast<DWORD>(wide.size());
  if (!GetComputerNameExW(ComputerNameDnsHostname, platform::AsWide(wide.data()), &size)) {
    if (GetLastError() != ERROR_MORE_DATA) return platform::LastError();
    wide.resize(size);  // the length needed, with the ending null
    if (!GetComputerNameExW(ComputerNameDnsHostname, platform::AsWide(wide.data()), &size)) return platform::LastError();
  }
  wide.resize(size);  // the length written, without the ending null
  name = platform::ToNativeName(wide);
  return {};
}

}  // namespace marlowin::history
