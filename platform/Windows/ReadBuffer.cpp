#include <windows.h>

#include "platform/ReadBuffer.h"

namespace marlowin::platform {

// Committed pages are backed only when first touched, and aligned far beyond any sector size.
char* MapReadBuffer(std::size_t size) {
  return static_cast<char*>(::VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
}

void UnmapReadBuffer(char* buffer, std::size_t) {
  if (buffer) (void)::VirtualFree(buffer, 0, MEM_RELEASE);
}

// Large pages on Windows need a privilege (SeLockMemoryPrivilege) that users do not have.
void PreferLargePages(char*, std::size_t) {}

}  // namespace marlowin::platform
