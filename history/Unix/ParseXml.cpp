// Bytes to an element tree with libxml2: a parser context of its own for each document, so
// that its errors are this document's, on whatever thread.
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <climits>
#include <memory>

#include "history/Unix/LibXml.h"
#include "history/XmlTree.h"

namespace marlowin::history {
namespace {

std::string Text(const xmlChar* text) { return text ? reinterpret_cast<const char*>(text) : ""; }

XmlElement ToElement(const xmlNode* node) {
  XmlElement element;
  element.name = Text(node->name);
  if (node->ns) element.ns = Text(node->ns->href);
  for (const xmlAttr* attribute = node->properties; attribute; attribute = attribute->next) {
    if (attribute->ns) continue;
    xmlChar* value = xmlNodeListGetString(node->doc, attribute->children, 1);
    element.attributes.push_back({Text(attribute->name), Text(value)});
    xmlFree(value);
  }
  for (const xmlNode* child = node->children; child; child = child->next) {
    if (child->type == XML_ELEMENT_NODE) {
      element.children.push_back(ToElement(child));
    } else if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) {
      element.text += Text(child->content);
    }
  }
  return element;
}

Failure Malformed(std::string detail) { return {HistoryErrc::kMalformedXml, std::move(detail)}; }

}  // namespace

Result<XmlElement> ParseXml(std::string_view bytes) {
  InitLibXml();
  if (bytes.size() > INT_MAX) return Malformed("larger than 2 GiB");
  std::unique_ptr<xmlParserCtxt, decltype(&xmlFreeParserCtxt)> context(xmlNewParserCtxt(), &xmlFreeParserCtxt);
  if (!context) return Failure{HistoryErrc::kXmlFailed, "no parser"};
  std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> document(
      xmlCtxtReadMemory(context.get(), bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr,
                        XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
      &xmlFreeDoc);
  if (!document || !context->wellFormed) {
    const xmlError* error = xmlCtxtGetLastError(context.get());
    if (!error || !error->message) return Malformed("");
    std::string message = error->message;
    while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
    return Malformed("line " + std::to_string(error->line) + ": " + message);
  }
  if (document->intSubset || document->extSubset) return Malformed("a document type declaration");
  const xmlNode* root = xmlDocGetRootElement(document.get());
  if (!root) return Malformed("no root element");
  return ToElement(root);
}

}  // namespace marlowin::history
