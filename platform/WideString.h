#pragma once

// Windows only: our UTF-16 strings at the Win32 boundary. wchar_t and char16_t have the same
// width and representation there, so the conversion is a cast, not a copy.
#include <string>
#include <string_view>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 code units");

namespace marlowin::platform {

inline const wchar_t* AsWide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

inline wchar_t* AsWide(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }

inline const wchar_t* AsWide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

inline std::u16string FromWide(const wchar_t* text) {
  return text ? std::u16string(reinterpret_cast<const char16_t*>(text)) : std::u16string();
}

inline std::u16string FromWide(std::wstring_view text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.data()), text.size());
}

}  // namespace marlowin::platform
