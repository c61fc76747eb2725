#pragma once

// A small XML element tree (names, namespace, attributes, text, children) and its bytes. The
// bytes are read and written by the system's XML library: libxml2 on POSIX, XmlLite on Windows.
// All texts are UTF-8.
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "history/Failure.h"

namespace marlowin::history {

struct XmlAttribute {
  std::string name;  // attributes in no namespace only
  std::string value;
};

struct XmlElement {
  std::string ns;    // the namespace URI; empty for none
  std::string name;  // the local name
  std::vector<XmlAttribute> attributes;
  std::string text;  // the character data directly inside, all pieces joined
  std::vector<XmlElement> children;

  // The attribute's value; nullptr when it has none.
  const std::string* Attribute(std::string_view attributeName) const;
  // The first child of this name in this element's namespace; nullptr when there is none.
  const XmlElement* Child(std::string_view childName) const;
  // Adds a child in this element's namespace and gives it back.
  XmlElement& Add(std::string childName, std::string childText = {});
  XmlElement& Set(std::string attributeName, std::string value);
};

// The document's root element. HistoryErrc::kMalformedXml, with the line and the library's
// message as detail, when the bytes are not well-formed XML or hold a document type declaration.
// Comments and processing instructions are dropped, and so are attributes in a namespace.
Result<XmlElement> ParseXml(std::string_view bytes);

// The document as UTF-8 bytes with an XML declaration, indented. Each element declares its
// namespace as the default one where it differs from its parent's. HistoryErrc::kNotXmlText
// when a text cannot be written (not UTF-8, characters XML cannot hold, a tab or line break in
// an attribute, which XML would read back as a space).
Result<std::string> WriteXml(const XmlElement& root);

// Gives the next element of a long list into its argument, or false at the list's end.
using NextElement = std::function<Result<bool>(XmlElement&)>;
// Takes a document's bytes piece by piece, in order.
using ByteSink = std::function<std::error_code(std::string_view)>;

// WriteXml for a document with one long list: the last child of `root` gets the elements that
// `next` gives as its children, and the bytes go to `sink` as they are made, so that neither the
// list nor the document is ever held whole. The first failure of `next` or `sink` is returned.
[[nodiscard]] Failure WriteXmlInPieces(const XmlElement& root, const NextElement& next, const ByteSink& sink);

namespace xml_library {

// The platform's writer, element by element, for texts that WriteXml has checked; the bytes made
// so far can be taken at any point.
class PieceWriter {
 public:
  virtual ~PieceWriter() = default;
  // The start of an element: its tag, attributes and text, and its children to come.
  [[nodiscard]] virtual Failure Open(const XmlElement& element, const std::string& parentNs) = 0;
  // An element with all it holds.
  [[nodiscard]] virtual Failure Whole(const XmlElement& element, const std::string& parentNs) = 0;
  // The end of the element opened last.
  [[nodiscard]] virtual Failure Close() = 0;
  // The end of the document.
  [[nodiscard]] virtual Failure End() = 0;
  virtual Result<std::string> TakeBytes() = 0;
};

// A writer that has begun the document (its XML declaration).
Result<std::unique_ptr<PieceWriter>> NewPieceWriter();

}  // namespace xml_library
}  // namespace marlowin::history
