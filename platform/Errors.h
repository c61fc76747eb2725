#pragma once

#include <string>
#include <system_error>

namespace marlowin::platform {

// Reasons of our own, for failures that no operating-system code describes.
enum class Errc {
  kCancelled = 1,         // the person stopped the pass
  kSourceChanged,         // the clip's size or time changed while it was copied
  kCopyDiffers,           // the copy read back from the disk differs from the source
  kNotARegularFile,       // a device, pipe or socket where a clip must be a file
  kFolderInUse,           // another pass holds the folder
  kLeftoverInUse,         // a temporary that a running pass still holds
  kDestinationGone,       // the copy to folder is no longer the folder the pass started with
  kStartingFolderGone,    // the starting folder is no longer the folder the pass started with
  kBackupGone,            // the backup folder is no longer the folder the pass started with
  kThroughLink,           // a link on the way to a copy: nothing is written through one
  kClipChanged,           // the clip is no longer what its copies were made from
  kRecordedCopyDiffers,   // the destination's history records other bytes at the copy's name
};

const std::error_category& MarlowinCategory();

inline std::error_code make_error_code(Errc e) {
  return {static_cast<int>(e), MarlowinCategory()};
}


// The reason of the last failed system call: errno on POSIX, GetLastError on Windows.
std::error_code LastError();

// The code of a POSIX errno value, or of a Windows error (GetLastError) on Windows. Codes of
// both compare equal to the portable std::errc values where there is one (ERROR_FILE_NOT_FOUND
// == std::errc::no_such_file_or_directory), so the program's own decisions are written once.
std::error_code SystemError(int code);

// The code's text for people, in UTF-8: "No space left on device".
std::string Describe(const std::error_code& error);

}  // namespace marlowin::platform

template <>
struct std::is_error_code_enum<marlowin::platform::Errc> : std::true_type {};
