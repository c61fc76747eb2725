#include "app/CheckMessage.h"

#include <algorithm>

#include "collector/QuotedName.h"
#include "platform/NativeName.h"
#include "platform/Text.h"

namespace marlowin {
namespace {

std::u16string Line(const TreeCheck& check, const CheckedFile& file) {
  return (file.IsWarning() ? u"warning: " : u"") + DescribeCheckedFile(check, file);
}

}  // namespace

std::vector<const CheckedFile*> CheckProblemsInOrder(const TreeCheck& check) {
  std::vector<const CheckedFile*> files;
  for (const CheckedFile& file : check.files) {
    if (file.verdict != FileVerdict::kProven && file.verdict != FileVerdict::kNotChecked) files.push_back(&file);
  }
  // The files come by path, recorded ones first: failures are moved ahead of the warnings only.
  std::stable_partition(files.begin(), files.end(), [](const CheckedFile* file) { return file->IsFailure(); });
  return files;
}

std::u16string CheckMessageText(const TreeCheck& check, std::size_t maxProblems) {
  std::u16string text = CheckOutcomeLine(check) + u"\n\n" + CheckSummaryLine(check);
  const std::vector<const CheckedFile*> files = CheckProblemsInOrder(check);
  if (!files.empty()) text += u"\n";
  for (std::size_t i = 0; i < files.size() && i < maxProblems; ++i) text += u"\n" + Line(check, *files[i]);
  if (files.size() > maxProblems) text += u"\nand " + sys::DecimalText(files.size() - maxProblems) + u" more";
  return text;
}

std::u16string CheckMessageText(const TreeCheck& check, const SavedReport& saved, std::size_t maxProblems) {
  return CheckMessageText(check, maxProblems) + SavedReportLines(saved, CheckProblemsInOrder(check).size() > maxProblems);
}

std::u16string CheckDetailsText(const TreeCheck& check) {
  std::u16string text;
  for (const CheckedFile* file : CheckProblemsInOrder(check)) text += Line(check, *file) + u"\n";
  return text;
}

std::string CheckReportFileText(const TreeCheck& check, std::chrono::system_clock::time_point started) {
  const std::u16string text = CheckMessageText(check, check.files.size()) + u"\n\nCheck started " +
                              ReportTimeText(started) + u", of " + QuotedName(check.folder) + u".\n";
  return sys::ToDisplay(text);
}

}  // namespace marlowin
