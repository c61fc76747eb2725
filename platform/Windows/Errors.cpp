// Windows error codes (GetLastError) with the system's own texts, mapped to the portable
// std::errc conditions that the program's decisions are written against.
#include <windows.h>

#include <string>

#include "platform/Errors.h"
#include "platform/NativeName.h"
#include "platform/WideString.h"

namespace marlowin::platform {
namespace {

std::errc PortableCondition(int code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return std::errc::no_such_file_or_directory;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return std::errc::file_exists;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return std::errc::permission_denied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return std::errc::device_or_resource_busy;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return std::errc::no_space_on_device;
    case ERROR_DIR_NOT_EMPTY:
      return std::errc::directory_not_empty;
    case ERROR_DIRECTORY:
      return std::errc::not_a_directory;
    case ERROR_FILENAME_EXCED_RANGE:
      return std::errc::filename_too_long;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
      return std::errc::operation_not_supported;
    case ERROR_NOT_SAME_DEVICE:
      return std::errc::cross_device_link;
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_PARAMETER:
      return std::errc::invalid_argument;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return std::errc::not_enough_memory;
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE:
      return std::errc::io_error;
    default:
      return static_cast<std::errc>(0);
  }
}

class WindowsCategory final : public std::error_category {
 public:
  const char* name() const noexcept override { return "windows"; }

  std::string message(int code) const override {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string utf8 = length > 0 ? ToDisplay(FromWide(std::wstring_view(text, length))) : std::string();
    if (text) LocalFree(text);
    if (utf8.empty()) utf8 = "Windows error " + std::to_string(code);
    return utf8;
  }

  std::error_condition default_error_condition(int code) const noexcept override {
    const std::errc portable = PortableCondition(code);
    if (portable == static_cast<std::errc>(0)) return {code, *this};
    return std::make_error_condition(portable);
  }
};

}  // namespace

std::error_code SystemError(int code) {
  static const WindowsCategory category;
  return {code, category};
}

std::error_code LastError() { return SystemError(static_cast<int>(GetLastError())); }

}  // namespace marlowin::platform
