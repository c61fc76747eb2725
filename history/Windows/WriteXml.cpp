// Element trees to bytes with XmlLite's writer, into a memory stream taken as it fills, UTF-8
// without a byte order mark. Carriage returns in text go out as character references, so they
// come back.
// Wine's XmlLite writes attribute values as they are, unescaped: where a probe finds the
// loaded writer does, the values are escaped here first.
#include <shlwapi.h>

#include <memory>

#include "history/Windows/XmlLite.h"
#include "history/XmlTree.h"
#include "platform/NativeName.h"
#include "platform/WideString.h"

namespace marlowin::history::xml_library {
namespace {

using xmllite::Com;

std::u16string Wide(const std::string& utf8) { return platform::FromNativeName(utf8); }

HRESULT WriteText(IXmlWriter* writer, const std::u16string& text) {
  std::size_t start = 0;
  for (std::size_t cr; (cr = text.find(u'\r', start)) != std::u16string::npos; start = cr + 1) {
    if (cr > start) {
      if (HRESULT r = writer->WriteChars(platform::AsWide(text.c_str()) + start, static_cast<UINT>(cr - start)); FAILED(r)) {
        return r;
      }
    }
    if (HRESULT r = writer->WriteCharEntity(L'\r'); FAILED(r)) return r;
  }
  if (start == text.size()) return S_OK;
  return writer->WriteChars(platform::AsWide(text.c_str()) + start, static_cast<UINT>(text.size() - start));
}

std::u16string Escaped(const std::u16string& value) {
  std::u16string escaped;
  for (char16_t c : value) {
    switch (c) {
      case u'&': escaped += u"&amp;"; break;
      case u'<': escaped += u"&lt;"; break;
      case u'>': escaped += u"&gt;"; break;
      case u'"': escaped += u"&quot;"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

HRESULT OpenElement(IXmlWriter* writer, const XmlElement& element, const std::string& parentNs,
                    bool escapeAttributes) {
  // The namespace is named only where it changes; XmlLite then declares it as the default one.
  const std::u16string ns = Wide(element.ns);
  HRESULT r = writer->WriteStartElement(nullptr, platform::AsWide(Wide(element.name)),
                                        element.ns == parentNs ? nullptr : platform::AsWide(ns));
  for (const XmlAttribute& attribute : element.attributes) {
    if (SUCCEEDED(r)) {
      const std::u16string value = Wide(attribute.value);
      r = writer->WriteAttributeString(nullptr, platform::AsWide(Wide(attribute.name)), nullptr,
                                       platform::AsWide(escapeAttributes ? Escaped(value) : value));
    }
  }
  if (SUCCEEDED(r) && !element.text.empty()) r = WriteText(writer, Wide(element.text));
  return r;
}

HRESULT WriteElement(IXmlWriter* writer, const XmlElement& element, const std::string& parentNs,
                     bool escapeAttributes) {
  HRESULT r = OpenElement(writer, element, parentNs, escapeAttributes);
  for (const XmlElement& child : element.children) {
    if (SUCCEEDED(r)) r = WriteElement(writer, child, element.ns, escapeAttributes);
  }
  return SUCCEEDED(r) ? writer->WriteEndElement() : r;
}

// The writer's bytes so far, and the memory stream emptied for the next ones.
Result<std::string> TakeStreamBytes(IStream* stream) {
  STATSTG status{};
  if (HRESULT r = stream->Stat(&status, STATFLAG_NONAME); FAILED(r)) {
    return xmllite::Failed(HistoryErrc::kXmlFailed, r, "memory stream");
  }
  std::string bytes(static_cast<std::size_t>(status.cbSize.QuadPart), '\0');
  ULONG got = 0;
  HRESULT r = stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
  if (SUCCEEDED(r) && !bytes.empty()) r = stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &got);
  if (SUCCEEDED(r) && got != bytes.size()) r = E_FAIL;
  if (SUCCEEDED(r)) r = stream->SetSize(ULARGE_INTEGER{});
  if (SUCCEEDED(r)) r = stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
  if (FAILED(r)) return xmllite::Failed(HistoryErrc::kXmlFailed, r, "memory stream");
  return bytes;
}

class XmlLiteWriter final : public PieceWriter {
 public:
  explicit XmlLiteWriter(bool escapeAttributes) : escape_(escapeAttributes) {}

  Failure Begin() {
    if (Failure failure = xmllite::NewWriter(writer_)) return failure;
    *stream_.Out() = SHCreateMemStream(nullptr, 0);
    if (!stream_.get()) return Failure{HistoryErrc::kXmlFailed, "no memory stream"};
    HRESULT r = writer_->SetProperty(XmlWriterProperty_ByteOrderMark, FALSE);
    if (SUCCEEDED(r)) r = writer_->SetProperty(XmlWriterProperty_Indent, TRUE);
    if (SUCCEEDED(r)) r = writer_->SetOutput(stream_.get());
    if (SUCCEEDED(r)) r = writer_->WriteStartDocument(XmlStandalone_Omit);
    return Check(r);
  }

  Failure Open(const XmlElement& element, const std::string& parentNs) override {
    return Check(OpenElement(writer_.get(), element, parentNs, escape_));
  }
  Failure Whole(const XmlElement& element, const std::string& parentNs) override {
    return Check(WriteElement(writer_.get(), element, parentNs, escape_));
  }
  Failure Close() override { return Check(writer_->WriteEndElement()); }
  Failure End() override { return Check(writer_->WriteEndDocument()); }
  Result<std::string> TakeBytes() override {
    if (Failure failure = Check(writer_->Flush())) return failure;
    return TakeStreamBytes(stream_.get());
  }

 private:
  static Failure Check(HRESULT r) {
    return FAILED(r) ? xmllite::Failed(HistoryErrc::kXmlFailed, r, "writing XML") : Failure{};
  }

  bool escape_;
  Com<IXmlWriter> writer_;
  Com<IStream> stream_;
};

Result<std::unique_ptr<PieceWriter>> MakeWriter(bool escapeAttributes) {
  auto writer = std::make_unique<XmlLiteWriter>(escapeAttributes);
  if (Failure failure = writer->Begin()) return failure;
  return std::unique_ptr<PieceWriter>(std::move(writer));
}

// Whether the loaded writer leaves attribute values unescaped; asked once.
bool WritesAttributesUnescaped() {
  static const bool unescaped = [] {
    Result<std::unique_ptr<PieceWriter>> writer = MakeWriter(false);
    if (!writer) return false;
    const XmlElement probe{{}, "probe", {{"value", "&"}}, {}, {}};
    if (writer.value()->Whole(probe, std::string()) || writer.value()->End()) return false;
    Result<std::string> bytes = writer.value()->TakeBytes();
    return bytes && bytes.value().find("\"&\"") != std::string::npos;
  }();
  return unescaped;
}

}  // namespace

Result<std::unique_ptr<PieceWriter>> NewPieceWriter() { return MakeWriter(WritesAttributesUnescaped()); }

}  // namespace marlowin::history::xml_library
