#pragma once

// SHA-512 of bytes in memory, from the system's cryptography: OpenSSL's libcrypto on POSIX
// (Unix/Sha512.cpp), CNG on Windows (Windows/Sha512.cpp).
#include <array>
#include <string_view>
#include <system_error>

namespace marlowin::history {

using Sha512Digest = std::array<unsigned char, 64>;

// HistoryErrc::kDigestFailed when the library cannot compute it.
[[nodiscard]] std::error_code Sha512(std::string_view bytes, Sha512Digest& digest);

}  // namespace marlowin::history
