// The check of a collected tree against its history, on real trees: a clean tree proven, a
// flipped byte and a deleted copy found, unrecorded files named as warnings, no history and a
// malformed one, paths that would lead outside the tree, the latest of three generations, a
// stop.
#include "collector/check/CheckTree.h"

#include <gtest/gtest.h>

#include <algorithm>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "collector/pass/CollectClips.h"
#include "history/Chain.h"
#include "platform/Errors.h"
#include "platform/NativeName.h"
#include "tests/support/RecordingFileSystem.h"
#include "tests/support/Shoot.h"
#include "tests/support/TempTree.h"
#include "tests/support/TreeHistory.h"

namespace marlowin {
namespace {

using testing::RecordingFileSystem;
using testing::TempTree;

constexpr std::int64_t kFirstPass = 1796757737;  // 2026-12-08 19:22:17 UTC

const check::CheckedFile* Find(const check::TreeCheck& check, std::u16string_view path) {
  const auto found = std::find_if(check.files.begin(), check.files.end(),
                                  [path](const check::CheckedFile& file) { return file.path == path; });
  return found == check.files.end() ? nullptr : &*found;
}

class CheckTreeTest : public ::testing::Test {
 protected:
  CheckTreeTest() : fs(tree.Root()) {
    testing::Shoot(tree)
        .Clip(u"ab_cd_ef", u"v01.mp4", std::string(5000, '1'))
        .Clip(u"ab_cd_ef", u"v02.mp4", std::string(300000, '2'))
        .Clip(u"ab_cd_ef", u"v03.mp4", "three");
    const report::PassReport report = pass::CollectClips(fs, tree.Path(u"S"), tree.Path(u"D"));
    EXPECT_EQ(report.outcome, report::Outcome::kComplete);
  }

  void Record(std::int64_t start = kFirstPass) {
    const history::Failure failure = testing::RecordCollectedFiles(tree.Path(u"D"), start);
    ASSERT_FALSE(failure) << history::Describe(failure);
  }
  void Add(std::vector<history::HashEntry> entries, std::int64_t start) {
    const history::Failure failure = testing::AddGeneration(tree.Path(u"D"), std::move(entries), start);
    ASSERT_FALSE(failure) << history::Describe(failure);
  }
  history::HashEntry Entry(const std::u16string& path) {
    history::Result<history::HashEntry> entry = testing::EntryOf(tree.Path(u"D"), path);
    EXPECT_TRUE(entry);
    return entry.value();
  }
  check::TreeCheck Check() {
    fs.Clear();
    return check::CheckTree(fs, tree.Path(u"D"));
  }

