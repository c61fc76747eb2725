// An element tree to bytes with XmlLite's writer, into a memory stream, UTF-8 without a byte
// order mark. Carriage returns in text go out as character references, so they come back.
// Wine's XmlLite writes attribute values as they are, unescaped: where a probe finds the
// loaded writer does, the values are escaped here first.
#include <shlwapi.h>

#include "history/Windows/XmlLite.h"
#include "history/XmlTree.h"
#include "platform/NativeName.h"
#include "platform/WideString.h"

namespace marlowin::history::xml_library {
namespace {

using xmllite::Com;

std::u16string Wide(const std::string& utf8) { return sys::FromNativeName(utf8); }

HRESULT WriteText(IXmlWriter* writer, const std::u16string& text) {
  std::size_t start = 0;
  for (std::size_t cr; (cr = text.find(u'\r', start)) != std::u16string::npos; start = cr + 1) {
    if (cr > start) {
      if (HRESULT r = writer->WriteChars(sys::AsWide(text.c_str()) + start, static_cast<UINT>(cr - start)); FAILED(r)) {
        return r;
      }
    }
    if (HRESULT r = writer->WriteCharEntity(L'\r'); FAILED(r)) return r;
  }
  if (start == text.size()) return S_OK;
  return writer->WriteChars(sys::AsWide(text.c_str()) + start, static_cast<UINT>(text.size() - start));
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

HRESULT WriteElement(IXmlWriter* writer, const XmlElement& element, const std::string& parentNs,
                     bool escapeAttributes) {
  // The namespace is named only where it changes; XmlLite then declares it as the default one.
  const std::u16string ns = Wide(element.ns);
  HRESULT r = writer->WriteStartElement(nullptr, sys::AsWide(Wide(element.name)),
                                        element.ns == parentNs ? nullptr : sys::AsWide(ns));
  for (const XmlAttribute& attribute : element.attributes) {
    if (SUCCEEDED(r)) {
      const std::u16string value = Wide(attribute.value);
      r = writer->WriteAttributeString(nullptr, sys::AsWide(Wide(attribute.name)), nullptr,
                                       sys::AsWide(escapeAttributes ? Escaped(value) : value));
    }
  }
  if (SUCCEEDED(r) && !element.text.empty()) r = WriteText(writer, Wide(element.text));
  for (const XmlElement& child : element.children) {
    if (SUCCEEDED(r)) r = WriteElement(writer, child, element.ns, escapeAttributes);
  }
  return SUCCEEDED(r) ? writer->WriteEndElement() : r;
}

Result<std::string> StreamBytes(IStream* stream) {
  STATSTG status{};
  if (HRESULT r = stream->Stat(&status, STATFLAG_NONAME); FAILED(r)) {
    return xmllite::Failed(HistoryErrc::kXmlFailed, r, "memory stream");
  }
  std::string bytes(static_cast<std::size_t>(status.cbSize.QuadPart), '\0');
  ULONG got = 0;
  HRESULT r = stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
  if (SUCCEEDED(r)) r = stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &got);
  if (FAILED(r) || got != bytes.size()) return xmllite::Failed(HistoryErrc::kXmlFailed, r, "memory stream");
  return bytes;
}

Result<std::string> Write(const XmlElement& root, bool escapeAttributes) {
  Com<IXmlWriter> writer;
  if (Failure failure = xmllite::NewWriter(writer)) return failure;
  Com<IStream> stream(SHCreateMemStream(nullptr, 0));
  if (!stream.get()) return Failure{HistoryErrc::kXmlFailed, "no memory stream"};
  HRESULT r = writer->SetProperty(XmlWriterProperty_ByteOrderMark, FALSE);
  if (SUCCEEDED(r)) r = writer->SetProperty(XmlWriterProperty_Indent, TRUE);
  if (SUCCEEDED(r)) r = writer->SetOutput(stream.get());
  if (SUCCEEDED(r)) r = writer->WriteStartDocument(XmlStandalone_Omit);
  if (SUCCEEDED(r)) r = WriteElement(writer.get(), root, std::string(), escapeAttributes);
  if (SUCCEEDED(r)) r = writer->WriteEndDocument();
  if (SUCCEEDED(r)) r = writer->Flush();
  if (FAILED(r)) return xmllite::Failed(HistoryErrc::kXmlFailed, r, "writing XML");
  return StreamBytes(stream.get());
}

// Whether the loaded writer leaves attribute values unescaped; asked once.
bool WritesAttributesUnescaped() {
  static const bool unescaped = [] {
    XmlElement probe{{}, "probe", {{"value", "&"}}, {}, {}};
    Result<std::string> bytes = Write(probe, false);
    return bytes && bytes.value().find("\"&\"") != std::string::npos;
  }();
  return unescaped;
}

}  // namespace

Result<std::string> WriteCheckedXml(const XmlElement& root) { return Write(root, WritesAttributesUnescaped()); }

}  // namespace marlowin::history::xml_library
