// A generation to its XML document, elements in the order ASCMHL.xsd gives them.
#include <algorithm>

#include "history/Generation.h"
#include "history/MhlDate.h"
#include "history/XmlText.h"
#include "history/XmlTree.h"

namespace marlowin::history {
namespace {

bool IsXxh128(std::string_view hex) {
  return hex.size() == 32 &&
         std::all_of(hex.begin(), hex.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

XmlElement CreatorInfo(const Generation& generation) {
  XmlElement info{std::string(kMhlNamespace), "creatorinfo", {}, {}, {}};
  info.Add("creationdate", FormatDate(generation.creationDate));
  info.Add("hostname", generation.hostname);
  XmlElement& tool = info.Add("tool", generation.tool);
  if (!generation.toolVersion.empty()) tool.Set("version", generation.toolVersion);
  if (!generation.comment.empty()) info.Add("comment", generation.comment);
  return info;
}

XmlElement ProcessInfo(const Generation& generation) {
  XmlElement info{std::string(kMhlNamespace), "processinfo", {}, {}, {}};
  info.Add("process", generation.process);
  if (!generation.ignore.empty()) {
    XmlElement& ignore = info.Add("ignore");
    for (const std::string& pattern : generation.ignore) ignore.Add("pattern", pattern);
  }
  return info;
}

Result<XmlElement> Hash(const HashEntry& entry) {
  Result<std::string> path = ToXmlText(entry.path);
  if (!path) return path.failure();
  if (!IsMhlPath(entry.path)) return Failure{HistoryErrc::kBadValue, "path " + path.value()};
  if (!entry.xxh128.empty() && !IsXxh128(entry.xxh128)) {
    return Failure{HistoryErrc::kBadValue, "xxh128 \"" + entry.xxh128 + "\" of " + path.value()};
  }
  XmlElement hash{std::string(kMhlNamespace), "hash", {}, {}, {}};
  XmlElement& pathElement = hash.Add("path", std::move(path.value()));
  if (entry.size) pathElement.Set("size", std::to_string(*entry.size));
  if (entry.modified) pathElement.Set("lastmodificationdate", FormatDate(*entry.modified));
  if (!entry.xxh128.empty()) {
    XmlElement& value = hash.Add("xxh128", entry.xxh128);
    if (entry.action) value.Set("action", std::string(ActionName(*entry.action)));
    if (entry.hashDate) value.Set("hashdate", FormatDate(*entry.hashDate));
  }
  return hash;
}

}  // namespace

Result<std::string> WriteGeneration(const Generation& generation) {
  XmlElement root{std::string(kMhlNamespace), "hashlist", {{"version", "2.0"}}, {}, {}};
  root.children.push_back(CreatorInfo(generation));
  root.children.push_back(ProcessInfo(generation));
  // The schema wants at least one entry in <hashes>: without files there is none.
  if (!generation.hashes.empty()) {
    XmlElement& hashes = root.Add("hashes");
    for (const HashEntry& entry : generation.hashes) {
      Result<XmlElement> hash = Hash(entry);
      if (!hash) return hash.failure();
      hashes.children.push_back(std::move(hash.value()));
    }
  }
  return WriteXml(root);
}

Failure WriteGenerationInPieces(const Generation& head, const NextHash& next, const ByteSink& sink) {
  XmlElement root{std::string(kMhlNamespace), "hashlist", {{"version", "2.0"}}, {}, {}};
  root.children.push_back(CreatorInfo(head));
  root.children.push_back(ProcessInfo(head));
  root.Add("hashes");
  bool any = false;
  HashEntry entry;
  return WriteXmlInPieces(
      root,
      [&](XmlElement& element) -> Result<bool> {
        entry = HashEntry{};
        Result<bool> more = next(entry);
        if (!more || !more.value()) {
          if (more && !any) return Failure{HistoryErrc::kBadValue, "a generation without files"};
          return more;
        }
        Result<XmlElement> hash = Hash(entry);
        if (!hash) return hash.failure();
        element = std::move(hash.value());
        any = true;
        return true;
      },
      sink);
}

}  // namespace marlowin::history
