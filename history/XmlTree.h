#pragma once

// A small XML element tree (names, namespace, attributes, text, children) and its bytes. The
// bytes are read and written by the system's XML library: libxml2 on POSIX, XmlLite on Windows.
// All texts are UTF-8.
#include <string>
#include <string_view>
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

namespace xml_library {

// The platform's writer, for a tree whose texts WriteXml has checked.
Result<std::string> WriteCheckedXml(const XmlElement& root);

}  // namespace xml_library
}  // namespace marlowin::history
