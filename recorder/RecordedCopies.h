#pragma once

// The copies the destination's history records, as the pass reads it at its start: for each path
// the latest entry over all generations. A recorded copy is the proof that someone may have
// cleared a card on: the pass never puts other bytes in its place nor removes it.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/Files.h"

namespace marlowin::recorder {

struct RecordedCopy {
  bool hasSize = false;
  std::uint64_t size = 0;
  std::string xxh128;        // empty when the entry has none
  std::uint64_t sequence = 0;  // of the generation the entry comes from
  platform::FileTime recorded;    // that generation's creation date
  std::string host;               // and the computer it names
  std::u16string path;            // as the history writes it (set by Add)
};

class RecordedCopies {
 public:
  // Paths that differ only in the case of A to Z are one on a destination that folds case.
  explicit RecordedCopies(bool foldsCase = false) : foldsCase_(foldsCase) {}

  // `path` as the history writes it: relative to the destination, '/'-separated.
  void Add(std::u16string_view path, RecordedCopy copy);
  const RecordedCopy* Find(std::u16string_view path) const;
  // Each recorded copy, in no order.
  template <typename Visit>
  void ForEach(Visit visit) const {
    for (const auto& entry : copies_) visit(entry.second);
  }
  bool Empty() const { return copies_.empty(); }

 private:
  std::u16string Key(std::u16string_view path) const;

  bool foldsCase_;
  std::unordered_map<std::u16string, RecordedCopy> copies_;
};

// A path of the destination as its history writes it (relative, '/'-separated); false when the
// path lies outside the destination.
bool PathInHistory(const std::u16string& destination, const std::u16string& path, std::u16string& relative);

}  // namespace marlowin::recorder
