// The plan on its own: what BuildPlan decides from a shoot and its destination (copies to write,
// prove or keep, the clean-up, the commit points, clips that cannot be collected before the
// first copy), and the one walk of it, with a sink that writes down what it is handed and says
// what only the copies decide.
#include "collector/plan/Plan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "collector/plan/PlanLines.h"
#include "collector/plan/PlanWalk.h"
#include "platform/NativeName.h"
#include "tests/support/Shoot.h"
#include "tests/support/TempTree.h"

namespace marlowin::plan {
namespace {

using testing::TempTree;

class PlanTest : public ::testing::Test {
 protected:
  PlanTest() : shoot(tree) {}

  Plan Build(const recorder::RecordedCopies* recorded = nullptr, std::size_t batchCopies = 256) {
    std::vector<platform::FolderEntry> entries;
    EXPECT_FALSE(fs->ListFolder(shoot.Start(), entries));
    PlanSettings settings;
    settings.recorded[0] = recorded;
    settings.batchCopies = batchCopies;
    return BuildPlan(*fs, shoot.Start(), {shoot.Destination()}, entries, settings, [](const Plan&) { return true; });
  }


 public:
  // A path as the lines show it: the tree's root as "<root>", "/" for the separator.
  std::string Shown(const std::string& line) const {
    std::string shown = line;
    const std::string root = platform::ToDisplay(tree.Root());
    for (std::size_t at; (at = shown.find(root)) != std::string::npos;) shown.replace(at, root.size(), "<root>");
    for (char& c : shown) {
      if (c == '\\') c = '/';
    }
    return shown;
  }

 protected:
  TempTree tree;
  testing::Shoot shoot;
  std::unique_ptr<platform::FileSystem> fs = platform::MakeRealFileSystem();
};

// Writes down what the walk hands it; fails the adl copies of the clips in `failAdl`, and says
// that copies are staged in any folder while `staged`.
class RecordingSink final : public PlanSink {
 public:
  RecordingSink(const Plan& plan, const PlanTest& test) : plan_(plan), test_(test) {}

  void Tell(const report::Problem& problem) override { lines.push_back("problem " + platform::ToDisplay(problem.path)); }
  void BeginShot(std::uint32_t shot) override { lines.push_back("shot " + platform::ToDisplay(plan_.shots[shot].name)); }
  void Folder(const PlanOperation& op, std::uint32_t, std::uint32_t, bool) override {
    lines.push_back(test_.Shown(OperationLine(op)));
  }
  void BeginClip(std::uint32_t, std::uint32_t) override {}
  CopyVerdict Copy(const PlanOperation& op, std::uint32_t shot, std::uint32_t clip) override {
    lines.push_back(test_.Shown(OperationLine(op)));
    const std::u16string& name = plan_.shots[shot].clips[clip].name;
    return !op.intCopy && failAdl == name ? CopyVerdict::kFailed : CopyVerdict::kDone;
  }
  void EndClip(std::uint32_t, std::uint32_t, bool, bool) override {}
  void Commit(bool withCopies, bool settle) override {
    lines.push_back(std::string(settle ? "settle" : "commit") + (withCopies ? "" : " (nothing staged)"));
  }
  bool StagedIn(const std::u16string&) override { return staged; }
  bool CleanUp(const PlanOperation& op, std::uint32_t, const naming::CleanUp&, bool isMoved) override {
    moved = moved || isMoved;
    lines.push_back(test_.Shown(OperationLine(op)));
    return true;
  }
  void KeepRecorded(const std::u16string& path, const recorder::RecordedCopy&) override {
    lines.push_back(test_.Shown("keep-recorded " + platform::ToDisplay(path)));
  }

  std::vector<std::string> lines;
  std::u16string failAdl;
  bool staged = false;
  bool moved = false;

