#include "platform/ReadBuffer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace marlowin::platform {
namespace {

// Transparent huge pages on x86-64 and most other Linux systems.
constexpr std::uintptr_t kLargePage = 2u << 20;

std::size_t WholePages(std::size_t size) {
  const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  return (size + page - 1) / page * page;
}

}  // namespace

char* MapReadBuffer(std::size_t size) {
  size = WholePages(size);
  // Mapped on a large page's boundary, so that whole large pages can back it: a large page is
  // only ever used for an aligned range of them. What lies before and after goes back at once.
  const std::size_t mapped = size + kLargePage;
  void* area = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (area == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<std::uintptr_t>(area);
  const std::uintptr_t aligned = (start + kLargePage - 1) & ~(kLargePage - 1);
  if (aligned > start) (void)::munmap(area, aligned - start);
  if (start + mapped > aligned + size) {
    (void)::munmap(reinterpret_cast<void*>(aligned + size), start + mapped - (aligned + size));
  }
  return reinterpret_cast<char*>(aligned);
}

void UnmapReadBuffer(char* buffer, std::size_t size) {
  if (buffer) (void)::munmap(buffer, WholePages(size));
}

void PreferLargePages(char* buffer, std::size_t size) {
#ifdef MADV_HUGEPAGE
  // Only a hint: without huge pages the buffer works as before.
  if (buffer) (void)::madvise(buffer, WholePages(size), MADV_HUGEPAGE);
#else
  (void)buffer;
  (void)size;
#endif
}

}  // namespace marlowin::platform
