// The chain file: valid against ASCMHLDirectory.xsd, read back, read from other tools, and the
// check of a generation's bytes against the C4 id it holds.
#include "history/Chain.h"

#include <gtest/gtest.h>

#include "history/C4Id.h"
#include "history/History.h"
#include "tests/support/SchemaCheck.h"

namespace marlowin::history {
namespace {

Chain TwoGenerations() {
  Result<ChainEntry> first = ChainEntryFor(1, u"0001_R&D <'\"\u65e5'>_2026-12-08_192217Z.mhl", "first generation");
  Result<ChainEntry> second = ChainEntryFor(12345, u"12345_D_2026-12-09_080000Z.mhl", "second generation");
  EXPECT_TRUE(first && second);
  return Chain{{first.value(), second.value()}};
}

TEST(Chain, IsValidAgainstTheSchema) {
  Result<std::string> bytes = WriteChain(TwoGenerations());
  ASSERT_TRUE(bytes) << Describe(bytes.failure());
  const testing::SchemaCheck check = testing::CheckAgainstSchema(bytes.value(), "ASCMHLDirectory.xsd");
  if (!check.ran) GTEST_SKIP() << check.output;
  EXPECT_TRUE(check.valid) << check.output << "\n" << bytes.value();
}

TEST(Chain, ReadsBackWhatWasWritten) {
  const Chain written = TwoGenerations();
  Result<std::string> bytes = WriteChain(written);
  ASSERT_TRUE(bytes) << Describe(bytes.failure());
  EXPECT_NE(bytes.value().find("<ascmhldirectory xmlns=\"urn:ASC:MHL:DIRECTORY:v2.0\">"), std::string::npos);
  Result<Chain> read = ParseChain(bytes.value());
  ASSERT_TRUE(read) << Describe(read.failure());
  ASSERT_EQ(read.value().generations.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(read.value().generations[i].sequence, written.generations[i].sequence);
    EXPECT_EQ(read.value().generations[i].fileName, written.generations[i].fileName);
    EXPECT_EQ(read.value().generations[i].c4, written.generations[i].c4);
  }
}

TEST(Chain, ReadsOtherToolsChains) {
  // Prefixed, with attributes on <c4>, and a <hashlist> without its number (the schema allows it).
  const std::string_view other = R"(<?xml version="1.0"?>
<d:ascmhldirectory xmlns:d="urn:ASC:MHL:DIRECTORY:v2.0">
  <d:hashlist sequencenr="3"><d:path>0003_x.mhl</d:path><d:c4 hashdate="2025-01-01T00:00:00Z"> c4aaa </d:c4></d:hashlist>
  <d:hashlist><d:path>0004_x.mhl</d:path><d:c4>c4bbb</d:c4></d:hashlist>
</d:ascmhldirectory>)";
  const testing::SchemaCheck check = testing::CheckAgainstSchema(other, "ASCMHLDirectory.xsd");
  EXPECT_TRUE(!check.ran || check.valid) << check.output;
  Result<Chain> read = ParseChain(other);
  ASSERT_TRUE(read) << Describe(read.failure());
  ASSERT_EQ(read.value().generations.size(), 2u);
  EXPECT_EQ(read.value().generations[0].c4, "c4aaa");
  EXPECT_EQ(read.value().generations[1].sequence, 4u);
  EXPECT_EQ(read.value().generations[1].fileName, u"0004_x.mhl");
}

TEST(Chain, ChainsThatCannotBeUsedSayWhy) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"<hashlist xmlns=\"urn:ASC:MHL:v2.0\"/>", "root"},
      {"<ascmhldirectory xmlns=\"urn:ASC:MHL:DIRECTORY:v2.0\"><hashlist><path>a.mhl</path></hashlist>"
       "</ascmhldirectory>", "<c4>"},
      {"<ascmhldirectory xmlns=\"urn:ASC:MHL:DIRECTORY:v2.0\"><hashlist sequencenr=\"two\"><path>a.mhl</path>"
       "<c4>c4</c4></hashlist></ascmhldirectory>", "sequencenr"},
      {"<ascmhldirectory xmlns=\"urn:ASC:MHL:DIRECTORY:v2.0\"><hashlist><path>../a.mhl</path><c4>c4</c4>"
       "</hashlist></ascmhldirectory>", "outside"},
  };
  for (const auto& [bytes, about] : cases) {
    Result<Chain> read = ParseChain(bytes);
    ASSERT_FALSE(read) << bytes;
    EXPECT_EQ(read.error(), HistoryErrc::kNotAChain);
    EXPECT_NE(read.failure().detail.find(about), std::string::npos) << read.failure().detail;
  }
  Result<Chain> malformed = ParseChain("<ascmhldirectory xmlns=\"urn:ASC:MHL:DIRECTORY:v2.0\">\n<hashlist>");
  ASSERT_FALSE(malformed);
  EXPECT_EQ(malformed.error(), HistoryErrc::kMalformedXml);
  EXPECT_NE(malformed.failure().detail.find("line"), std::string::npos);
}

TEST(Chain, AGenerationMustMatchItsC4Id) {
  Result<ChainEntry> entry = ChainEntryFor(1, u"0001_D_2026-12-08_192217Z.mhl", "the bytes written");
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry.value().c4, C4Id("the bytes written").value());
  EXPECT_FALSE(CheckGeneration(entry.value(), "the bytes written"));
  const Failure changed = CheckGeneration(entry.value(), "the bytes written, changed");
  EXPECT_EQ(changed.code, HistoryErrc::kC4Mismatch);
  EXPECT_NE(changed.detail.find("0001_D_2026-12-08_192217Z.mhl"), std::string::npos) << changed.detail;
  EXPECT_NE(changed.detail.find(entry.value().c4), std::string::npos) << changed.detail;
}

}  // namespace
}  // namespace marlowin::history
