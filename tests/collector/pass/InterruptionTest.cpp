// A pass stopped at any moment, killed or cancelled by the person, and then run again to its
// end leaves exactly the tree of one clean pass; two passes at once never leave a wrong one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#ifndef _WIN32
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "collector/check/CheckTree.h"
#include "collector/pass/CollectClips.h"
#include "history/HistoryFolder.h"
#include "platform/NativeName.h"
#include "tests/support/Process.h"
#include "tests/support/RecordingFileSystem.h"
#include "tests/support/Shoot.h"
#include "tests/support/TempTree.h"

namespace marlowin {
namespace {

using testing::TempTree;

constexpr const char* kKillAt = "MARLOWIN_TEST_KILL_AT";
constexpr const char* kRoot = "MARLOWIN_TEST_ROOT";

// Two shots, one clip of them larger, so that a copy reports more than once before it ends.
void MakeShoot(const TempTree& tree) {
  testing::Shoot(tree)
      .Clip(u"ab_cd_ef", u"v01.mp4", "one")
      .Clip(u"ab_cd_ef", u"v02.mp4", std::string(5 << 20, 'b'))
      .Clip(u"ab_cd_ef", u"v03.mp4", "three")
      .Clip(u"gh_ij_kl", u"v02_hires.mp4", "marked already")
      .Clip(u"gh_ij_kl", u"v04.mp4", "four");
}

pass::PassOptions WithHistory() {
  pass::PassOptions options;
  options.keepHistory = true;
  return options;
}

std::string CleanTree(const pass::PassOptions& options = {}) {
  TempTree tree;
  MakeShoot(tree);
  const auto fs = platform::MakeRealFileSystem();
  EXPECT_EQ(pass::CollectClips(*fs, tree.Path(u"S"), tree.Path(u"D"), options).outcome, report::Outcome::kComplete);
  return tree.Dump();
}

// A tree's dump without its history folder, whose names hold the time of each pass (the lines of
// a file's text in the dump follow its name).
std::string WithoutHistory(const std::string& dump) {
  std::string kept;
  bool history = false;
  for (std::size_t start = 0, end; start < dump.size(); start = end + 1) {
    end = dump.find('\n', start);
    const std::string line = dump.substr(start, end - start + 1);
    if (line.starts_with("D/") || line.starts_with("S/")) history = line.starts_with("D/ascmhl/");
    if (!history) kept += line;
  }
  return kept;
}

// The history after a rerun: whole, recording every copy in the tree (the check proves each and
// finds none unrecorded), and each path's first entry an original one, as the trade's tools want.
void ExpectWholeHistory(const TempTree& tree, long step) {
  const auto fs = platform::MakeRealFileSystem();
  const check::TreeCheck check = check::CheckTree(*fs, tree.Path(u"D"));
  EXPECT_EQ(check.outcome, check::CheckOutcome::kProven) << "step " << step << ": " << platform::ToDisplay(check::CheckOutcomeLine(check));
  EXPECT_EQ(check.Warnings(), 0u) << "step " << step << ": " << tree.Dump(u"D");
  history::Result<history::History> read = history::ReadHistoryFolder(*fs, tree.Path(u"D"));
  ASSERT_TRUE(read) << "step " << step;
  std::set<std::u16string> seen;
  for (const history::RecordedGeneration& generation : read.value().generations) {
    for (const history::HashEntry& entry : generation.generation.hashes) {
      if (seen.insert(entry.path).second) {
        EXPECT_EQ(entry.action, history::HashAction::kOriginal) << "step " << step << ": " << platform::ToDisplay(entry.path);
      }
    }
  }
}

// Counts the steps of a pass (every file-system call and every question whether to stop) and
// does something at step `at`.
class StepCounter final : public report::PassObserver {
 public:
  StepCounter(long at, std::function<void()> act) : at_(at), act_(std::move(act)) {}
  void Step() {
    if (++steps_ == at_) act_();
  }
  void OnProgress(const report::PassProgress&) override {}
  bool StopRequested() override {
    Step();
    return steps_ >= at_ && stopping_;
  }
  bool stopping_ = false;
  long steps_ = 0;

