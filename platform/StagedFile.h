#pragma once

// A file written whole before anyone sees it: under a temporary name in its folder, flushed to
// the disk, then put in place under its own name in one step. Whatever fails on the way, and a
// file never put in place, leaves only the temporary, which goes with the object. The history's
// files and the reports of passes are written this way, through the file-system seam.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/FileSystem.h"

namespace marlowin::platform {

class StagedFile {
 public:
  StagedFile(FileSystem& fs, std::u16string folder) : fs_(fs), folder_(std::move(folder)) {}
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;
  ~StagedFile();

  [[nodiscard]] std::error_code Create();
  [[nodiscard]] std::error_code Write(std::string_view bytes);
  // Given these permission bits (where the system keeps them) and the time now, flushed to the
  // disk and closed.
  [[nodiscard]] std::error_code Finish(std::uint32_t permissions = 0644);
  // Under `path`; a file there is replaced only when `replace` says so (else
  // std::errc::file_exists, and the temporary stays for another name).
  [[nodiscard]] std::error_code PutInPlace(const std::u16string& path, bool replace);

 private:
  FileSystem& fs_;
  std::u16string folder_;
  std::u16string path_;  // the temporary's, while there is one
  std::unique_ptr<OpenFile> file_;
};

}  // namespace marlowin::platform
