#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace marlowin::platform {

// XXH3-128 over bytes fed in pieces, written as `xxhsum -H2` prints it (32 hex digits of the
// canonical, big-endian form), so that anyone can check a copy with that tool.
class ContentHasher {
 public:
  ContentHasher();
  ~ContentHasher();
  ContentHasher(const ContentHasher&) = delete;
  ContentHasher& operator=(const ContentHasher&) = delete;

  void Update(const void* data, std::size_t size);
  std::string Hex() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// XXH3-64 of a few bytes: a check that a record the program wrote reads back whole.
std::uint64_t Checksum64(const void* data, std::size_t size);

}  // namespace marlowin::platform
