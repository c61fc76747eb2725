#pragma once

// Paths as the program forms them: joined by plain concatenation with the platform's separator,
// nothing normalised.
#include <string>
#include <string_view>

#include "platform/Files.h"

namespace marlowin::platform {

// folder + separator + name.
std::u16string JoinPath(std::u16string_view folder, std::u16string_view name);

// Everything before the last separator ("/" or "\"), or "." when there is none.
std::u16string FolderOf(std::u16string_view path);

// Everything after the last separator ("/" or "\").
std::u16string_view FileNameOf(std::u16string_view path);

// The letters a to z as A to Z, the way case-blind file systems compare names; nothing else.
char16_t UpperAToZ(char16_t c);
std::u16string FoldAToZ(std::u16string_view text);

}  // namespace marlowin::platform
