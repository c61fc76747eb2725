#include "platform/Text.h"

#include <cmath>

namespace marlowin::platform {
namespace {

// "1.2" for a value below 10, else "85".
std::u16string Short(double value) {
  if (value < 9.95) {
    const auto tenths = static_cast<std::uint64_t>(std::llround(value * 10));
    return DecimalText(tenths / 10) + u'.' + DecimalText(tenths % 10);
  }
  return DecimalText(static_cast<std::uint64_t>(std::llround(value)));
}

}  // namespace

std::u16string DecimalText(std::uint64_t n) {
  const std::string digits = std::to_string(n);
  return std::u16string(digits.begin(), digits.end());
}

std::u16string CountedText(std::uint64_t n, std::u16string_view one, std::u16string_view many) {
  return DecimalText(n) + u' ' + std::u16string(n == 1 ? one : many);
}

std::u16string FormatBytes(std::uint64_t bytes) {
  static constexpr const char16_t* kUnits[] = {u"kB", u"MB", u"GB", u"TB", u"PB", u"EB"};
  if (bytes < 1000) return DecimalText(bytes) + u" B";
  double value = static_cast<double>(bytes);
  for (const char16_t* unit : kUnits) {
    value /= 1000;
    // The unit whose shown value stays below 1000 (999.6 MB is shown as 1.0 GB).
    if (value < 999.5) return Short(value) + u' ' + unit;
  }
  return Short(value) + u" EB";
}

}  // namespace marlowin::platform
