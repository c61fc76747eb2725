// A pass with a backup folder: the same tree in both destinations, each with its own history,
// the card read once, and a backup folder that overlaps another folder refused before anything.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "collector/check/CheckTree.h"
#include "collector/pass/CollectClips.h"
#include "collector/pass/CacheAhead.h"
#include "history/HistoryFolder.h"
#include "platform/NativeName.h"
#include "tests/support/PassFixture.h"

namespace marlowin {
namespace {

// A destination's tree without its history, whose names hold the time of each pass: the lines
// of the whole tree's dump under `folder`, a file's text following its name.
std::string TreeWithoutHistory(const testing::TempTree& tree, std::string_view folder) {
  const std::string dump = tree.Dump();
  const std::string prefix = std::string(folder) + "/";
  std::string kept;
  bool keep = false;
  for (std::size_t start = 0, end; start < dump.size(); start = end + 1) {
    end = dump.find('\n', start);
    const std::string line = dump.substr(start, end - start + 1);
    const bool path = line.find('/') < line.find(' ') && !line.starts_with("<") && !line.starts_with(" ");
    if (path) keep = line.starts_with(prefix) && !line.starts_with(prefix + "ascmhl/");
    if (keep) kept += path ? line.substr(prefix.size()) : line;
  }
  return kept;
}

// The clips a plan has the pass read from the starting folder, in order.
std::vector<std::string> ClipsReadFromStart(const plan::Plan& plan) {
  std::vector<std::string> read;
  for (const plan::Step& step : plan.steps) {
    if (step.kind != plan::StepKind::kClip) continue;
    const plan::PlannedShot& shot = plan.shots[step.shot];
    if (pass::ReadFromStart(plan, shot.clips[step.index])) read.push_back(platform::ToDisplay(plan.ClipPath(shot, shot.clips[step.index])));
  }
  return read;
}

class Backup : public testing::PassFixture {
 protected:
  pass::PassOptions WithBackup(bool history = true) {
    pass::PassOptions options;
    options.backupFolder = tree.Path(u"B");
    options.keepHistory = history;
    return options;
  }
  // The pass through the recorder; with a history, whose own files no dry run lists.
  report::PassReport Collect(const pass::PassOptions& options) {
    if (!options.keepHistory) return Pass(options);
    recorder.Clear();
    return pass::CollectClips(recorder, tree.Path(u"S"), tree.Path(u"D"), options);
  }
  void Shoot() {
    AddClips(u"ab_cd_ef", {u"v01.mp4", u"v02.mp4", u"v03.mp4", u"v04.mp4"});
    AddClips(u"gh_ij_kl", {u"v01.mp4", u"v02.mp4"});
    tree.MakeFolder(u"D");
    tree.MakeFolder(u"B");
  }
  // The clip reads of the pass: a kernel copy or an open of a clip in the starting folder. Where
  // the kernel's copy cannot hash (Windows) it hands over at once to an open of the same clip:
  // a clip opened is read as often as it is opened.
  std::size_t ClipReads() const {
    std::map<std::string, std::pair<std::size_t, std::size_t>> reads;  // by clip: opens, kernel copies
    for (const std::string& call : recorder.Calls()) {
      if (call.starts_with("open <root>/S/")) ++reads[call.substr(5)].first;
      if (call.starts_with("kernel-copy <root>/S/")) ++reads[call.substr(12, call.find(" -> ") - 12)].second;
    }
    std::size_t total = 0;
    for (const auto& [clip, counts] : reads) total += counts.first > 0 ? counts.first : counts.second;
    return total;
  }
  void ExpectProven(std::u16string_view folder) {
    const auto fs = platform::MakeRealFileSystem();
    const check::TreeCheck check = check::CheckTree(*fs, tree.Path(folder));
    EXPECT_EQ(check.outcome, check::CheckOutcome::kProven) << platform::ToDisplay(check::CheckOutcomeLine(check));
    EXPECT_EQ(check.Warnings(), 0u) << tree.Dump(folder);
  }
};

TEST_F(Backup, BothDestinationsGetTheSameTreeAndHistoryWithTheCardReadOnce) {
  Shoot();
  const report::PassReport report = Collect(WithBackup());
  ASSERT_EQ(report.outcome, report::Outcome::kComplete) << platform::ToDisplay(report::MessageText(report));
  EXPECT_EQ(report.clipsMarked, 6u);
  // Four adl copies and two int copies of the first shot, two adl copies of the second, in each.
  EXPECT_EQ(report.copiesWritten, 8u);
  EXPECT_EQ(report.backup.copiesWritten, 8u);
  EXPECT_EQ(report.backup.bytesWritten, report.bytesWritten);
  EXPECT_EQ(ClipReads(), 6u) << "each clip is read once for both destinations";
  EXPECT_FALSE(TreeWithoutHistory(tree, "D").empty());
  EXPECT_EQ(TreeWithoutHistory(tree, "B"), TreeWithoutHistory(tree, "D"));
  ExpectProven(u"D");
  ExpectProven(u"B");
  // Each history says where the other copies went.
  const auto fs = platform::MakeRealFileSystem();
  const history::Result<history::History> backup = history::ReadHistoryFolder(*fs, tree.Path(u"B"));
  ASSERT_TRUE(backup);
  ASSERT_EQ(backup.value().generations.size(), 1u);
  EXPECT_NE(backup.value().generations[0].generation.comment.find("a backup of the copies written to "),
            std::string::npos);
  const std::u16string summary = report::SummaryLine(report);
  EXPECT_NE(summary.find(u" and "), std::u16string::npos) << platform::ToDisplay(summary);
  EXPECT_NE(summary.find(u"In "), std::u16string::npos) << platform::ToDisplay(summary);

  // Run again: nothing to write in either, every clip already collected.
  const report::PassReport again = Collect(WithBackup());
  EXPECT_EQ(again.outcome, report::Outcome::kComplete);
  EXPECT_EQ(again.copiesWritten + again.backup.copiesWritten, 0u);
  EXPECT_EQ(again.clipsAlready, 6u);
}

// The last batches shrink (here down to a byte: a commit after nearly every clip), each proven
// while the next is copied; the clips are read ahead of the copies. Neither changes what is made.
TEST_F(Backup, ShrinkingLastBatchesAndTheCacheAheadMakeTheSameTreesWithTheCardReadOnce) {
  Shoot();
  pass::PassOptions options = WithBackup();
  options.leastLastBatch = 1;
  std::size_t commits = 0;
  std::size_t readAhead = 0;
  options.onPlan = [&](const plan::Plan& plan) {
    commits = static_cast<std::size_t>(std::count_if(plan.steps.begin(), plan.steps.end(), [](const plan::Step& step) {
      return step.kind == plan::StepKind::kCommit;
    }));
    readAhead = ClipsReadFromStart(plan).size();
  };
  const report::PassReport report = Collect(options);
  ASSERT_EQ(report.outcome, report::Outcome::kComplete) << platform::ToDisplay(report::MessageText(report));
  EXPECT_GE(commits, 2u);
  EXPECT_EQ(readAhead, 6u);
  EXPECT_EQ(report.clipsMarked, 6u);
  EXPECT_EQ(ClipReads(), 6u);
  EXPECT_EQ(TreeWithoutHistory(tree, "B"), TreeWithoutHistory(tree, "D"));
  EXPECT_TRUE(tree.Exists(u"D/ab_cd_int_ef__m03/video/v03_hires.mp4"));
  ExpectProven(u"D");
  ExpectProven(u"B");
}

TEST_F(Backup, ABackupAddedLaterIsWrittenAloneAndTheCopiesInPlaceAreProvenForUnmarkedClips) {
  Shoot();
  ASSERT_EQ(Pass(pass::PassOptions{}).outcome, report::Outcome::kComplete);
  AddClips(u"gh_ij_kl", {u"v03.mp4"});
  pass::PassOptions options = WithBackup();
  std::vector<std::string> read;  // ahead of the copies, from the card
  options.onPlan = [&](const plan::Plan& plan) {
    read = ClipsReadFromStart(plan);
  };
  const report::PassReport report = Collect(options);
  ASSERT_EQ(report.outcome, report::Outcome::kComplete) << platform::ToDisplay(report::MessageText(report));
  // D's adl copies are in place, not written now: B's are made from the clips, each clip read
  // ahead once, in the order of the pass.
  ASSERT_EQ(read.size(), 7u);
  EXPECT_TRUE(read[0].find("ab_cd_ef") != std::string::npos && read[0].ends_with("v01_hires.mp4")) << read[0];
  EXPECT_TRUE(read[6].find("gh_ij_kl") != std::string::npos && read[6].ends_with("v03.mp4")) << read[6];
  // Only the new clip is copied (its adl copy, and v02's int copy now that v03 is greatest) to D;
  // the marked clips of D are in place, and the backup holds what the new clip's pass made.
  EXPECT_EQ(report.copiesWritten, 2u);
  EXPECT_EQ(report.clipsMarked, 1u);
  EXPECT_TRUE(tree.Exists(u"B/gh_ij_adl_kl/video/v03_hires.mp4"));
}

TEST_F(Backup, AFolderThatOverlapsAnotherIsRefusedAndNothingChanges) {
  Shoot();
  tree.MakeFolder(u"S/spare");
  tree.MakeFolder(u"D/spare");
  const std::string before = tree.Dump();
  struct Case {
    std::u16string backup;
    report::Outcome outcome;
    const char* says;
  };
  for (const Case& c : {Case{u"missing", report::Outcome::kBackupFolderMissing, ""},
                        Case{u"S/spare", report::Outcome::kBackupInside, "lies inside the starting folder"},
                        Case{u"D/spare", report::Outcome::kBackupInside, "lies inside the copy to folder"},
                        Case{u"D", report::Outcome::kBackupInside, "is the copy to folder"},
                        Case{u"S", report::Outcome::kBackupInside, "is the starting folder"},
                        Case{u"", report::Outcome::kBackupInside, "holds the starting folder"}}) {
    pass::PassOptions options;
    options.backupFolder = c.backup.empty() ? tree.Root() : tree.Path(c.backup);
    const report::PassReport report = Pass(options);
    EXPECT_EQ(report.outcome, c.outcome) << platform::ToDisplay(c.backup);
    EXPECT_EQ(report::ExitStatus(report), 2);
    EXPECT_EQ(report::SummaryLine(report), u"Nothing was changed.");
    ASSERT_FALSE(report.problems.empty());
    EXPECT_NE(platform::ToDisplay(report::DescribeProblem(report.problems[0])).find(c.says), std::string::npos)
        << platform::ToDisplay(report::DescribeProblem(report.problems[0]));
    EXPECT_EQ(tree.Dump(), before) << platform::ToDisplay(c.backup);
  }
  pass::PassOptions options;
  options.backupFolder = tree.Path(u"missing");
  EXPECT_EQ(report::OutcomeLine(Pass(options)), u"backup path not accessible");
}

TEST_F(Backup, OnTheSameDiskItIsAllowedWithAWarning) {
  Shoot();
  const report::PassReport report = Pass(WithBackup(false));
  ASSERT_EQ(report.outcome, report::Outcome::kComplete);
  const std::vector<std::string> problems = Problems(report);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0],
            "warning: <root>/B: the backup folder is on the same disk as the copy to folder <root>/D: one disk failure "
            "loses both copies");
}

