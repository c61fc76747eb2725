#pragma once

#include <string>
#include <string_view>

namespace marlowin::framework {

// How a message asks to be seen when it ends long work that the person may have left.
struct MessageAttention {
  // The work failed: the box's taskbar button shows the error state while it is up (Windows).
  bool failed = false;
  // Draw the eye to the box: its taskbar button flashes until it is looked at (Windows); the
  // window gets the urgency hint, and the desktop shows a notification of `headline` and
  // `body` where a notification service runs (Linux).
  bool call = false;
  std::u16string headline;
  std::u16string body;
};

// Tells the user something and waits until they dismiss it: a box with the caption, the
// text, the error icon and a single OK button; it has no owner window, holds off input to
// the rest of the program and stays on top of all other windows. `details`, when not empty, is
// offered below the text where the platform's box can (Qt's "Show Details...").
void ShowMessage(std::u16string_view caption, std::u16string_view text, std::u16string_view details = {},
                 const MessageAttention& attention = {});

}  // namespace marlowin::framework
