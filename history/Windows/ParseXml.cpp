// Bytes to an element tree with XmlLite's pull reader over a memory stream. XmlLite refuses
// document type declarations by default.
#include <shlwapi.h>

#include <climits>
#include <vector>

#include "history/Windows/XmlLite.h"
#include "history/XmlTree.h"
#include "platform/NativeName.h"

namespace marlowin::history {
namespace {

using xmllite::Com;

std::string Utf8(const WCHAR* text, UINT length) {
  return platform::ToNativeName(std::u16string_view(reinterpret_cast<const char16_t*>(text), length));
}

using Getter = HRESULT (STDMETHODCALLTYPE IXmlReader::*)(LPCWSTR*, UINT*);

// A text of the current node: its local name, namespace or value.
bool Get(IXmlReader* reader, Getter getter, std::string& out) {
  LPCWSTR text = nullptr;
  UINT length = 0;
  if (FAILED((reader->*getter)(&text, &length))) return false;
  out = Utf8(text, length);
  return true;
}

bool ReadAttributes(IXmlReader* reader, XmlElement& element) {
  HRESULT at = reader->MoveToFirstAttribute();
  for (; at == S_OK; at = reader->MoveToNextAttribute()) {
    XmlAttribute attribute;
    std::string ns;
    if (!Get(reader, &IXmlReader::GetLocalName, attribute.name) || !Get(reader, &IXmlReader::GetNamespaceUri, ns) ||
        !Get(reader, &IXmlReader::GetValue, attribute.value)) {
      return false;
    }
    if (ns.empty()) element.attributes.push_back(std::move(attribute));  // xmlns declarations have one
  }
  return SUCCEEDED(at) && SUCCEEDED(reader->MoveToElement());  // S_FALSE: no more attributes
}

// "line 3, column 5: what".
Failure Where(IXmlReader* reader, std::string what) {
  UINT line = 0, column = 0;
  reader->GetLineNumber(&line);
  reader->GetLinePosition(&column);
  return {HistoryErrc::kMalformedXml,
          "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + std::move(what)};
}

Failure Malformed(IXmlReader* reader, HRESULT result) {
  return Where(reader, xmllite::Failed(HistoryErrc::kMalformedXml, result, "").detail);
}

}  // namespace

Result<XmlElement> ParseXml(std::string_view bytes) {
  if (bytes.size() > UINT_MAX) return Failure{HistoryErrc::kMalformedXml, "larger than 4 GiB"};
  Com<IXmlReader> reader;
  if (Failure failure = xmllite::NewReader(reader)) return failure;
  Com<IStream> stream(SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<UINT>(bytes.size())));
  if (!stream.get()) return Failure{HistoryErrc::kXmlFailed, "no memory stream"};
  reader->SetProperty(XmlReaderProperty_MaxElementDepth, 256);
  if (HRESULT result = reader->SetInput(stream.get()); FAILED(result)) return Malformed(reader.get(), result);

  XmlElement root;
  bool haveRoot = false;
  std::vector<XmlElement*> open;  // earlier siblings are closed, so these stay where they are
  XmlNodeType type = XmlNodeType_None;
  HRESULT result = S_OK;
  // Every node takes at least one byte. Wine's reader, at the end of a document cut short,
  // gives empty text nodes for ever: the count stops it.
  for (std::size_t nodes = 0; (result = reader->Read(&type)) == S_OK; ++nodes) {
    if (nodes > bytes.size()) return Where(reader.get(), "the document ends early");
    if (type == XmlNodeType_Element) {
      const bool empty = reader->IsEmptyElement();
      XmlElement* element = open.empty() ? &root : &open.back()->children.emplace_back();
      haveRoot = true;
      if (!Get(reader.get(), &IXmlReader::GetLocalName, element->name) ||
          !Get(reader.get(), &IXmlReader::GetNamespaceUri, element->ns) || !ReadAttributes(reader.get(), *element)) {
        return Malformed(reader.get(), E_FAIL);
      }
      if (!empty) open.push_back(element);
    } else if (type == XmlNodeType_EndElement) {
      if (!open.empty()) open.pop_back();
    } else if ((type == XmlNodeType_Text || type == XmlNodeType_CDATA || type == XmlNodeType_Whitespace) &&
               !open.empty()) {
      std::string text;
      if (!Get(reader.get(), &IXmlReader::GetValue, text)) return Malformed(reader.get(), E_FAIL);
      open.back()->text += text;
    }
  }
  if (FAILED(result)) return Malformed(reader.get(), result);
  if (!haveRoot || !open.empty()) return Where(reader.get(), "no complete root element");
  return root;
}

}  // namespace marlowin::history
