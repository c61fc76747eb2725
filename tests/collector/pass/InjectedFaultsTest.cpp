// Every call a pass makes to the file system, failed once: the copy's open, reads and writes,
// the flush, the read-back, the move into place, the marks, the clean-up. Whatever fails, no clip
// is lost, changed or marked without its proven copies, a failure is never "complete", and a
// rerun gives the tree of one clean pass.
#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "collector/pass/CollectClips.h"
#include "platform/NativeName.h"
#include "tests/support/RecordingFileSystem.h"
#include "tests/support/Shoot.h"
#include "tests/support/TempTree.h"

namespace marlowin {
namespace {

using testing::TempTree;

struct Clip {
  const char16_t* shot;
  const char16_t* name;    // as it is before the pass
  const char16_t* marked;  // its marked name
  std::u16string adl, intCopy;  // its copies in D (no int copy: empty)
};

const std::vector<Clip>& Clips() {
  static const std::vector<Clip> clips = {
      {u"ab_cd_ef", u"v01.mp4", u"v01_hires.mp4", u"ab_cd_adl_ef/video/v01_hires.mp4", u""},
      {u"ab_cd_ef", u"v02.mp4", u"v02_hires.mp4", u"ab_cd_adl_ef/video/v02_hires.mp4",
       u"ab_cd_int_ef__m02/video/v02_hires.mp4"},
      {u"ab_cd_ef", u"v03.mp4", u"v03_hires.mp4", u"ab_cd_adl_ef/video/v03_hires.mp4", u""},
      {u"gh_ij_kl", u"v02_hires.mp4", u"v02_hires.mp4", u"gh_ij_adl_kl/video/v02_hires.mp4",
       u"gh_ij_int_kl__m02/video/v02_hires.mp4"},
      {u"gh_ij_kl", u"v04.mp4", u"v04_hires.mp4", u"gh_ij_adl_kl/video/v04_hires.mp4", u""},
  };
  return clips;
}

std::u16string ClipPath(const Clip& clip, const char16_t* name) { return testing::ClipIn(clip.shot, name); }

std::string Content(const Clip& clip) { return testing::Shoot::DefaultBytes(clip.shot, clip.name); }

void MakeShoot(const TempTree& tree) {
  const testing::Shoot shoot(tree);
  for (const Clip& clip : Clips()) shoot.Clip(clip.shot, clip.name, Content(clip));
}

bool CleanUpTook(const report::PassReport& report, const std::u16string& copy) {
  for (const report::Problem& problem : report.problems) {
    if (problem.operation == report::Operation::kCleanUpMoved && problem.target == copy) return true;
  }
  return false;
}

// The occurrence of each call line as the pass makes them; counted across both of its threads.
class FailOnce {
 public:
  FailOnce(std::string line, int occurrence) : line_(std::move(line)), occurrence_(occurrence) {}
  std::error_code operator()(const std::string& call) {
    std::lock_guard lock(mutex_);
    if (call != line_ || ++seen_ != occurrence_) return {};
    hit_ = true;
    return std::make_error_code(std::errc::io_error);
  }
  bool Hit() {
    std::lock_guard lock(mutex_);
    return hit_;
  }

 private:
  std::mutex mutex_;
  std::string line_;
  int occurrence_;
  int seen_ = 0;
  bool hit_ = false;
};

TEST(InjectedFaults, EveryCallFailedOnceLosesNothingMarksNothingUnprovenAndARerunMends) {
  std::string clean;
  std::vector<std::pair<std::string, int>> faults;
  {
    TempTree tree;
    MakeShoot(tree);
    testing::RecordingFileSystem recorder(tree.Root());
    pass::PassOptions options;
    options.batchCopies = 3;  // commits in the middle of the pass, and overlapping ones
    ASSERT_EQ(pass::CollectClips(recorder, tree.Path(u"S"), tree.Path(u"D"), options).outcome, report::Outcome::kComplete);
    clean = tree.Dump();
    std::map<std::string, int> seen;
    for (const std::string& call : recorder.Calls()) faults.emplace_back(call, ++seen[call]);
  }
  ASSERT_GT(faults.size(), 50u);

  for (const auto& [line, occurrence] : faults) {
    const std::string at = line + " (#" + std::to_string(occurrence) + ")";
    TempTree tree;
    MakeShoot(tree);
    testing::RecordingFileSystem recorder(tree.Root());
    FailOnce fail(line, occurrence);
    recorder.fault = [&fail](const std::string& call) { return fail(call); };
    pass::PassOptions options;
    options.batchCopies = 3;
    const report::PassReport report = pass::CollectClips(recorder, tree.Path(u"S"), tree.Path(u"D"), options);
    // A read may be split differently from one run to the next; the rest is deterministic.
    if (!fail.Hit()) continue;

    bool everyClipMarked = true;
    for (const Clip& clip : Clips()) {
      const bool before = tree.Exists(ClipPath(clip, clip.name));
      const bool after = tree.Exists(ClipPath(clip, clip.marked));
      // Under exactly one of its names (both, when it carried the mark already), unchanged.
      ASSERT_TRUE(before || after) << at;
      ASSERT_EQ(tree.ReadFile(ClipPath(clip, before ? clip.name : clip.marked)), Content(clip)) << at;
      if (clip.name != std::u16string_view(clip.marked)) {
        ASSERT_FALSE(before && after) << at;
        everyClipMarked = everyClipMarked && after;
        if (!after) continue;
        // Marked in this pass: its copies are there and equal to it.
        EXPECT_EQ(tree.ReadFile(u"D/" + clip.adl), Content(clip)) << at;
        // Its int copy is gone only where a failed adl copy moved the clean-up onto it, and
        // the report says so.
        if (!clip.intCopy.empty() && !CleanUpTook(report, tree.Path(u"D/" + clip.intCopy))) {
          EXPECT_EQ(tree.ReadFile(u"D/" + clip.intCopy), Content(clip)) << at;
        }
      }
    }
    if (report.outcome == report::Outcome::kComplete) {
      EXPECT_EQ(report.Failures(), 0u) << at;
      EXPECT_TRUE(everyClipMarked) << at << "\n" << platform::ToDisplay(report::MessageText(report));
    } else if (report.outcome == report::Outcome::kIncomplete) {
      EXPECT_GT(report.Failures(), 0u) << at;
    }

    const auto fs = platform::MakeRealFileSystem();
    const report::PassReport rerun = pass::CollectClips(*fs, tree.Path(u"S"), tree.Path(u"D"));
    EXPECT_EQ(rerun.outcome, report::Outcome::kComplete) << at << "\n" << platform::ToDisplay(report::MessageText(rerun));
    ASSERT_EQ(tree.Dump(), clean) << at;
  }
}

}  // namespace
}  // namespace marlowin
