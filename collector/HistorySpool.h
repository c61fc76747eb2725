#pragma once

// The copies a pass records for the destination's history, kept in a temporary file of the
// history folder until the pass ends and read back once in the same order: a pass of any size
// holds none of them in memory.
#include <cstdint>
#include <memory>
#include <string>
#include <system_error>

#include "collector/CopyLog.h"
#include "platform/FileSystem.h"

namespace marlowin {

class HistorySpool {
 public:
  explicit HistorySpool(sys::FileSystem& fs) : fs_(fs) {}
  ~HistorySpool();  // the file goes with it
  HistorySpool(const HistorySpool&) = delete;
  HistorySpool& operator=(const HistorySpool&) = delete;

  [[nodiscard]] std::error_code Create(const std::u16string& folder);
  bool Created() const { return !path_.empty(); }
  const std::u16string& Path() const { return path_; }
  // Closes and removes the file.
  void Discard();
  // A copy, its path relative to the destination.
  [[nodiscard]] std::error_code Append(const LoggedCopy& copy);
  std::uint64_t Count() const { return count_; }

  // From the first copy appended; `got` is false after the last.
  [[nodiscard]] std::error_code Rewind();
  [[nodiscard]] std::error_code Next(LoggedCopy& copy, bool& got);

 private:
  // Reads the next piece of the file once the buffer is taken; an empty buffer at its end.
  [[nodiscard]] std::error_code Refill();
  [[nodiscard]] std::error_code Take(void* into, std::size_t size);

  sys::FileSystem& fs_;
  std::u16string path_;
  std::unique_ptr<sys::OpenFile> file_;
  std::string buffer_;       // written, not yet in the file; or read, not yet taken
  std::size_t taken_ = 0;    // of buffer_ while reading
  bool reading_ = false;
  std::uint64_t count_ = 0;
};

}  // namespace marlowin