 private:
  const Plan& plan_;
  const PlanTest& test_;
};

TEST_F(PlanTest, DecidesEachCopyTheCleanUpAndTheCommitPoints) {
  shoot.Clips(u"ab_cd_ef", {u"v01.mp4", u"v02.mp4", u"v03.mp4"}).Clips(u"gh_ij", {u"v01.mp4"});
  const Plan plan = Build(nullptr, 2);
  ASSERT_EQ(plan.shots.size(), 1u);  // gh_ij has two words only
  const PlannedShot& shot = plan.shots[0];
  EXPECT_EQ(shot.cleanUp, (naming::CleanUp{u"03", u"03"}));
  ASSERT_EQ(shot.clips.size(), 3u);
  EXPECT_FALSE(shot.clips[0].HasIntFolders());
  EXPECT_TRUE(shot.clips[1].hasIntCopy);
  EXPECT_TRUE(shot.clips[1].intCopy[0].fromAdlCopy);
  EXPECT_FALSE(shot.clips[2].hasIntCopy);  // the greatest: its int copy would go again at once
  for (const PlannedClip& clip : shot.clips) EXPECT_EQ(clip.adl[0].action, CopyAction::kWrite);
  EXPECT_EQ(plan.clips, 3u);
  ASSERT_EQ(plan.volumes.size(), 1u);
  EXPECT_EQ(plan.volumes[0].copiesToWrite, 4u);
  // A commit once two copies are staged, gh_ij told where the listing meets it, a settle at the end.
  std::vector<StepKind> kinds;
  for (const Step& step : plan.steps) kinds.push_back(step.kind);
  EXPECT_EQ(kinds, (std::vector<StepKind>{StepKind::kShot, StepKind::kClip, StepKind::kClip, StepKind::kCommit,
                                          StepKind::kClip, StepKind::kCleanUp, StepKind::kProblem, StepKind::kSettle}));
}

// Towards the end each batch holds no more than what comes after it, down to the least: with 12
// clips of 1000 bytes (v02 to v11 with an int copy too) the batches hold 11000, 6000, 4000 and
// 1000 bytes, where one batch would hold all 22000 and be proven after the last clip was read.
TEST_F(PlanTest, TheLastBatchesShrinkSoThatLittleIsLeftToProveAtTheEnd) {
  std::vector<std::u16string> names;
  for (int i = 1; i <= 12; ++i) {
    names.push_back(u"v" + platform::FromNativeName(std::string(i < 10 ? "0" : "") + std::to_string(i)) + u".mp4");
    shoot.Clip(u"ab_cd_ef", names.back(), std::string(1000, 'x'));
  }
  std::vector<platform::FolderEntry> entries;
  ASSERT_FALSE(fs->ListFolder(shoot.Start(), entries));
  PlanSettings settings;
  settings.leastLastBatch = 3000;
  const Plan plan =
      BuildPlan(*fs, shoot.Start(), {shoot.Destination()}, entries, settings, [](const Plan&) { return true; });
  std::vector<std::uint64_t> batches{0};
  std::vector<std::uint32_t> flags;
  for (const Step& step : plan.steps) {
    if (step.kind == StepKind::kClip) {
      const PlannedClip& clip = plan.shots[step.shot].clips[step.index];
      batches.back() += clip.size * (clip.hasIntCopy ? 2 : 1);
    } else if (step.kind == StepKind::kCommit || step.kind == StepKind::kSettle) {
      batches.push_back(0);
      flags.push_back(step.index);
    }
  }
  batches.pop_back();
  EXPECT_EQ(batches, (std::vector<std::uint64_t>{11000, 6000, 4000, 1000}));
  EXPECT_EQ(flags, (std::vector<std::uint32_t>{1, 1, 1, 1}));
  EXPECT_EQ(plan.steps.back().kind, StepKind::kSettle);

  // A plan smaller than twice the least is left as it is.
  settings.leastLastBatch = 12000;
  const Plan small =
      BuildPlan(*fs, shoot.Start(), {shoot.Destination()}, entries, settings, [](const Plan&) { return true; });
  EXPECT_EQ(std::count_if(small.steps.begin(), small.steps.end(), [](const Step& step) { return step.kind == StepKind::kCommit; }), 0);
}

TEST_F(PlanTest, TheWalkHandsOverEveryOperationInOrderAndAFailedAdlCopyMovesTheCleanUp) {
  shoot.Clips(u"ab_cd_ef", {u"v01.mp4", u"v02.mp4", u"v03.mp4"});
  const Plan plan = Build();
  RecordingSink sink(plan, *this);
  std::size_t next = 0;
  Walk(plan, sink, next);
  EXPECT_EQ(next, plan.steps.size());
  const std::string clips = "<root>/S/ab_cd_ef/MP4 HIGH RES/";
  const std::string adl = "<root>/D/ab_cd_adl_ef/video/";
  EXPECT_EQ(sink.lines, (std::vector<std::string>{
                            "shot ab_cd_ef",
                            "mkdir <root>/D/ab_cd_adl_ef",
                            "mkdir <root>/D/ab_cd_adl_ef/video",
                            "copy " + clips + "v01.mp4 -> " + adl + "v01_hires.mp4",
                            "copy " + clips + "v02.mp4 -> " + adl + "v02_hires.mp4",
                            "mkdir <root>/D/ab_cd_int_ef__m02",
                            "mkdir <root>/D/ab_cd_int_ef__m02/video",
                            "copy " + adl + "v02_hires.mp4 -> <root>/D/ab_cd_int_ef__m02/video/v02_hires.mp4",
                            "copy " + clips + "v03.mp4 -> " + adl + "v03_hires.mp4",
                            "mkdir <root>/D/ab_cd_int_ef__m03",
                            "mkdir <root>/D/ab_cd_int_ef__m03/video",
                            "delete <root>/D/ab_cd_int_ef__m03/video/v03_hires.mp4",
                            "rmdir <root>/D/ab_cd_int_ef__m03/video",
                            "rmdir <root>/D/ab_cd_int_ef__m03",
                            "settle",
                        }));
  EXPECT_FALSE(sink.moved);

  // v03's adl copy fails: v02 is the greatest made, and its staged int copy is settled before
  // the clean-up takes it.
  RecordingSink failing(plan, *this);
  failing.failAdl = u"v03.mp4";
  failing.staged = true;
  next = 0;
  Walk(plan, failing, next);
  EXPECT_TRUE(failing.moved);
  const std::vector<std::string> tail(failing.lines.end() - 5, failing.lines.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"settle", "delete <root>/D/ab_cd_int_ef__m02/video/v02_hires.mp4",
                                            "rmdir <root>/D/ab_cd_int_ef__m02/video", "rmdir <root>/D/ab_cd_int_ef__m02",
                                            "settle"}));
}

