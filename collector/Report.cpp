#include "collector/Report.h"

#include <algorithm>

#include "collector/QuotedName.h"
#include "platform/Errors.h"
#include "platform/NativeName.h"

namespace marlowin {
namespace {

std::u16string Number(std::size_t n) {
  const std::string digits = std::to_string(n);
  return std::u16string(digits.begin(), digits.end());
}

std::u16string Counted(std::size_t n, std::u16string_view one, std::u16string_view many) {
  return Number(n) + u" " + std::u16string(n == 1 ? one : many);
}

// The system's text (UTF-8) among our UTF-16 names.
std::u16string Reason(const Problem& problem) { return sys::FromNativeName(sys::Describe(problem.reason)); }

}  // namespace

std::size_t PassReport::Failures() const {
  return static_cast<std::size_t>(
      std::count_if(problems.begin(), problems.end(), [](const Problem& p) { return p.failure; }));
}

std::u16string OutcomeLine(const PassReport& report) {
  switch (report.outcome) {
    case Outcome::kComplete:
      return std::u16string(kVideoCopyComplete);
    case Outcome::kIncomplete:
      return u"video copy incomplete: " + Number(report.clipsFailed) + u" of " + Number(report.clipsSeen) +
             u" clips could not be copied";
    case Outcome::kCancelled:
      return u"video copy cancelled: " + Number(report.clipsCollected) + u" of " + Number(report.clipsPlanned) +
             u" clips were collected";
    case Outcome::kStartingFolderMissing:
      return std::u16string(kStartingPathNotAccessible);
    case Outcome::kDestinationFolderMissing:
      return std::u16string(kCopyToPathNotAccessible);
    case Outcome::kFolderInUse:
      return u"video copy not started: another pass is using these folders";
  }
  return {};
}

std::u16string SummaryLine(const PassReport& report) {
  switch (report.outcome) {
    case Outcome::kStartingFolderMissing:
    case Outcome::kDestinationFolderMissing:
    case Outcome::kFolderInUse:
      return u"Nothing was changed.";
    default:
      break;
  }
  if (report.clipsSeen == 0 && report.outcome == Outcome::kComplete) {
    return u"No clips were found in " + QuotedName(report.startingFolder) +
           u". A shot folder there is named by three or more words joined by underscores "
           u"(harbour_dawn_wide) and holds its clips (v01.mp4, v02.mp4, ...) in a folder named "
           u"\"MP4 HIGH RES\".";
  }
  std::u16string line = Counted(report.clipsCollected, u"clip", u"clips") + u" from " +
                        Counted(report.shotFolders, u"shot folder", u"shot folders") + u" copied to " +
                        QuotedName(report.destinationFolder);
  if (report.copiesInPlace > 0) {
    line += u" (" + Counted(report.copiesInPlace, u"copy was", u"copies were") + u" already there)";
  }
  if (report.verified && report.clipsCollected > 0) line += u", every copy verified";
  return line + u".";
}

std::u16string DescribeProblem(const Problem& p) {
  // One problem is one line, whatever the names hold.
  const std::u16string path = QuotedName(p.path), target = QuotedName(p.target), other = QuotedName(p.other);
  switch (p.operation) {
    case Operation::kListStartingFolder:
      return path + u": cannot be listed: " + Reason(p);
    case Operation::kOpenDestination:
      return path + u": " + Reason(p);
    case Operation::kLockFolder:
      return path + u": " + Reason(p);
    case Operation::kListClipFolder:
      return path + u": cannot be listed, its clips were not collected: " + Reason(p);
    case Operation::kMakeFolder:
      return path + u": cannot be made: " + Reason(p);
    case Operation::kCopyToAdl:
      return path + u": not copied to " + target + u": " + Reason(p);
    case Operation::kCopyToInt:
      return path + u": int copy " + target + u" not made: " + Reason(p);
    case Operation::kMark:
      return path + u": copied, but not marked as " + target + u": " + Reason(p);
    case Operation::kNotAClip:
      return path + u": not a clip (" + p.rule + u")";
    case Operation::kNoClipFolder:
      return path + u": has no folder \"MP4 HIGH RES\", nothing collected";
    case Operation::kPassedOver:
      return path + u": passed over: " + p.rule;
    case Operation::kEndedPass:
      return path + u": a name of underscores only ends the pass here";
    case Operation::kNotVisited:
      return path + u": not visited, the pass ended before it";
    case Operation::kReplacedCopy:
      return path + u": its copy " + target + u" replaced the copy of " + other + u" made earlier";
    case Operation::kDeletedCopy:
      return path + u": the copy of " + other + u" was deleted again by a later shot's clean-up";
    case Operation::kKeptName:
      return path + u": kept its name, " + target + u" exists";
    case Operation::kCleanUp:
      return path + u": not removed: " + Reason(p);
    case Operation::kLeftover:
      return path + u": left by an earlier pass, not removed: " + Reason(p);
  }
  return path;
}

std::vector<const Problem*> ProblemsInOrder(const PassReport& report) {
  std::vector<const Problem*> ordered;
  for (const Problem& p : report.problems) {
    if (p.failure) ordered.push_back(&p);
  }
  for (const Problem& p : report.problems) {
    if (!p.failure) ordered.push_back(&p);
  }
  return ordered;
}

std::u16string MessageText(const PassReport& report, std::size_t maxProblems) {
  std::u16string text = OutcomeLine(report) + u"\n\n" + SummaryLine(report);
  const std::vector<const Problem*> problems = ProblemsInOrder(report);
  if (!problems.empty()) text += u"\n";
  for (std::size_t i = 0; i < problems.size() && i < maxProblems; ++i) {
    text += u"\n" + DescribeProblem(*problems[i]);
  }
  if (problems.size() > maxProblems) text += u"\nand " + Number(problems.size() - maxProblems) + u" more";
  return text;
}

std::u16string DetailsText(const PassReport& report) {
  std::u16string text;
  for (const Problem* problem : ProblemsInOrder(report)) text += DescribeProblem(*problem) + u"\n";
  return text;
}

int ExitStatus(const PassReport& report) {
  switch (report.outcome) {
    case Outcome::kComplete:
      return 0;
    case Outcome::kIncomplete:
      return 1;
    case Outcome::kCancelled:
      return 130;
    default:
      return 2;
  }
}

}  // namespace marlowin
