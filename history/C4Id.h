#pragma once

// The C4 id of a file's bytes, as the chain file records each generation: "c4" and the SHA-512
// digest as one 512-bit big-endian number in base 58, padded with '1' to 88 digits.
#include <string>
#include <string_view>

#include "history/Failure.h"
#include "history/Sha512.h"

namespace marlowin::history {

std::string C4IdOfDigest(const Sha512Digest& digest);

Result<std::string> C4Id(std::string_view bytes);

}  // namespace marlowin::history
