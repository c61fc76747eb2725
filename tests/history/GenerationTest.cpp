// This program's generations: valid against ASCMHL.xsd, read back to the same values, and the
// values the format does not allow refused with their reason.
#include "history/Generation.h"

#include <gtest/gtest.h>

#include "history/XmlTree.h"
#include "tests/history/Samples.h"
#include "tests/support/SchemaCheck.h"

namespace marlowin::history {
namespace {

using samples::Copy;

void ExpectSameEntries(const std::vector<HashEntry>& read, const std::vector<HashEntry>& written) {
  ASSERT_EQ(read.size(), written.size());
  for (std::size_t i = 0; i < read.size(); ++i) {
    EXPECT_EQ(read[i].path, written[i].path) << i;
    EXPECT_EQ(read[i].size, written[i].size) << i;
    EXPECT_EQ(read[i].modified, written[i].modified) << i;
    EXPECT_EQ(read[i].xxh128, written[i].xxh128) << i;
    EXPECT_EQ(read[i].action, written[i].action) << i;
    EXPECT_EQ(read[i].hashDate, written[i].hashDate) << i;
  }
}

TEST(Generation, IsValidAgainstTheSchema) {
  Generation unverified = samples::PassWithAwkwardNames();
  unverified.comment = "copies were not read back";
  Generation empty = samples::PassWithAwkwardNames();
  empty.hashes.clear();
  for (const Generation& generation : {samples::PassWithAwkwardNames(), unverified, empty}) {
    Result<std::string> bytes = WriteGeneration(generation);
    ASSERT_TRUE(bytes) << Describe(bytes.failure());
    const testing::SchemaCheck check = testing::CheckAgainstSchema(bytes.value(), "ASCMHL.xsd");
    if (!check.ran) GTEST_SKIP() << check.output;
    EXPECT_TRUE(check.valid) << check.output << "\n" << bytes.value();
  }
}

TEST(Generation, ReadsBackWhatWasWritten) {
  Generation written = samples::PassWithAwkwardNames();
  written.comment = "copies were not read back";
  Result<std::string> bytes = WriteGeneration(written);
  ASSERT_TRUE(bytes) << Describe(bytes.failure());
  EXPECT_NE(bytes.value().find("<hashlist version=\"2.0\" xmlns=\"urn:ASC:MHL:v2.0\">"), std::string::npos)
      << bytes.value();

  Result<Generation> read = ParseGeneration(bytes.value());
  ASSERT_TRUE(read) << Describe(read.failure());
  EXPECT_EQ(read.value().creationDate, (platform::FileTime{samples::kPassStart, 0}));  // whole seconds
  EXPECT_EQ(read.value().hostname, "edit-bay-3");
  EXPECT_EQ(read.value().tool, "Marlowin");
  EXPECT_EQ(read.value().toolVersion, "0.2.0");
  EXPECT_EQ(read.value().comment, "copies were not read back");
  EXPECT_EQ(read.value().process, "transfer");
  EXPECT_EQ(read.value().ignore, (std::vector<std::string>{"ascmhl/", ".marlowin-copy-*"}));
  ExpectSameEntries(read.value().hashes, written.hashes);
}

TEST(Generation, WithoutFilesHasNoHashes) {
  Generation generation = samples::PassWithAwkwardNames();
  generation.hashes.clear();
  Result<std::string> bytes = WriteGeneration(generation);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(bytes.value().find("hashes"), std::string::npos) << bytes.value();
  Result<Generation> read = ParseGeneration(bytes.value());
  ASSERT_TRUE(read) << Describe(read.failure());
  EXPECT_TRUE(read.value().hashes.empty());
  EXPECT_TRUE(read.value().comment.empty());
}

TEST(Generation, RefusesPathsAndHashesTheFormatDoesNotAllow) {
  const std::pair<HashEntry, HistoryErrc> cases[] = {
      {Copy(u"/abs/v01.mp4", 1, std::string(32, 'a'), HashAction::kOriginal), HistoryErrc::kBadValue},
      {Copy(u"../up/v01.mp4", 1, std::string(32, 'a'), HashAction::kOriginal), HistoryErrc::kBadValue},
      {Copy(u"a//v01.mp4", 1, std::string(32, 'a'), HashAction::kOriginal), HistoryErrc::kBadValue},
      {Copy(u"a/./v01.mp4", 1, std::string(32, 'a'), HashAction::kOriginal), HistoryErrc::kBadValue},
      {Copy(u"", 1, std::string(32, 'a'), HashAction::kOriginal), HistoryErrc::kBadValue},
      {Copy(u"v01.mp4", 1, std::string(32, 'A'), HashAction::kOriginal), HistoryErrc::kBadValue},
      {Copy(u"v01.mp4", 1, std::string(31, 'a'), HashAction::kOriginal), HistoryErrc::kBadValue},
      // A name byte that is not UTF-8 (POSIX names keep it as a lone surrogate), a control character.
      {Copy(u"bad\xDC80.mp4", 1, std::string(32, 'a'), HashAction::kOriginal), HistoryErrc::kNotXmlText},
      {Copy(u"bad\x01.mp4", 1, std::string(32, 'a'), HashAction::kOriginal), HistoryErrc::kNotXmlText},
  };
  for (const auto& [entry, reason] : cases) {
    Generation generation = samples::PassWithAwkwardNames();
    generation.hashes.push_back(entry);
    Result<std::string> bytes = WriteGeneration(generation);
    ASSERT_FALSE(bytes) << bytes.value();
    EXPECT_EQ(bytes.error(), reason) << Describe(bytes.failure());
    EXPECT_FALSE(bytes.failure().detail.empty());
  }
}

TEST(Generation, KeepsTabsAndCarriageReturnsOfNames) {
  // Linux names may hold them; a bare carriage return would be read back as a line feed.
  Generation generation = samples::PassWithAwkwardNames();
  generation.hashes = {Copy(u"a\tb\r\nc\rd/v01.mp4", 1, std::string(32, 'a'), HashAction::kOriginal)};
  Result<std::string> bytes = WriteGeneration(generation);
  ASSERT_TRUE(bytes) << Describe(bytes.failure());
  EXPECT_EQ(bytes.value().find("c\rd"), std::string::npos) << "written as a character reference";
  Result<XmlElement> probe = ParseXml("<a>&#13;</a>");
  ASSERT_TRUE(probe);
  if (probe.value().text != "\r") GTEST_SKIP() << "this XML reader reads &#13; as a space (Wine's XmlLite)";
  Result<Generation> read = ParseGeneration(bytes.value());
  ASSERT_TRUE(read) << Describe(read.failure());
  ExpectSameEntries(read.value().hashes, generation.hashes);
}

}  // namespace
}  // namespace marlowin::history
