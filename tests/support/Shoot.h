#pragma once

// A shoot as a camera team leaves it, in a temporary tree: shot folders under the starting folder
// (S), each with its clips in its clip folder, and an empty destination folder (D). Every test that
// makes a shoot makes it here.
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

#include "tests/support/TempTree.h"

namespace marlowin::testing {

// The path of a clip (or, without a name, of the clip folder) of a shot of the starting folder S,
// relative to the tree: "S/ab_cd_ef/MP4 HIGH RES/v01.mp4".
std::u16string ClipIn(std::u16string_view shot, std::u16string_view name = {});

class Shoot {
 public:
  explicit Shoot(const TempTree& tree, std::u16string start = u"S", std::u16string destination = u"D");

  // A clip holding `bytes`.
  const Shoot& Clip(std::u16string_view shot, std::u16string_view name, std::string_view bytes) const;
  // Clips each holding its shot's and its own name ("ab_cd_ef/v01.mp4"), or, with a size, that
  // many bytes of one letter.
  const Shoot& Clips(std::u16string_view shot, std::initializer_list<std::u16string_view> names,
                     std::size_t size = 0) const;
  // What Clips writes into a clip of that shot and name.
  static std::string DefaultBytes(std::u16string_view shot, std::u16string_view name);

  // A clip's path in the tree ("S/ab_cd_ef/MP4 HIGH RES/v01.mp4"), and its full path.
  std::u16string ClipPath(std::u16string_view shot, std::u16string_view name) const;
  std::u16string FullClipPath(std::u16string_view shot, std::u16string_view name) const;

  std::u16string Start() const { return tree_.Path(start_); }
  std::u16string Destination() const { return tree_.Path(destination_); }

 private:
  const TempTree& tree_;
  std::u16string start_;
  std::u16string destination_;
};

}  // namespace marlowin::testing
