// XML's characters over strict UTF-8: shortest forms only, no surrogates, nothing past U+10FFFF.
#include "history/XmlText.h"

#include <charconv>
#include <cstdint>

#include "platform/NativeName.h"

namespace marlowin::history {
namespace {

bool IsXmlChar(std::uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0x10FFFF);
}

}  // namespace

bool IsXmlText(std::string_view utf8) {
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                               : lead >= 0xF0 && lead < 0xF5 ? 4 : 0;
    if (length == 0 || i + length > utf8.size()) return false;
    std::uint32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(utf8[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      c = (c << 6) | (next & 0x3F);
    }
    const bool shortest = length < 3 || (length == 3 && c >= 0x800) || (length == 4 && c >= 0x10000);
    if (!shortest || !IsXmlChar(c)) return false;  // surrogates fail IsXmlChar
    i += length;
  }
  return true;
}

Result<std::string> ToXmlText(std::u16string_view name) {
  // Lone surrogates come out of ToNativeName as encoded surrogates, which IsXmlText refuses.
  std::string text = platform::ToNativeName(name);
  if (!IsXmlText(text)) return Failure{HistoryErrc::kNotXmlText, text};
  return text;
}

std::u16string FromXmlText(std::string_view utf8) { return platform::FromNativeName(utf8); }

std::string_view Trimmed(std::string_view text) {
  constexpr std::string_view kSpace = " \t\r\n";
  while (!text.empty() && kSpace.find(text.front()) != std::string_view::npos) text.remove_prefix(1);
  while (!text.empty() && kSpace.find(text.back()) != std::string_view::npos) text.remove_suffix(1);
  return text;
}

std::optional<std::uint64_t> ParseUnsigned(std::string_view text) {
  text = Trimmed(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace marlowin::history
