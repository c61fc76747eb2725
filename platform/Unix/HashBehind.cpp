#include "platform/Unix/HashBehind.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/ContentHash.h"
#include "platform/Errors.h"

namespace marlowin::platform {
namespace {

// The bytes come from the cache, so reads of this size cost no more than larger ones.
constexpr std::size_t kHashBufferSize = 1u << 20;

}  // namespace

std::error_code HashRange(int fd, std::uint64_t offset, std::uint64_t size, ContentHasher& hasher,
                          std::vector<char>& buffer) {
  if (buffer.empty()) buffer.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kHashBufferSize, size)));
  while (size > 0) {
    const ssize_t n = ::pread(fd, buffer.data(), std::min<std::uint64_t>(buffer.size(), size), static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return LastError();
    if (n == 0) return make_error_code(Errc::kSourceChanged);
    hasher.Update(buffer.data(), static_cast<std::size_t>(n));
    offset += static_cast<std::uint64_t>(n);
    size -= static_cast<std::uint64_t>(n);
  }
  return {};
}

HashBehind::HashBehind(int fd, ContentHasher& hasher, std::vector<char>& buffer)
    : fd_(fd), hasher_(hasher), buffer_(buffer) {
  if (buffer_.empty()) buffer_.resize(kHashBufferSize);
  thread_ = std::thread([this] { Run(); });
}

HashBehind::~HashBehind() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void HashBehind::Reached(std::uint64_t copied) {
  {
    std::lock_guard lock(mutex_);
    copied_ = copied;
  }
  changed_.notify_all();
}

std::error_code HashBehind::Finish() {
  {
    std::lock_guard lock(mutex_);
    finishing_ = true;
  }
  changed_.notify_all();
  thread_.join();
  return error_;
}

void HashBehind::Run() {
  std::uint64_t hashed = 0;
  for (;;) {
    std::uint64_t upTo = 0;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return quit_ || finishing_ || copied_ > hashed; });
      if (quit_ || copied_ == hashed) return;
      upTo = copied_;
    }
    if (std::error_code error = HashRange(fd_, hashed, upTo - hashed, hasher_, buffer_)) {
      std::lock_guard lock(mutex_);
      error_ = error;
      return;
    }
    hashed = upTo;
  }
}

}  // namespace marlowin::platform
