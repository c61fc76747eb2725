#pragma once

// Files read from the disk one after the other on a thread of its own, a few buffers ahead of
// the one who hashes them: the disk is kept busy while the bytes already read are hashed.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/ReadBuffer.h"
#include "platform/FileSystem.h"

namespace marlowin::check {

class ReadAhead {
 public:
  // One piece of a file, in order; each file ends with a piece that has `end` set (and no
  // bytes), carrying why the file could not be read to its end when it could not.
  struct Piece {
    std::size_t file = 0;  // index into the paths
    const char* data = nullptr;
    std::size_t size = 0;
    bool end = false;
    std::error_code error;
  };

  // Starts reading at once, past the cache (FileSystem::OpenFromDisk). `stop` ends it early.
  ReadAhead(platform::FileSystem& fs, std::vector<std::u16string> paths, const std::atomic<bool>& stop);
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;
  ~ReadAhead();  // stops the reading and waits for its thread

  // The next piece; the one taken before is given back. False after the last file's end
  // (or once `stop` is set).
  bool Next(Piece& piece);

 private:
  // Reads of 4 MiB, the most a disk request commonly holds: a larger direct read is split into
  // requests the disk serves one after the other, which on the virtual disks measured took twice
  // as long as the same bytes in 4 MiB reads. Three pieces wait while one is hashed, so the disk
  // is not left idle while this thread waits to run again. 16 MiB of buffers in all.
  static constexpr std::size_t kSlots = 4;
  static constexpr std::size_t kPieceSize = 4u << 20;
  struct Slot {
    platform::CopyBuffer buffer{kPieceSize};
    Piece piece;
  };

  void ReadAll();
  // Waits for a free slot; nullptr when stopped.
  Slot* FreeSlot();
  void Fill();

  platform::FileSystem& fs_;
  const std::vector<std::u16string> paths_;
  const std::atomic<bool>& stop_;
  Slot slots_[kSlots];
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t first_ = 0;    // the oldest filled slot
  std::size_t filled_ = 0;   // slots holding pieces, the one the reader of pieces holds included
  bool holding_ = false;     // the reader of pieces holds slots_[first_]
  bool finished_ = false;    // every file read, or stopped
  bool quit_ = false;        // the destructor asks the thread to end
  std::thread thread_;
};

}  // namespace marlowin::check
