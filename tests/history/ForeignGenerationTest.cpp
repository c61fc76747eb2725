// Generations that other tools may write: every part the schema allows, read for what a check
// needs, the rest passed over; and the reasons of documents that are no generation.
#include <gtest/gtest.h>

#include "history/Generation.h"
#include "tests/support/SchemaCheck.h"

namespace marlowin::history {
namespace {

// Written by hand from ASCMHL.xsd: an in-place pass with authors, a root hash, several hash
// formats, a directory hash, metadata of another namespace and a reference to another list.
constexpr std::string_view kForeign = R"(<?xml version="1.0" encoding="UTF-8"?>
<!-- another tool's seal -->
<mhl:hashlist xmlns:mhl="urn:ASC:MHL:v2.0" version="2.0">
  <mhl:creatorinfo>
    <mhl:creationdate>2025-03-01T10:00:00.25-05:00</mhl:creationdate>
    <mhl:hostname>dit-cart</mhl:hostname>
    <mhl:tool version="9.1">OtherSealer</mhl:tool>
    <mhl:author email="dit@example.com" role="DIT">Sam Doe</mhl:author>
    <mhl:location>Stage 4</mhl:location>
    <mhl:comment>Day 12 &amp; pick-ups</mhl:comment>
  </mhl:creatorinfo>
  <mhl:processinfo>
    <mhl:process>in-place</mhl:process>
    <mhl:roothash>
      <mhl:content><mhl:c4>c4abc</mhl:c4></mhl:content>
      <mhl:structure><mhl:md5>d41d8cd98f00b204e9800998ecf8427e</mhl:md5></mhl:structure>
    </mhl:roothash>
    <mhl:ignore><mhl:pattern>.DS_Store</mhl:pattern></mhl:ignore>
  </mhl:processinfo>
  <mhl:hashes>
    <mhl:directoryhash>
      <mhl:path lastmodificationdate="2025-03-01T09:00:00Z">A001</mhl:path>
      <mhl:content><mhl:xxh128>11111111111111111111111111111111</mhl:xxh128></mhl:content>
      <mhl:structure><mhl:xxh128>22222222222222222222222222222222</mhl:xxh128></mhl:structure>
    </mhl:directoryhash>
    <mhl:hash>
      <mhl:path size="+0042" creationdate="2025-03-01T08:00:00Z" lastmodificationdate="2025-03-01T09:30:00+01:00">A001/C001.mov</mhl:path>
      <mhl:c4 action="original">c4xyz</mhl:c4>
      <mhl:md5 action="original">d41d8cd98f00b204e9800998ecf8427e</mhl:md5>
      <mhl:sha1>da39a3ee5e6b4b0d3255bfef95601890afd80709</mhl:sha1>
      <mhl:xxh128 action="verified" hashdate="2025-03-01T10:00:01-05:00">
        0123456789ABCDEF0123456789ABCDEF
      </mhl:xxh128>
      <mhl:xxh3 action="original">0123456789abcdef</mhl:xxh3>
      <mhl:xxh64 action="failed">fedcba9876543210</mhl:xxh64>
      <mhl:previousPath>old/C001.mov</mhl:previousPath>
      <mhl:metadata><x:take xmlns:x="urn:example:slate">3</x:take></mhl:metadata>
    </mhl:hash>
    <mhl:hash>
      <mhl:path>A001/C002.mov</mhl:path>
      <mhl:md5>d41d8cd98f00b204e9800998ecf8427e</mhl:md5>
    </mhl:hash>
  </mhl:hashes>
  <mhl:metadata><anything>goes</anything></mhl:metadata>
  <mhl:references>
    <mhl:hashlistreference>
      <mhl:path>A001/ascmhl/0001_A001_2025-02-28_180000Z.mhl</mhl:path>
      <mhl:c4>c4def</mhl:c4>
    </mhl:hashlistreference>
  </mhl:references>
</mhl:hashlist>
)";

TEST(ForeignGeneration, TheFixtureIsValidAgainstTheSchema) {
  const testing::SchemaCheck check = testing::CheckAgainstSchema(kForeign, "ASCMHL.xsd");
  if (!check.ran) GTEST_SKIP() << check.output;
  EXPECT_TRUE(check.valid) << check.output;
}

TEST(ForeignGeneration, TakesWhatACheckNeeds) {
  Result<Generation> read = ParseGeneration(kForeign);
  ASSERT_TRUE(read) << Describe(read.failure());
  const Generation& generation = read.value();
  EXPECT_EQ(generation.creationDate, (platform::FileTime{1740841200, 250000000}));
  EXPECT_EQ(generation.hostname, "dit-cart");
  EXPECT_EQ(generation.tool, "OtherSealer");
  EXPECT_EQ(generation.toolVersion, "9.1");
  EXPECT_EQ(generation.comment, "Day 12 & pick-ups");
  EXPECT_EQ(generation.process, "in-place");
  EXPECT_EQ(generation.ignore, std::vector<std::string>{".DS_Store"});

  ASSERT_EQ(generation.hashes.size(), 2u) << "the directory hash is not a file";
  const HashEntry& clip = generation.hashes[0];
  EXPECT_EQ(clip.path, u"A001/C001.mov");
  EXPECT_EQ(clip.size, 42u);
  EXPECT_EQ(clip.modified, (platform::FileTime{1740817800, 0}));
  EXPECT_EQ(clip.xxh128, "0123456789abcdef0123456789abcdef");
  EXPECT_EQ(clip.action, HashAction::kVerified);
  EXPECT_EQ(clip.hashDate, (platform::FileTime{1740841201, 0}));

  const HashEntry& md5Only = generation.hashes[1];
  EXPECT_EQ(md5Only.path, u"A001/C002.mov");
  EXPECT_FALSE(md5Only.size);
  EXPECT_FALSE(md5Only.modified);
  EXPECT_TRUE(md5Only.xxh128.empty());
  EXPECT_FALSE(md5Only.action);
}

TEST(ForeignGeneration, DocumentsThatAreNoGenerationSayWhy) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"<hashlist version=\"2.0\"/>", "root"},  // no namespace
      {"<ascmhldirectory xmlns=\"urn:ASC:MHL:DIRECTORY:v2.0\"/>", "root"},
      {"<hashlist xmlns=\"urn:ASC:MHL:v2.0\" version=\"2.0\"><processinfo/></hashlist>", "creationdate"},
      {"<hashlist xmlns=\"urn:ASC:MHL:v2.0\"><creatorinfo><creationdate>yesterday</creationdate></creatorinfo>"
       "</hashlist>", "creationdate"},
  };
  for (const auto& [bytes, about] : cases) {
    Result<Generation> read = ParseGeneration(bytes);
    ASSERT_FALSE(read) << bytes;
    EXPECT_EQ(read.error(), HistoryErrc::kNotAGeneration) << bytes;
    EXPECT_NE(read.failure().detail.find(about), std::string::npos) << read.failure().detail;
  }
  const std::string head = "<hashlist xmlns=\"urn:ASC:MHL:v2.0\"><creatorinfo><creationdate>2025-03-01T10:00:00Z"
                           "</creationdate></creatorinfo><processinfo/><hashes><hash>";
  const std::pair<std::string, std::string_view> entries[] = {
      {"<xxh128>00</xxh128>", "without a <path>"},
      {"<path>../outside.mov</path>", "not inside"},
      {"<path>/etc/passwd</path>", "not inside"},
      {"<path size=\"-1\">a.mov</path>", "size"},
      {"<path lastmodificationdate=\"soon\">a.mov</path>", "lastmodificationdate"},
      {"<path>a.mov</path><xxh128>xyz</xxh128>", "xxh128"},
      {"<path>a.mov</path><xxh128 action=\"guessed\">" + std::string(32, '0') + "</xxh128>", "action"},
  };
  for (const auto& [entry, about] : entries) {
    Result<Generation> read = ParseGeneration(head + entry + "</hash></hashes></hashlist>");
    ASSERT_FALSE(read) << entry;
    EXPECT_EQ(read.error(), HistoryErrc::kNotAGeneration) << entry;
    EXPECT_NE(read.failure().detail.find(about), std::string::npos) << read.failure().detail;
  }
  Result<Generation> malformed = ParseGeneration(head + "<path>a.mov</hash>");
  EXPECT_EQ(malformed.error(), HistoryErrc::kMalformedXml);
}

}  // namespace
}  // namespace marlowin::history
