// The chain file's document, and the check of a generation's bytes against it.
#include "history/Chain.h"

#include "history/C4Id.h"
#include "history/XmlText.h"
#include "history/XmlTree.h"
#include "platform/NativeName.h"

namespace marlowin::history {
namespace {

Failure Wrong(std::string detail) { return {HistoryErrc::kNotAChain, std::move(detail)}; }

// Generation files lie in ascmhl/ itself: a name with a separator or ".." would lead elsewhere.
bool IsPlainFileName(std::u16string_view name) {
  return !name.empty() && name != u"." && name != u".." && name.find_first_of(u"/\\") == std::u16string_view::npos;
}

}  // namespace

Result<ChainEntry> ChainEntryFor(std::uint64_t sequence, std::u16string fileName, std::string_view generationBytes) {
  Result<std::string> c4 = C4Id(generationBytes);
  if (!c4) return c4.failure();
  return ChainEntry{sequence, std::move(fileName), std::move(c4.value())};
}

Result<std::string> WriteChain(const Chain& chain) {
  XmlElement root{std::string(kChainNamespace), "ascmhldirectory", {}, {}, {}};
  for (const ChainEntry& entry : chain.generations) {
    Result<std::string> path = ToXmlText(entry.fileName);
    if (!path) return path.failure();
    XmlElement& hashlist = root.Add("hashlist").Set("sequencenr", std::to_string(entry.sequence));
    hashlist.Add("path", std::move(path.value()));
    hashlist.Add("c4", entry.c4);
  }
  return WriteXml(root);
}

Result<Chain> ParseChain(std::string_view bytes) {
  Result<XmlElement> root = ParseXml(bytes);
  if (!root) return root.failure();
  if (root.value().ns != kChainNamespace || root.value().name != "ascmhldirectory") {
    return Wrong("the root is <" + root.value().name + "> in \"" + root.value().ns + "\"");
  }
  Chain chain;
  for (const XmlElement& hashlist : root.value().children) {
    if (hashlist.name != "hashlist" || hashlist.ns != kChainNamespace) continue;
    const XmlElement* path = hashlist.Child("path");
    const XmlElement* c4 = hashlist.Child("c4");
    if (!path || !c4) return Wrong("a <hashlist> without its <path> or <c4>");
    ChainEntry entry{chain.generations.empty() ? 1 : chain.generations.back().sequence + 1,
                     FromXmlText(path->text), std::string(Trimmed(c4->text))};
    if (!IsPlainFileName(entry.fileName)) return Wrong("a generation outside ascmhl/: " + path->text);
    if (const std::string* number = hashlist.Attribute("sequencenr")) {
      const std::optional<std::uint64_t> sequence = ParseUnsigned(*number);
      if (!sequence) return Wrong("sequencenr \"" + *number + "\"");
      entry.sequence = *sequence;
    }
    chain.generations.push_back(std::move(entry));
  }
  return chain;
}

Failure CheckGeneration(const ChainEntry& entry, std::string_view generationBytes) {
  Result<std::string> c4 = C4Id(generationBytes);
  if (!c4) return c4.failure();
  if (c4.value() == entry.c4) return {};
  return {HistoryErrc::kC4Mismatch,
          platform::ToDisplay(entry.fileName) + " is " + c4.value() + ", the chain has " + entry.c4};
}

}  // namespace marlowin::history
