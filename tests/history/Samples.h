#pragma once

// Generations as a pass of this program would record them, for the history's tests.
#include <string>

#include "history/Generation.h"

namespace marlowin::history::samples {

inline constexpr std::int64_t kPassStart = 1796757737;  // 2026-12-08 19:22:17 UTC

inline HashEntry Copy(std::u16string path, std::uint64_t size, std::string xxh128, HashAction action,
                      std::int64_t modified = kPassStart - 3600) {
  return {std::move(path), size, platform::FileTime{modified, 0}, std::move(xxh128), action,
          platform::FileTime{kPassStart + 5, 0}};
}

// Names that need escaping or are not ASCII: "&", "<", '"', "'", "é", "日本", an emoji.
inline Generation PassWithAwkwardNames() {
  Generation generation;
  generation.creationDate = {kPassStart, 123};
  generation.hostname = "edit-bay-3";
  generation.toolVersion = "0.2.0";
  generation.hashes = {
      Copy(u"ab_cd_adl_ef/video/v01_hires.mp4", 1048576, "0123456789abcdef0123456789abcdef", HashAction::kVerified),
      Copy(u"R&D <test> \"q\" 'a'/video/v02_hires.mp4", 0, "ffffffffffffffffffffffffffffffff", HashAction::kVerified),
      Copy(u"caf\u00e9_\u65e5\u672c_\U0001F3AC/video/v03_hires.mp4", 7, "00000000000000000000000000000001",
           HashAction::kOriginal),
  };
  return generation;
}

}  // namespace marlowin::history::samples
