#pragma once

// The copies a pass records for the destination's history, kept in a file of the history folder
// until the pass ends and its generation is written from it. The file is the pass's record until
// then: a batch's copies are flushed to it before their clips are marked, so a pass killed at any
// moment leaves in it every copy whose clip it marked, and the next pass writes the generation
// from what it left. Each record carries its own checksum: a record cut short by a kill (never one
// a mark depends on) ends the file. A pass of any size holds none of the copies in memory.
#include <cstdint>
#include <memory>
#include <string>
#include <system_error>

#include "recorder/CopyLog.h"
#include "platform/FileSystem.h"

namespace marlowin::recorder {

// Who wrote the spool and how: what its generation says of the pass.
struct SpoolHeader {
  platform::FileTime started;   // when the pass started
  bool readBack = true;    // its copies were read back
  std::string toolVersion;
  std::string hostname;
};

struct SpoolRecord {
  bool removal = false;    // a copy of the pass deleted again: only `copy.path` is set
  LoggedCopy copy;         // its path relative to the destination
};

class HistorySpool {
 public:
  explicit HistorySpool(platform::FileSystem& fs) : fs_(fs) {}
  ~HistorySpool();  // closes the file, which stays: Discard() removes it
  HistorySpool(const HistorySpool&) = delete;
  HistorySpool& operator=(const HistorySpool&) = delete;

  // A new spool in the folder, held like a temporary while the pass runs.
  [[nodiscard]] std::error_code Create(const std::u16string& folder, const SpoolHeader& header);
  // A file a stopped pass left in the history folder: `isSpool` false when it is no spool.
  [[nodiscard]] std::error_code OpenLeftover(const std::u16string& path, bool& isSpool);

  bool Created() const { return !path_.empty(); }
  const std::u16string& Path() const { return path_; }
  const SpoolHeader& Header() const { return header_; }
  std::uint64_t Count() const { return count_; }  // records appended by this pass

  [[nodiscard]] std::error_code Append(const SpoolRecord& record);
  // What was appended, on the disk.
  [[nodiscard]] std::error_code Flush();
  // Closes and removes the file.
  void Discard();

  // From the first record; `got` is false after the last whole one.
  [[nodiscard]] std::error_code Rewind();
  [[nodiscard]] std::error_code Next(SpoolRecord& record, bool& got);

 private:
  [[nodiscard]] std::error_code WriteBuffer();
  [[nodiscard]] std::error_code OpenForReading();
  // The next record's payload; empty `got` after the last whole one.
  [[nodiscard]] std::error_code NextPayload(std::string& payload, bool& got);
  [[nodiscard]] std::error_code Refill();

  platform::FileSystem& fs_;
  std::u16string path_;
  SpoolHeader header_;
  std::unique_ptr<platform::OpenFile> file_;
  std::string buffer_;       // written, not yet in the file; or read, not yet taken
  std::size_t taken_ = 0;    // of buffer_ while reading
  bool reading_ = false;
  bool ended_ = false;       // while reading: the file's end, or a record cut short
  std::uint64_t count_ = 0;
};

}  // namespace marlowin::recorder