  TempTree tree;
  RecordingFileSystem fs;
};

TEST_F(CheckTreeTest, ACollectedTreeWithItsHistoryIsProvenFromTheDisk) {
  Record();
  const check::TreeCheck check = Check();
  EXPECT_EQ(check.outcome, check::CheckOutcome::kProven);
  EXPECT_EQ(check::CheckExitStatus(check), 0);
  EXPECT_EQ(check.generations, 1u);
  ASSERT_EQ(check.files.size(), 4u);  // three adl copies and the int copy of v02
  for (const check::CheckedFile& file : check.files) EXPECT_EQ(file.verdict, check::FileVerdict::kProven) << platform::ToDisplay(file.path);
  EXPECT_EQ(check.bytesRead, 5000u + 300000u + 5u + 300000u);
  EXPECT_EQ(check::CheckOutcomeLine(check), u"check passed: 4 recorded files proven");
  // Read past the cache; nothing written, moved or removed.
  const std::vector<std::string> calls = fs.Calls();
  EXPECT_NE(std::find(calls.begin(), calls.end(), "open-from-disk <root>/D/ab_cd_int_ef__m02/video/v02_hires.mp4"),
            calls.end());
  EXPECT_EQ(fs.Changes(), std::vector<std::string>{});
}

TEST_F(CheckTreeTest, AFlippedByteAndADeletedCopyAreFailuresNamedWithTheirPaths) {
  Record();
  std::string bytes = tree.ReadFile(u"D/ab_cd_adl_ef/video/v02_hires.mp4");
  bytes[123456] ^= 1;
  tree.WriteFile(u"D/ab_cd_adl_ef/video/v02_hires.mp4", bytes);
  ASSERT_EQ(platform::RemoveFile(tree.Path(u"D/ab_cd_int_ef__m02/video/v02_hires.mp4")), std::error_code());
  const check::TreeCheck check = Check();
  EXPECT_EQ(check.outcome, check::CheckOutcome::kNotProven);
  EXPECT_EQ(check::CheckExitStatus(check), 1);
  EXPECT_EQ(check.Failures(), 2u);
  const check::CheckedFile* changed = Find(check, u"ab_cd_adl_ef/video/v02_hires.mp4");
  ASSERT_TRUE(changed);
  EXPECT_EQ(changed->verdict, check::FileVerdict::kChanged);
  EXPECT_NE(changed->foundHash, changed->recordedHash);
  EXPECT_EQ(check::DescribeCheckedFile(check, *changed),
            tree.Path(u"D/ab_cd_adl_ef/video/v02_hires.mp4") + u": changed: xxh128 " +
                platform::FromNativeName(changed->foundHash) + u", generation 1 records " +
                platform::FromNativeName(changed->recordedHash) +
                u"; to mend it from its clip: marlowin-collect --reverify STARTING_FOLDER " + tree.Path(u"D"));
  const check::CheckedFile* missing = Find(check, u"ab_cd_int_ef__m02/video/v02_hires.mp4");
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->verdict, check::FileVerdict::kMissing);
  EXPECT_EQ(check::DescribeCheckedFile(check, *missing),
            tree.Path(u"D/ab_cd_int_ef__m02/video/v02_hires.mp4") + u": missing (recorded by generation 1)" +
                u"; to mend it from its clip: marlowin-collect --reverify STARTING_FOLDER " + tree.Path(u"D"));
  EXPECT_EQ(check::CheckOutcomeLine(check), u"check failed: 2 of 4 recorded files not proven");
}

// A copy larger than all the read buffers together, of no whole number of them: its pieces go
// round every buffer more than once, and the file read after it must not take any of them.
TEST_F(CheckTreeTest, ACopyLargerThanTheReadBuffersIsHashedWholeAndAByteDeepInsideIsFound) {
  Record();
  std::string big(17 * (1u << 20) + 123, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 2654435761u >> 24);
  tree.WriteFile(u"D/ab_cd_adl_ef/video/v04_hires.mp4", big);
  Add({Entry(u"ab_cd_adl_ef/video/v04_hires.mp4")}, kFirstPass + 60);
  check::TreeCheck check = Check();
  EXPECT_EQ(check.outcome, check::CheckOutcome::kProven);
  EXPECT_EQ(check.bytesRead, 5000u + 300000u + 5u + 300000u + big.size());

  big[9 * (1u << 20) + 7] ^= 0x40;
  tree.WriteFile(u"D/ab_cd_adl_ef/video/v04_hires.mp4", big);
  check = Check();
  EXPECT_EQ(check.Failures(), 1u);
  const check::CheckedFile* changed = Find(check, u"ab_cd_adl_ef/video/v04_hires.mp4");
  ASSERT_TRUE(changed);
  EXPECT_EQ(changed->verdict, check::FileVerdict::kChanged);
  EXPECT_EQ(Find(check, u"ab_cd_int_ef__m02/video/v02_hires.mp4")->verdict, check::FileVerdict::kProven);
}

TEST_F(CheckTreeTest, AnotherSizeIsAChangeFoundWithoutReadingTheFile) {
  Record();
  tree.WriteFile(u"D/ab_cd_adl_ef/video/v01_hires.mp4", "short");
  const check::TreeCheck check = Check();
  const check::CheckedFile* changed = Find(check, u"ab_cd_adl_ef/video/v01_hires.mp4");
  ASSERT_TRUE(changed);
  EXPECT_EQ(changed->verdict, check::FileVerdict::kChanged);
  EXPECT_EQ(changed->foundSize, 5u);
  EXPECT_EQ(check::DescribeCheckedFile(check, *changed),
            tree.Path(u"D/ab_cd_adl_ef/video/v01_hires.mp4") + u": changed: 5 bytes, generation 1 records 5000" +
                u"; to mend it from its clip: marlowin-collect --reverify STARTING_FOLDER " + tree.Path(u"D"));
  const std::vector<std::string> calls = fs.Calls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "open-from-disk <root>/D/ab_cd_adl_ef/video/v01_hires.mp4"), 0);
}

