#pragma once

// Names as one line can show them. A file name may hold a newline, a tab or other controls,
// or start or end with spaces; printed raw in a line-oriented text it could pass for lines the
// program never wrote ("commit", "move a -> b"). Such a name is quoted the way a POSIX shell
// reads it (as GNU ls quotes): 'v02'$'\n''commit.mp4'.
#include <string>
#include <string_view>

namespace marlowin::report {

// The path unchanged when it is plain; else the whole of it in single quotes, with each
// character that cannot stand in a line as an escape in $'...' ($'\n', $'\t', $'\033',
// $'\u2028'; on POSIX a byte that is not UTF-8 as $'\377'), and ' as '\''. Quoted are paths
// that hold a control character (C0, DEL, C1), a line or paragraph separator, a bidirectional
// override, a lone surrogate, a folder or file name that starts or ends with a space, that
// start with ' (so that a shown path starting with ' is always one quoted here), that are
// empty, or that hold `alsoQuoteIfContains` when it is given (" -> " for lines of the form
// "VERB FROM -> TO", so that such a line splits one way only).
std::u16string QuotedName(std::u16string_view path, std::u16string_view alsoQuoteIfContains = {});

}  // namespace marlowin::report
