#include "platform/ContentHash.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace marlowin::platform {

struct ContentHasher::State {
  XXH3_state_t xxh;
};

ContentHasher::ContentHasher() : state_(std::make_unique<State>()) { XXH3_128bits_reset(&state_->xxh); }

ContentHasher::~ContentHasher() = default;

void ContentHasher::Update(const void* data, std::size_t size) {
  XXH3_128bits_update(&state_->xxh, data, size);
}

std::string ContentHasher::Hex() const {
  XXH128_canonical_t canonical;
  XXH128_canonicalFromHash(&canonical, XXH3_128bits_digest(&state_->xxh));
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char byte : canonical.digest) {
    hex.push_back(kDigits[byte >> 4]);
    hex.push_back(kDigits[byte & 15]);
  }
  return hex;
}

std::uint64_t Checksum64(const void* data, std::size_t size) { return XXH3_64bits(data, size); }

}  // namespace marlowin::platform