 private:
  long at_;
  std::function<void()> act_;
};

// In a child process: the pass, killed at the step the parent chose.
TEST(KilledPassChild, RunsUntilKilled) {
  const char* at = std::getenv(kKillAt);
  const char* root = std::getenv(kRoot);
  if (!at || !root) GTEST_SKIP() << "only run as a child of KilledPass";
  testing::RecordingFileSystem recorder(platform::FromNativeName(root));
  StepCounter counter(std::atol(at), [] { testing::KillThisProcess(); });
  recorder.before = [&](const std::string&) { counter.Step(); };
  pass::PassOptions options = WithHistory();
  options.observer = &counter;
  options.batchCopies = 3;  // several commits in a small pass
  const std::u16string folder = platform::FromNativeName(root) + platform::kPathSeparator;
  const report::PassReport report = pass::CollectClips(recorder, folder + u"S", folder + u"D", options);
  std::printf("pass ended after %ld steps\n", counter.steps_);
  EXPECT_NE(report.outcome, report::Outcome::kCancelled);
}

// Killed at every step, between the marks and the history too: one rerun leaves the tree of one
// clean pass, and every copy of every marked clip recorded.
TEST(KilledPass, AtEveryStepThenRunAgainGivesTheCleanTreeAWholeHistoryAndNoTemporary) {
  const std::string clean = WithoutHistory(CleanTree(WithHistory()));
  long hungAt = 0;
  // Under Wine every start of a program takes a second and a pass has more steps: there every
  // other step is taken, to stay within the test's time; on Linux every one.
#ifdef _WIN32
  constexpr long kStride = 2;
#else
  constexpr long kStride = 1;
#endif
  for (long at = 1;; at += kStride) {
    TempTree tree;
    MakeShoot(tree);
    testing::ChildProgram child(testing::ThisProgram(), {u"--gtest_filter=KilledPassChild.*"},
                                {{kKillAt, std::to_string(at)}, {kRoot, platform::ToDisplay(tree.Root())}});
    const testing::ProgramResult result = child.Wait(testing::kChildLimit);
    const bool ended = result.out.find("pass ended after") != std::string::npos;
    ASSERT_TRUE(ended || result.status != 0) << "step " << at << ": " << result.out << result.err;
    const auto fs = platform::MakeRealFileSystem();
    const report::PassReport rerun = pass::CollectClips(*fs, tree.Path(u"S"), tree.Path(u"D"), WithHistory());
    EXPECT_EQ(rerun.outcome, report::Outcome::kComplete) << "killed at step " << at;
    ASSERT_EQ(WithoutHistory(tree.Dump()), clean) << "killed at step " << at;
    for (const std::u16string& name : tree.Names(u"D/ascmhl")) {
      ASSERT_FALSE(platform::IsTemporaryName(name)) << "killed at step " << at << ": " << platform::ToDisplay(name);
    }
    ExpectWholeHistory(tree, at);
    if (ended) break;
    ASSERT_LT(at, 2000) << "the pass never ended";
    if (result.timedOut) {
      // Killed from here instead: a kill all the same. The step itself is run once more.
      ASSERT_NE(hungAt, at) << "the pass hangs at step " << at << ": " << result.out << result.err;
      std::printf("step %ld: the child had not ended in time and was killed; once more\n%s", at, result.out.c_str());
      hungAt = at;
      at -= kStride;
    }
  }
}

TEST(CancelledPass, AtEveryStepKeepsWhatWasDoneAndARerunCompletes) {
  const std::string clean = CleanTree();
  for (long at = 1;; ++at) {
    TempTree tree;
    MakeShoot(tree);
    const auto fs = platform::MakeRealFileSystem();
    StepCounter counter(at, [] {});
    counter.stopping_ = true;
    pass::PassOptions options;
    options.observer = &counter;
    options.batchCopies = 3;
    const report::PassReport report = pass::CollectClips(*fs, tree.Path(u"S"), tree.Path(u"D"), options);
    const bool finished = report.outcome != report::Outcome::kCancelled;
    if (!finished) {
      EXPECT_EQ(report::OutcomeLine(report).rfind(u"video copy cancelled: ", 0), 0u);
      EXPECT_EQ(report::ExitStatus(report), 130);
      EXPECT_EQ(report.Failures(), 0u) << "stopped at step " << at;
      // No temporary, and no clip marked without its copy.
      const std::string dump = tree.Dump();
      EXPECT_EQ(dump.find(".marlowin-copy-"), std::string::npos) << "stopped at step " << at;
      if (tree.Exists(testing::ClipIn(u"ab_cd_ef", u"v02_hires.mp4"))) {
        EXPECT_EQ(tree.ReadFile(u"D/ab_cd_adl_ef/video/v02_hires.mp4"), std::string(5 << 20, 'b'));
        EXPECT_EQ(tree.ReadFile(u"D/ab_cd_int_ef__m02/video/v02_hires.mp4"), std::string(5 << 20, 'b'));
      }
      // The message's count is the marks on disk (gh_ij_kl's v02_hires carried its mark before).
      std::size_t marked = 0;
      for (const char16_t* clip : {u"ab_cd_ef/MP4 HIGH RES/v01", u"ab_cd_ef/MP4 HIGH RES/v02", u"ab_cd_ef/MP4 HIGH RES/v03",
                                   u"gh_ij_kl/MP4 HIGH RES/v04"}) {
        marked += tree.Exists(u"S/" + std::u16string(clip) + u"_hires.mp4");
      }
      EXPECT_EQ(report.clipsMarked, marked) << "stopped at step " << at;
      EXPECT_LE(report.clipsCollected, marked + 1) << "stopped at step " << at;
      // No folder made for copies that never came stays behind empty.
      std::vector<platform::FolderEntry> entries;
      ASSERT_FALSE(platform::ListFolder(tree.Path(u"D"), entries));
      for (const platform::FolderEntry& folder : entries) {
        std::vector<platform::FolderEntry> inside;
        EXPECT_FALSE(platform::ListFolder(tree.Path(u"D/" + folder.name + u"/video"), inside));
        EXPECT_FALSE(inside.empty()) << platform::ToDisplay(folder.name) << ", stopped at step " << at;
      }
    }
    EXPECT_EQ(pass::CollectClips(*fs, tree.Path(u"S"), tree.Path(u"D")).outcome, report::Outcome::kComplete);
    ASSERT_EQ(tree.Dump(), clean) << "stopped at step " << at;
    if (finished) break;
  }
}

// marlowin-collect, found beside this test program wherever the build tree is.
std::u16string CollectProgram() {
  std::u16string self = testing::ThisProgram();
  self.erase(self.find_last_of(u"\\/") + 1);
#ifdef _WIN32
  return self + u"..\\..\\..\\cli\\marlowin-collect.exe";
#else
  return self + u"../../../cli/marlowin-collect";
#endif
}

TEST(ConcurrentPasses, TwoStartedTogetherLeaveTheCleanTreeAndTrueMessages) {
  const std::string clean = CleanTree();
  int refused = 0;
  for (int round = 0; round < 8; ++round) {
    TempTree tree;
    MakeShoot(tree);
    const std::vector<std::u16string> folders{u"-q", tree.Path(u"S"), tree.Path(u"D")};
    testing::ChildProgram first(CollectProgram(), folders);
    testing::ChildProgram second(CollectProgram(), folders);
    for (testing::ChildProgram* pass : {&first, &second}) {
      const testing::ProgramResult result = pass->Wait();
      if (result.status == 2) {
        ++refused;
        EXPECT_EQ(result.out.rfind("video copy not started: another pass is using these folders", 0), 0u) << result.out;
      } else {
        EXPECT_EQ(result.status, 0) << result.out << result.err;
        EXPECT_EQ(result.out.rfind("video copy complete", 0), 0u) << result.out << result.err;
      }
    }
    // One of them collected: one generation in the history, listed in its chain.
    const std::vector<std::u16string> history = tree.Names(u"D/ascmhl");
    ASSERT_EQ(history.size(), 2u) << tree.Dump(u"D/ascmhl");
    EXPECT_TRUE(history[0].starts_with(u"0001_D_") && history[1] == u"ascmhl_chain.xml") << tree.Dump(u"D/ascmhl");
    tree.Remove(u"D/ascmhl");
    ASSERT_EQ(tree.Dump(), clean) << "round " << round;
  }
  std::printf("%d of 16 passes found the other one running\n", refused);
}

#ifndef _WIN32

// marlowin-collect on a pseudo-terminal: what it wrote there, and its exit status. `interrupt`
// sends SIGINT as soon as the progress line shows, before the pass can have ended.
std::pair<std::string, int> RunOnTerminal(const std::vector<std::string>& arguments, bool interrupt) {
  std::vector<std::string> args{platform::ToNativeName(CollectProgram())};
  args.insert(args.end(), arguments.begin(), arguments.end());
  int terminal = -1;
  struct winsize size {};
  size.ws_col = 100;
  size.ws_row = 24;
  const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, &size);
  if (pid == 0) {
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    std::_Exit(127);
  }
  std::string seen;
  bool sent = false;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(terminal, buffer, sizeof buffer);
    if (n <= 0) break;  // EIO once the program has ended
    seen.append(buffer, static_cast<std::size_t>(n));
    if (interrupt && !sent && seen.find('\r') != std::string::npos) {
      ::kill(pid, SIGINT);
      sent = true;
    }
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ::close(terminal);
  return {seen, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

TEST(TerminalLine, ShowsProgressOnATerminalOnlyAndCtrlCStopsLikeCancel) {
  TempTree tree;
  for (const char16_t* clip : {u"v01.mp4", u"v02.mp4", u"v03.mp4", u"v04.mp4"}) {
    tree.WriteFile(std::u16string(u"S/ab_cd_ef/MP4 HIGH RES/") + clip, std::string(16 << 20, 'c'));
  }
  tree.MakeFolder(u"D");
  const std::string start = platform::ToDisplay(tree.Path(u"S"));
  const std::string destination = platform::ToDisplay(tree.Path(u"D"));

  // Stopped with Ctrl+C: the cancelled outcome line, status 130, nothing half done.
  const auto [stopped, stoppedStatus] = RunOnTerminal({start, destination}, true);
  EXPECT_EQ(stoppedStatus, 130) << stopped;
  EXPECT_NE(stopped.find("video copy cancelled: "), std::string::npos) << stopped;
  EXPECT_EQ(tree.Dump().find(".marlowin-copy-"), std::string::npos);

  // To its end: the line was drawn in place (its first drawing comes at once; how it reads as
  // the pass goes on is TerminalProgress's own test), and is gone before the outcome.
  tree.MakeFolder(u"D2");
  const auto [shown, status] = RunOnTerminal({start, platform::ToDisplay(tree.Path(u"D2"))}, false);
  EXPECT_EQ(status, 0) << shown;
  EXPECT_NE(shown.find("\rLooking for clips:"), std::string::npos) << shown;
  EXPECT_NE(shown.find("video copy complete"), std::string::npos);

  // Not a terminal, or --quiet: no trace of it.
  testing::ChildProgram piped(CollectProgram(), {tree.Path(u"S"), tree.Path(u"D")});
  const testing::ProgramResult result = piped.Wait();
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  const auto [quiet, quietStatus] = RunOnTerminal({"-q", start, destination}, false);
  EXPECT_EQ(quietStatus, 0);
  EXPECT_EQ(quiet.find("Looking for clips"), std::string::npos) << quiet;
}

#endif  // !_WIN32

}  // namespace
}  // namespace marlowin
