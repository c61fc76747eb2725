#include "platform/UserRecords.h"

#include <windows.h>
#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>

#include <vector>

#include "platform/Errors.h"
#include "platform/WideString.h"

namespace marlowin::platform {
namespace {

// %LOCALAPPDATA%, else the shell's local application data folder.
std::error_code LocalAppData(std::u16string& folder) {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) break;
    if (length < buffer.size()) {
      folder = FromWide(std::wstring_view(buffer.data(), length));
      return {};
    }
    buffer.resize(length);
  }
  PWSTR path = nullptr;
  const HRESULT result = SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, &path);
  if (SUCCEEDED(result)) folder = FromWide(path);
  CoTaskMemFree(path);
  if (FAILED(result)) return SystemError(static_cast<int>(result));  // FormatMessage knows HRESULTs too
  return {};
}

}  // namespace

std::error_code ReportsFolder(std::u16string& folder) {
  if (const std::error_code error = LocalAppData(folder)) return error;
  folder += u"\\Marlowin\\reports";
  return {};
}

std::error_code LocalTime(std::chrono::system_clock::time_point moment, CalendarTime& time) {
  // FILETIME counts 100 ns from 1601-01-01; the system clock counts from 1970-01-01.
  constexpr long long kFrom1601To1970 = 116444736000000000LL;
  const long long ticks =
      std::chrono::duration_cast<std::chrono::duration<long long, std::ratio<1, 10000000>>>(moment.time_since_epoch())
          .count() +
      kFrom1601To1970;
  FILETIME utc{static_cast<DWORD>(ticks & 0xFFFFFFFF), static_cast<DWORD>(ticks >> 32)};
  SYSTEMTIME universal{}, local{};
  if (!FileTimeToSystemTime(&utc, &universal) || !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local))
    return LastError();
  time = {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
  return {};
}

}  // namespace marlowin::platform
