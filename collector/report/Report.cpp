#include "collector/report/Report.h"

#include <algorithm>
#include <vector>

#include "collector/report/FolderProblem.h"
#include "collector/report/QuotedName.h"
#include "platform/Errors.h"
#include "platform/NativeName.h"
#include "platform/Text.h"

namespace marlowin::report {
namespace {

using platform::CountedText;
using platform::DecimalText;
using platform::FormatBytes;

// The system's text (UTF-8) among our UTF-16 names.
std::u16string Reason(const Problem& problem) { return platform::FromNativeName(platform::Describe(problem.reason)); }

}  // namespace

std::size_t PassReport::Failures() const {
  return static_cast<std::size_t>(
      std::count_if(problems.begin(), problems.end(), [](const Problem& p) { return p.failure; }));
}

std::u16string OutcomeLine(const PassReport& report) {
  switch (report.outcome) {
    case Outcome::kComplete:
      return std::u16string(kVideoCopyComplete);
    case Outcome::kIncomplete: {
      // Clips are counted; a clip folder that cannot be read hides how many clips it holds.
      const std::u16string folders =
          CountedText(report.clipFoldersUnread, u"clip folder", u"clip folders") + u" could not be read";
      // A recorded copy whose clip is gone is no clip of this pass: counted on its own.
      const std::u16string gone = CountedText(report.copiesWithoutClip, u"recorded copy has", u"recorded copies have") +
                                  u" no clip in the starting folder";
      std::u16string line = u"video copy incomplete: ";
      if (report.clipsFailed > 0 || (report.clipFoldersUnread == 0 && report.copiesWithoutClip == 0)) {
        line += DecimalText(report.clipsFailed) + u" of " + DecimalText(report.clipsSeen) + u" clips could not be copied";
      }
      if (report.clipFoldersUnread > 0) line += (line.ends_with(u": ") ? u"" : u", ") + folders;
      if (report.copiesWithoutClip > 0) line += (line.ends_with(u": ") ? u"" : u", ") + gone;
      return line;
    }
    case Outcome::kCancelled:
      return u"video copy cancelled: " + DecimalText(report.clipsCollected) + u" of " + DecimalText(report.clipsPlanned) +
             u" clips were collected";
    case Outcome::kStartingFolderMissing:
      return std::u16string(kStartingPathNotAccessible);
    case Outcome::kDestinationFolderMissing:
      return std::u16string(kCopyToPathNotAccessible);
    case Outcome::kFolderInUse:
      return u"video copy not started: another pass is using these folders";
    case Outcome::kNoRoom:
      return u"video copy not started: the destination needs " + FormatBytes(report.roomNeeded) + u", " +
             FormatBytes(report.roomFree) + u" are free";
    case Outcome::kSameFolder:
      return u"video copy not started: the starting folder and the copy to folder are the same folder";
    case Outcome::kDestinationInside:
      return u"video copy not started: the copy to folder lies inside the starting folder";
    case Outcome::kStartInside:
      return u"video copy not started: the starting folder lies inside the copy to folder";
    case Outcome::kBackupFolderMissing:
      return std::u16string(kBackupPathNotAccessible);
    case Outcome::kBackupInside:
      return u"video copy not started: the backup folder must lie apart from the starting folder and the copy to folder";
  }
  return {};
}

std::u16string CountedParts(const std::vector<std::pair<std::size_t, std::u16string_view>>& parts,
                            std::u16string_view one, std::u16string_view many) {
  std::u16string text;
  for (const auto& [count, what] : parts) {
    if (count == 0) continue;
    text += text.empty() ? CountedText(count, one, many) : u", " + DecimalText(count);
    text += what;
  }
  return text;
}

namespace {

// "6 clips copied, 12 already collected, from 6 shot folders to D.": each clip counted once.
std::u16string ClipsSentence(const PassReport& report) {
  const std::size_t all = report.outcome == Outcome::kCancelled ? std::max(report.clipsPlanned, report.clipsSeen)
                                                                : report.clipsSeen;
  std::u16string sentence = CountedParts({{report.clipsCopied, u" copied"},
                                    {report.clipsProven, u" proven again"},
                                    {report.clipsAlready, u" already collected"},
                                    {all - std::min(all, report.clipsCollected), u" not collected"}},
                                   u"clip", u"clips");
  if (report.copiesWritten + report.backup.copiesWritten + report.copiesReplaced == 0 && report.clipsCollected > 0) {
    sentence = u"Nothing was written: " + sentence;
  }
  // Out of every shot folder found, also those a stop or a folder gone kept the pass from.
  const std::size_t shotFolders = report.ShotFolders();
  sentence += u", from ";
  if (report.shotFoldersCollected < shotFolders) sentence += DecimalText(report.shotFoldersCollected) + u" of ";
  sentence += CountedText(shotFolders, u"shot folder", u"shot folders") + u" to " + QuotedName(report.destinationFolder);
  if (!report.backupFolder.empty()) sentence += u" and " + QuotedName(report.backupFolder);
  return sentence + u".";
}

// "12 copies written and verified, 36 already in place and not read again.": what was proven;
// with a backup folder, in each destination ("In D: ... In B: ...").
std::u16string CopiesSentence(const PassReport& report) {
  const auto copies = [&](std::size_t written, std::size_t proven, std::size_t replaced, std::size_t inPlace) {
    const std::u16string text = CountedParts({{written, report.verified ? u" written and verified" : u" written, not read back"},
                                        {proven, u" found in place and verified"},
                                        {replaced, u" found differing from their clip and replaced by a verified copy"},
                                        {inPlace, u" already in place and not read again"}},
                                       u"copy", u"copies");
    return text.empty() ? text : text + u".";
  };
  const std::u16string first = copies(report.copiesWritten, report.copiesProven, report.copiesReplaced, report.copiesInPlace);
  if (report.backupFolder.empty()) return first;
  const BackupCopies& b = report.backup;
  const std::u16string second = copies(b.copiesWritten, b.copiesProven, 0, b.copiesInPlace);
  std::u16string text;
  if (!first.empty()) text += u"In " + QuotedName(report.destinationFolder) + u": " + first;
  if (!second.empty()) text += (text.empty() ? u"" : u" ") + (u"In " + QuotedName(report.backupFolder) + u": " + second);
  return text;
}

}  // namespace

std::u16string SummaryLine(const PassReport& report) {
  switch (report.outcome) {
    case Outcome::kStartingFolderMissing:
    case Outcome::kDestinationFolderMissing:
    case Outcome::kFolderInUse:
    case Outcome::kNoRoom:
    case Outcome::kSameFolder:
    case Outcome::kDestinationInside:
    case Outcome::kStartInside:
    case Outcome::kBackupFolderMissing:
    case Outcome::kBackupInside:
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
  const std::u16string copies = CopiesSentence(report);
  return ClipsSentence(report) + (copies.empty() ? u"" : u" " + copies);
}

std::u16string DescribeProblem(const Problem& p) {
  // One problem is one line, whatever the names hold.
  const std::u16string path = QuotedName(p.path), target = QuotedName(p.target), other = QuotedName(p.other);
  switch (p.operation) {
    case Operation::kListStartingFolder:
    case Operation::kOpenDestination:
      return FolderProblemText(p.path, p.reason);
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
    case Operation::kCopyReplaced:
      return path + u": not collected: its copy is replaced by the copy of " + other;
    case Operation::kCopyDeleted:
      return path + u": not collected: its int copy " + target + u" is deleted by the clean-up of " + other;
    case Operation::kRecordedCopy:
      return path + u": not copied: " + target + u" " + p.rule;
    case Operation::kThroughLink:
      return path + u": not copied to " + target + u": " + other +
             u" is a link, and no copy is written through a link or over one";
    case Operation::kTooLarge:
      return path + u": not copied to " + target + u": the copy to folder's file system (" + p.rule +
             u") holds no file of 4 GiB or more";
    case Operation::kFolderGone:
      return path + u": " + Reason(p) + u": the pass stopped there, and no clip was marked after it";
    case Operation::kDestinationLost:
      return path + u": " + Reason(p) + u": no copy was written there after it, and no clip whose copy it lacks was marked";
    case Operation::kOpenBackup:
      return path + u": " + Reason(p);
    case Operation::kBackupPlace:
      return path + u": " + p.rule;
    case Operation::kSameDisk:
      return path + u": the backup folder is on the same disk as the copy to folder " + other +
             u": one disk failure loses both copies";
    case Operation::kNotReached:
      return path + u": not collected: " + Reason(p);
    case Operation::kNotRecorded:
      return path + u": copied, but not marked: its copies could not be recorded in the history: " + Reason(p);
    case Operation::kNotMended:
      return path + u": not used to mend " + target + u": the copy differs from this clip, and " + p.rule +
             u": the copy is left as it is";
    case Operation::kClipGone:
      return path + u": not proven: its clip is no longer in " + other + u" (" + p.rule + u"): the copy is left as it is";
    case Operation::kMended:
      return path + u": differed from its clip " + other + u", and was replaced by a verified copy of it";
    case Operation::kHistoryUnread:
      return path + u": the history cannot be read, so it protects no copy and this pass is not added to it: " +
             p.rule;
    case Operation::kKeptRecorded:
      return path + u": not removed by the clean-up: the history records it (" + p.rule + u")";
    case Operation::kNameNotRecorded:
      return path + u": not recorded in the history: its name holds what XML cannot (a byte that is not UTF-8, "
                    u"or a control character)";
    case Operation::kOverRecorded:
      return path + u": " + target + u" holds the copy recorded by " + p.rule +
             u": the clip is collected only if its bytes are the same";
    case Operation::kCopyIsClip:
      return path + u": not copied: " + target + u" is the clip itself (its folder leads to the clip's own folder)";
    case Operation::kReplacedLink:
      return path + u": " + target + u" was a link to the clip, not a copy: a real copy takes its place";
    case Operation::kCleanUpMoved:
      return path + u": removed by the clean-up, as " + other +
             u", numbered highest, was not copied: running the pass again brings " + target + u" back";
    case Operation::kHistory:
      return path + u": history not updated: " + p.rule;
    case Operation::kNotAClip:
      return path + u": not a clip (" + p.rule + u")";
    case Operation::kNoClipFolder:
      return path + u": has no folder \"MP4 HIGH RES\", nothing collected";
    case Operation::kPassedOver:
      return path + u": not a shot folder: " + p.rule;
    case Operation::kEndedPass:
      return path + u": a name of underscores only ends the pass here";
    case Operation::kNotVisited:
      return path + u": not visited, the pass ended before it";
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
  if (problems.size() > maxProblems) text += u"\nand " + DecimalText(problems.size() - maxProblems) + u" more";
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

}  // namespace marlowin::report
