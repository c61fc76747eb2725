#pragma once

// One generation of a folder's ASC MHL history: the file ascmhl/NNNN_<folder>_<date>Z.mhl that
// one pass (of this program or of another tool) wrote, as a value, and its bytes.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "history/Failure.h"
#include "history/XmlTree.h"
#include "platform/Files.h"

namespace marlowin::history {

inline constexpr std::string_view kMhlNamespace = "urn:ASC:MHL:v2.0";

enum class HashAction { kOriginal, kVerified, kFailed };

std::string_view ActionName(HashAction action);  // "original", "verified", "failed"

// One file and its hash, as the generation records it.
struct HashEntry {
  std::u16string path;                      // relative to the folder holding ascmhl/, '/'-separated
  std::optional<std::uint64_t> size;
  std::optional<platform::FileTime> modified;    // lastmodificationdate
  std::string xxh128;                       // 32 lower-case hex digits; empty when it has none
  std::optional<HashAction> action;         // of the xxh128
  std::optional<platform::FileTime> hashDate;    // of the xxh128
};

// Defaults are this program's: a transfer by Marlowin that ignores ascmhl/ and its temporaries.
struct Generation {
  platform::FileTime creationDate;
  std::string hostname;
  std::string tool = "Marlowin";
  std::string toolVersion;
  std::string comment;                      // empty for none
  std::string process = "transfer";
  std::vector<std::string> ignore = {"ascmhl/", ".marlowin-copy-*"};
  std::vector<HashEntry> hashes;            // files only: directory hashes are not kept
};

// A path as the format wants it: not empty, no leading '/', no empty, "." or ".." part.
bool IsMhlPath(std::u16string_view path);

// The document's bytes. HistoryErrc::kBadValue for a path that IsMhlPath refuses or an xxh128
// that is not 32 lower-case hex digits, kNotXmlText for a text XML cannot hold; the detail
// names it.
Result<std::string> WriteGeneration(const Generation& generation);

// Gives the next file's entry, or false after the last.
using NextHash = std::function<Result<bool>(HashEntry&)>;

// WriteGeneration for a generation of any length: the creator and process of `head` (its own
// hashes are not written), then the entries `next` gives, the bytes to `sink` as they are made.
// There must be at least one entry (kBadValue): the format wants one.
[[nodiscard]] Failure WriteGenerationInPieces(const Generation& head, const NextHash& next, const ByteSink& sink);

// A generation written by any tool: the creator, the process and each file's path, size,
// modification date and xxh128 are taken; other hash formats, directory hashes, metadata and
// references are passed over. kMalformedXml, or kNotAGeneration with what is missing or wrong.
Result<Generation> ParseGeneration(std::string_view bytes);

}  // namespace marlowin::history
