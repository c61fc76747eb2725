// The report as JSON, for scripts: one object with every count, problem and (when kept) clip.
#include <nlohmann/json.hpp>

#include "cli/ReportJson.h"
#include "collector/report/ReportFigures.h"
#include "platform/Errors.h"
#include "platform/NativeName.h"

namespace marlowin {
namespace {

// In the order written, so that the outcome comes first.
using json = nlohmann::ordered_json;

std::string Text(std::u16string_view text) { return platform::ToDisplay(text); }

const char* OutcomeName(report::Outcome outcome) {
  switch (outcome) {
    case report::Outcome::kComplete: return "complete";
    case report::Outcome::kIncomplete: return "incomplete";
    case report::Outcome::kCancelled: return "cancelled";
    case report::Outcome::kStartingFolderMissing: return "starting folder not accessible";
    case report::Outcome::kDestinationFolderMissing: return "destination folder not accessible";
    case report::Outcome::kFolderInUse: return "folder in use";
    case report::Outcome::kNoRoom: return "no room";
    case report::Outcome::kSameFolder: return "same folder";
    case report::Outcome::kDestinationInside: return "destination inside starting folder";
    case report::Outcome::kStartInside: return "starting folder inside destination";
    case report::Outcome::kBackupFolderMissing: return "backup folder not accessible";
    case report::Outcome::kBackupInside: return "backup folder not apart";
  }
  return "";
}

const char* OperationName(report::Operation operation) {
  switch (operation) {
    case report::Operation::kListStartingFolder: return "list starting folder";
    case report::Operation::kOpenDestination: return "open destination folder";
    case report::Operation::kLockFolder: return "lock folder";
    case report::Operation::kListClipFolder: return "list clip folder";
    case report::Operation::kMakeFolder: return "make folder";
    case report::Operation::kCopyToAdl: return "copy to adl";
    case report::Operation::kCopyToInt: return "copy to int";
    case report::Operation::kMark: return "mark";
    case report::Operation::kCopyIsClip: return "copy is the clip";
    case report::Operation::kCopyReplaced: return "copy replaced";
    case report::Operation::kCopyDeleted: return "copy deleted";
    case report::Operation::kReplacedLink: return "replaced link";
    case report::Operation::kCleanUpMoved: return "clean-up moved";
    case report::Operation::kHistory: return "history not updated";
    case report::Operation::kRecordedCopy: return "recorded copy there";
    case report::Operation::kThroughLink: return "link on the way";
    case report::Operation::kTooLarge: return "too large for the destination";
    case report::Operation::kFolderGone: return "folder gone";
    case report::Operation::kNotReached: return "not reached";
    case report::Operation::kNotRecorded: return "not recorded";
    case report::Operation::kNotMended: return "not mended";
    case report::Operation::kClipGone: return "clip gone";
    case report::Operation::kMended: return "mended";
    case report::Operation::kHistoryUnread: return "history not read";
    case report::Operation::kKeptRecorded: return "recorded copy kept";
    case report::Operation::kNameNotRecorded: return "name not recorded";
    case report::Operation::kOverRecorded: return "over a recorded copy";
    case report::Operation::kNotAClip: return "not a clip";
    case report::Operation::kNoClipFolder: return "no clip folder";
    case report::Operation::kPassedOver: return "passed over";
    case report::Operation::kEndedPass: return "ended pass";
    case report::Operation::kNotVisited: return "not visited";
    case report::Operation::kKeptName: return "kept name";
    case report::Operation::kCleanUp: return "clean-up";
    case report::Operation::kLeftover: return "leftover";
    case report::Operation::kDestinationLost: return "destination gone";
    case report::Operation::kOpenBackup: return "open backup folder";
    case report::Operation::kBackupPlace: return "backup folder not apart";
    case report::Operation::kSameDisk: return "same disk";
  }
  return "";
}

json ProblemJson(const report::Problem& p) {
  json item = {{"kind", p.failure ? "failure" : "warning"},
               {"operation", OperationName(p.operation)},
               {"path", Text(p.path)},
               {"message", Text(report::DescribeProblem(p))}};
  if (!p.target.empty()) item["target"] = Text(p.target);
  if (!p.other.empty()) item["other"] = Text(p.other);
  if (!p.rule.empty()) item["rule"] = Text(p.rule);
  if (p.reason) {
    item["reason"] = platform::Describe(p.reason);
    item["code"] = std::string(p.reason.category().name()) + ":" + std::to_string(p.reason.value());
  }
  return item;
}

json IsoOrNull(std::chrono::system_clock::time_point moment) {
  const std::string text = report::IsoTimeText(moment);
  return text.empty() ? json() : json(text);
}

json ClipJson(const report::ClipRecord& clip) {
  json item = {{"source", Text(clip.source)}, {"adlCopy", Text(clip.adlCopy)}, {"collected", clip.collected}};
  item["intCopy"] = clip.intCopy.empty() ? json() : json(Text(clip.intCopy));
  item["markedAs"] = clip.markedAs.empty() ? json() : json(Text(clip.markedAs));
  item["xxh128"] = clip.hash.empty() ? json() : json(clip.hash);
  return item;
}

// Each destination with its copies: the copy to folder, then the backup folder when there is one.
json Destinations(const report::PassReport& report) {
  json list = json::array();
  list.push_back({{"folder", Text(report.destinationFolder)},
                  {"role", "copy to"},
                  {"copiesWritten", report.copiesWritten},
                  {"copiesProven", report.copiesProven},
                  {"copiesInPlace", report.copiesInPlace},
                  {"bytesWritten", report.bytesWritten}});
  if (!report.backupFolder.empty()) {
    list.push_back({{"folder", Text(report.backupFolder)},
                    {"role", "backup"},
                    {"copiesWritten", report.backup.copiesWritten},
                    {"copiesProven", report.backup.copiesProven},
                    {"copiesInPlace", report.backup.copiesInPlace},
                    {"bytesWritten", report.backup.bytesWritten}});
  }
  return list;
}


json ReportObject(const report::PassReport& report) {
  json problems = json::array();
  for (const report::Problem* p : report::ProblemsInOrder(report)) problems.push_back(ProblemJson(*p));
  json clips = json::array();
  for (const report::ClipRecord& clip : report.clips) clips.push_back(ClipJson(clip));
  const bool roomKnown = report.roomChecked || report.outcome == report::Outcome::kNoRoom;
  json object = {
      {"outcome", OutcomeName(report.outcome)},
      {"message", Text(report::OutcomeLine(report))},
      {"summary", Text(report::SummaryLine(report))},
      {"startingFolder", Text(report.startingFolder)},
      {"destinationFolder", Text(report.destinationFolder)},
      {"verified", report.verified},
      {"started", IsoOrNull(report.started)},
      {"finished", IsoOrNull(report.finished)},
      {"durationSeconds", std::chrono::duration<double>(report::PassDuration(report)).count()},
      {"shotFolders", report.ShotFolders()},
      {"shotFoldersCollected", report.shotFoldersCollected},
      {"counts",
       {{"clipsPlanned", report.clipsPlanned},
        {"clipsSeen", report.clipsSeen},
        {"clipsCollected", report.clipsCollected},
        {"clipsCopied", report.clipsCopied},
        {"clipsProven", report.clipsProven},
        {"clipsAlready", report.clipsAlready},
        {"clipsMarked", report.clipsMarked},
        {"clipsFailed", report.clipsFailed},
        {"copiesWritten", report.copiesWritten},
        {"copiesProven", report.copiesProven},
        {"copiesInPlace", report.copiesInPlace},
        {"copiesReplaced", report.copiesReplaced},
        {"copiesWithoutClip", report.copiesWithoutClip},
        {"clipFoldersUnread", report.clipFoldersUnread},
        {"bytesWritten", report.bytesWritten},
        {"bytesReadBack", report.bytesReadBack},
        // null when the room was not asked (nothing to write, or a volume that does not tell)
        {"roomNeeded", roomKnown ? json(report.roomNeeded) : json()},
        {"roomFree", roomKnown ? json(report.roomFree) : json()},
        {"failures", report.Failures()},
        {"warnings", report.Warnings()}}},
      {"destinations", Destinations(report)},
      {"problems", problems},
      {"clips", clips},
      {"exitStatus", report::ExitStatus(report)},
  };
  return object;
}

std::string Dump(const json& object) {
  // Names that are not UTF-8 (bytes an old camera wrote) are shown with U+FFFD in their place.
  return object.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

std::string ToJson(const report::PassReport& report, const report::SavedReport* saved) {
  json object = ReportObject(report);
  if (saved) {
    object["reportFile"] = saved->path.empty() ? json() : json(Text(saved->path));
    if (saved->error) object["reportError"] = platform::Describe(saved->error);
  }
  return Dump(object);
}

std::string PlanJson(const report::PassReport& report, const std::vector<std::string>& lines,
                     const std::u16string& summary) {
  json object = ReportObject(report);
  object["dryRun"] = true;
  object["summary"] = Text(summary);
  object["plan"] = lines;
  // A plan has not run: it has no end, and what it would copy is in the plan and the summary.
  for (const char* unknown : {"finished", "durationSeconds", "clips"}) object.erase(unknown);
  return Dump(object);
}

}  // namespace marlowin
