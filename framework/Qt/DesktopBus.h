#pragma once

// What the program tells the desktop over the session bus (D-Bus): its launcher entry's
// progress (com.canonical.Unity.LauncherEntry, which Ubuntu's dock, KDE's task manager and
// others follow) and a notification (org.freedesktop.Notifications). Without Qt's D-Bus module
// in the build, or without a session bus, each says why it did nothing.
#include <string_view>
#include <system_error>

#include "framework/TaskbarProgress.h"

namespace marlowin::framework {

// The entry of the program's desktop file (QGuiApplication::desktopFileName, else
// "marlowin") shows `progress`: the share done while the work's size is known, nothing
// otherwise. A signal: no launcher may be listening.
[[nodiscard]] std::error_code ShowLauncherProgress(const TaskbarProgress& progress);

// The launcher entry asks for attention (or no longer does).
[[nodiscard]] std::error_code SetLauncherUrgent(bool urgent);

// A notification of the program, its summary and its body, critical (kept until the person
// sees it) when `failure`. std::errc::no_such_process when no notification service runs or
// can be started on the bus.
[[nodiscard]] std::error_code Notify(std::u16string_view summary, std::u16string_view body, bool failure);

}  // namespace marlowin::framework
