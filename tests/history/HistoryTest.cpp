// A history in a real ascmhl/ folder: the next number and name, reading every generation the
// chain names with its check, the reasons when one is missing or changed, and the latest entry
// of each path over three generations.
#include "history/History.h"

#include <gtest/gtest.h>

#include "history/LatestEntries.h"
#include "platform/Errors.h"
#include "platform/NativeName.h"
#include "tests/history/Samples.h"
#include "tests/support/TempTree.h"

namespace marlowin::history {
namespace {

using samples::Copy;
using samples::kPassStart;

constexpr char16_t kFolderName[] = u"Drehtag_\u00e9";

std::vector<std::u16string> Names(const testing::TempTree& tree) {
  std::vector<platform::FolderEntry> entries;
  EXPECT_FALSE(platform::ListFolder(tree.Path(u"ascmhl"), entries));
  std::vector<std::u16string> names;
  for (const platform::FolderEntry& entry : entries) names.push_back(entry.name);
  return names;
}

std::error_code ReadWhole(const std::u16string& path, std::string& bytes) {
  platform::File file;
  if (std::error_code error = file.OpenForReading(path)) return error;
  char buffer[4096];
  for (std::size_t got = 1; got > 0;) {
    if (std::error_code error = file.Read(buffer, sizeof buffer, got)) return error;
    bytes.append(buffer, got);
  }
  return file.Close();
}

// Passes one after the other, as the pass will record them: generation file, then the chain.
class HistoryFolder {
 public:
  explicit HistoryFolder(const testing::TempTree& tree) : tree_(tree) { tree_.MakeFolder(u"ascmhl"); }

  std::u16string Add(std::vector<HashEntry> hashes, std::int64_t start) {
    Result<Chain> chain = chainBytes_.empty() ? Result<Chain>(Chain{}) : ParseChain(chainBytes_);
    EXPECT_TRUE(chain) << Describe(chain.failure());
    const std::uint64_t sequence = NextSequenceNumber(chain.value(), Names(tree_));
    const std::u16string name = GenerationFileName(sequence, kFolderName, {start, 0});
    Generation generation;
    generation.creationDate = {start, 0};
    generation.hashes = std::move(hashes);
    Result<std::string> bytes = WriteGeneration(generation);
    EXPECT_TRUE(bytes) << Describe(bytes.failure());
    tree_.WriteFile(u"ascmhl/" + name, bytes.value());
    Result<ChainEntry> entry = ChainEntryFor(sequence, name, bytes.value());
    EXPECT_TRUE(entry);
    chain.value().generations.push_back(entry.value());
    Result<std::string> written = WriteChain(chain.value());
    EXPECT_TRUE(written);
    chainBytes_ = written.value();
    tree_.WriteFile(u"ascmhl/ascmhl_chain.xml", chainBytes_);
    return name;
  }

  Result<History> Read() const {
    Result<Chain> chain = ParseChain(tree_.ReadFile(u"ascmhl/ascmhl_chain.xml"));
    if (!chain) return chain.failure();
    return ReadHistory(chain.value(), Names(tree_), [this](const std::u16string& name, std::string& bytes) {
      return ReadWhole(tree_.Path(u"ascmhl/" + name), bytes);
    });
  }