// The backup's copy fails (its folder cannot be made): the copy to folder is complete, the clips
// keep their names, and each failure names the clip and the backup's copy.
TEST_F(Backup, ACopyThatFailsInTheBackupKeepsTheClipsNameAndARerunWritesOnlyTheBackup) {
  Shoot();
  recorder.fault = [](const std::string& call) {
    return call.starts_with("mkdir <root>/B/gh_ij_adl_kl") ? std::make_error_code(std::errc::read_only_file_system)
                                                           : std::error_code();
  };
  const report::PassReport report = Collect(WithBackup());
  EXPECT_EQ(report.outcome, report::Outcome::kIncomplete);
  EXPECT_EQ(report::OutcomeLine(report), u"video copy incomplete: 2 of 6 clips could not be copied");
  EXPECT_TRUE(tree.Exists(testing::ClipIn(u"gh_ij_kl", u"v01.mp4")));
  EXPECT_TRUE(tree.Exists(testing::ClipIn(u"ab_cd_ef", u"v01_hires.mp4")));
  EXPECT_TRUE(tree.Exists(u"D/gh_ij_adl_kl/video/v01_hires.mp4"));
  const std::vector<std::string> problems = Problems(report);
  EXPECT_NE(std::find_if(problems.begin(), problems.end(),
                         [](const std::string& line) {
                           return line.starts_with("failure: <root>/S/gh_ij_kl/MP4 HIGH RES/v01.mp4: not copied to "
                                                   "<root>/B/gh_ij_adl_kl/video/v01_hires.mp4: ");
                         }),
            problems.end());
  ExpectProven(u"D");

  recorder.fault = [](const std::string&) { return std::error_code(); };
  const report::PassReport rerun = Collect(WithBackup());
  ASSERT_EQ(rerun.outcome, report::Outcome::kComplete) << platform::ToDisplay(report::MessageText(rerun));
  EXPECT_EQ(rerun.copiesWritten, 0u) << "the copy to folder is complete: proven, not written again";
  EXPECT_EQ(rerun.copiesProven, 2u);
  EXPECT_EQ(rerun.backup.copiesWritten, 2u);
  EXPECT_EQ(rerun.clipsMarked, 2u);
  EXPECT_EQ(TreeWithoutHistory(tree, "B"), TreeWithoutHistory(tree, "D"));
  ExpectProven(u"B");
}

