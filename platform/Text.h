#pragma once

// Counts and sizes as people read them, in the program's texts: "12", "3 clips", "1 clip",
// "1.2 GB". Always with a full stop for a decimal point, never the locale's comma.
#include <cstdint>
#include <string>
#include <string_view>

namespace marlowin::platform {

std::u16string DecimalText(std::uint64_t n);

// "1 clip", "3 clips".
std::u16string CountedText(std::uint64_t n, std::u16string_view one, std::u16string_view many);

// "0 B", "950 B", "1.2 kB", "85 MB", "3.4 GB": powers of 1000, as disks are sold.
std::u16string FormatBytes(std::uint64_t bytes);

}  // namespace marlowin::platform
