#include "collector/report/FolderProblem.h"

#include "collector/report/QuotedName.h"
#include "platform/Errors.h"
#include "platform/NativeName.h"

namespace marlowin::report {

std::u16string FolderProblemText(const std::u16string& path, const std::error_code& reason) {
  const std::u16string shown = QuotedName(path);
  // The two a person meets most are said in words of their own; the system's text adds nothing.
  if (reason == std::errc::no_such_file_or_directory) return shown + u": not found";
  if (reason == std::errc::not_a_directory) return shown + u": not a folder";
  return shown + u": cannot be opened: " + platform::FromNativeName(platform::Describe(reason));
}

}  // namespace marlowin::report
