// Element trees to bytes with libxml2's text writer, into memory, taken as they are made.
#include <libxml/xmlwriter.h>

#include <memory>

#include "history/Unix/LibXml.h"
#include "history/XmlTree.h"

namespace marlowin::history::xml_library {
namespace {

const xmlChar* X(const std::string& text) { return reinterpret_cast<const xmlChar*>(text.c_str()); }

Failure Failed() { return {HistoryErrc::kXmlFailed, "libxml2 could not write the document"}; }

class LibXmlWriter final : public PieceWriter {
 public:
  LibXmlWriter() : buffer_(xmlBufferCreate(), &xmlBufferFree) {
    writer_ = buffer_ ? xmlNewTextWriterMemory(buffer_.get(), 0) : nullptr;
  }
  ~LibXmlWriter() override {
    if (writer_) xmlFreeTextWriter(writer_);
  }

  bool Begin() {
    return writer_ && xmlTextWriterSetIndent(writer_, 1) >= 0 && xmlTextWriterSetIndentString(writer_, X("  ")) >= 0 &&
           xmlTextWriterStartDocument(writer_, "1.0", "UTF-8", nullptr) >= 0;
  }

  Failure Open(const XmlElement& element, const std::string& parentNs) override {
    return OpenElement(element, parentNs) ? Failure{} : Failed();
  }
  Failure Whole(const XmlElement& element, const std::string& parentNs) override {
    return WriteElement(element, parentNs) ? Failure{} : Failed();
  }
  Failure Close() override { return xmlTextWriterEndElement(writer_) >= 0 ? Failure{} : Failed(); }
  Failure End() override { return xmlTextWriterEndDocument(writer_) >= 0 ? Failure{} : Failed(); }

  Result<std::string> TakeBytes() override {
    if (xmlTextWriterFlush(writer_) < 0) return Failed();
    std::string bytes(reinterpret_cast<const char*>(xmlBufferContent(buffer_.get())),
                      static_cast<std::size_t>(xmlBufferLength(buffer_.get())));
    xmlBufferEmpty(buffer_.get());
    return bytes;
  }

 private:
  bool OpenElement(const XmlElement& element, const std::string& parentNs) {
    if (xmlTextWriterStartElement(writer_, X(element.name)) < 0) return false;
    for (const XmlAttribute& attribute : element.attributes) {
      if (xmlTextWriterWriteAttribute(writer_, X(attribute.name), X(attribute.value)) < 0) return false;
    }
    // The writer keeps no namespace scopes: the declaration goes where the namespace changes.
    if (element.ns != parentNs && xmlTextWriterWriteAttribute(writer_, X("xmlns"), X(element.ns)) < 0) return false;
    return element.text.empty() || xmlTextWriterWriteString(writer_, X(element.text)) >= 0;
  }

  bool WriteElement(const XmlElement& element, const std::string& parentNs) {
    if (!OpenElement(element, parentNs)) return false;
    for (const XmlElement& child : element.children) {
      if (!WriteElement(child, element.ns)) return false;
    }
    return xmlTextWriterEndElement(writer_) >= 0;
  }

  std::unique_ptr<xmlBuffer, decltype(&xmlBufferFree)> buffer_;
  xmlTextWriter* writer_ = nullptr;
};

}  // namespace

Result<std::unique_ptr<PieceWriter>> NewPieceWriter() {
  InitLibXml();
  auto writer = std::make_unique<LibXmlWriter>();
  if (!writer->Begin()) return Failure{HistoryErrc::kXmlFailed, "no writer"};
  return std::unique_ptr<PieceWriter>(std::move(writer));
}

}  // namespace marlowin::history::xml_library
