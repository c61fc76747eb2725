// The report's texts (the message, its details, marlowin-collect's lines, the report file) on
// real trees: one problem a line whatever the names hold, and the file kept in the records.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "collector/pass/CollectClips.h"
#include "collector/report/ReportFile.h"
#include "platform/FileSystem.h"
#include "platform/NativeName.h"
#include "platform/UserRecords.h"
#include "tests/support/Shoot.h"
#include "tests/support/TempTree.h"

namespace marlowin {
namespace {

platform::FileSystem& RealFileSystem() {
  static const std::unique_ptr<platform::FileSystem> fs = platform::MakeRealFileSystem();
  return *fs;
}

using testing::TempTree;
using testing::U16;

std::vector<std::u16string> Lines(const std::u16string& text) {
  std::vector<std::u16string> lines;
  for (std::size_t start = 0; start <= text.size();) {
    const std::size_t end = std::min(text.find(u'\n', start), text.size());
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// A report of `problems` warnings about clips named `name`.
report::PassReport WithProblems(std::size_t problems, const std::u16string& name = testing::ClipIn(u"a_b_c", u"x.txt")) {
  report::PassReport report;
  report.startingFolder = u"S";
  report.destinationFolder = u"D";
  for (std::size_t i = 0; i < problems; ++i) {
    report::Problem problem;
    problem.path = name;
    problem.rule = u"not named .mp4";
    report.problems.push_back(problem);
  }
  return report;
}

#ifndef _WIN32  // Windows allows no control characters in names
TEST(ReportTexts, NamesWithNewlinesAndTabsKeepEachProblemOnOneLine) {
  TempTree tree;
  const std::u16string forged = u"v02\ncommit\nmove a -> b.mp4";
  tree.WriteFile(testing::ClipIn(u"ab_cd_ef") + u"/" + forged, "clip");
  tree.WriteFile(u"S/ab_cd_ef/MP4 HIGH RES/notes\tfor the\nedit.txt", "notes");
  // A folder where the forged clip's adl copy must go: its copy fails, naming both.
  tree.MakeFolder(u"D\nrm -rf x/ab_cd_adl_ef/video/v02\ncommit\nmove a -> b_hires.mp4");
  const auto fs = platform::MakeRealFileSystem();
  report::PassReport report = pass::CollectClips(*fs, tree.Path(u"S"), tree.Path(u"D\nrm -rf x"));
  ASSERT_EQ(report.outcome, report::Outcome::kIncomplete);
  ASSERT_EQ(report.problems.size(), 2u);

  const std::vector<std::u16string> details = Lines(report::DetailsText(report));
  ASSERT_EQ(details.size(), 3u) << platform::ToDisplay(report::DetailsText(report));  // two lines and the end
  const std::string root = platform::ToDisplay(tree.Root());
  EXPECT_EQ(platform::ToDisplay(details[0]),
            "'" + root + "/S/ab_cd_ef/MP4 HIGH RES/v02'$'\\n''commit'$'\\n''move a -> b.mp4': not copied to '" + root +
                "/D'$'\\n''rm -rf x/ab_cd_adl_ef/video/v02'$'\\n''commit'$'\\n''move a -> b_hires.mp4': " +
                std::make_error_code(std::errc::is_a_directory).message());
  EXPECT_EQ(platform::ToDisplay(details[1]),
            "'" + root + "/S/ab_cd_ef/MP4 HIGH RES/notes'$'\\t''for the'$'\\n''edit.txt': not a clip (only names ending in \".mp4\" are clips)");
  const std::vector<std::u16string> message = Lines(report::MessageText(report));
  ASSERT_EQ(message.size(), 6u);  // the outcome, the summary and the two problems
  EXPECT_EQ(platform::ToDisplay(message[2]), "1 clip not collected, from 0 of 1 shot folder to '" + root + "/D'$'\\n''rm -rf x'.");
  for (const std::u16string& line : message) {
    EXPECT_NE(line, u"commit");
    EXPECT_FALSE(line.starts_with(u"move ") || line.starts_with(u"rm ")) << platform::ToDisplay(line);
  }
  EXPECT_EQ(message[4], details[0]);
  EXPECT_EQ(message[5], details[1]);

  // The report file says the same, line for line.
  const report::SavedReport saved = report::SaveReport(RealFileSystem(), report, tree.Path(u"records"));
  ASSERT_FALSE(saved.error) << saved.error.message();
  EXPECT_EQ(tree.ReadFile(saved.path.substr(tree.Root().size() + 1)).rfind(platform::ToDisplay(report::MessageText(report, 2)), 0),
            0u);
}
#endif

TEST(ReportTexts, TheReportFileIsNamedByTheStartAndTheNewest200AreKept) {
  TempTree tree;
  report::PassReport report = WithProblems(12);
  report.started = std::chrono::system_clock::from_time_t(1700000000);  // 2023-11-14 22:13:20 UTC
  platform::CalendarTime local;
  ASSERT_FALSE(platform::LocalTime(report.started, local));
  const auto two = [](int n) { return std::string(n < 10 ? "0" : "") + std::to_string(n); };
  const std::string stamp = std::to_string(local.year) + "-" + two(local.month) + "-" + two(local.day) + "_" +
                            two(local.hour) + "-" + two(local.minute) + "-" + two(local.second);

  // Folders made as needed; a second pass of the same second gets a number.
  const report::SavedReport first = report::SaveReport(RealFileSystem(), report, tree.Path(u"records/marlowin/reports"));
  ASSERT_FALSE(first.error) << first.error.message();
  EXPECT_EQ(first.path, tree.Path(u"records/marlowin/reports/" + U16(stamp) + u".txt"));
  const std::string text = tree.ReadFile(u"records/marlowin/reports/" + U16(stamp) + u".txt");
  EXPECT_EQ(text, report::ReportFileText(report));
  const std::vector<std::u16string> lines = Lines(platform::FromNativeName(text));
  EXPECT_EQ(lines[0], u"video copy complete");
  EXPECT_EQ(lines.size(), 3u + 1 + 12 + 2 + 1 + 1) << text;  // every problem: no "and N more"
  EXPECT_EQ(lines[lines.size() - 3].rfind(u"Pass started " + U16(stamp.substr(0, 10)) + u" ", 0), 0u) << text;
  EXPECT_EQ(lines[lines.size() - 2], u"0 B copied, 0 B read back to prove the copies.") << text;
  const report::SavedReport second = report::SaveReport(RealFileSystem(), report, tree.Path(u"records/marlowin/reports"));
  EXPECT_EQ(second.path, tree.Path(u"records/marlowin/reports/" + U16(stamp) + u"_2.txt"));
  // More than nine in one second (passes started together by a script).
  TempTree busy;
  for (int i = 1; i <= 11; ++i) {
    EXPECT_EQ(report::SaveReport(RealFileSystem(), report, busy.Path(u"r")).path,
              busy.Path(u"r/" + U16(stamp) + (i == 1 ? u"" : u"_" + U16(std::to_string(i))) + u".txt"));
  }

  // Older reports: of 205 the two oldest go ("_10" comes after "_2"); other files and folders stay.
  const std::u16string reports = u"records/marlowin/reports/";
  for (const char16_t* name : {u"2001-01-01_00-00-00.txt", u"2001-01-01_00-00-00_2.txt", u"2001-01-01_00-00-00_10.txt"})
    tree.WriteFile(reports + name, "old");
  for (int i = 1; i <= 196; ++i)
    tree.WriteFile(reports + u"2001-01-01_00-" + U16(two(i / 60)) + u"-" + U16(two(i % 60)) + u".txt", "old");
  tree.WriteFile(reports + u"notes.txt", "mine");
  tree.MakeFolder(reports + u"2000-01-01_00-00-00.txt");
  const report::SavedReport third = report::SaveReport(RealFileSystem(), report, tree.Path(u"records/marlowin/reports"));
  ASSERT_FALSE(third.error);
  EXPECT_FALSE(third.pruneError) << third.pruneError.message();
  EXPECT_EQ(third.path, tree.Path(reports + U16(stamp) + u"_3.txt"));
  EXPECT_FALSE(tree.Exists(reports + u"2001-01-01_00-00-00.txt"));
  EXPECT_FALSE(tree.Exists(reports + u"2001-01-01_00-00-00_2.txt"));
  EXPECT_TRUE(tree.Exists(reports + u"2001-01-01_00-00-00_10.txt"));
  EXPECT_TRUE(tree.Exists(reports + u"2001-01-01_00-00-01.txt"));
  EXPECT_TRUE(tree.Exists(reports + u"notes.txt"));
  EXPECT_TRUE(tree.Exists(reports + u"2000-01-01_00-00-00.txt"));
  std::vector<platform::FolderEntry> entries;
  ASSERT_FALSE(platform::ListFolder(tree.Path(u"records/marlowin/reports"), entries));
  EXPECT_EQ(entries.size(), 200u + 2);

  // The message names the file when it has no room for every problem.
  const std::vector<std::u16string> message = Lines(report::MessageText(report, third));
  EXPECT_EQ(message[message.size() - 3], u"and 2 more");
  EXPECT_EQ(message.back(), u"The whole report: " + third.path);
  EXPECT_EQ(Lines(report::MessageText(WithProblems(10), third)).back(), report::DescribeProblem(WithProblems(1).problems[0]));
}

TEST(ReportTexts, AReportThatCannotBeSavedIsToldAndChangesNothingElse) {
  TempTree tree;
  tree.WriteFile(u"records", "a file where the folder must go");
  const report::PassReport report = WithProblems(1);
  const report::SavedReport saved = report::SaveReport(RealFileSystem(), report, tree.Path(u"records/marlowin/reports"));
  ASSERT_TRUE(saved.error);
  EXPECT_EQ(saved.path, u"");
  const std::u16string text = report::MessageText(report, saved);
  EXPECT_EQ(text.rfind(report::MessageText(report), 0), 0u);
  EXPECT_EQ(Lines(text).back(), u"report not saved: " + platform::FromNativeName(saved.error.message()));
  EXPECT_EQ(report.outcome, report::Outcome::kComplete);
}

TEST(ReportTexts, ReportsGoToTheUsersRecordsFolder) {
  // The test's main points XDG_STATE_HOME and LOCALAPPDATA at a temporary folder.
  std::u16string folder;
  ASSERT_FALSE(platform::ReportsFolder(folder));
#ifdef _WIN32
  EXPECT_TRUE(folder.ends_with(u"\\Marlowin\\reports")) << platform::ToDisplay(folder);
#else
  EXPECT_TRUE(folder.ends_with(u"/marlowin/reports")) << platform::ToDisplay(folder);
#endif
  EXPECT_NE(folder.find(u"marlowin-test-"), std::u16string::npos) << "not in a temporary folder";
  const report::SavedReport saved = report::SaveReport(WithProblems(0));
  ASSERT_FALSE(saved.error) << saved.error.message();
  EXPECT_EQ(saved.path.rfind(folder + platform::kPathSeparator, 0), 0u);
}

}  // namespace
}  // namespace marlowin
