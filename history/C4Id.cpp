// Base 58 of a SHA-512 digest by long division, most significant digit first.
#include "history/C4Id.h"

#include <algorithm>

namespace marlowin::history {
namespace {

constexpr char kAlphabet[] = "123456789ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz";
constexpr std::size_t kDigits = 88;  // 58^88 > 2^512

}  // namespace

std::string C4IdOfDigest(const Sha512Digest& digest) {
  Sha512Digest number = digest;
  std::string digits;  // least significant first
  while (std::any_of(number.begin(), number.end(), [](unsigned char b) { return b != 0; })) {
    unsigned remainder = 0;
    for (unsigned char& byte : number) {
      const unsigned value = remainder * 256 + byte;
      byte = static_cast<unsigned char>(value / 58);
      remainder = value % 58;
    }
    digits.push_back(kAlphabet[remainder]);
  }
  digits.resize(kDigits, kAlphabet[0]);
  std::reverse(digits.begin(), digits.end());
  return "c4" + digits;
}

Result<std::string> C4Id(std::string_view bytes) {
  Sha512Digest digest;
  if (std::error_code error = Sha512(bytes, digest)) return Failure{error, {}};
  return C4IdOfDigest(digest);
}

}  // namespace marlowin::history
