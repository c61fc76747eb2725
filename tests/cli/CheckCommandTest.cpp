// marlowin-collect --check: its lines on stdout and stderr, its JSON, its exit statuses and
// its arguments.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "collector/pass/CollectClips.h"
#include "platform/Files.h"
#include "tests/cli/CommandFixture.h"
#include "tests/support/TreeHistory.h"

namespace marlowin {
namespace {

using Result = testing::CommandResult;

class CheckCommandTest : public testing::CommandFixture {
 protected:
  CheckCommandTest() { EXPECT_EQ(pass::CollectClips(recorder, tree.Path(u"S"), tree.Path(u"D")).outcome, report::Outcome::kComplete); }

  void Record() {
    const history::Failure failure = testing::RecordCollectedFiles(tree.Path(u"D"), 1796757737);
    ASSERT_FALSE(failure) << history::Describe(failure);
  }
};

TEST_F(CheckCommandTest, AProvenTreePrintsTheOutcomeAndASummaryAndExitsZero) {
  Record();
  const Result r = Run({u"--check", tree.Path(u"D")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "check passed: 4 recorded files proven\n4 files proven, 28 B read back from the disk, against 1 "
                   "generation of the history of " + Native(u"D") + ".\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(CheckCommandTest, EachFailureAndWarningIsALineOnStderr) {
  Record();
  tree.WriteFile(u"D/ab_cd_adl_ef/video/v03_hires.mp4", "v04.mp4");
  ASSERT_EQ(platform::RemoveFile(tree.Path(u"D/ab_cd_adl_ef/video/v01_hires.mp4")), std::error_code());
  tree.WriteFile(u"D/ab_cd_int_ef__m02/video/extra.mp4", "extra");
  const Result r = Run({u"--check", tree.Path(u"D")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "check failed: 2 of 4 recorded files not proven\n2 files proven, 21 B read back from the disk, "
                   "against 1 generation of the history of " + Native(u"D") +
                   ". Not proven: 1 missing, 1 changed. 1 file of the adl and int folders is in no generation.\n");
  const std::string v03 = r.err.substr(r.err.find(Native(u"D/ab_cd_adl_ef/video/v03_hires.mp4")));
  EXPECT_EQ(r.err, "marlowin-collect: " + Native(u"D/ab_cd_adl_ef/video/v01_hires.mp4") +
                       ": missing (recorded by generation 1); to mend it from its clip: marlowin-collect --reverify "
                       "STARTING_FOLDER " + Native(u"D") + "\n"
                       "marlowin-collect: " + v03.substr(0, v03.find('\n') + 1) +
                       "marlowin-collect: warning: " + Native(u"D/ab_cd_int_ef__m02/video/extra.mp4") +
                       ": in no generation of the history\n");
  EXPECT_TRUE(v03.starts_with(Native(u"D/ab_cd_adl_ef/video/v03_hires.mp4") + ": changed: xxh128 ")) << v03;
}

TEST_F(CheckCommandTest, NoHistoryIsTwo) {
  const Result r = Run({u"--check", tree.Path(u"D")});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "check not made: no ASC MHL history: no folder " + Native(u"D/ascmhl") +
                       "\nNothing was read or changed in " + Native(u"D") + ".\n");
}

TEST_F(CheckCommandTest, AMalformedChainIsTwoWithTheReason) {
  Record();
  tree.WriteFile(u"D/ascmhl/ascmhl_chain.xml", "not XML");
  const Result r = Run({u"--check", tree.Path(u"D")});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(r.out.starts_with("check not made: history not readable: malformed XML: " +
                                Native(u"D/ascmhl/ascmhl_chain.xml")))
      << r.out;
}

TEST_F(CheckCommandTest, JsonIsTheWholeCheck) {
  Record();
  tree.WriteFile(u"D/ab_cd_adl_ef/video/v03_hires.mp4", "v04.mp4");
  tree.WriteFile(u"D/ab_cd_adl_ef/video/extra.mp4", "extra");
  const Result r = Run({u"--check", u"--json", tree.Path(u"D")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "");
  const nlohmann::json check = nlohmann::json::parse(r.out);
  EXPECT_EQ(check["outcome"], "not proven");
  EXPECT_EQ(check["message"], "check failed: 1 of 4 recorded files not proven");
  EXPECT_EQ(check["folder"], Native(u"D"));
  EXPECT_EQ(check["generations"], 1);
  EXPECT_EQ(check["counts"]["filesRecorded"], 4);
  EXPECT_EQ(check["counts"]["filesProven"], 3);
  EXPECT_EQ(check["counts"]["filesChanged"], 1);
  EXPECT_EQ(check["counts"]["filesUnrecorded"], 1);
  EXPECT_EQ(check["counts"]["failures"], 1);
  EXPECT_EQ(check["counts"]["warnings"], 1);
  EXPECT_EQ(check["exitStatus"], 1);
  ASSERT_EQ(check["problems"].size(), 2u);
  const nlohmann::json& changed = check["problems"][0];
  EXPECT_EQ(changed["kind"], "failure");
  EXPECT_EQ(changed["verdict"], "changed");
  EXPECT_EQ(changed["path"], "ab_cd_adl_ef/video/v03_hires.mp4");
  EXPECT_EQ(changed["generation"], 1);
  EXPECT_EQ(changed["recorded"]["size"], 7);
  EXPECT_EQ(changed["found"]["size"], 7);
  EXPECT_EQ(changed["found"]["xxh128"].get<std::string>().size(), 32u);
  EXPECT_NE(changed["found"]["xxh128"], changed["recorded"]["xxh128"]);
  const nlohmann::json& unrecorded = check["problems"][1];
  EXPECT_EQ(unrecorded["kind"], "warning");
  EXPECT_EQ(unrecorded["verdict"], "unrecorded");
  EXPECT_EQ(unrecorded["path"], "ab_cd_adl_ef/video/extra.mp4");
  ASSERT_EQ(check["files"].size(), 4u);
  EXPECT_EQ(check["files"][0]["path"], "ab_cd_adl_ef/video/v01_hires.mp4");
  EXPECT_EQ(check["files"][0]["verdict"], "proven");
  EXPECT_EQ(check["files"][0]["found"]["xxh128"], check["files"][0]["recorded"]["xxh128"]);
}

TEST_F(CheckCommandTest, JsonWithoutAHistorySaysWhy) {
  const Result r = Run({u"--json", u"--check", tree.Path(u"D")});
  EXPECT_EQ(r.status, 2);
  const nlohmann::json check = nlohmann::json::parse(r.out);
  EXPECT_EQ(check["outcome"], "no history");
  EXPECT_EQ(check["historyError"]["reason"], "no ASC MHL history");
  EXPECT_EQ(check["historyError"]["detail"], "no folder " + Native(u"D/ascmhl"));
  EXPECT_EQ(check["exitStatus"], 2);
}

TEST_F(CheckCommandTest, CtrlCStopsTheCheckWith130) {
  Record();
  std::atomic<bool> stop{true};
  CommandConsole console;
  console.stop = &stop;
  std::ostringstream out, err;
  EXPECT_EQ(RunCollectCommand({u"--check", tree.Path(u"D")}, recorder, out, err, console), 130);
  EXPECT_EQ(out.str(), "check stopped: 0 of 4 recorded files proven\n0 files proven, 0 B read back from the disk, "
                       "against 1 generation of the history of " + Native(u"D") + ". Not proven: 4 not checked.\n");
  EXPECT_EQ(err.str(), "");
}

TEST_F(CheckCommandTest, WrongArgumentsAreTwo) {
  for (const std::vector<std::u16string>& arguments :
       {std::vector<std::u16string>{u"--check"}, {u"--check", u"--also", u"b", u"a"}, {u"--check", u"--dry-run", u"a"},
        {u"--check", u"--no-verify", u"a"}}) {
    const Result r = Run(arguments);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("Try 'marlowin-collect --help'"), std::string::npos) << r.err;
  }
}

// A copy to folder and its backup in one command: each checked in turn, the worst status returned,
// as JSON an array of both.
TEST_F(CheckCommandTest, SeveralFoldersAreEachCheckedAndTheWorstStatusIsReturned) {
  Record();
  const Result both = Run({u"--check", tree.Path(u"D"), tree.Path(u"D")});
  EXPECT_EQ(both.status, 0);
  EXPECT_EQ(both.out.find("check passed"), 0u);
  EXPECT_NE(both.out.find("\n\ncheck passed"), std::string::npos) << both.out;
  const Result oneMissing = Run({u"--check", tree.Path(u"D"), tree.Path(u"nowhere")});
  EXPECT_EQ(oneMissing.status, 2);
  const Result json = Run({u"--check", u"--json", tree.Path(u"D"), tree.Path(u"nowhere")});
  const nlohmann::json parsed = nlohmann::json::parse(json.out);
  ASSERT_TRUE(parsed.is_array());
  EXPECT_EQ(parsed.size(), 2u);
  EXPECT_EQ(json.status, 2);
}

TEST_F(CheckCommandTest, HelpTellsOfTheCheck) {
  const Result r = Run({u"--help"});
  EXPECT_NE(r.out.find("marlowin-collect --check [--json] [-q] DESTINATION_FOLDER"), std::string::npos);
}

}  // namespace
}  // namespace marlowin
