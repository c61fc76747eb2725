#pragma once

// Memory for reads past the cache (File::OpenFromDisk), one implementation per platform
// (Unix/ReadBuffer.cpp, Windows/ReadBuffer.cpp).
#include <cstddef>

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

}  // namespace marlowin::platform