TEST_F(CheckTreeTest, AnUnrecordedFileOfAnAdlOrIntFolderIsAWarningAndOthersAreNotLookedAt) {
  Record();
  tree.WriteFile(u"D/ab_cd_adl_ef/video/v09_hires.mp4", "nine");
  tree.WriteFile(u"D/ab_cd_int_ef__m02/notes.txt", "notes");
  tree.WriteFile(u"D/ab_cd_adl_ef/video/.marlowin-copy-abc123", "a pass's leftover");
  tree.WriteFile(u"D/edit/project.prproj", "not collected");
  tree.WriteFile(u"D/readme.txt", "not collected");
  const check::TreeCheck check = Check();
  EXPECT_EQ(check.outcome, check::CheckOutcome::kProven);
  EXPECT_EQ(check::CheckExitStatus(check), 0);
  EXPECT_EQ(check.Warnings(), 2u);
  const check::CheckedFile* unrecorded = Find(check, u"ab_cd_adl_ef/video/v09_hires.mp4");
  ASSERT_TRUE(unrecorded);
  EXPECT_EQ(unrecorded->verdict, check::FileVerdict::kUnrecorded);
  EXPECT_FALSE(unrecorded->IsFailure());
  EXPECT_EQ(check::DescribeCheckedFile(check, *unrecorded),
            tree.Path(u"D/ab_cd_adl_ef/video/v09_hires.mp4") + u": in no generation of the history");
  ASSERT_TRUE(Find(check, u"ab_cd_int_ef__m02/notes.txt"));
  EXPECT_FALSE(Find(check, u"edit/project.prproj"));
  EXPECT_FALSE(Find(check, u"readme.txt"));
  EXPECT_NE(check::CheckSummaryLine(check).find(u"2 files of the adl and int folders are in no generation."),
            std::u16string::npos);
}

TEST_F(CheckTreeTest, AFolderThatCannotBeListedForUnrecordedFilesIsAWarning) {
  Record();
  fs.fault = [](const std::string& call) {
    return call == "list <root>/D/ab_cd_int_ef__m02/video" ? std::make_error_code(std::errc::permission_denied)
                                                          : std::error_code();
  };
  const check::TreeCheck check = Check();
  EXPECT_EQ(check.outcome, check::CheckOutcome::kProven);
  const check::CheckedFile* unlisted = Find(check, u"ab_cd_int_ef__m02/video");
  ASSERT_TRUE(unlisted);
  EXPECT_EQ(unlisted->verdict, check::FileVerdict::kUnlisted);
  EXPECT_TRUE(unlisted->IsWarning());
  EXPECT_EQ(check::DescribeCheckedFile(check, *unlisted),
            tree.Path(u"D/ab_cd_int_ef__m02/video") + u": cannot be listed, its files are not compared with the "
            u"history: " + platform::FromNativeName(platform::Describe(std::make_error_code(std::errc::permission_denied))));
}

TEST_F(CheckTreeTest, NoHistoryIsTwoAndNothingIsRead) {
  const check::TreeCheck check = Check();
  EXPECT_EQ(check.outcome, check::CheckOutcome::kNoHistory);
  EXPECT_EQ(check::CheckExitStatus(check), 2);
  EXPECT_EQ(check.historyFailure.code, history::HistoryErrc::kNoHistory);
  EXPECT_EQ(check::CheckOutcomeLine(check), u"check not made: no ASC MHL history: no folder " + tree.Path(u"D/ascmhl"));
  for (const std::string& call : fs.Calls()) EXPECT_EQ(call.find("open"), std::string::npos) << call;
}

