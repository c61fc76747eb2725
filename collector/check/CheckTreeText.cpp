// The texts of a check, for the terminal: the outcome, the summary, and one line for each file
// that is not proven.
#include "collector/check/CheckTree.h"

#include "collector/report/FolderProblem.h"
#include "collector/report/QuotedName.h"
#include "platform/Errors.h"
#include "platform/NativeName.h"
#include "platform/Paths.h"
#include "platform/Text.h"

namespace marlowin::check {
namespace {

using platform::CountedText;
using platform::DecimalText;

std::u16string Reason(const std::error_code& reason) { return platform::FromNativeName(platform::Describe(reason)); }
std::u16string Text(const std::string& utf8) { return platform::FromNativeName(utf8); }

std::u16string Generation(const CheckedFile& file) { return u"generation " + DecimalText(file.sequence); }

// What mends a copy that is missing or changed: the pass that proves every copy against its clip.
std::u16string Mend(const TreeCheck& check) {
  return u"; to mend it from its clip: marlowin-collect --reverify STARTING_FOLDER " + report::QuotedName(check.folder);
}

// "2 missing, 1 changed": the failures by kind, in this order.
std::u16string NotProvenParts(const TreeCheck& check) {
  static constexpr std::pair<FileVerdict, std::u16string_view> kKinds[] = {
      {FileVerdict::kMissing, u"missing"},
      {FileVerdict::kChanged, u"changed"},
      {FileVerdict::kUnreadable, u"unreadable"},
      {FileVerdict::kRefused, u"refused (outside the folder)"},
      {FileVerdict::kThroughLink, u"not followed (links)"},
      {FileVerdict::kNoHash, u"without an xxh128 hash"},
      {FileVerdict::kNotChecked, u"not checked"},
  };
  std::u16string parts;
  for (const auto& [verdict, name] : kKinds) {
    if (const std::size_t n = check.Count(verdict)) parts += (parts.empty() ? u"" : u", ") + DecimalText(n) + u" " + std::u16string(name);
  }
  return parts;
}

}  // namespace

std::u16string FullPathOf(const TreeCheck& check, const CheckedFile& file) {
  if (file.path.empty()) return check.folder;
  std::u16string relative = file.path;
  if (file.verdict != FileVerdict::kRefused) {
    for (char16_t& c : relative) {
      if (c == u'/') c = platform::kPathSeparator;
    }
  }
  return platform::JoinPath(check.folder, relative);
}

std::u16string CheckOutcomeLine(const TreeCheck& check) {
  const std::u16string proven = DecimalText(check.Count(FileVerdict::kProven)) + u" of " +
                                CountedText(check.Recorded(), u"recorded file", u"recorded files") + u" proven";
  switch (check.outcome) {
    case CheckOutcome::kProven:
      return u"check passed: " + CountedText(check.Recorded(), u"recorded file", u"recorded files") + u" proven";
    case CheckOutcome::kNotProven:
      return u"check failed: " + DecimalText(check.Failures()) + u" of " +
             CountedText(check.Recorded(), u"recorded file", u"recorded files") + u" not proven";
    case CheckOutcome::kCancelled:
      return u"check stopped: " + proven;
    case CheckOutcome::kNoHistory:
    case CheckOutcome::kHistoryUnreadable:
      return u"check not made: " + std::u16string(check.outcome == CheckOutcome::kNoHistory ? u"" : u"history not readable: ") +
             Text(history::Describe(check.historyFailure));
    case CheckOutcome::kFolderMissing:
      return u"check not made: " + report::FolderProblemText(check.folder, check.historyFailure.code);
  }
  return {};
}

std::u16string CheckSummaryLine(const TreeCheck& check) {
  const CheckOutcome outcome = check.outcome;
  if (outcome == CheckOutcome::kNoHistory || outcome == CheckOutcome::kHistoryUnreadable ||
      outcome == CheckOutcome::kFolderMissing) {
    return u"Nothing was read or changed in " + report::QuotedName(check.folder) + u".";
  }
  std::u16string line = CountedText(check.Count(FileVerdict::kProven), u"file", u"files") + u" proven, " +
                        platform::FormatBytes(check.bytesRead) + u" read back from the disk, against " +
                        CountedText(check.generations, u"generation", u"generations") + u" of the history of " +
                        report::QuotedName(check.folder) + u".";
  if (check.Failures() > 0) line += u" Not proven: " + NotProvenParts(check) + u".";
  if (const std::size_t n = check.Count(FileVerdict::kUnrecorded)) {
    line += u" " + CountedText(n, u"file", u"files") + u" of the adl and int folders " +
            (n == 1 ? u"is" : u"are") + u" in no generation.";
  }
  if (const std::size_t n = check.Count(FileVerdict::kUnlisted)) {
    line += u" " + CountedText(n, u"folder", u"folders") + u" could not be listed.";
  }
  return line;
}

std::u16string DescribeCheckedFile(const TreeCheck& check, const CheckedFile& file) {
  const std::u16string path = report::QuotedName(FullPathOf(check, file));
  switch (file.verdict) {
    case FileVerdict::kProven:
      return path + u": proven";
    case FileVerdict::kMissing:
      return path + u": missing (recorded by " + Generation(file) + u")" + Mend(check);
    case FileVerdict::kChanged:
      if (file.foundHash.empty()) {
        return path + u": changed: " + DecimalText(file.foundSize.value_or(0)) + u" bytes, " + Generation(file) +
               u" records " + DecimalText(file.recordedSize.value_or(0)) + Mend(check);
      }
      return path + u": changed: xxh128 " + Text(file.foundHash) + u", " + Generation(file) + u" records " +
             Text(file.recordedHash) + Mend(check);
    case FileVerdict::kUnreadable:
      return path + u": cannot be read: " + Reason(file.reason);
    case FileVerdict::kRefused:
      return path + u": not read: " + Generation(file) + u" records a path that leads outside the folder";
    case FileVerdict::kThroughLink:
      return path + u": not read: it or a folder on its way is a link, which may lead outside the folder";
    case FileVerdict::kNoHash:
      return path + u": not proven: " + Generation(file) + u" records no xxh128 hash for it";
    case FileVerdict::kNotChecked:
      return path + u": not checked, the check was stopped before it";
    case FileVerdict::kUnrecorded:
      return path + u": in no generation of the history";
    case FileVerdict::kUnlisted:
      return path + u": cannot be listed, its files are not compared with the history: " + Reason(file.reason);
  }
  return path;
}

}  // namespace marlowin::check
