#include "collector/CollectCommand.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/RecordingFileSystem.h"
#include "tests/support/TempTree.h"

namespace marlowin {
namespace {

using testing::RecordingFileSystem;
using testing::TempTree;

struct Result {
  int status;
  std::string out;
  std::string err;
};

class CollectCommandTest : public ::testing::Test {
 protected:
  CollectCommandTest() : recorder(sys::RealFileSystem(), tree.Root()) {
    for (const char* name : {"v01.mp4", "v02.mp4", "v03.mp4"}) {
      tree.WriteFile(u"S/ab_cd_ef/MP4 HIGH RES/" + testing::U16(name), name);
    }
    tree.MakeFolder(u"D");
  }

  Result Run(std::vector<std::u16string> arguments) {
    std::ostringstream out, err;
    const int status = RunCollectCommand(arguments, recorder, out, err);
    return {status, out.str(), err.str()};
  }

  TempTree tree;
  RecordingFileSystem recorder;
};

TEST_F(CollectCommandTest, CompletePassPrintsOneLineAndExitsZero) {
  const Result r = Run({tree.Path(u"S"), tree.Path(u"D")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "video copy complete\n");
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(tree.Exists(u"D/ab_cd_int_ef__m02/video/v02_hires.mp4"));
}

TEST_F(CollectCommandTest, ClipsThatCouldNotBeCopiedAreCountedAndExitOne) {
  recorder.failWhen = [](const std::string& call) {
    return call.find("v03.mp4 -> <root>/D/ab_cd_adl_ef") != std::string::npos;
  };
  const Result r = Run({tree.Path(u"S"), tree.Path(u"D")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "video copy incomplete: 1 of 3 clips could not be copied\n");
}

TEST_F(CollectCommandTest, FolderThatCannotBeFoundChangesNothing) {
  Result r = Run({tree.Path(u"nothing"), tree.Path(u"D")});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "starting path not accessible\n");
  r = Run({tree.Path(u"S"), tree.Path(u"nothing")});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "copy to path not accessible\n");
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(tree.Dump(u"D"), "");
  EXPECT_TRUE(tree.Exists(u"S/ab_cd_ef/MP4 HIGH RES/v01.mp4"));
}

TEST_F(CollectCommandTest, HelpAndWrongArguments) {
  Result r = Run({u"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("usage: marlowin-collect STARTING_FOLDER DESTINATION_FOLDER\n", 0), 0u);
  for (const auto& wrong : std::vector<std::vector<std::u16string>>{
           {}, {tree.Path(u"S")}, {tree.Path(u"S"), tree.Path(u"D"), u"x"}, {u"--fast", u"a", u"b"}}) {
    r = Run(wrong);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("usage: marlowin-collect"), std::string::npos);
    EXPECT_EQ(r.out, "");
  }
  EXPECT_TRUE(recorder.calls.empty());
}

}  // namespace
}  // namespace marlowin
