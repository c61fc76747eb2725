// The buffer for reads past the cache, over each platform's way of mapping it.
#include <new>

#include "platform/ReadBuffer.h"

namespace marlowin::platform {

char* CopyBuffer::data() {
  if (!storage_) {
    char* buffer = MapReadBuffer(size_);
    if (!buffer) throw std::bad_alloc();
    storage_ = {buffer, Free{size_}};
  }
  return storage_.get();
}

void CopyBuffer::ForWholeReads() {
  if (whole_) return;
  whole_ = true;
  PreferLargePages(data(), size_);
}

void CopyBuffer::Free::operator()(char* p) const { UnmapReadBuffer(p, size); }

}  // namespace marlowin::platform
