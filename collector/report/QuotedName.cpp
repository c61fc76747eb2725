#include "collector/report/QuotedName.h"

namespace marlowin::report {
namespace {

// On POSIX, FromNativeName carries each byte that is not UTF-8 as U+DC80 + (byte - 0x80).
#ifdef _WIN32
constexpr bool kNamesAreBytes = false;
#else
constexpr bool kNamesAreBytes = true;
#endif

bool IsLead(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsTrail(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Characters that must not stand raw in a line: they end it, hide or reorder what follows.
bool IsUnsafe(char16_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 || (c >= 0x202A && c <= 0x202E) ||
         (c >= 0x2066 && c <= 0x2069) || c == 0x200E || c == 0x200F;
}

// Whether the unit at `i` is a surrogate without its other half.
bool IsLoneSurrogate(std::u16string_view text, std::size_t i) {
  const char16_t c = text[i];
  if (IsLead(c)) return i + 1 >= text.size() || !IsTrail(text[i + 1]);
  if (IsTrail(c)) return i == 0 || !IsLead(text[i - 1]);
  return false;
}

bool IsSeparator(char16_t c) { return c == u'/' || c == u'\\'; }

bool NeedsQuotes(std::u16string_view path, std::u16string_view also) {
  if (path.empty() || path.front() == u'\'') return true;
  if (!also.empty() && path.find(also) != std::u16string_view::npos) return true;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const char16_t c = path[i];
    if (IsUnsafe(c) || IsLoneSurrogate(path, i)) return true;
    // A space at either end of a folder or file name.
    if (c == u' ' && (i == 0 || i + 1 == path.size() || IsSeparator(path[i - 1]) || IsSeparator(path[i + 1])))
      return true;
  }
  return false;
}

std::u16string Octal(unsigned value) {
  std::u16string digits = u"\\000";
  for (std::size_t i = 3; i >= 1; --i, value /= 8) digits[i] = static_cast<char16_t>(u'0' + value % 8);
  return digits;
}

std::u16string Hex4(unsigned value) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  std::u16string text = u"\\u";
  for (int shift = 12; shift >= 0; shift -= 4) text += kDigits[(value >> shift) & 0xF];
  return text;
}

// The escape of one unsafe unit inside $'...'.
std::u16string Escape(char16_t c) {
  switch (c) {
    case u'\n': return u"\\n";
    case u'\t': return u"\\t";
    case u'\r': return u"\\r";
    default: break;
  }
  if (c < 0x20 || c == 0x7F) return Octal(c);
  if (kNamesAreBytes && c >= 0xDC80 && c <= 0xDCFF) return Octal(c - 0xDC00u);
  return Hex4(c);
}

}  // namespace

std::u16string QuotedName(std::u16string_view path, std::u16string_view alsoQuoteIfContains) {
  if (!NeedsQuotes(path, alsoQuoteIfContains)) return std::u16string(path);
  std::u16string quoted;
  bool inPlain = false, inEscapes = false;
  const auto close = [&] {
    if (inPlain || inEscapes) quoted += u'\'';
    inPlain = inEscapes = false;
  };
  for (std::size_t i = 0; i < path.size(); ++i) {
    const char16_t c = path[i];
    if (IsUnsafe(c) || IsLoneSurrogate(path, i)) {
      if (!inEscapes) {
        close();
        quoted += u"$'";
        inEscapes = true;
      }
      quoted += Escape(c);
    } else if (c == u'\'') {
      close();
      quoted += u"\\'";
    } else {
      if (!inPlain) {
        close();
        quoted += u'\'';
        inPlain = true;
      }
      quoted += c;
    }
  }
  close();
  // Always opened by a quote, as GNU ls does (''$'\n''x'): a raw path never starts with one.
  if (!quoted.starts_with(u'\'')) quoted.insert(0, u"''");
  return quoted;
}

}  // namespace marlowin::report
