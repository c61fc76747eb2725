// Hashing the bytes of a clip the kernel has just copied, from the cache that copy filled.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace marlowin::platform {

class ContentHasher;

// Feeds `size` bytes of `fd` from `offset` to the hasher. Read rather than mapped: a file cut
// short meanwhile is then an error, not a signal that ends the process.
[[nodiscard]] std::error_code HashRange(int fd, std::uint64_t offset, std::uint64_t size, ContentHasher& hasher,
                                        std::vector<char>& buffer);

// Hashes a file on a thread of its own as far as it has been copied, while the copy goes on. Hashed
// between two steps of the copy, the bytes cost the disk that time: no step was asked of it
// meanwhile.
class HashBehind {
 public:
  // `buffer` is the caller's, sized here: a buffer the thread allocated would stay with the
  // thread's own heap after it ends, one for each thread of a pass.
  HashBehind(int fd, ContentHasher& hasher, std::vector<char>& buffer);
  ~HashBehind();  // stops where it is
  HashBehind(const HashBehind&) = delete;
  HashBehind& operator=(const HashBehind&) = delete;

  // The first `copied` bytes of the file are copied: they can be hashed.
  void Reached(std::uint64_t copied);
  // Hashes what is left up to the last Reached, and gives the first failure.
  [[nodiscard]] std::error_code Finish();

 private:
  void Run();

  const int fd_;
  ContentHasher& hasher_;
  std::vector<char>& buffer_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::uint64_t copied_ = 0;
  bool finishing_ = false;
  bool quit_ = false;
  std::error_code error_;
  std::thread thread_;
};

}  // namespace marlowin::platform
