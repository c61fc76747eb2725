#pragma once

#include <string>
#include <string_view>

namespace marlowin::platform {

// File names are UTF-16 everywhere in the program. On POSIX they are bytes: valid UTF-8 is
// decoded, and every byte that is not part of valid UTF-8 becomes the lone surrogate
// U+DC80 + (byte - 0x80), so that any name a listing gives maps back to the same bytes.
std::u16string FromNativeName(std::string_view bytes);

// The inverse of FromNativeName. Lone surrogates other than the escapes (which no listing
// produces) are written in the generalised three-byte form.
std::string ToNativeName(std::u16string_view name);

// For text shown to people (the terminal): names as UTF-8, escapes back to their bytes.
inline std::string ToDisplay(std::u16string_view text) { return ToNativeName(text); }

}  // namespace marlowin::platform
