// xmllint run as a child process on a temporary copy of the document.
#include "tests/support/SchemaCheck.h"

#include <filesystem>

#include "tests/support/Process.h"
#include "platform/NativeName.h"
#include "tests/support/TempTree.h"

namespace marlowin::testing {

SchemaCheck CheckAgainstSchema(std::string_view document, std::string_view schema) {
  SchemaCheck check;
  const std::string xmllint = MARLOWIN_XMLLINT;
  const std::string schemas = MARLOWIN_ASCMHL_SCHEMAS;
  if (xmllint.empty()) {
    check.output = "no xmllint here (Debian: libxml2-utils; the Windows build does not run it)";
    return check;
  }
  if (schemas.empty() || !std::filesystem::exists(schemas + "/" + std::string(schema))) {
    check.output = "the ASC MHL schemas were not found (set MARLOWIN_ASCMHL_SCHEMAS)";
    return check;
  }
  TempTree tree;
  tree.WriteFile(u"document.xml", document);
  ChildProgram child(platform::FromNativeName(xmllint), {u"--noout", u"--schema", platform::FromNativeName(schemas + "/" + std::string(schema)),
                                    tree.Path(u"document.xml")});
  const ProgramResult result = child.Wait();
  check.ran = true;
  check.valid = result.status == 0;
  check.output = result.out + result.err;
  return check;
}

}  // namespace marlowin::testing
