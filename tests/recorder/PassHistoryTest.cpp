// The history a pass keeps in its destination: one generation per pass that wrote or proved a
// copy, valid against the ASC's schemas, continued over passes and over another tool's history,
// never touched when it cannot be read, and whole after a failure or a kill at any of its steps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "collector/check/CheckTree.h"
#include "collector/pass/CollectClips.h"
#include "history/Chain.h"
#include "history/Generation.h"
#include "history/History.h"
#include "platform/ContentHash.h"
#include "platform/NativeName.h"
#include "tests/support/SchemaCheck.h"
#include "tests/support/Process.h"
#include "tests/support/RecordingFileSystem.h"
#include "tests/support/Shoot.h"
#include "tests/support/TempTree.h"

namespace marlowin {
namespace {

using testing::TempTree;

constexpr const char* kKillAt = "MARLOWIN_TEST_KILL_AT";
constexpr const char* kRoot = "MARLOWIN_TEST_ROOT";

void MakeShoot(const TempTree& tree) {
  testing::Shoot(tree)
      .Clip(u"ab_cd_ef", u"v01.mp4", "one")
      .Clip(u"ab_cd_ef", u"v02.mp4", "two")
      .Clip(u"ab_cd_ef", u"v03.mp4", "three")
      .Clip(u"gh_ij_kl", u"v02_hires.mp4", "marked already")
      .Clip(u"gh_ij_kl", u"v04.mp4", "four");
}

report::PassReport Collect(platform::FileSystem& fs, const TempTree& tree, bool verify = true) {
  pass::PassOptions options;
  options.keepHistory = true;
  options.verify = verify;
  return pass::CollectClips(fs, tree.Path(u"S"), tree.Path(u"D"), options);
}

report::PassReport Collect(const TempTree& tree, bool verify = true) {
  const auto fs = platform::MakeRealFileSystem();
  return Collect(*fs, tree, verify);
}

std::vector<std::u16string> HistoryNames(const TempTree& tree) {
  std::vector<std::u16string> names;
  std::vector<platform::FolderEntry> entries;
  const auto fs = platform::MakeRealFileSystem();
  if (!fs->ListFolder(tree.Path(u"D/ascmhl"), entries)) {
    for (const platform::FolderEntry& entry : entries) names.push_back(entry.name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The history as it is on the disk, read as another tool would: the chain, each generation it
// names checked against its C4 id. Fails the test when it is not whole.
history::History ReadWholeHistory(const TempTree& tree) {
  const std::vector<std::u16string> names = HistoryNames(tree);
  history::Result<history::Chain> chain = history::ParseChain(tree.ReadFile(u"D/ascmhl/ascmhl_chain.xml"));
  EXPECT_TRUE(chain) << history::Describe(chain.failure());
  if (!chain) return {};
  history::Result<history::History> read =
      history::ReadHistory(chain.value(), names, [&tree](const std::u16string& name, std::string& bytes) {
        bytes = tree.ReadFile(u"D/ascmhl/" + name);
        return std::error_code();
      });
  EXPECT_TRUE(read) << history::Describe(read.failure());
  if (!read) return {};
  // Nothing else in the folder: no temporary, no generation the chain does not list.
  std::string listing;
  for (const std::u16string& name : names) listing += platform::ToDisplay(name) + "\n";
  EXPECT_EQ(names.size(), chain.value().generations.size() + 1) << listing;
  return read.value();
}

std::string HashOf(const std::string& bytes) {
  platform::ContentHasher hasher;
  hasher.Update(bytes.data(), bytes.size());
  return hasher.Hex();
}

// Every file of D's adl and int folders, relative to D with "/".
std::vector<std::u16string> CopiesIn(const TempTree& tree) {
  std::vector<std::u16string> copies;
  std::string dump = tree.Dump(u"D");
  for (std::size_t start = 0, end; start < dump.size(); start = end + 1) {
    end = dump.find('\n', start);
    const std::string line = dump.substr(start, end - start);
    const std::size_t equals = line.find(" = ");
    if (equals != std::string::npos && !line.starts_with("ascmhl/")) {
      copies.push_back(platform::FromNativeName(line.substr(0, equals)));
    }
  }
  return copies;
}

void ExpectValid(const std::string& document, const char* schema) {
  const testing::SchemaCheck check = testing::CheckAgainstSchema(document, schema);
  if (!check.ran) {
    std::printf("not checked against %s: %s\n", schema, check.output.c_str());
    return;
  }
  EXPECT_TRUE(check.valid) << check.output << document;
}

TEST(PassHistory, ThreePassesMakeTwoGenerationsThatListEveryCopyWithItsHash) {
  TempTree tree;
  MakeShoot(tree);
  ASSERT_EQ(Collect(tree).outcome, report::Outcome::kComplete);
  history::History first = ReadWholeHistory(tree);
  ASSERT_EQ(first.generations.size(), 1u);
  const history::Generation& generation = first.generations[0].generation;
  EXPECT_EQ(generation.tool, "Marlowin");
  EXPECT_FALSE(generation.toolVersion.empty());
  EXPECT_EQ(generation.process, "transfer");
  EXPECT_TRUE(generation.comment.empty());
  // Every copy the pass left, once, with the hash `xxhsum -H2` gives its bytes; nothing else.
  std::vector<std::u16string> listed;
  for (const history::HashEntry& entry : generation.hashes) {
    listed.push_back(entry.path);
    const std::string bytes = tree.ReadFile(u"D/" + entry.path);
    EXPECT_EQ(entry.xxh128, HashOf(bytes)) << platform::ToDisplay(entry.path);
    EXPECT_EQ(entry.size, bytes.size());
    EXPECT_EQ(entry.action, history::HashAction::kOriginal);
  }
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, CopiesIn(tree));
  const std::u16string name = first.generations[0].entry.fileName;
  EXPECT_TRUE(name.starts_with(u"0001_D_")) << platform::ToDisplay(name);
  EXPECT_TRUE(name.ends_with(u"Z.mhl")) << platform::ToDisplay(name);
  ExpectValid(tree.ReadFile(u"D/ascmhl/" + name), "ASCMHL.xsd");
  ExpectValid(tree.ReadFile(u"D/ascmhl/ascmhl_chain.xml"), "ASCMHLDirectory.xsd");
  const std::string firstBytes = tree.ReadFile(u"D/ascmhl/" + name);

  // A rerun over the collected shoot writes and proves nothing: no generation.
  ASSERT_EQ(Collect(tree).outcome, report::Outcome::kComplete);
  EXPECT_EQ(ReadWholeHistory(tree).generations.size(), 1u);

  // A new clip, a copy in place whose clip is not marked yet and that no generation records
  // (proven, and recorded as the path's first entry), and a clip whose mark was taken away
  // (its recorded copy proven again).
  tree.WriteFile(testing::ClipIn(u"gh_ij_kl", u"v05.mp4"), "five");
  ASSERT_EQ(std::rename(platform::ToNativeName(tree.Path(testing::ClipIn(u"gh_ij_kl", u"v04_hires.mp4"))).c_str(),
                        platform::ToNativeName(tree.Path(testing::ClipIn(u"gh_ij_kl", u"v04.mp4"))).c_str()),
            0);
  tree.WriteFile(testing::ClipIn(u"ab_cd_ef", u"v06.mp4"), "six");
  tree.WriteFile(u"D/ab_cd_adl_ef/video/v06_hires.mp4", "six");
  {
    const auto fs = platform::MakeRealFileSystem();
    platform::FileStatus clip;
    std::unique_ptr<platform::OpenFile> copy;
    ASSERT_FALSE(fs->GetStatus(tree.Path(testing::ClipIn(u"ab_cd_ef", u"v06.mp4")), clip));
    ASSERT_FALSE(fs->OpenForWriting(tree.Path(u"D/ab_cd_adl_ef/video/v06_hires.mp4"), copy));
    ASSERT_FALSE(copy->TakeAttributes(clip));
    ASSERT_FALSE(copy->Close());
  }
  ASSERT_EQ(Collect(tree).outcome, report::Outcome::kComplete);
  history::History third = ReadWholeHistory(tree);
  ASSERT_EQ(third.generations.size(), 2u);
  EXPECT_EQ(third.generations[1].entry.sequence, 2u);
  EXPECT_TRUE(third.generations[1].entry.fileName.starts_with(u"0002_D_"));
  EXPECT_EQ(tree.ReadFile(u"D/ascmhl/" + name), firstBytes) << "a generation is never changed";
  std::map<std::u16string, history::HashAction> actions;
  for (const history::HashEntry& entry : third.generations[1].generation.hashes) actions[entry.path] = *entry.action;
  EXPECT_EQ(actions[u"gh_ij_adl_kl/video/v05_hires.mp4"], history::HashAction::kOriginal);
  EXPECT_EQ(actions[u"ab_cd_adl_ef/video/v06_hires.mp4"], history::HashAction::kOriginal);
  EXPECT_EQ(actions[u"gh_ij_adl_kl/video/v04_hires.mp4"], history::HashAction::kVerified);
  ExpectValid(tree.ReadFile(u"D/ascmhl/ascmhl_chain.xml"), "ASCMHLDirectory.xsd");
}

TEST(PassHistory, WithoutReadBackSaysSoAndStillListsTheHashes) {
  TempTree tree;
  MakeShoot(tree);
  ASSERT_EQ(Collect(tree, false).outcome, report::Outcome::kComplete);
  const history::History read = ReadWholeHistory(tree);
  ASSERT_EQ(read.generations.size(), 1u);
  EXPECT_NE(read.generations[0].generation.comment.find("not read back"), std::string::npos);
  ASSERT_FALSE(read.generations[0].generation.hashes.empty());
  for (const history::HashEntry& entry : read.generations[0].generation.hashes) {
    EXPECT_EQ(entry.xxh128, HashOf(tree.ReadFile(u"D/" + entry.path)));
  }
}

TEST(PassHistory, NotKeptWhenNotAsked) {
  TempTree tree;
  MakeShoot(tree);
  const auto fs = platform::MakeRealFileSystem();
  ASSERT_EQ(pass::CollectClips(*fs, tree.Path(u"S"), tree.Path(u"D")).outcome, report::Outcome::kComplete);
  EXPECT_FALSE(tree.Exists(u"D/ascmhl"));
}

// As another tool writes one: other elements, a directory hash, another hash format.
constexpr const char* kForeignGeneration = R"(<?xml version="1.0" encoding="UTF-8"?>
<hashlist version="2.0" xmlns="urn:ASC:MHL:v2.0">
  <creatorinfo>
    <creationdate>2026-11-30T08:00:00+01:00</creationdate>
    <hostname>dit-cart</hostname>
    <tool version="9.1">other tool</tool>
  </creatorinfo>
  <processinfo><process>in-place</process></processinfo>
  <hashes>
    <hash><path size="5" lastmodificationdate="2026-11-30T07:00:00+01:00">notes.txt</path>
      <md5 action="original" hashdate="2026-11-30T08:00:00+01:00">5d41402abc4b2a76b9719d911017c592</md5></hash>
    <directoryhash><path>ab_cd_adl_ef</path><content><xxh128 action="original">00000000000000000000000000000000</xxh128></content></directoryhash>
  </hashes>
</hashlist>
)";

TEST(PassHistory, ContinuesAnotherToolsHistoryWithoutChangingIt) {
  TempTree tree;
  MakeShoot(tree);
  const std::u16string foreignName = u"0001_D_2026-11-30_070000Z.mhl";
  tree.WriteFile(u"D/ascmhl/" + foreignName, kForeignGeneration);
  history::Result<history::ChainEntry> entry = history::ChainEntryFor(1, foreignName, kForeignGeneration);
  ASSERT_TRUE(entry);
  history::Result<std::string> chain = history::WriteChain({{entry.value()}});
  ASSERT_TRUE(chain);
  tree.WriteFile(u"D/ascmhl/ascmhl_chain.xml", chain.value());

  ASSERT_EQ(Collect(tree).outcome, report::Outcome::kComplete);
  const history::History read = ReadWholeHistory(tree);
  ASSERT_EQ(read.generations.size(), 2u);
  EXPECT_EQ(read.generations[0].entry.c4, entry.value().c4);
  EXPECT_EQ(tree.ReadFile(u"D/ascmhl/" + foreignName), kForeignGeneration);
  EXPECT_EQ(read.generations[1].entry.sequence, 2u);
  EXPECT_EQ(read.generations[1].generation.tool, "Marlowin");
}

TEST(PassHistory, OneThatCannotBeReadIsLeftAsItIsAndTheCopiesStillCount) {
  struct Broken {
    const char* what;
    std::vector<std::pair<std::u16string, std::string>> files;
    const char* reason;
  };
  const std::vector<Broken> cases = {
      {"malformed chain", {{u"ascmhl_chain.xml", "<ascmhldirectory xmlns=\"urn:ASC:MHL:DIRECTORY:v2.0\"><hashlist>"}},
       "malformed XML"},
      {"a chain naming a missing generation",
       {{u"ascmhl_chain.xml",
         "<ascmhldirectory xmlns=\"urn:ASC:MHL:DIRECTORY:v2.0\"><hashlist sequencenr=\"1\">"
         "<path>0001_D_2026-11-30_070000Z.mhl</path><c4>c4x</c4></hashlist></ascmhldirectory>"}},
       "missing"},
      {"not a chain", {{u"ascmhl_chain.xml", "<html/>"}}, "not an ASC MHL chain file"},
  };
  for (const Broken& broken : cases) {
    TempTree tree;
    MakeShoot(tree);
    for (const auto& [name, bytes] : broken.files) tree.WriteFile(u"D/ascmhl/" + name, bytes);
    const std::string before = tree.Dump(u"D/ascmhl");
    const report::PassReport report = Collect(tree);
    EXPECT_EQ(report.outcome, report::Outcome::kComplete) << broken.what;
    EXPECT_EQ(report.clipsCollected, 5u) << broken.what;
    EXPECT_EQ(tree.Dump(u"D/ascmhl"), before) << broken.what;
    const auto warning = std::find_if(report.problems.begin(), report.problems.end(),
                                      [](const report::Problem& p) { return p.operation == report::Operation::kHistoryUnread; });
    ASSERT_NE(warning, report.problems.end()) << broken.what;
    EXPECT_FALSE(warning->failure);
    const std::string line = platform::ToDisplay(report::DescribeProblem(*warning));
    EXPECT_NE(line.find("the history cannot be read, so it protects no copy and this pass is not added to it: "),
              std::string::npos)
        << line;
    EXPECT_NE(line.find(broken.reason), std::string::npos) << line;
  }
}

// Every call the history's keeping makes, failed once: no clip is marked whose copies are not
// recorded (a failure of those clips, nothing more), and one rerun leaves every clip marked and
// the history whole, recording every copy in the tree.
TEST(PassHistory, AnyFailedStepOfItsKeepingMarksNoClipUnrecordedAndARerunMends) {
  std::vector<std::string> historyCalls;
  {
    TempTree tree;
    MakeShoot(tree);
    testing::RecordingFileSystem recorder(tree.Root());
    ASSERT_EQ(Collect(recorder, tree).outcome, report::Outcome::kComplete);
    for (const std::string& call : recorder.Calls()) {
      if (call.find("/D/ascmhl") != std::string::npos) historyCalls.push_back(call);
    }
  }
  ASSERT_GT(historyCalls.size(), 10u);
  for (std::size_t failing = 0; failing < historyCalls.size(); ++failing) {
    TempTree tree;
    MakeShoot(tree);
    testing::RecordingFileSystem recorder(tree.Root());
    std::size_t seen = 0;
    recorder.fault = [&](const std::string& call) -> std::error_code {
      if (call.find("/D/ascmhl") == std::string::npos || seen++ != failing) return {};
      return std::make_error_code(std::errc::io_error);
    };
    const report::PassReport report = Collect(recorder, tree);
    const std::string step = "failing " + historyCalls[failing];
    SCOPED_TRACE(step);
    for (const report::Problem& problem : report.problems) {
      if (problem.failure) {
        EXPECT_EQ(problem.operation, report::Operation::kNotRecorded) << platform::ToDisplay(report::DescribeProblem(problem));
      }
    }
    // Whatever was marked is recorded: in the history, or in what the pass left for the next.
    const report::PassReport rerun = Collect(tree);
    EXPECT_EQ(rerun.outcome, report::Outcome::kComplete) << platform::ToDisplay(report::MessageText(rerun));
    EXPECT_EQ(tree.Names(testing::ClipIn(u"ab_cd_ef")),
              (std::vector<std::u16string>{u"v01_hires.mp4", u"v02_hires.mp4", u"v03_hires.mp4"}));
    ReadWholeHistory(tree);
    const auto fs = platform::MakeRealFileSystem();
    const check::TreeCheck check = check::CheckTree(*fs, tree.Path(u"D"));
    EXPECT_EQ(check.outcome, check::CheckOutcome::kProven);
    EXPECT_EQ(check.Warnings(), 0u) << tree.Dump(u"D");
  }
}

// Counts the calls the pass makes in the history folder and kills the process at the chosen one.
TEST(KilledHistoryChild, RunsUntilKilled) {
  const char* at = std::getenv(kKillAt);
  const char* root = std::getenv(kRoot);
  if (!at || !root) GTEST_SKIP() << "only run as a child of PassHistory.KilledAtEveryStep";
  testing::RecordingFileSystem recorder(platform::FromNativeName(root));
  long calls = 0;
  const long killAt = std::atol(at);
  recorder.before = [&](const std::string& call) {
    if (call.find("/D/ascmhl") != std::string::npos && ++calls == killAt) testing::KillThisProcess();
  };
  pass::PassOptions options;
  options.keepHistory = true;
  const std::u16string folder = platform::FromNativeName(root) + platform::kPathSeparator;
  const report::PassReport report = pass::CollectClips(recorder, folder + u"S", folder + u"D", options);
  std::printf("pass ended after %ld history calls\n", calls);
  EXPECT_EQ(report.outcome, report::Outcome::kComplete);
}

// A pass killed at each step of its history's writing, over a history of one generation: what
// it leaves is whole (its generation listed, or absent, or put in place and not yet listed), and
// the next pass that records a copy leaves it whole with every generation listed.
TEST(PassHistory, KilledAtEveryStepLeavesAWholeHistory) {
  long hungAt = 0;
  for (long at = 1;; ++at) {
    TempTree tree;
    MakeShoot(tree);
    tree.WriteFile(testing::ClipIn(u"zz_yy_xx", u"v01.mp4"), "first pass");
    ASSERT_EQ(Collect(tree).outcome, report::Outcome::kComplete);
    tree.WriteFile(testing::ClipIn(u"ab_cd_ef", u"v07.mp4"), "seven");
    testing::ChildProgram child(testing::ThisProgram(), {u"--gtest_filter=KilledHistoryChild.*"},
                                {{kKillAt, std::to_string(at)}, {kRoot, platform::ToDisplay(tree.Root())}});
    const testing::ProgramResult result = child.Wait(testing::kChildLimit);
    const bool ended = result.out.find("pass ended after") != std::string::npos;
    ASSERT_TRUE(ended || result.status != 0) << "call " << at << ": " << result.out << result.err;

    history::Result<history::Chain> chain = history::ParseChain(tree.ReadFile(u"D/ascmhl/ascmhl_chain.xml"));
    ASSERT_TRUE(chain) << "killed at call " << at;
    std::size_t generations = 0;
    for (const std::u16string& name : HistoryNames(tree)) {
      if (history::NumberOfGenerationFile(name) > 0) ++generations;
    }
    const std::size_t listed = chain.value().generations.size();
    ASSERT_TRUE(listed == 1 || listed == 2) << "killed at call " << at;
    ASSERT_TRUE(generations == listed || (listed == 1 && generations == 2)) << "killed at call " << at;

    tree.WriteFile(testing::ClipIn(u"ab_cd_ef", u"v08.mp4"), "eight");
    ASSERT_EQ(Collect(tree).outcome, report::Outcome::kComplete) << "killed at call " << at;
    const history::History read = ReadWholeHistory(tree);
    EXPECT_GE(read.generations.size(), 2u) << "killed at call " << at;
    if (ended) break;
    ASSERT_LT(at, 200) << "the pass never ended";
    if (result.timedOut) {
      ASSERT_NE(hungAt, at) << "the pass hangs at call " << at << ": " << result.out << result.err;
      std::printf("call %ld: the child had not ended in time and was killed; once more\n%s", at, result.out.c_str());
      hungAt = at--;
    }
  }
}

}  // namespace
}  // namespace marlowin