TEST_F(CheckTreeTest, AnAscmhlFolderWithoutItsChainIsNoHistory) {
  tree.MakeFolder(u"D/ascmhl");
  const check::TreeCheck check = Check();
  EXPECT_EQ(check.outcome, check::CheckOutcome::kNoHistory);
  EXPECT_EQ(check::CheckOutcomeLine(check),
            u"check not made: no ASC MHL history: no file " + tree.Path(u"D/ascmhl/ascmhl_chain.xml"));
}

TEST_F(CheckTreeTest, AMalformedChainIsTwoWithItsReason) {
  Record();
  tree.WriteFile(u"D/ascmhl/ascmhl_chain.xml", "<ascmhldirectory xmlns=\"urn:ASC:MHL:DIRECTORY:v2.0\"><hashlist>");
  const check::TreeCheck check = Check();
  EXPECT_EQ(check.outcome, check::CheckOutcome::kHistoryUnreadable);
  EXPECT_EQ(check::CheckExitStatus(check), 2);
  EXPECT_EQ(check.historyFailure.code, history::HistoryErrc::kMalformedXml);
  EXPECT_TRUE(check::CheckOutcomeLine(check).starts_with(u"check not made: history not readable: malformed XML: " +
                                                  tree.Path(u"D/ascmhl/ascmhl_chain.xml")))
      << platform::ToDisplay(check::CheckOutcomeLine(check));
}

TEST_F(CheckTreeTest, AGenerationThatNoLongerMatchesTheChainIsTwo) {
  Record();
  std::vector<platform::FolderEntry> entries;
  ASSERT_EQ(platform::ListFolder(tree.Path(u"D/ascmhl"), entries), std::error_code());
  const std::u16string generation = u"D/ascmhl/" + entries.front().name;
  ASSERT_TRUE(generation.ends_with(u".mhl"));
  tree.WriteFile(generation, tree.ReadFile(generation) + "\n");
  const check::TreeCheck check = Check();
  EXPECT_EQ(check.outcome, check::CheckOutcome::kHistoryUnreadable);
  EXPECT_EQ(check.historyFailure.code, history::HistoryErrc::kC4Mismatch);
}

// A hostile history: a generation (with a valid C4 id in the chain) that records a file
// outside the tree. Nothing outside the tree is looked up or read.
TEST_F(CheckTreeTest, APathWithDotDotIsRefusedAndNothingOutsideIsRead) {
  tree.WriteFile(u"secret.txt", "not the tree's");
  history::HashEntry entry = Entry(u"ab_cd_adl_ef/video/v03_hires.mp4");
  entry.path = u"XX/secret.txt";
  Add({entry}, kFirstPass);
  std::vector<platform::FolderEntry> entries;
  ASSERT_EQ(platform::ListFolder(tree.Path(u"D/ascmhl"), entries), std::error_code());
  const std::u16string name = entries.front().name;
  std::string bytes = tree.ReadFile(u"D/ascmhl/" + name);
  bytes.replace(bytes.find("XX/secret.txt"), 2, "..");
  tree.WriteFile(u"D/ascmhl/" + name, bytes);
  history::Result<history::ChainEntry> chainEntry = history::ChainEntryFor(1, name, bytes);
  ASSERT_TRUE(chainEntry);
  history::Result<std::string> chain = history::WriteChain({{chainEntry.value()}});
  ASSERT_TRUE(chain);
  tree.WriteFile(u"D/ascmhl/ascmhl_chain.xml", chain.value());

  const check::TreeCheck check = Check();
  EXPECT_EQ(check.outcome, check::CheckOutcome::kHistoryUnreadable);
  EXPECT_EQ(check::CheckExitStatus(check), 2);
  EXPECT_NE(check::CheckOutcomeLine(check).find(u"a path not inside the folder: ../secret.txt"), std::u16string::npos)
      << platform::ToDisplay(check::CheckOutcomeLine(check));
  for (const std::string& call : fs.Calls()) EXPECT_EQ(call.find("secret"), std::string::npos) << call;
}

