#pragma once

// The chain file ascmhl/ascmhl_chain.xml: each generation's sequence number, file name and
// C4 id, in the order they were written.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "history/Failure.h"

namespace marlowin::history {

inline constexpr std::u16string_view kHistoryFolder = u"ascmhl";
inline constexpr std::u16string_view kChainFileName = u"ascmhl_chain.xml";
inline constexpr std::string_view kChainNamespace = "urn:ASC:MHL:DIRECTORY:v2.0";

struct ChainEntry {
  std::uint64_t sequence = 0;
  std::u16string fileName;  // of the generation, relative to ascmhl/
  std::string c4;           // C4 id of the generation file's bytes
};

struct Chain {
  std::vector<ChainEntry> generations;
};

// The entry for a generation about to be added: its C4 id is computed from its bytes.
Result<ChainEntry> ChainEntryFor(std::uint64_t sequence, std::u16string fileName, std::string_view generationBytes);

// The document's bytes; kNotXmlText when a file name cannot be written.
Result<std::string> WriteChain(const Chain& chain);

// kMalformedXml, or kNotAChain with what is wrong. A <hashlist> without a sequence number takes
// the one after the entry before it.
Result<Chain> ParseChain(std::string_view bytes);

// Success when the generation's bytes have the C4 id the chain gives them; else kC4Mismatch
// with the file name and both ids.
[[nodiscard]] Failure CheckGeneration(const ChainEntry& entry, std::string_view generationBytes);

}  // namespace marlowin::history
