#pragma once

// Memory for reads past the cache (File::OpenFromDisk), one implementation per platform
// (Unix/ReadBuffer.cpp, Windows/ReadBuffer.cpp).
#include <cstddef>
#include <memory>

namespace marlowin::platform {

// `size` bytes aligned to whole pages; a page takes memory only when it is first touched.
// nullptr when the system has none to give.
char* MapReadBuffer(std::size_t size);
void UnmapReadBuffer(char* buffer, std::size_t size);

// Asks for large pages for the buffer's untouched part where the system has them (Linux's
// transparent huge pages). A disk request holds only so many separate pieces of memory: on the
// virtual disk measured, a direct read of 4 MiB into small pages reached the disk as requests of
// about 1 MiB, into large pages as one. A large page is taken whole when any byte of it is
// touched, so only buffers that are filled whole are worth it.
void PreferLargePages(char* buffer, std::size_t size);

// An aligned buffer, so that reads past the cache can go straight into it.
class CopyBuffer {
 public:
  static constexpr std::size_t kDefaultSize = 4u << 20;

  explicit CopyBuffer(std::size_t size = kDefaultSize) : size_(size) {}  // whole blocks of 4096 bytes
  char* data();  // throws std::bad_alloc when there is no memory
  std::size_t size() const { return size_; }
  // For reads that fill the buffer whole: each then reaches the disk as few requests
  // (PreferLargePages). Reads of small files leave it alone, to keep the pages they do
  // not touch out of the pass's memory.
  void ForWholeReads();

 private:
  std::size_t size_;
  bool whole_ = false;
  struct Free {
    std::size_t size;
    void operator()(char* p) const;
  };
  std::unique_ptr<char[], Free> storage_{nullptr, Free{0}};
};


}  // namespace marlowin::platform
