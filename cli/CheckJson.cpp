// The check as JSON: one object, outcome first.
#include "cli/CheckJson.h"

#include <nlohmann/json.hpp>

#include "platform/Errors.h"
#include "platform/NativeName.h"

namespace marlowin {
namespace {

using json = nlohmann::ordered_json;

std::string Text(std::u16string_view text) { return platform::ToDisplay(text); }

const char* OutcomeName(check::CheckOutcome outcome) {
  switch (outcome) {
    case check::CheckOutcome::kProven: return "proven";
    case check::CheckOutcome::kNotProven: return "not proven";
    case check::CheckOutcome::kNoHistory: return "no history";
    case check::CheckOutcome::kHistoryUnreadable: return "history not readable";
    case check::CheckOutcome::kFolderMissing: return "folder not accessible";
    case check::CheckOutcome::kCancelled: return "cancelled";
  }
  return "";
}

const char* VerdictName(check::FileVerdict verdict) {
  switch (verdict) {
    case check::FileVerdict::kProven: return "proven";
    case check::FileVerdict::kMissing: return "missing";
    case check::FileVerdict::kChanged: return "changed";
    case check::FileVerdict::kUnreadable: return "unreadable";
    case check::FileVerdict::kRefused: return "refused";
    case check::FileVerdict::kThroughLink: return "link";
    case check::FileVerdict::kNoHash: return "no hash";
    case check::FileVerdict::kNotChecked: return "not checked";
    case check::FileVerdict::kUnrecorded: return "unrecorded";
    case check::FileVerdict::kUnlisted: return "unlisted";
  }
  return "";
}

json Reason(const std::error_code& reason) {
  return {{"reason", platform::Describe(reason)},
          {"code", std::string(reason.category().name()) + ":" + std::to_string(reason.value())}};
}

template <class T>
json OrNull(const std::optional<T>& value) {
  return value ? json(*value) : json();
}

json OrNull(const std::string& text) { return text.empty() ? json() : json(text); }

json FileJson(const check::TreeCheck& check, const check::CheckedFile& file, bool problem) {
  json item;
  if (problem) item["kind"] = file.IsFailure() ? "failure" : "warning";
  item["path"] = Text(file.path);
  item["verdict"] = VerdictName(file.verdict);
  if (problem) item["message"] = Text(check::DescribeCheckedFile(check, file));
  if (!file.IsWarning()) {
    item["generation"] = file.sequence;
    item["recorded"] = {{"size", OrNull(file.recordedSize)}, {"xxh128", OrNull(file.recordedHash)}};
    item["found"] = {{"size", OrNull(file.foundSize)}, {"xxh128", OrNull(file.foundHash)}};
  }
  if (file.reason) item.update(Reason(file.reason));
  return item;
}

}  // namespace

std::string ToJson(const check::TreeCheck& check) {
  json problems = json::array();
  json files = json::array();
  for (const check::CheckedFile& file : check.files) {
    if (file.verdict != check::FileVerdict::kProven) problems.push_back(FileJson(check, file, true));
    if (!file.IsWarning()) files.push_back(FileJson(check, file, false));
  }
  json object = {
      {"outcome", OutcomeName(check.outcome)},
      {"message", Text(check::CheckOutcomeLine(check))},
      {"summary", Text(check::CheckSummaryLine(check))},
      {"folder", Text(check.folder)},
      {"generations", check.generations},
      {"counts",
       {{"filesRecorded", check.Recorded()},
        {"filesProven", check.Count(check::FileVerdict::kProven)},
        {"filesMissing", check.Count(check::FileVerdict::kMissing)},
        {"filesChanged", check.Count(check::FileVerdict::kChanged)},
        {"filesUnrecorded", check.Count(check::FileVerdict::kUnrecorded)},
        {"bytesRead", check.bytesRead},
        {"failures", check.Failures()},
        {"warnings", check.Warnings()}}},
  };
  if (check.historyFailure) {
    json failure = Reason(check.historyFailure.code);
    failure["detail"] = check.historyFailure.detail;
    object["historyError"] = std::move(failure);
  }
  object["problems"] = std::move(problems);
  object["files"] = std::move(files);
  object["exitStatus"] = check::CheckExitStatus(check);
  // Names that are not UTF-8 are shown with U+FFFD in their place.
  return object.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace marlowin
