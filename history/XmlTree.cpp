// The element tree's look-ups, and the checks every text passes before a library writes it.
#include "history/XmlTree.h"

#include <cctype>
#include <utility>

#include "history/XmlText.h"

namespace marlowin::history {
namespace {

// Names as we write them: ASCII letters, digits and "-_." after a letter or "_".
bool IsPlainName(std::string_view name) {
  if (name.empty() || !(std::isalpha(static_cast<unsigned char>(name[0])) || name[0] == '_')) return false;
  for (char c : name) {
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.')) return false;
  }
  return true;
}

// The first text of the tree that cannot be written, as a detail; empty when all can.
std::string Unwritable(const XmlElement& element) {
  if (!IsPlainName(element.name)) return "element name \"" + element.name + "\"";
  if (!IsXmlText(element.ns)) return "namespace of <" + element.name + ">";
  if (!IsXmlText(element.text)) return "text of <" + element.name + ">";
  for (const XmlAttribute& attribute : element.attributes) {
    const bool spaced = attribute.value.find_first_of("\t\n\r") != std::string::npos;
    if (!IsPlainName(attribute.name) || attribute.name == "xmlns" || spaced || !IsXmlText(attribute.value)) {
      return "attribute " + attribute.name + " of <" + element.name + ">";
    }
  }
  for (const XmlElement& child : element.children) {
    if (std::string detail = Unwritable(child); !detail.empty()) return detail;
  }
  return {};
}

}  // namespace

const std::string* XmlElement::Attribute(std::string_view attributeName) const {
  for (const XmlAttribute& attribute : attributes) {
    if (attribute.name == attributeName) return &attribute.value;
  }
  return nullptr;
}

const XmlElement* XmlElement::Child(std::string_view childName) const {
  for (const XmlElement& child : children) {
    if (child.name == childName && child.ns == ns) return &child;
  }
  return nullptr;
}

XmlElement& XmlElement::Add(std::string childName, std::string childText) {
  XmlElement& child = children.emplace_back();
  child.ns = ns;
  child.name = std::move(childName);
  child.text = std::move(childText);
  return child;
}

XmlElement& XmlElement::Set(std::string attributeName, std::string value) {
  attributes.push_back({std::move(attributeName), std::move(value)});
  return *this;
}

Result<std::string> WriteXml(const XmlElement& root) {
  if (std::string detail = Unwritable(root); !detail.empty()) return Failure{HistoryErrc::kNotXmlText, detail};
  Result<std::unique_ptr<xml_library::PieceWriter>> writer = xml_library::NewPieceWriter();
  if (!writer) return writer.failure();
  if (Failure failure = writer.value()->Whole(root, std::string())) return failure;
  if (Failure failure = writer.value()->End()) return failure;
  return writer.value()->TakeBytes();
}

Failure WriteXmlInPieces(const XmlElement& root, const NextElement& next, const ByteSink& sink) {
  if (root.children.empty()) return {HistoryErrc::kBadValue, "no list in <" + root.name + ">"};
  if (std::string detail = Unwritable(root); !detail.empty()) return {HistoryErrc::kNotXmlText, detail};
  Result<std::unique_ptr<xml_library::PieceWriter>> made = xml_library::NewPieceWriter();
  if (!made) return made.failure();
  xml_library::PieceWriter& writer = *made.value();
  // The bytes go out every so often: a long list costs no more memory than a short one.
  constexpr std::size_t kPiece = 1 << 18;
  const XmlElement& list = root.children.back();
  if (Failure failure = writer.Open(root, std::string())) return failure;
  for (std::size_t i = 0; i + 1 < root.children.size(); ++i) {
    if (Failure failure = writer.Whole(root.children[i], root.ns)) return failure;
  }
  if (Failure failure = writer.Open(list, root.ns)) return failure;
  std::string pending;
  XmlElement item;
  for (;;) {
    item = XmlElement{list.ns, {}, {}, {}, {}};
    Result<bool> more = next(item);
    if (!more) return more.failure();
    if (!more.value()) break;
    if (std::string detail = Unwritable(item); !detail.empty()) return {HistoryErrc::kNotXmlText, detail};
    if (Failure failure = writer.Whole(item, list.ns)) return failure;
    Result<std::string> bytes = writer.TakeBytes();
    if (!bytes) return bytes.failure();
    pending += bytes.value();
    if (pending.size() >= kPiece) {
      if (std::error_code error = sink(pending)) return {error, "writing"};
      pending.clear();
    }
  }
  if (Failure failure = writer.Close()) return failure;
  if (Failure failure = writer.Close()) return failure;
  if (Failure failure = writer.End()) return failure;
  Result<std::string> bytes = writer.TakeBytes();
  if (!bytes) return bytes.failure();
  pending += bytes.value();
  if (std::error_code error = sink(pending)) return {error, "writing"};
  return {};
}

}  // namespace marlowin::history
