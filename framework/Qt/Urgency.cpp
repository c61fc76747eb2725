#include "framework/Qt/Urgency.h"

#include <QApplication>
#include <QGuiApplication>
#include <QWidget>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#ifdef MARLOWIN_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace marlowin::framework {

std::error_code SetUrgencyHint(QWidget& window) {
  // Qt's own alert marks only a window that is not active; it is all Wayland has.
  QApplication::alert(&window);
#ifdef MARLOWIN_HAVE_XCB
  // Asked of any other platform (offscreen, Wayland), Qt hands out the interface all the same,
  // with no connection behind it.
  if (QGuiApplication::platformName() != QStringLiteral("xcb")) return {};
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
  if (!connection) return {};
  const auto id = static_cast<xcb_window_t>(window.winId());
  // WM_HINTS as Qt wrote it, nine 32-bit fields: the flags first; the urgency hint is bit 8.
  constexpr std::uint32_t kUrgencyHint = 1u << 8;
  std::array<std::uint32_t, 9> hints{};
  const xcb_get_property_cookie_t cookie =
      xcb_get_property(connection, 0, id, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 0, hints.size());
  xcb_generic_error_t* error = nullptr;
  if (xcb_get_property_reply_t* reply = xcb_get_property_reply(connection, cookie, &error)) {
    if (reply->format == 32) {
      const auto length = std::min<std::size_t>(static_cast<std::size_t>(xcb_get_property_value_length(reply)),
                                                sizeof hints);
      std::memcpy(hints.data(), xcb_get_property_value(reply), length);
    }
    std::free(reply);
  }
  if (error) {
    std::free(error);
    return std::make_error_code(std::errc::bad_file_descriptor);  // the window is gone
  }
  hints[0] |= kUrgencyHint;
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32,
                      static_cast<std::uint32_t>(hints.size()), hints.data());
  if (xcb_flush(connection) <= 0) return std::make_error_code(std::errc::not_connected);
#endif
  return {};
}

}  // namespace marlowin::framework
