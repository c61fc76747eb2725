#include "platform/NativeName.h"

#include <cstdint>

namespace marlowin::platform {
namespace {

constexpr char16_t kEscapeBase = 0xDC80;  // U+DC80 + (byte - 0x80)

void AppendCodePoint(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

void AppendUtf8(std::string& out, char32_t cp) {
  auto put = [&out](std::uint32_t byte) { out.push_back(static_cast<char>(byte)); };
  if (cp < 0x80) {
    put(cp);
  } else if (cp < 0x800) {
    put(0xC0 | (cp >> 6));
    put(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    put(0xE0 | (cp >> 12));
    put(0x80 | ((cp >> 6) & 0x3F));
    put(0x80 | (cp & 0x3F));
  } else {
    put(0xF0 | (cp >> 18));
    put(0x80 | ((cp >> 12) & 0x3F));
    put(0x80 | ((cp >> 6) & 0x3F));
    put(0x80 | (cp & 0x3F));
  }
}

// Length of the valid UTF-8 sequence starting at s[i], or 0 when it is not valid
// (overlong forms, surrogates and values above U+10FFFF are not valid).
std::size_t ValidSequence(std::string_view s, std::size_t i, char32_t& cp) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  std::size_t len;
  char32_t min;
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  } else if ((b0 & 0xE0) == 0xC0) {
    len = 2, min = 0x80, cp = b0 & 0x1F;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3, min = 0x800, cp = b0 & 0x0F;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4, min = 0x10000, cp = b0 & 0x07;
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  for (std::size_t k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

}  // namespace

std::u16string FromNativeName(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    char32_t cp = 0;
    if (const std::size_t len = ValidSequence(bytes, i, cp)) {
      AppendCodePoint(out, cp);
      i += len;
    } else {
      out.push_back(static_cast<char16_t>(kEscapeBase + (static_cast<unsigned char>(bytes[i]) - 0x80)));
      ++i;
    }
  }
  return out;
}

std::string ToNativeName(std::u16string_view name) {
  std::string out;
  out.reserve(name.size());
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char16_t u = name[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < name.size() && name[i + 1] >= 0xDC00 &&
        name[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((char32_t{u} - 0xD800) << 10) + (char32_t{name[i + 1]} - 0xDC00));
      ++i;
    } else if (u >= kEscapeBase && u <= 0xDCFF) {
      out.push_back(static_cast<char>(0x80 + (u - kEscapeBase)));
    } else {
      AppendUtf8(out, u);
    }
  }
  return out;
}

}  // namespace marlowin::platform