#ifdef _WIN32
// Windows reads '\' as a separator, ':' as a drive or stream, and drops a name's trailing dots
// and spaces: such a path is refused one by one, the others still checked.
TEST_F(CheckTreeTest, PathsThatWindowsWouldLeadOutsideAreRefused) {
  tree.WriteFile(u"secret.txt", "not the tree's");
  history::HashEntry inside = Entry(u"ab_cd_adl_ef/video/v03_hires.mp4");
  std::vector<history::HashEntry> entries = {inside};
  for (const char16_t* path : {u"ab_cd_adl_ef/..\\..\\secret.txt", u"C:/secret.txt", u"ab_cd_adl_ef/.. /secret.txt"}) {
    history::HashEntry hostile = inside;
    hostile.path = path;
    entries.push_back(hostile);
  }
  Add(entries, kFirstPass);
  const check::TreeCheck check = Check();
  EXPECT_EQ(check.outcome, check::CheckOutcome::kNotProven);
  EXPECT_EQ(check.Count(check::FileVerdict::kRefused), 3u);
  EXPECT_EQ(Find(check, u"ab_cd_adl_ef/video/v03_hires.mp4")->verdict, check::FileVerdict::kProven);
  for (const std::string& call : fs.Calls()) EXPECT_EQ(call.find("secret"), std::string::npos) << call;
}
#else
// A link planted in the tree could lead the check anywhere: it is not followed.
TEST_F(CheckTreeTest, ALinkOnTheWayIsNotFollowed) {
  tree.WriteFile(u"elsewhere/video/v09_hires.mp4", "nine");
  history::HashEntry entry = testing::EntryOf(tree.Root(), u"elsewhere/video/v09_hires.mp4").value();
  entry.path = u"ab_cd_adl_ox/video/v09_hires.mp4";
  Add({Entry(u"ab_cd_adl_ef/video/v03_hires.mp4"), entry}, kFirstPass);
  ASSERT_EQ(::symlink(platform::ToNativeName(tree.Path(u"elsewhere")).c_str(),
                      platform::ToNativeName(tree.Path(u"D/ab_cd_adl_ox")).c_str()), 0);
  const check::TreeCheck check = Check();
  EXPECT_EQ(check.outcome, check::CheckOutcome::kNotProven);
  EXPECT_EQ(Find(check, u"ab_cd_adl_ox/video/v09_hires.mp4")->verdict, check::FileVerdict::kThroughLink);
  for (const std::string& call : fs.Calls()) EXPECT_EQ(call.find("open-from-disk <root>/D/ab_cd_adl_ox"), std::string::npos) << call;
}
#endif

