// The batch commit on its own: clips handed over come back in their order, a batch at the commit
// point after its own (while the next is copied), with what became of each copy; a failed flush
// or proof fails only its batch's copies, and a dry run's clips come back at the same points.
#include "collector/pass/BatchCommit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Errors.h"
#include "tests/support/RecordingFileSystem.h"
#include "tests/support/TempTree.h"

namespace marlowin::pass {
namespace {

using testing::TempTree;

class BatchCommitTest : public ::testing::Test {
 protected:
  BatchCommitTest() : recorder(tree.Root()) {
    tree.MakeFolder(u"clips");
    tree.MakeFolder(u"copies");
  }

  // Hands over a clip with one copy written from it.
  void Written(BatchCommit& commit, std::uint32_t clip, const std::string& bytes) {
    const std::u16string name = u"c" + std::u16string(1, static_cast<char16_t>(u'0' + clip));
    tree.WriteFile(u"clips/" + name, bytes);
    commit.BeginClip(0, clip, clip);
    CopyQueue::Mode mode;
    ASSERT_FALSE(commit.Copy(0, false, tree.Path(u"clips/" + name), tree.Path(u"copies/" + name), mode, 0, nullptr));
    commit.EndClip(true);
  }

  static std::vector<std::uint32_t> Clips(const std::vector<CommittedClip>& done) {
    std::vector<std::uint32_t> clips;
    for (const CommittedClip& clip : done) clips.push_back(clip.clip);
    return clips;
  }

  TempTree tree;
  testing::RecordingFileSystem recorder;
};

TEST_F(BatchCommitTest, ClipsComeBackInOrderOneBatchBehindAndProven) {
  BatchCommit commit(&recorder, nullptr, true);
  Written(commit, 1, "one");
  Written(commit, 2, "two");
  EXPECT_TRUE(commit.Commit(true).empty());  // batch 1 goes to be proven; nothing is done yet
  EXPECT_TRUE(commit.HasCopiesIn(tree.Path(u"copies")));
  Written(commit, 3, "three");
  // A clip handed over without copies to commit waits for its turn all the same.
  commit.BeginClip(0, 4, 4);
  commit.EndClip(true);
  const std::vector<CommittedClip> first = commit.Commit(true);
  EXPECT_EQ(Clips(first), (std::vector<std::uint32_t>{1, 2}));
  for (const CommittedClip& clip : first) {
    EXPECT_TRUE(clip.adl[0].handed && clip.adl[0].written);
    EXPECT_FALSE(clip.adl[0].error) << clip.adl[0].error.message();
    EXPECT_EQ(clip.adl[0].hash.size(), 32u);
  }
  EXPECT_EQ(tree.ReadFile(u"copies/c1"), "one");
  EXPECT_FALSE(tree.Exists(u"copies/c3"));  // its commit runs: not in place before it is proven
  EXPECT_EQ(Clips(commit.Settle(false)), (std::vector<std::uint32_t>{3, 4}));
  EXPECT_EQ(tree.ReadFile(u"copies/c3"), "three");
  EXPECT_FALSE(commit.HasCopiesIn(tree.Path(u"copies")));
}

TEST_F(BatchCommitTest, AFlushThatFailsFailsItsBatchOnlyAndLeavesNoTemporary) {
  BatchCommit commit(&recorder, nullptr, true);
  int flushes = 0;
  recorder.fault = [&](const std::string& call) {
    const bool flush = call.rfind("flush-volume ", 0) == 0 || call.rfind("flush ", 0) == 0;
    return flush && flushes++ == 0 ? std::make_error_code(std::errc::io_error) : std::error_code();
  };
  Written(commit, 1, "one");
  (void)commit.Commit(true);
  Written(commit, 2, "two");
  const std::vector<CommittedClip> first = commit.Settle(true);
  ASSERT_EQ(Clips(first), (std::vector<std::uint32_t>{1, 2}));
  EXPECT_EQ(first[0].adl[0].error, std::errc::io_error);
  EXPECT_FALSE(first[1].adl[0].error) << first[1].adl[0].error.message();
  EXPECT_FALSE(tree.Exists(u"copies/c1"));
  EXPECT_EQ(tree.ReadFile(u"copies/c2"), "two");
  EXPECT_EQ(tree.Names(u"copies"), (std::vector<std::u16string>{u"c2"}));
}

TEST_F(BatchCommitTest, AProofThatFailsFailsThatCopyAndKeepsTheOneInPlaceWhenAsked) {
  BatchCommit commit(&recorder, nullptr, true);
  // Two copies found in place: one differs from its clip and is kept (a recorded copy), one
  // differs and goes; a third is its clip's.
  tree.WriteFile(u"clips/a", "clip a");
  tree.WriteFile(u"clips/b", "clip b");
  tree.WriteFile(u"clips/c", "clip c");
  tree.WriteFile(u"copies/a", "other a");
  tree.WriteFile(u"copies/b", "other b");
  tree.WriteFile(u"copies/c", "clip c");
  const char16_t* names[] = {u"a", u"b", u"c"};
  for (std::uint32_t i = 0; i < 3; ++i) {
    commit.BeginClip(0, i, i);
    commit.Prove(0, false, tree.Path(std::u16string(u"clips/") + names[i]), tree.Path(std::u16string(u"copies/") + names[i]),
                 i == 0, 0);
    commit.EndClip(true);
  }
  const std::vector<CommittedClip> done = commit.Settle(true);
  ASSERT_EQ(done.size(), 3u);
  EXPECT_EQ(done[0].adl[0].error, platform::Errc::kCopyDiffers);
  EXPECT_EQ(done[1].adl[0].error, platform::Errc::kCopyDiffers);
  EXPECT_FALSE(done[2].adl[0].error);
  EXPECT_FALSE(done[2].adl[0].written);
  EXPECT_EQ(tree.ReadFile(u"copies/a"), "other a");
  EXPECT_FALSE(tree.Exists(u"copies/b"));
}

TEST_F(BatchCommitTest, AClipThatDoesNotWaitComesNeverBackButItsCopyIsStillPutInPlace) {
  BatchCommit commit(&recorder, nullptr, true);
  tree.WriteFile(u"clips/c1", "one");
  commit.BeginClip(0, 1, 1);
  CopyQueue::Mode mode;
  ASSERT_FALSE(commit.Copy(0, false, tree.Path(u"clips/c1"), tree.Path(u"copies/c1"), mode, 0, nullptr));
  commit.FailClip();
  commit.EndClip(false);  // a stop came during its next copy
  EXPECT_TRUE(commit.Settle(true).empty());
  EXPECT_EQ(tree.ReadFile(u"copies/c1"), "one");
}

TEST_F(BatchCommitTest, ADryRunsClipsComeBackAtThePointsAPassesDo) {
  const auto points = [&](BatchCommit& commit) {
    std::vector<std::vector<std::uint32_t>> handedBack;
    for (std::uint32_t clip = 1; clip <= 5; ++clip) {
      Written(commit, clip, "clip");
      if (clip % 2 == 0) handedBack.push_back(Clips(commit.Commit(true)));
    }
    handedBack.push_back(Clips(commit.Settle(true)));
    return handedBack;
  };
  BatchCommit real(&recorder, nullptr, true);
  BatchCommit dry(nullptr, nullptr, true);
  const auto expected = std::vector<std::vector<std::uint32_t>>{{}, {1, 2}, {3, 4, 5}};
  EXPECT_EQ(points(real), expected);
  EXPECT_EQ(points(dry), expected);
}

}  // namespace
}  // namespace marlowin::pass
