#pragma once

// SHA-512 of bytes in memory or fed in pieces, from the system's cryptography: OpenSSL's
// libcrypto on POSIX (Unix/Sha512.cpp), CNG on Windows (Windows/Sha512.cpp).
#include <array>
#include <memory>
#include <string_view>
#include <system_error>

namespace marlowin::history {

using Sha512Digest = std::array<unsigned char, 64>;

// HistoryErrc::kDigestFailed when the library cannot compute it.
[[nodiscard]] std::error_code Sha512(std::string_view bytes, Sha512Digest& digest);

// The digest of a document written in pieces, so that it need not be held whole.
class Sha512Stream {
 public:
  Sha512Stream();
  ~Sha512Stream();
  Sha512Stream(const Sha512Stream&) = delete;
  Sha512Stream& operator=(const Sha512Stream&) = delete;

  void Update(std::string_view bytes);
  // kDigestFailed when the library failed at any point.
  [[nodiscard]] std::error_code Finish(Sha512Digest& digest);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace marlowin::history