TEST_F(CheckTreeTest, OfThreeGenerationsTheLatestEntryOfEachPathCounts) {
  // The first pass recorded v02 as it was before it was collected again; the second pass
  // proved it as it is; the third recorded v01 with a hash it no longer has.
  history::HashEntry oldV02 = Entry(u"ab_cd_adl_ef/video/v02_hires.mp4");
  oldV02.xxh128 = "0123456789abcdef0123456789abcdef";
  Add({oldV02, Entry(u"ab_cd_adl_ef/video/v01_hires.mp4")}, kFirstPass);
  history::HashEntry v02 = Entry(u"ab_cd_adl_ef/video/v02_hires.mp4");
  v02.action = history::HashAction::kVerified;
  Add({v02, Entry(u"ab_cd_adl_ef/video/v03_hires.mp4"), Entry(u"ab_cd_int_ef__m02/video/v02_hires.mp4")},
      kFirstPass + 3600);
  history::HashEntry newV01 = Entry(u"ab_cd_adl_ef/video/v01_hires.mp4");
  newV01.xxh128 = "fedcba9876543210fedcba9876543210";
  Add({newV01}, kFirstPass + 7200);

  const check::TreeCheck check = Check();
  EXPECT_EQ(check.generations, 3u);
  EXPECT_EQ(check.Recorded(), 4u);
  const check::CheckedFile* provenV02 = Find(check, u"ab_cd_adl_ef/video/v02_hires.mp4");
  ASSERT_TRUE(provenV02);
  EXPECT_EQ(provenV02->verdict, check::FileVerdict::kProven);
  EXPECT_EQ(provenV02->sequence, 2u);
  const check::CheckedFile* changedV01 = Find(check, u"ab_cd_adl_ef/video/v01_hires.mp4");
  ASSERT_TRUE(changedV01);
  EXPECT_EQ(changedV01->verdict, check::FileVerdict::kChanged);
  EXPECT_EQ(changedV01->sequence, 3u);
  EXPECT_EQ(changedV01->recordedHash, "fedcba9876543210fedcba9876543210");
  EXPECT_EQ(check.outcome, check::CheckOutcome::kNotProven);
}

TEST_F(CheckTreeTest, AnEntryWithoutAnXxh128IsNotProven) {
  history::HashEntry entry = Entry(u"ab_cd_adl_ef/video/v03_hires.mp4");
  entry.xxh128.clear();
  entry.action.reset();
  Add({entry}, kFirstPass);
  const check::TreeCheck check = Check();
  EXPECT_EQ(check.outcome, check::CheckOutcome::kNotProven);
  EXPECT_EQ(check.files.front().verdict, check::FileVerdict::kNoHash);
}

// Tells the check to stop at its first progress report.
class StopAtOnce final : public check::CheckObserver {
 public:
  void OnProgress(const check::CheckProgress& progress) override {
    ++reports;
    if (progress.stage != check::CheckProgress::Stage::kDone) last = progress;
    done = progress.stage == check::CheckProgress::Stage::kDone;
  }
  bool StopRequested() override { return reports > 0; }
  int reports = 0;
  bool done = false;
  check::CheckProgress last;
};

TEST_F(CheckTreeTest, AStopEndsTheCheckAndLeavesTheRestNotChecked) {
  Record();
  StopAtOnce observer;
  const check::TreeCheck check = check::CheckTree(fs, tree.Path(u"D"), &observer);
  EXPECT_EQ(check.outcome, check::CheckOutcome::kCancelled);
  EXPECT_EQ(check::CheckExitStatus(check), 130);
  EXPECT_EQ(check.Count(check::FileVerdict::kNotChecked), 4u);
  EXPECT_EQ(observer.last.stage, check::CheckProgress::Stage::kReadingFiles);
  EXPECT_EQ(observer.last.filesTotal, 4u);
  EXPECT_EQ(observer.last.bytesTotal, 605005u);
  EXPECT_TRUE(observer.done);
}

TEST(CollectedFolderName, TheNamesOfAdlAndIntFoldersOnly) {
  EXPECT_TRUE(naming::IsCollectedFolderName(u"ab_cd_adl_ef"));
  EXPECT_TRUE(naming::IsCollectedFolderName(u"ab_cd_int_ef__m02"));
  EXPECT_FALSE(naming::IsCollectedFolderName(u"ab_cd_ef"));
  EXPECT_FALSE(naming::IsCollectedFolderName(u"ab_cd_int_ef__m2"));
  EXPECT_FALSE(naming::IsCollectedFolderName(u"ab_cd_int_ef__m02_hires"));
  EXPECT_FALSE(naming::IsCollectedFolderName(u"ab_cd_int_ef_x__m02"));
  EXPECT_FALSE(naming::IsCollectedFolderName(u"ab__cd_adl_ef"));
  EXPECT_FALSE(naming::IsCollectedFolderName(u"ascmhl"));
}

}  // namespace
}  // namespace marlowin
