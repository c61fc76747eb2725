#include "cli/CollectCommand.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <sstream>

#include "platform/FileSystem.h"
#include "platform/Files.h"
#include "platform/NativeName.h"
#include "platform/UserRecords.h"
#include "tests/cli/CommandFixture.h"
#include "tests/support/RecordingFileSystem.h"
#include "tests/support/Shoot.h"
#include "tests/support/TempTree.h"

namespace marlowin {
namespace {

using testing::RecordingFileSystem;
using testing::TempTree;
using Result = testing::CommandResult;

class CollectCommandTest : public testing::CommandFixture {};

TEST_F(CollectCommandTest, CompletePassPrintsTheOutcomeAndASummaryAndExitsZero) {
  const Result r = Run({tree.Path(u"S"), tree.Path(u"D")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "video copy complete\n3 clips copied, from 1 shot folder to " + Native(u"D") +
                       ". 4 copies written and verified.\n");
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(tree.Exists(u"D/ab_cd_int_ef__m02/video/v02_hires.mp4"));
}

TEST_F(CollectCommandTest, FailuresGoToStderrWithTheirClipAndReason) {
  recorder.fault = [](const std::string& call) {
    return call.find("v03.mp4 -> <root>/D/ab_cd_adl_ef") != std::string::npos
               ? std::make_error_code(std::errc::no_space_on_device)
               : std::error_code();
  };
  // Without a history a copy is the kernel's, the call the fault is made on.
  const Result r = Run({u"--no-verify", u"--no-history", tree.Path(u"S"), tree.Path(u"D")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "video copy incomplete: 1 of 3 clips could not be copied\n2 clips copied, 1 not collected, from 0 "
                   "of 1 shot folder to " + Native(u"D") + ". 3 copies written, not read back.\n");
  EXPECT_EQ(r.err, "marlowin-collect: " + Native(testing::ClipIn(u"ab_cd_ef", u"v03.mp4")) + ": not copied to " +
                       Native(u"D/ab_cd_adl_ef/video/v03_hires.mp4") + ": " +
                       std::make_error_code(std::errc::no_space_on_device).message() + "\n" +
                       "marlowin-collect: " + Native(u"D/ab_cd_int_ef__m02") + ": removed by the clean-up, as " +
                       Native(testing::ClipIn(u"ab_cd_ef", u"v03.mp4")) + ", numbered highest, was not copied: running the "
                       "pass again brings " + Native(u"D/ab_cd_int_ef__m02/video/v02_hires.mp4") + " back\n");
}

TEST_F(CollectCommandTest, JsonIsTheWholeReportWithEachClipsHash) {
  tree.WriteFile(testing::ClipIn(u"ab_cd_ef", u"notes.txt"), "not a clip");
  const Result r = Run({u"--json", tree.Path(u"S"), tree.Path(u"D")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  const nlohmann::json report = nlohmann::json::parse(r.out);
  EXPECT_EQ(report["outcome"], "complete");
  EXPECT_EQ(report["message"], "video copy complete");
  EXPECT_EQ(report["counts"]["clipsMarked"], 3);
  EXPECT_EQ(report["problems"].size(), 1u);
  EXPECT_EQ(report["problems"][0]["operation"], "not a clip");
  ASSERT_EQ(report["clips"].size(), 3u);
  EXPECT_EQ(report["clips"][1]["intCopy"], Native(u"D/ab_cd_int_ef__m02/video/v02_hires.mp4"));
  for (const auto& clip : report["clips"]) {
    EXPECT_EQ(clip["xxh128"].get<std::string>().size(), 32u);
    EXPECT_TRUE(clip["collected"].get<bool>());
  }
  // What a person hands on: when, how long, how much, and the room found.
  const std::string started = report["started"].get<std::string>(), finished = report["finished"].get<std::string>();
  EXPECT_EQ(started.size(), 20u) << started;  // 2024-05-03T19:14:07Z
  EXPECT_TRUE(started.ends_with("Z")) << started;
  EXPECT_LE(started, finished);
  EXPECT_GE(report["durationSeconds"].get<double>(), 0.0);
  EXPECT_EQ(report["counts"]["bytesWritten"], 4 * 7) << "three adl copies and an int copy of 7 bytes";
  EXPECT_EQ(report["counts"]["bytesReadBack"], 4 * 7);
  EXPECT_GT(report["counts"]["roomNeeded"].get<std::uint64_t>(), 4u * 7u);
  EXPECT_GT(report["counts"]["roomFree"].get<std::uint64_t>(), 0u);

  // A rerun writes nothing and asks for no room.
  const nlohmann::json again = nlohmann::json::parse(Run({u"--json", tree.Path(u"S"), tree.Path(u"D")}).out);
  EXPECT_TRUE(again["counts"]["roomNeeded"].is_null());
  EXPECT_EQ(again["counts"]["bytesWritten"], 0);
}

TEST_F(CollectCommandTest, DryRunPrintsWhatThePassDoesAndChangesNothing) {
  const std::string before = tree.Dump();
  const Result dry = Run({u"-n", tree.Path(u"S"), tree.Path(u"D")});
  EXPECT_EQ(dry.status, 0);
  EXPECT_EQ(tree.Dump(), before);
  EXPECT_TRUE(recorder.Changes().empty());
  EXPECT_NE(dry.out.find("\ncommit\n"), std::string::npos) << dry.out;
  // The real pass then makes exactly the changes printed ("commit" is none of its own; the
  // history, written after them, is left out here).
  const Result real = Run({u"--no-history", tree.Path(u"S"), tree.Path(u"D")});
  ASSERT_EQ(real.status, 0);
  std::string performed;
  for (const std::string& change : recorder.Changes()) performed += change + "\n";
  std::string printed;
  std::istringstream lines(dry.out);
  for (std::string line; std::getline(lines, line);) {
    if (line != "commit" && !line.starts_with("Nothing was changed: ")) printed += recorder.ShowLine(line) + "\n";
  }
  EXPECT_EQ(printed, performed);

  // Over the collected shoot it knows every copy is in place: nothing is copied or moved.
  const Result again = Run({u"--dry-run", tree.Path(u"S"), tree.Path(u"D")});
  EXPECT_EQ(again.status, 0);
  EXPECT_EQ(again.out.find("copy "), std::string::npos) << again.out;
  EXPECT_EQ(again.out.find("move "), std::string::npos) << again.out;
  EXPECT_NE(again.out.find("keep "), std::string::npos) << again.out;
}

#ifndef _WIN32
TEST_F(CollectCommandTest, DryRunLinesCannotBeForgedByNames) {
  tree.WriteFile(u"S/ab_cd_ef/MP4 HIGH RES/v04\ncommit\nmove a -> b.mp4", "hostile");
  const Result dry = Run({u"-n", tree.Path(u"S"), tree.Path(u"D")});
  EXPECT_EQ(dry.status, 0);
  std::istringstream lines(dry.out);
  int commits = 0;
  for (std::string line; std::getline(lines, line);) {
    commits += line == "commit";
    EXPECT_TRUE(line == "commit" || line.starts_with("Nothing was changed: ") || line.rfind("mkdir ", 0) == 0 || line.rfind("copy ", 0) == 0 ||
                line.rfind("move " + Native(u""), 0) == 0 || line.rfind("move '" + Native(u""), 0) == 0 ||
                line.rfind("delete ", 0) == 0 || line.rfind("rmdir ", 0) == 0)
        << line;
    EXPECT_EQ(line.rfind("move a", 0), std::string::npos) << line;
  }
  EXPECT_EQ(commits, 1);
  EXPECT_NE(dry.out.find("'$'\\n''commit'$'\\n''move a -> b"), std::string::npos) << dry.out;
}
#endif

TEST_F(CollectCommandTest, FolderThatCannotBeFoundChangesNothingAndExitsTwo) {
  Result r = Run({tree.Path(u"nothing"), tree.Path(u"D")});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "starting path not accessible\nNothing was changed.\n");
  EXPECT_EQ(r.err, "marlowin-collect: " + Native(u"nothing") + ": not found\n");
  r = Run({tree.Path(u"S"), tree.Path(u"nothing")});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "copy to path not accessible");
  EXPECT_EQ(tree.Dump(u"D"), "");
  EXPECT_TRUE(tree.Exists(testing::ClipIn(u"ab_cd_ef", u"v01.mp4")));
}

// The test's main keeps the records in a temporary folder.
TEST_F(CollectCommandTest, EachPassKeepsItsReportButADryRunDoesNot) {
  std::u16string folder;
  ASSERT_FALSE(platform::ReportsFolder(folder));
  const auto reports = [&folder] {
    std::vector<platform::FolderEntry> entries;
    (void)platform::ListFolder(folder, entries);  // none while the folder is not there
    return entries.size();
  };
  const std::size_t before = reports();
  EXPECT_EQ(Run({u"-n", tree.Path(u"S"), tree.Path(u"D")}).status, 0);
  EXPECT_EQ(reports(), before);
  const Result r = Run({u"--json", tree.Path(u"S"), tree.Path(u"D")});
  EXPECT_EQ(reports(), before + 1);
  const nlohmann::json report = nlohmann::json::parse(r.out);
  const std::string file = report["reportFile"].get<std::string>();
  EXPECT_EQ(file.rfind(platform::ToDisplay(folder), 0), 0u) << file;
  EXPECT_FALSE(report.contains("reportError"));
}

#ifndef _WIN32  // Windows allows no control characters in names
TEST_F(CollectCommandTest, NamesWithNewlinesAndTabsPrintOneProblemALine) {
  tree.WriteFile(u"S/ab_cd_ef/MP4 HIGH RES/v04\ncommit\nmove a -> b.mp4", "forged");
  tree.WriteFile(u"S/ab_cd_ef/MP4 HIGH RES/v05\t.MP4", "not a clip");
  tree.MakeFolder(u"D/ab_cd_adl_ef/video/v04\ncommit\nmove a -> b_hires.mp4");  // its copy fails
  const Result r = Run({tree.Path(u"S"), tree.Path(u"D")});
  EXPECT_EQ(r.status, 1);
  const std::string clips = Native(testing::ClipIn(u"ab_cd_ef"));
  EXPECT_EQ(r.err, "marlowin-collect: '" + clips + "/v04'$'\\n''commit'$'\\n''move a -> b.mp4': not copied to '" +
                       Native(u"D/ab_cd_adl_ef/video/v04") + "'$'\\n''commit'$'\\n''move a -> b_hires.mp4': " +
                       std::make_error_code(std::errc::is_a_directory).message() + "\n" +
                       "marlowin-collect: '" + clips + "/v05'$'\\t''.MP4': not a clip (only names ending in \".mp4\" are clips)\n");
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2);
}
#endif

// A copy damaged after it was collected (one byte, its time kept): --reverify mends it, says so
// in its counts, and the check passes again.
TEST_F(CollectCommandTest, ReverifyMendsADamagedCopyAndCountsIt) {
  ASSERT_EQ(Run({tree.Path(u"S"), tree.Path(u"D")}).status, 0);
  const std::u16string copy = tree.Path(u"D/ab_cd_adl_ef/video/v01_hires.mp4");
  platform::FileStatus status;
  ASSERT_FALSE(platform::GetStatus(copy, status));
  tree.WriteFile(u"D/ab_cd_adl_ef/video/v01_hires.mp4", "v01.mp5");
  const auto fs = platform::MakeRealFileSystem();
  std::unique_ptr<platform::OpenFile> file;
  ASSERT_FALSE(fs->OpenForWriting(copy, file));
  ASSERT_FALSE(file->TakeAttributes(status));
  ASSERT_FALSE(file->Close());
  EXPECT_EQ(Run({u"--check", tree.Path(u"D")}).status, 1);

  const Result r = Run({u"--reverify", u"--json", tree.Path(u"S"), tree.Path(u"D")});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  const nlohmann::json report = nlohmann::json::parse(r.out);
  EXPECT_EQ(report["counts"]["copiesReplaced"], 1);
  EXPECT_EQ(report["counts"]["copiesProven"], 3);
  EXPECT_EQ(report["counts"]["copiesWithoutClip"], 0);
  EXPECT_EQ(report["problems"][0]["operation"], "mended");
  EXPECT_EQ(tree.ReadFile(u"D/ab_cd_adl_ef/video/v01_hires.mp4"), "v01.mp4");
  EXPECT_EQ(Run({u"--check", tree.Path(u"D")}).status, 0);
  EXPECT_NE(Run({u"--help"}).out.find("--reverify"), std::string::npos);
}

TEST_F(CollectCommandTest, HelpVersionAndWrongArguments) {
  Result r = Run({u"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("usage: marlowin-collect [OPTIONS] STARTING_FOLDER DESTINATION_FOLDER\n", 0), 0u);
  EXPECT_NE(r.out.find("Exit status: 0 complete; 1 incomplete"), std::string::npos);
  r = Run({u"--version"});
  EXPECT_EQ(r.out.rfind("marlowin-collect ", 0), 0u);
  // What is wrong, in one line, and where to read more: no usage text.
  const std::pair<std::vector<std::u16string>, std::string> wrong[] = {
      {{}, "missing STARTING_FOLDER and DESTINATION_FOLDER"},
      {{tree.Path(u"S")}, "missing DESTINATION_FOLDER"},
      {{tree.Path(u"S"), tree.Path(u"D"), u"x"}, "extra argument 'x'"},
      {{u"a", u"b", u"x", u"it's\ny"}, "extra arguments 'x' 'it'\\''s'$'\\n''y'"},
      {{u"--fast", u"a", u"b"}, "unknown option '--fast'"},
      {{u"--reverify", u"--no-verify", u"a", u"b"}, "--reverify reads every copy back: it takes no --no-verify"},
      {{u"--reverify", u"--also", u"c", u"a", u"b"},
       "--reverify mends one folder at a time: run it for the backup folder as DESTINATION_FOLDER"},
      {{u"a", u"b", u"--also"}, "--also needs a BACKUP_FOLDER"},
  };
  for (const auto& [arguments, what] : wrong) {
    r = Run(arguments);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "marlowin-collect: " + what + "\nTry 'marlowin-collect --help'\n");
    EXPECT_EQ(r.out, "");
  }
  EXPECT_TRUE(recorder.Calls().empty());
}

}  // namespace
}  // namespace marlowin