TEST_F(PlanTest, RecordedCopiesDecideBeforeTheFirstCopyWhereTheyCan) {
  shoot.Clips(u"ab_cd_ef", {u"v01.mp4", u"v02.mp4", u"v03.mp4"});
  recorder::RecordedCopies recorded(false);
  const auto record = [&](const char16_t* path, std::uint64_t size) {
    recorder::RecordedCopy copy;
    copy.hasSize = true;
    copy.size = size;
    copy.xxh128 = std::string(32, 'a');
    copy.sequence = 1;
    recorded.Add(path, copy);
  };
  const std::uint64_t size = testing::Shoot::DefaultBytes(u"ab_cd_ef", u"v01.mp4").size();
  record(u"ab_cd_adl_ef/video/v01_hires.mp4", size);      // the same size: known only once read
  record(u"ab_cd_adl_ef/video/v02_hires.mp4", size + 1);  // another size: another clip's
  record(u"ab_cd_int_ef__m03/video/v03_hires.mp4", size); // what the clean-up would delete
  const Plan plan = Build(&recorded);
  const PlannedShot& shot = plan.shots[0];
  EXPECT_TRUE(shot.clips[0].adl[0].overRecorded);
  EXPECT_FALSE(shot.clips[0].blocked);
  EXPECT_TRUE(shot.clips[1].blocked);
  ASSERT_EQ(shot.clips[1].problemCount, 1u);
  EXPECT_EQ(plan.problems[shot.clips[1].firstProblem].operation, report::Operation::kRecordedCopy);
  // v02 cannot be collected: v03 is still the greatest, and its int copy a recorded one.
  RecordingSink sink(plan, *this);
  std::size_t next = 0;
  Walk(plan, sink, next);
  EXPECT_NE(std::find(sink.lines.begin(), sink.lines.end(),
                      "keep-recorded <root>/D/ab_cd_int_ef__m03/video/v03_hires.mp4"),
            sink.lines.end());
  for (const std::string& line : sink.lines) EXPECT_FALSE(line.starts_with("delete ")) << line;
}

}  // namespace
}  // namespace marlowin::plan
