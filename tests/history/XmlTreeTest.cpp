// The element tree through the platform's XML library and back: texts that need escaping,
// namespaces, what is dropped, and the reasons of documents that cannot be read or written.
#include "history/XmlTree.h"

#include <gtest/gtest.h>

namespace marlowin::history {
namespace {

XmlElement Element(std::string ns, std::string name) { return {std::move(ns), std::move(name), {}, {}, {}}; }

TEST(XmlTree, TextsComeBackAsTheyWere) {
  XmlElement root = Element("urn:a", "root");
  root.Set("quote", "say \"hi\" & 'bye' <now>");
  root.Add("special", "a&b<c>d\"e'f");
  root.Add("unicode", "Gr\xC3\xBC\xC3\x9F" "e \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x8E\xAC");  // "Grüße 日本 🎬"
  root.Add("spaces", "  lead, tab\tand\nline\nend  ");  // carriage returns: GenerationTest
  root.Add("empty");
  Result<std::string> bytes = WriteXml(root);
  ASSERT_TRUE(bytes) << Describe(bytes.failure());
  EXPECT_TRUE(bytes.value().starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>")) << bytes.value();

  Result<XmlElement> back = ParseXml(bytes.value());
  ASSERT_TRUE(back) << Describe(back.failure());
  ASSERT_EQ(back.value().children.size(), 4u);
  EXPECT_EQ(*back.value().Attribute("quote"), "say \"hi\" & 'bye' <now>");
  for (const XmlElement& child : root.children) {
    const XmlElement* read = back.value().Child(child.name);
    ASSERT_NE(read, nullptr) << child.name;
    EXPECT_EQ(read->text, child.text) << child.name;
    EXPECT_EQ(read->ns, "urn:a");
  }
}

TEST(XmlTree, NamespacesAreDeclaredWhereTheyChange) {
  XmlElement root = Element("urn:outer", "outer");
  XmlElement& inner = root.children.emplace_back(Element("urn:inner", "inner"));
  inner.Add("leaf", "x");
  root.Add("sibling");
  Result<std::string> bytes = WriteXml(root);
  ASSERT_TRUE(bytes) << Describe(bytes.failure());
  Result<XmlElement> back = ParseXml(bytes.value());
  ASSERT_TRUE(back) << Describe(back.failure());
  EXPECT_EQ(back.value().ns, "urn:outer");
  EXPECT_EQ(back.value().children.at(0).ns, "urn:inner");
  EXPECT_EQ(back.value().children.at(0).children.at(0).ns, "urn:inner");
  EXPECT_EQ(back.value().children.at(1).ns, "urn:outer");
  EXPECT_EQ(back.value().Child("inner"), nullptr) << "another namespace is another name";
}

TEST(XmlTree, ReadsWhatOtherWritersWrite) {
  // UTF-16 with a byte order mark, prefixes, CDATA, comments, references, foreign attributes.
  const std::string utf8 =
      "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<!-- made by hand -->\n"
      "<m:root xmlns:m=\"urn:m\" xmlns:x=\"urn:x\" x:foreign=\"dropped\" plain=\"&#x41;&amp;\">"
      "<m:a><![CDATA[<raw> & ]]>more &lt;</m:a><?pi data?><x:b>other</x:b></m:root>";
  std::string utf16 = "\xFF\xFE";
  for (char c : utf8) utf16 += std::string{c, '\0'};
  Result<XmlElement> root = ParseXml(utf16);
  ASSERT_TRUE(root) << Describe(root.failure());
  EXPECT_EQ(root.value().ns, "urn:m");
  ASSERT_EQ(root.value().attributes.size(), 1u);
  EXPECT_EQ(*root.value().Attribute("plain"), "A&");
  ASSERT_NE(root.value().Child("a"), nullptr);
  EXPECT_EQ(root.value().Child("a")->text, "<raw> & more <");
  EXPECT_EQ(root.value().children.at(1).ns, "urn:x");
}

TEST(XmlTree, MalformedDocumentsSayWhere) {
  for (std::string_view bytes : {"<a>\n<b>\n</a>", "", "<a>text", "<a>\n\n<b x=1/></a>", "<a/><b/>",
                                 "not xml"}) {
    Result<XmlElement> root = ParseXml(bytes);
    ASSERT_FALSE(root) << bytes;
    EXPECT_EQ(root.error(), HistoryErrc::kMalformedXml) << bytes;
    EXPECT_NE(root.failure().detail.find("line"), std::string::npos) << root.failure().detail;
  }
  Result<XmlElement> bad = ParseXml("<a>\n<b>\n</a>");
  EXPECT_TRUE(Describe(bad.failure()).starts_with("malformed XML: line 3")) << Describe(bad.failure());
}

TEST(XmlTree, DocumentTypesAreRefused) {
  const std::string_view bomb =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE a [<!ENTITY e \"eeeeeeeeee\"><!ENTITY f \"&e;&e;&e;&e;\">]>\n<a>&f;</a>";
  Result<XmlElement> root = ParseXml(bomb);
  ASSERT_FALSE(root);
  EXPECT_EQ(root.error(), HistoryErrc::kMalformedXml);
}

TEST(XmlTree, TextsXmlCannotHoldAreNotWritten) {
  const std::pair<std::string, std::string> cases[] = {
      {"text", std::string("bell\x07")}, {"text", "\xC3"},        {"text", "\xED\xA0\x80"},  // lone surrogate
      {"text", "\xEF\xBF\xBF"},          {"attribute", "a\tb"},   {"attribute", "a\nb"},
      {"name", "1abc"},
  };
  for (const auto& [where, value] : cases) {
    XmlElement root = Element("urn:a", "root");
    if (where == "text") root.text = value;
    if (where == "attribute") root.Set("a", value);
    if (where == "name") root.Add(value);
    Result<std::string> bytes = WriteXml(root);
    ASSERT_FALSE(bytes) << where << " " << value;
    EXPECT_EQ(bytes.error(), HistoryErrc::kNotXmlText);
  }
}

}  // namespace
}  // namespace marlowin::history
