// The report as JSON, for scripts: one object with every count, problem and (when kept) clip.
#include <nlohmann/json.hpp>

#include "cli/ReportJson.h"
#include "platform/Errors.h"
#include "platform/NativeName.h"

namespace marlowin {
namespace {

// In the order written, so that the outcome comes first.
using json = nlohmann::ordered_json;

std::string Text(std::u16string_view text) { return sys::ToDisplay(text); }

const char* OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::kComplete: return "complete";
    case Outcome::kIncomplete: return "incomplete";
    case Outcome::kCancelled: return "cancelled";
    case Outcome::kStartingFolderMissing: return "starting folder not accessible";
    case Outcome::kDestinationFolderMissing: return "destination folder not accessible";
    case Outcome::kFolderInUse: return "folder in use";
    case Outcome::kNoRoom: return "no room";
    case Outcome::kSameFolder: return "same folder";
    case Outcome::kDestinationInside: return "destination inside starting folder";
    case Outcome::kStartInside: return "starting folder inside destination";
  }
  return "";
}

const char* OperationName(Operation operation) {
  switch (operation) {
    case Operation::kListStartingFolder: return "list starting folder";
    case Operation::kOpenDestination: return "open destination folder";
    case Operation::kLockFolder: return "lock folder";
    case Operation::kListClipFolder: return "list clip folder";
    case Operation::kMakeFolder: return "make folder";
    case Operation::kCopyToAdl: return "copy to adl";
    case Operation::kCopyToInt: return "copy to int";
    case Operation::kMark: return "mark";
    case Operation::kCopyIsClip: return "copy is the clip";
    case Operation::kCopyReplaced: return "copy replaced";
    case Operation::kCopyDeleted: return "copy deleted";
    case Operation::kReplacedLink: return "replaced link";
    case Operation::kCleanUpMoved: return "clean-up moved";
    case Operation::kHistory: return "history not updated";
    case Operation::kRecordedCopy: return "recorded copy there";
    case Operation::kThroughLink: return "link on the way";
    case Operation::kTooLarge: return "too large for the destination";
    case Operation::kFolderGone: return "folder gone";
    case Operation::kNotReached: return "not reached";
    case Operation::kNotRecorded: return "not recorded";
    case Operation::kHistoryUnread: return "history not read";
    case Operation::kKeptRecorded: return "recorded copy kept";
    case Operation::kNameNotRecorded: return "name not recorded";
    case Operation::kOverRecorded: return "over a recorded copy";
    case Operation::kNotAClip: return "not a clip";
    case Operation::kNoClipFolder: return "no clip folder";
    case Operation::kPassedOver: return "passed over";
    case Operation::kEndedPass: return "ended pass";
    case Operation::kNotVisited: return "not visited";
    case Operation::kKeptName: return "kept name";
    case Operation::kCleanUp: return "clean-up";
    case Operation::kLeftover: return "leftover";
  }
  return "";
}

json ProblemJson(const Problem& p) {
  json item = {{"kind", p.failure ? "failure" : "warning"},
               {"operation", OperationName(p.operation)},
               {"path", Text(p.path)},
               {"message", Text(DescribeProblem(p))}};
  if (!p.target.empty()) item["target"] = Text(p.target);
  if (!p.other.empty()) item["other"] = Text(p.other);
  if (!p.rule.empty()) item["rule"] = Text(p.rule);
  if (p.reason) {
    item["reason"] = sys::Describe(p.reason);
    item["code"] = std::string(p.reason.category().name()) + ":" + std::to_string(p.reason.value());
  }
  return item;
}

json ClipJson(const ClipRecord& clip) {
  json item = {{"source", Text(clip.source)}, {"adlCopy", Text(clip.adlCopy)}, {"collected", clip.collected}};
  item["intCopy"] = clip.intCopy.empty() ? json() : json(Text(clip.intCopy));
  item["markedAs"] = clip.markedAs.empty() ? json() : json(Text(clip.markedAs));
  item["xxh128"] = clip.hash.empty() ? json() : json(clip.hash);
  return item;
}

}  // namespace

std::string ToJson(const PassReport& report, const SavedReport* saved) {
  json problems = json::array();
  for (const Problem* p : ProblemsInOrder(report)) problems.push_back(ProblemJson(*p));
  json clips = json::array();
  for (const ClipRecord& clip : report.clips) clips.push_back(ClipJson(clip));
  json object = {
      {"outcome", OutcomeName(report.outcome)},
      {"message", Text(OutcomeLine(report))},
      {"summary", Text(SummaryLine(report))},
      {"startingFolder", Text(report.startingFolder)},
      {"destinationFolder", Text(report.destinationFolder)},
      {"verified", report.verified},
      {"shotFolders", report.shotFolders},
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
        {"clipFoldersUnread", report.clipFoldersUnread},
        {"bytesWritten", report.bytesWritten},
        {"roomNeeded", report.roomNeeded},
        {"roomFree", report.roomFree},
        {"failures", report.Failures()},
        {"warnings", report.Warnings()}}},
      {"problems", problems},
      {"clips", clips},
      {"exitStatus", ExitStatus(report)},
  };
  if (saved) {
    object["reportFile"] = saved->path.empty() ? json() : json(Text(saved->path));
    if (saved->error) object["reportError"] = sys::Describe(saved->error);
  }
  // Names that are not UTF-8 (bytes an old camera wrote) are shown with U+FFFD in their place.
  return object.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace marlowin
