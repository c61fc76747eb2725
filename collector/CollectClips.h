#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"

namespace marlowin {

// What a pass did with the clips of the folders it handled.
struct CollectionSummary {
  std::size_t clipsSeen = 0;       // files of handled clip folders with the clip extension
  std::size_t clipsCopied = 0;     // of those, copied into their adl folder
  std::size_t clipsNotCopied = 0;  // of those, whose adl copy failed
};

// One collection pass from the starting folder into the destination folder.
CollectionSummary CollectClips(sys::FileSystem& fs, std::u16string startingFolder,
                               std::u16string destinationFolder);

inline constexpr std::u16string_view kVideoCopyComplete = u"video copy complete";

// The one line that tells a person how the pass went: "video copy complete", or
// "video copy incomplete: N of M clips could not be copied".
std::u16string DescribeOutcome(const CollectionSummary& summary);

}  // namespace marlowin
