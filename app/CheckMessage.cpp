#include "app/CheckMessage.h"

#include <algorithm>

#include "collector/report/QuotedName.h"
#include "platform/NativeName.h"
#include "platform/Text.h"

namespace marlowin {
namespace {

std::u16string Line(const check::TreeCheck& check, const check::CheckedFile& file) {
  return (file.IsWarning() ? u"warning: " : u"") + check::DescribeCheckedFile(check, file);
}

}  // namespace

std::vector<const check::CheckedFile*> CheckProblemsInOrder(const check::TreeCheck& check) {
  std::vector<const check::CheckedFile*> files;
  for (const check::CheckedFile& file : check.files) {
    if (file.verdict != check::FileVerdict::kProven && file.verdict != check::FileVerdict::kNotChecked) files.push_back(&file);
  }
  // The files come by path, recorded ones first: failures are moved ahead of the warnings only.
  std::stable_partition(files.begin(), files.end(), [](const check::CheckedFile* file) { return file->IsFailure(); });
  return files;
}

std::u16string CheckMessageText(const check::TreeCheck& check, std::size_t maxProblems) {
  std::u16string text = check::CheckOutcomeLine(check) + u"\n\n" + check::CheckSummaryLine(check);
  const std::vector<const check::CheckedFile*> files = CheckProblemsInOrder(check);
  if (!files.empty()) text += u"\n";
  for (std::size_t i = 0; i < files.size() && i < maxProblems; ++i) text += u"\n" + Line(check, *files[i]);
  if (files.size() > maxProblems) text += u"\nand " + platform::DecimalText(files.size() - maxProblems) + u" more";
  return text;
}

std::u16string CheckMessageText(const check::TreeCheck& check, const report::SavedReport& saved, std::size_t maxProblems) {
  return CheckMessageText(check, maxProblems) + report::SavedReportLines(saved, CheckProblemsInOrder(check).size() > maxProblems);
}

std::u16string CheckDetailsText(const check::TreeCheck& check) {
  std::u16string text;
  for (const check::CheckedFile* file : CheckProblemsInOrder(check)) text += Line(check, *file) + u"\n";
  return text;
}

std::string CheckReportFileText(const check::TreeCheck& check, std::chrono::system_clock::time_point started) {
  const std::u16string text = CheckMessageText(check, check.files.size()) + u"\n\nCheck started " +
                              report::ReportTimeText(started) + u", of " + report::QuotedName(check.folder) + u".\n";
  return platform::ToDisplay(text);
}

}  // namespace marlowin
