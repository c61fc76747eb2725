#pragma once

#include <system_error>

class QWidget;

namespace marlowin::framework {

// Asks the desktop to draw the eye to a window of ours that the person may not be looking at.
// On X11 the window gets the urgency hint of its WM_HINTS (window managers show it, mostly by
// flashing its taskbar entry, and the window clears it when it goes); elsewhere (Wayland) Qt's
// alert, which the platform carries out its own way for a window that is not active.
[[nodiscard]] std::error_code SetUrgencyHint(QWidget& window);

}  // namespace marlowin::framework
