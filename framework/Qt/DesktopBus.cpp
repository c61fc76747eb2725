#include "framework/Qt/DesktopBus.h"

#include <QGuiApplication>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#ifdef MARLOWIN_HAVE_QT_DBUS
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#endif

namespace marlowin::framework {
#ifdef MARLOWIN_HAVE_QT_DBUS
namespace {

QString Q(std::u16string_view text) { return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())); }

// The desktop file the launcher knows the program by, without ".desktop".
QString DesktopId() {
  const QString name = QGuiApplication::desktopFileName();
  return name.isEmpty() ? QStringLiteral("marlowin") : name;
}

constexpr int kCallTimeoutMs = 2000;  // a service that does not answer must not hold the message up long
const QString kNotifications = QStringLiteral("org.freedesktop.Notifications");

std::error_code SendLauncherUpdate(const QVariantMap& properties) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return std::make_error_code(std::errc::not_connected);
  // The path is ours to choose; listeners go by the application's URI.
  QString path = DesktopId();
  for (QChar& c : path) {
    if (!(c.isLetterOrNumber() && c.unicode() < 128)) c = u'_';
  }
  QDBusMessage update = QDBusMessage::createSignal(QStringLiteral("/com/canonical/unity/launcherentry/") + path,
                                                   QStringLiteral("com.canonical.Unity.LauncherEntry"),
                                                   QStringLiteral("Update"));
  update << QStringLiteral("application://") + DesktopId() + QStringLiteral(".desktop") << properties;
  return bus.send(update) ? std::error_code() : std::make_error_code(std::errc::io_error);
}

// Started by the bus on demand counts as running: that is how most desktops bring theirs up.
bool NotificationServiceRuns(QDBusConnection& bus) {
  QDBusConnectionInterface* names = bus.interface();
  if (!names) return false;
  if (names->isServiceRegistered(kNotifications)) return true;
  const QDBusReply<QStringList> activatable = names->call(QStringLiteral("ListActivatableNames"));
  return activatable.isValid() && activatable.value().contains(kNotifications);
}

QDBusMessage NotificationCall(const QString& method) {
  return QDBusMessage::createMethodCall(kNotifications, QStringLiteral("/org/freedesktop/Notifications"),
                                        kNotifications, method);
}

}  // namespace

std::error_code ShowLauncherProgress(const TaskbarProgress& progress) {
  const bool shown = progress.state != TaskbarProgress::State::kNone &&
                     progress.state != TaskbarProgress::State::kBusy && progress.total > 0;
  QVariantMap properties;
  properties.insert(QStringLiteral("progress-visible"), shown);
  if (shown) properties.insert(QStringLiteral("progress"), static_cast<double>(progress.done) / progress.total);
  return SendLauncherUpdate(properties);
}

std::error_code SetLauncherUrgent(bool urgent) {
  QVariantMap properties;
  properties.insert(QStringLiteral("urgent"), urgent);
  return SendLauncherUpdate(properties);
}

std::error_code Notify(std::u16string_view summary, std::u16string_view body, bool failure) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return std::make_error_code(std::errc::not_connected);
  if (!NotificationServiceRuns(bus)) return std::make_error_code(std::errc::no_such_process);

  // A service that reads markup in the body would take a path's "<" or "&" for it.
  QString text = Q(body);
  const QDBusReply<QStringList> capabilities = bus.call(NotificationCall(QStringLiteral("GetCapabilities")),
                                                        QDBus::Block, kCallTimeoutMs);
  if (capabilities.isValid() && capabilities.value().contains(QStringLiteral("body-markup"))) text = text.toHtmlEscaped();

  QVariantMap hints;
  hints.insert(QStringLiteral("desktop-entry"), DesktopId());
  hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(failure ? 2 : 1));  // critical, normal
  QDBusMessage notify = NotificationCall(QStringLiteral("Notify"));
  notify << QStringLiteral("Marlowin") << 0u << QStringLiteral("marlowin") << Q(summary) << text << QStringList()
         << hints << -1;
  const QDBusMessage reply = bus.call(notify, QDBus::Block, kCallTimeoutMs);
  if (reply.type() == QDBusMessage::ErrorMessage) {
    return std::make_error_code(reply.errorName() == QStringLiteral("org.freedesktop.DBus.Error.NoReply")
                                    ? std::errc::timed_out
                                    : std::errc::io_error);
  }
  return {};
}

#else  // Qt without its D-Bus module: the desktop is not told.

std::error_code ShowLauncherProgress(const TaskbarProgress&) { return std::make_error_code(std::errc::not_supported); }
std::error_code SetLauncherUrgent(bool) { return std::make_error_code(std::errc::not_supported); }
std::error_code Notify(std::u16string_view, std::u16string_view, bool) {
  return std::make_error_code(std::errc::not_supported);
}

#endif

}  // namespace marlowin::framework
