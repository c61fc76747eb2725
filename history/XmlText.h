#pragma once

// What text an XML document can hold, the program's UTF-16 names as XML text, and numbers in it.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "history/Failure.h"

namespace marlowin::history {

// Valid UTF-8 of characters that XML 1.0 allows (no control characters but tab, line feed and
// carriage return; no U+FFFE or U+FFFF).
bool IsXmlText(std::string_view utf8);

// A name as XML text; HistoryErrc::kNotXmlText when it cannot be one (a lone surrogate, which
// stands for a byte of a name that is not UTF-8, or a control character).
Result<std::string> ToXmlText(std::u16string_view name);

// XML text (valid UTF-8) as a name.
std::u16string FromXmlText(std::string_view utf8);

// Without the XML white space (space, tab, line breaks) around it, as schema types read values.
std::string_view Trimmed(std::string_view text);

// An xs:integer that is not negative and fits 64 bits ("42", "+42", " 042 "); else nothing.
std::optional<std::uint64_t> ParseUnsigned(std::string_view text);

}  // namespace marlowin::history
