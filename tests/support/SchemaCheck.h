#pragma once

// Documents checked against the ASC's schemas by xmllint, where it and the schemas are found.
#include <string>
#include <string_view>

namespace marlowin::testing {

struct SchemaCheck {
  bool ran = false;    // false: no xmllint or no schemas here; `output` says which
  bool valid = false;
  std::string output;  // what xmllint said
};

// `schema` is "ASCMHL.xsd" or "ASCMHLDirectory.xsd"; the document is written to a temporary file.
SchemaCheck CheckAgainstSchema(std::string_view document, std::string_view schema);

}  // namespace marlowin::testing