// Cancelled once the backup has its first copy: the clips whose copies are proven in both are
// marked, no folder made for copies that never came stays in either, and a rerun completes both.
TEST_F(Backup, ACancelKeepsWhatIsProvenInBothAndARerunCompletesBoth) {
  Shoot();
  struct Stop final : report::PassObserver {
    bool stop = false;
    void OnProgress(const report::PassProgress&) override {}
    bool StopRequested() override { return stop; }
  } observer;
  recorder.after = [&](const std::string& call) {
    if (call.find("-> <root>/B/ab_cd_adl_ef/video/") != std::string::npos) observer.stop = true;
  };
  pass::PassOptions options = WithBackup();
  options.observer = &observer;
  const report::PassReport report = Collect(options);
  EXPECT_EQ(report.outcome, report::Outcome::kCancelled);
  EXPECT_LE(report.clipsMarked, 1u);
  EXPECT_FALSE(tree.Exists(u"B/gh_ij_adl_kl")) << tree.Dump(u"B");
  EXPECT_FALSE(tree.Exists(u"D/gh_ij_adl_kl")) << tree.Dump(u"D");

  recorder.after = [](const std::string&) {};
  const report::PassReport rerun = Collect(WithBackup());
  ASSERT_EQ(rerun.outcome, report::Outcome::kComplete) << platform::ToDisplay(report::MessageText(rerun));
  EXPECT_EQ(TreeWithoutHistory(tree, "B"), TreeWithoutHistory(tree, "D"));
  ExpectProven(u"D");
  ExpectProven(u"B");
}

}  // namespace
}  // namespace marlowin
