// marlowin-collect's options as people write them, and the dry run as a person reads it.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>
#include <string>
#include <vector>

#include "tests/cli/CommandFixture.h"

namespace marlowin {
namespace {

using Result = testing::CommandResult;

class CollectOptionsTest : public testing::CommandFixture {
 protected:
  static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
};

TEST_F(CollectOptionsTest, ShortOptionsGoTogetherAndJsonWithDryRunIsThePlanAsJson) {
  const Result apart = Run({u"-n", u"-q", tree.Path(u"S"), tree.Path(u"D")});
  const Result together = Run({u"-nq", tree.Path(u"S"), tree.Path(u"D")});
  EXPECT_EQ(together.status, 0);
  EXPECT_EQ(together.out, apart.out);
  EXPECT_EQ(Lines(together.out).back(), "Nothing was changed: 3 clips would be copied, from 1 shot folder to " +
                                            Native(u"D") + ". 4 copies would be written and verified.");

  for (const auto& arguments : {std::vector<std::u16string>{u"--json", u"-n", tree.Path(u"S"), tree.Path(u"D")},
                                std::vector<std::u16string>{u"-qn", u"--json", tree.Path(u"S"), tree.Path(u"D")}}) {
    const Result r = Run(arguments);
    EXPECT_EQ(r.status, 0);
    const nlohmann::json plan = nlohmann::json::parse(r.out);
    EXPECT_TRUE(plan["dryRun"].get<bool>());
    EXPECT_EQ(plan["summary"], Lines(together.out).back());
    std::vector<std::string> lines = Lines(together.out);
    lines.pop_back();
    EXPECT_EQ(plan["plan"].get<std::vector<std::string>>(), lines);
  }
  EXPECT_TRUE(recorder.Changes().empty());
}

TEST_F(CollectOptionsTest, EveryRefusedCombinationSaysWhyInOneLine) {
  const std::pair<std::vector<std::u16string>, std::string> refused[] = {
      {{u"-nx", u"a", u"b"}, "unknown option '-x' in '-nx'"},
      {{u"-x", u"a", u"b"}, "unknown option '-x'"},
      {{u"--check", u"-n", u"d"}, "--check and --dry-run do not go together: --check changes nothing already"},
      {{u"--check", u"--no-verify", u"d"},
       "--check and --no-verify do not go together: --check is the reading back of every copy"},
      {{u"--check", u"--no-history", u"d"},
       "--check and --no-history do not go together: --check checks against the history"},
      {{u"--check", u"--reverify", u"d"},
       "--check and --reverify do not go together: --check changes nothing, --reverify mends"},
      {{u"--check", u"--also", u"b", u"d"},
       "--check and --also do not go together: give --check every folder to check"},
      {{u"--check"}, "missing DESTINATION_FOLDER to check"},
  };
  for (const auto& [arguments, why] : refused) {
    const Result r = Run(arguments);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "marlowin-collect: " + why + "\nTry 'marlowin-collect --help'\n");
  }
  // After "--" a name that starts with "-" is a folder.
  EXPECT_EQ(Run({u"-n", u"--", u"-S", tree.Path(u"D")}).out.substr(0, 28), "starting path not accessible");
}

TEST_F(CollectOptionsTest, ADryRunOverACollectedShootSaysOnlyWhatWouldHappen) {
  ASSERT_EQ(Run({tree.Path(u"S"), tree.Path(u"D")}).status, 0);
  const Result r = Run({u"-n", tree.Path(u"S"), tree.Path(u"D")});
  EXPECT_EQ(r.status, 0);
  // The folders are there and the clean-up's copy is gone: only the clean-up's int folders are made
  // and removed again, as the pass does.
  const std::string m03 = Native(u"D/ab_cd_int_ef__m03"), m03Video = Native(u"D/ab_cd_int_ef__m03/video");
  EXPECT_EQ(Lines(r.out), (std::vector<std::string>{
                              "keep " + Native(u"D/ab_cd_adl_ef/video/v01_hires.mp4"),
                              "keep " + Native(u"D/ab_cd_adl_ef/video/v02_hires.mp4"),
                              "keep " + Native(u"D/ab_cd_int_ef__m02/video/v02_hires.mp4"),
                              "keep " + Native(u"D/ab_cd_adl_ef/video/v03_hires.mp4"),
                              "mkdir " + m03,
                              "mkdir " + m03Video,
                              "rmdir " + m03Video,
                              "rmdir " + m03,
                              "Nothing was changed: 3 clips already collected, from 1 shot folder to " + Native(u"D") +
                                  ". 4 copies already in place and not read again.",
                          }))
      << r.out;
}

TEST_F(CollectOptionsTest, AFolderNotFoundIsWordedOnceByThePassAndByTheCheck) {
  const std::string nosuch = Native(u"nosuch");
  const Result start = Run({tree.Path(u"nosuch"), tree.Path(u"D")});
  const Result destination = Run({tree.Path(u"S"), tree.Path(u"nosuch")});
  const Result check = Run({u"--check", tree.Path(u"nosuch")});
  EXPECT_EQ(start.err, "marlowin-collect: " + nosuch + ": not found\n");
  EXPECT_EQ(destination.err, start.err);
  EXPECT_EQ(Lines(check.out).front(), "check not made: " + nosuch + ": not found");
  EXPECT_EQ(check.status, 2);
  tree.WriteFile(u"afile", "not a folder");
  EXPECT_EQ(Run({tree.Path(u"S"), tree.Path(u"afile")}).err, "marlowin-collect: " + Native(u"afile") + ": not a folder\n");
  EXPECT_EQ(Lines(Run({u"--check", tree.Path(u"afile")}).out).front(),
            "check not made: " + Native(u"afile") + ": not a folder");
}

}  // namespace
}  // namespace marlowin
