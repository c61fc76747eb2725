#pragma once

#include <string_view>

namespace marlowin::sys {

// Tells the user something and waits until they dismiss it: a box with the caption, the
// text, the error icon and a single OK button; it has no owner window, holds off input to
// the rest of the program and stays on top of all other windows. `details`, when not empty, is
// offered below the text where the platform's box can (Qt's "Show Details...").
void ShowMessage(std::u16string_view caption, std::u16string_view text, std::u16string_view details = {});

}  // namespace marlowin::sys
