// A generation's document, from this program or another tool, to the values a check needs.
#include <algorithm>
#include <cctype>

#include "history/Generation.h"
#include "history/MhlDate.h"
#include "history/XmlText.h"
#include "history/XmlTree.h"

namespace marlowin::history {
namespace {

Failure Wrong(std::string detail) { return {HistoryErrc::kNotAGeneration, std::move(detail)}; }

// An optional date attribute: absent is fine, a date that is none is not.
bool ReadDate(const XmlElement& element, std::string_view name, std::optional<platform::FileTime>& date) {
  const std::string* text = element.Attribute(name);
  if (!text) return true;
  date = ParseDate(Trimmed(*text));
  return date.has_value();
}

Result<HashEntry> ReadHash(const XmlElement& hash) {
  const XmlElement* path = hash.Child("path");
  if (!path) return Wrong("a <hash> without a <path>");
  HashEntry entry;
  entry.path = FromXmlText(path->text);
  const std::string where = " of " + path->text;
  if (!IsMhlPath(entry.path)) return Wrong("a path not inside the folder: " + path->text);
  if (const std::string* size = path->Attribute("size")) {
    entry.size = ParseUnsigned(*size);
    if (!entry.size) return Wrong("size \"" + *size + "\"" + where);
  }
  if (!ReadDate(*path, "lastmodificationdate", entry.modified)) return Wrong("lastmodificationdate" + where);
  if (const XmlElement* xxh128 = hash.Child("xxh128")) {
    std::string hex(Trimmed(xxh128->text));
    std::transform(hex.begin(), hex.end(), hex.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (hex.size() != 32 || hex.find_first_not_of("0123456789abcdef") != std::string::npos) {
      return Wrong("xxh128 \"" + xxh128->text + "\"" + where);
    }
    entry.xxh128 = std::move(hex);
    if (const std::string* action = xxh128->Attribute("action")) {
      for (HashAction known : {HashAction::kOriginal, HashAction::kVerified, HashAction::kFailed}) {
        if (Trimmed(*action) == ActionName(known)) entry.action = known;
      }
      if (!entry.action) return Wrong("action \"" + *action + "\"" + where);
    }
    if (!ReadDate(*xxh128, "hashdate", entry.hashDate)) return Wrong("hashdate" + where);
  }
  return entry;
}

bool ReadCreator(const XmlElement& root, Generation& generation) {
  const XmlElement* creator = root.Child("creatorinfo");
  const XmlElement* date = creator ? creator->Child("creationdate") : nullptr;
  const std::optional<platform::FileTime> created = date ? ParseDate(Trimmed(date->text)) : std::nullopt;
  if (!created) return false;
  generation.creationDate = *created;
  const XmlElement* hostname = creator->Child("hostname");
  const XmlElement* tool = creator->Child("tool");
  const XmlElement* comment = creator->Child("comment");
  const std::string* version = tool ? tool->Attribute("version") : nullptr;
  generation.hostname = hostname ? hostname->text : "";
  generation.tool = tool ? tool->text : "";
  generation.toolVersion = version ? *version : "";
  generation.comment = comment ? comment->text : "";
  return true;
}

void ReadProcess(const XmlElement& root, Generation& generation) {
  const XmlElement* info = root.Child("processinfo");
  const XmlElement* process = info ? info->Child("process") : nullptr;
  const XmlElement* ignore = info ? info->Child("ignore") : nullptr;
  generation.process = process ? std::string(Trimmed(process->text)) : "";
  generation.ignore.clear();
  if (!ignore) return;
  for (const XmlElement& pattern : ignore->children) {
    if (pattern.name == "pattern" && pattern.ns == kMhlNamespace) generation.ignore.push_back(pattern.text);
  }
}

}  // namespace

Result<Generation> ParseGeneration(std::string_view bytes) {
  Result<XmlElement> root = ParseXml(bytes);
  if (!root) return root.failure();
  if (root.value().ns != kMhlNamespace || root.value().name != "hashlist") {
    return Wrong("the root is <" + root.value().name + "> in \"" + root.value().ns + "\"");
  }
  Generation generation;
  if (!ReadCreator(root.value(), generation)) return Wrong("no <creationdate> in <creatorinfo>");
  ReadProcess(root.value(), generation);
  if (const XmlElement* hashes = root.value().Child("hashes")) {
    for (const XmlElement& hash : hashes->children) {
      if (hash.name != "hash" || hash.ns != kMhlNamespace) continue;  // directory hashes
      Result<HashEntry> entry = ReadHash(hash);
      if (!entry) return entry.failure();
      generation.hashes.push_back(std::move(entry.value()));
    }
  }
  return generation;
}

}  // namespace marlowin::history
