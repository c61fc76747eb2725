// An element tree to bytes with libxml2's text writer, into memory.
#include <libxml/xmlwriter.h>

#include <memory>

#include "history/Unix/LibXml.h"
#include "history/XmlTree.h"

namespace marlowin::history::xml_library {
namespace {

const xmlChar* X(const std::string& text) { return reinterpret_cast<const xmlChar*>(text.c_str()); }

bool WriteElement(xmlTextWriter* writer, const XmlElement& element, const std::string& parentNs) {
  if (xmlTextWriterStartElement(writer, X(element.name)) < 0) return false;
  for (const XmlAttribute& attribute : element.attributes) {
    if (xmlTextWriterWriteAttribute(writer, X(attribute.name), X(attribute.value)) < 0) return false;
  }
  // The writer keeps no namespace scopes: the declaration goes where the namespace changes.
  if (element.ns != parentNs && xmlTextWriterWriteAttribute(writer, X("xmlns"), X(element.ns)) < 0) return false;
  if (!element.text.empty() && xmlTextWriterWriteString(writer, X(element.text)) < 0) return false;
  for (const XmlElement& child : element.children) {
    if (!WriteElement(writer, child, element.ns)) return false;
  }
  return xmlTextWriterEndElement(writer) >= 0;
}

}  // namespace

Result<std::string> WriteCheckedXml(const XmlElement& root) {
  InitLibXml();
  std::unique_ptr<xmlBuffer, decltype(&xmlBufferFree)> buffer(xmlBufferCreate(), &xmlBufferFree);
  xmlTextWriter* writer = buffer ? xmlNewTextWriterMemory(buffer.get(), 0) : nullptr;
  if (!writer) return Failure{HistoryErrc::kXmlFailed, "no writer"};
  const bool ok = xmlTextWriterSetIndent(writer, 1) >= 0 && xmlTextWriterSetIndentString(writer, X("  ")) >= 0 &&
                  xmlTextWriterStartDocument(writer, "1.0", "UTF-8", nullptr) >= 0 &&
                  WriteElement(writer, root, std::string()) && xmlTextWriterEndDocument(writer) >= 0;
  xmlFreeTextWriter(writer);  // flushes into the buffer
  if (!ok) return Failure{HistoryErrc::kXmlFailed, "libxml2 could not write the document"};
  return std::string(reinterpret_cast<const char*>(xmlBufferContent(buffer.get())),
                     static_cast<std::size_t>(xmlBufferLength(buffer.get())));
}

}  // namespace marlowin::history::xml_library
