// marlowin-collect as an ordinary user, for what only permissions make: a folder that cannot be
// opened, a clip folder nobody may read.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <tuple>
#include <utility>

#include "platform/NativeName.h"
#include "tests/support/Mount.h"
#include "tests/support/Shoot.h"
#include "tests/support/TempTree.h"

namespace marlowin {
namespace {

using testing::Have;
using testing::Quote;
using testing::Shell;
using testing::TempTree;

// marlowin-collect as an ordinary user (root reads every folder): as "nobody" through setpriv
// when the tests run as root, else as the user running them.
class AsUser : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() == 0 && !Have("setpriv")) GTEST_SKIP() << "needs setpriv (util-linux) to become an ordinary user";
    tree.WriteFile(testing::ClipIn(u"ab_cd_ef", u"v01.mp4"), "one");
    tree.WriteFile(testing::ClipIn(u"gh_ij_kl", u"v01.mp4"), "one");
    tree.MakeFolder(u"D");
    tree.MakeFolder(u"records");
    // Everything open to that user, as on a card and a drive of its own.
    ASSERT_EQ(Shell("chmod -R a+rwX " + Quote(tree.Root())), 0);
  }
  // The first line of stdout, and the exit status.
  std::pair<std::string, int> Run() {
    const std::string user = ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    const int status = std::system(("XDG_STATE_HOME=" + Quote(tree.Path(u"records")) + " " + user +
                                    MARLOWIN_COLLECT_PROGRAM + " -q " + Quote(tree.Path(u"S")) + " " +
                                    Quote(tree.Path(u"D")) + " >" + Quote(tree.Path(u"out")) + " 2>" +
                                    Quote(tree.Path(u"err")))
                                       .c_str());
    err = tree.ReadFile(u"err");
    const std::string out = tree.ReadFile(u"out");
    return {out.substr(0, out.find('\n') + 1), WIFEXITED(status) ? WEXITSTATUS(status) : -1};
  }
  void Lock(std::u16string_view folder, const char* mode) {
    ASSERT_EQ(Shell(std::string("chmod ") + mode + " " + Quote(tree.Path(folder))), 0);
  }
  TempTree tree;
  std::string err;
};

TEST_F(AsUser, AFolderThatCannotBeOpenedIsNotAccessibleNotInUse) {
  Lock(u"S", "311");  // can be passed through, not read: the lock cannot open it
  auto [line, status] = Run();
  EXPECT_EQ(line, "starting path not accessible\n") << err;
  EXPECT_EQ(status, 2);
  EXPECT_NE(err.find(std::make_error_code(std::errc::permission_denied).message()), std::string::npos) << err;
  Lock(u"S", "777");
  Lock(u"D", "311");
  std::tie(line, status) = Run();
  EXPECT_EQ(line, "copy to path not accessible\n") << err;
  EXPECT_EQ(status, 2);
  EXPECT_TRUE(tree.Exists(testing::ClipIn(u"ab_cd_ef", u"v01.mp4")));
}

TEST_F(AsUser, AClipFolderNobodyMayReadIsNamedInTheFirstLine) {
  Lock(testing::ClipIn(u"gh_ij_kl"), "0");
  const auto [line, status] = Run();
  Lock(testing::ClipIn(u"gh_ij_kl"), "777");
  EXPECT_EQ(line, "video copy incomplete: 1 clip folder could not be read\n") << err;
  EXPECT_EQ(status, 1);
  EXPECT_NE(err.find("MP4 HIGH RES: cannot be listed, its clips were not collected: " +
                     std::make_error_code(std::errc::permission_denied).message()),
            std::string::npos)
      << err;
  EXPECT_TRUE(tree.Exists(testing::ClipIn(u"ab_cd_ef", u"v01_hires.mp4")));
  EXPECT_TRUE(tree.Exists(testing::ClipIn(u"gh_ij_kl", u"v01.mp4")));
}

}  // namespace
}  // namespace marlowin