 private:
  const testing::TempTree& tree_;
  std::string chainBytes_;
};

TEST(History, NumbersCountOnFromEveryGenerationThere) {
  EXPECT_EQ(NextSequenceNumber({}, {}), 1u);
  EXPECT_EQ(GenerationFileName(1, kFolderName, {kPassStart, 0}), u"0001_Drehtag_\u00e9_2026-12-08_192217Z.mhl");
  Chain chain{{{1, u"0001_D_2026-12-08_192217Z.mhl", "c4"}, {2, u"0002_D_2026-12-09_192217Z.mhl", "c4"}}};
  // A generation whose pass stopped before its chain entry keeps its number; other names do not count.
  const std::vector<std::u16string> names = {u"0001_D_2026-12-08_192217Z.mhl", u"0002_D_2026-12-09_192217Z.mhl",
                                             u"0003_D_2026-12-10_192217Z.mhl", u"ascmhl_chain.xml",
                                             u"0099_notes.txt", u"12a_D.mhl", u"_D.mhl", u"0098.mhl"};
  EXPECT_EQ(NextSequenceNumber(chain, names), 4u);
  EXPECT_EQ(NextSequenceNumber(Chain{{{9999, u"9999_D_2026-12-08_192217Z.mhl", "c4"}}}, {}), 10000u);
  EXPECT_EQ(NextSequenceNumber({}, {u"10000_D_2026-12-08_192217Z.mhl"}), 10001u);
  EXPECT_EQ(GenerationFileName(10000, u"D", {kPassStart, 0}), u"10000_D_2026-12-08_192217Z.mhl");
}

TEST(History, LatestEntryOfEachPathOverThreeGenerations) {
  testing::TempTree tree;
  HistoryFolder folder(tree);
  const std::string a1(32, '1'), a2(32, '2'), b1(32, '3'), c1(32, '4'), c3(32, '5'), d3(32, '6');
  folder.Add({Copy(u"adl/a.mp4", 10, a1, HashAction::kOriginal), Copy(u"adl/b.mp4", 20, b1, HashAction::kOriginal),
              Copy(u"adl/c.mp4", 30, c1, HashAction::kOriginal)},
             kPassStart);
  // The second pass found a and b changed; b has no xxh128 this time (as another tool may write it).
  HashEntry bWithoutHash = Copy(u"adl/b.mp4", 21, "", HashAction::kOriginal);
  bWithoutHash.action.reset();
  folder.Add({Copy(u"adl/a.mp4", 11, a2, HashAction::kVerified), bWithoutHash}, kPassStart + 86400);
  folder.Add({Copy(u"adl/c.mp4", 31, c3, HashAction::kVerified), Copy(u"int/d.mp4", 40, d3, HashAction::kVerified)},
             kPassStart + 2 * 86400);

  Result<History> history = folder.Read();
  ASSERT_TRUE(history) << Describe(history.failure());
  ASSERT_EQ(history.value().generations.size(), 3u);
  EXPECT_EQ(history.value().generations[2].entry.fileName, u"0003_Drehtag_\u00e9_2026-12-10_192217Z.mhl");

  const std::map<std::u16string, LatestEntry> latest = LatestEntries(history.value());
  ASSERT_EQ(latest.size(), 4u);
  const auto expect = [&](std::u16string path, std::uint64_t size, const std::string& xxh128, std::uint64_t from) {
    const LatestEntry& entry = latest.at(path);
    EXPECT_EQ(entry.entry.size, size) << from;
    EXPECT_EQ(entry.entry.xxh128, xxh128) << from;
    EXPECT_EQ(entry.sequence, from);
  };
  expect(u"adl/a.mp4", 11, a2, 2);
  expect(u"adl/b.mp4", 21, "", 2);  // the first generation's hash is of older content
  expect(u"adl/c.mp4", 31, c3, 3);
  expect(u"int/d.mp4", 40, d3, 3);
}

TEST(History, AMissingOrChangedGenerationIsNamed) {
  testing::TempTree tree;
  HistoryFolder folder(tree);
  const std::u16string first = folder.Add({Copy(u"adl/a.mp4", 10, std::string(32, 'a'), HashAction::kOriginal)},
                                          kPassStart);
  const std::u16string second = folder.Add({}, kPassStart + 60);
  ASSERT_TRUE(folder.Read());

  // A generation changed after it was written (here one byte of a path).
  std::string bytes = tree.ReadFile(u"ascmhl/" + first);
  bytes[bytes.find("a.mp4")] = 'b';
  tree.WriteFile(u"ascmhl/" + first, bytes);
  Result<History> changed = folder.Read();
  ASSERT_FALSE(changed);
  EXPECT_EQ(changed.error(), HistoryErrc::kC4Mismatch);
  EXPECT_NE(changed.failure().detail.find("0001_"), std::string::npos) << changed.failure().detail;

  ASSERT_FALSE(platform::RemoveFile(tree.Path(u"ascmhl/" + second)));
  Result<History> missing = folder.Read();
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error(), HistoryErrc::kGenerationMissing);
  EXPECT_EQ(Describe(missing.failure()), "the chain names a generation file that is missing: " +
                                             platform::ToDisplay(second));
}

}  // namespace
}  // namespace marlowin::history
