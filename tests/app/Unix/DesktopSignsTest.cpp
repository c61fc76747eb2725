// What the program shows the desktop outside its windows: the launcher entry's progress, the
// urgency hint of a message after long work, and its notification. Run on an X display (Xvfb)
// with a session bus of the test's own (dbus-run-session), on which the test answers as the
// desktop's notification service and listens as its launcher.
#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMutex>
#include <QMutexLocker>
#include <QObject>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVariantMap>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#ifdef MARLOWIN_HAVE_XCB
#include <xcb/xcb.h>
#endif

#include "app/MarlowinApp.h"
#include "collector/pass/CollectClips.h"
#include "framework/ApplicationStart.h"
#include "framework/MessageBox.h"
#include "framework/Qt/DesktopBus.h"
#include "platform/FileSystem.h"
#include "tests/app/ScriptedUser.h"
#include "tests/support/TempTree.h"
#include "tests/ui/FakePass.h"
#include "ui/ProgressWindow.h"

namespace {

using namespace std::chrono_literals;

const QString kNotifications = QStringLiteral("org.freedesktop.Notifications");

struct Notification {
  QString app, icon, summary, body;
  QVariantMap hints;
  int timeout = 0;
};

struct LauncherUpdate {
  QString app;
  QVariantMap properties;
};

// The desktop's side, on a connection of its own, answering on a thread of its own: the program
// waits for its calls on the thread that shows the windows.
class Desktop : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  explicit Desktop(QDBusConnection bus) : bus_(bus) {}

  bool Start() {
    if (!bus_.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this, QDBusConnection::ExportAllSlots))
      return false;
    if (!bus_.connect(QString(), QString(), QStringLiteral("com.canonical.Unity.LauncherEntry"),
                      QStringLiteral("Update"), this, SLOT(Update(QString, QVariantMap))))
      return false;
    return Offer(true);
  }

  bool Offer(bool offered) {
    return offered ? bus_.registerService(kNotifications) : bus_.unregisterService(kNotifications);
  }

  std::vector<Notification> notifications() const {
    QMutexLocker lock(&mutex_);
    return notifications_;
  }
  std::vector<LauncherUpdate> updates() const {
    QMutexLocker lock(&mutex_);
    return updates_;
  }
  void Forget() {
    QMutexLocker lock(&mutex_);
    notifications_.clear();
    updates_.clear();
  }

 public slots:
  QStringList GetCapabilities() { return {QStringLiteral("body"), QStringLiteral("body-markup")}; }
  uint Notify(const QString& app, uint, const QString& icon, const QString& summary, const QString& body,
              const QStringList&, const QVariantMap& hints, int timeout) {
    QMutexLocker lock(&mutex_);
    notifications_.push_back({app, icon, summary, body, hints, timeout});
    return static_cast<uint>(notifications_.size());
  }
  void Update(const QString& app, const QVariantMap& properties) {
    QMutexLocker lock(&mutex_);
    updates_.push_back({app, properties});
  }

 private:
  QDBusConnection bus_;
  mutable QMutex mutex_;
  std::vector<Notification> notifications_;
  std::vector<LauncherUpdate> updates_;
};

Desktop* desktop = nullptr;

// Why the tests cannot run here; empty when they can.
std::string missing;

// Handles this thread's events until `done` or `limit`.
bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s) {
  for (const auto end = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < end;) {
    if (done()) return true;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    std::this_thread::sleep_for(5ms);
  }
  return done();
}

// The flags of the window's WM_HINTS; 0 when it has none.
std::uint32_t HintFlags(QWidget& window) {
#ifdef MARLOWIN_HAVE_XCB
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
  if (!connection) return 0;
  const xcb_get_property_cookie_t cookie = xcb_get_property(
      connection, 0, static_cast<xcb_window_t>(window.winId()), XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 0, 9);
  std::uint32_t flags = 0;
  if (xcb_get_property_reply_t* reply = xcb_get_property_reply(connection, cookie, nullptr)) {
    if (reply->format == 32 && xcb_get_property_value_length(reply) >= 4)
      flags = *static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
    std::free(reply);
  }
  return flags;
#else
  (void)window;
  return 0;
#endif
}

constexpr std::uint32_t kUrgencyHint = 1u << 8;

class DesktopSigns : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!missing.empty()) GTEST_SKIP() << missing;
    desktop->Forget();
  }

  // Shows a message as the program does, and reads it once `ready` holds (or after a while):
  // whether its window carried the urgency hint.
  bool ShowAndLook(const marlowin::framework::MessageAttention& attention, const std::function<bool()>& ready) {
    bool urgent = false;
    int rounds = 0;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box || !box->isVisible()) return;
      if (!ready() && ++rounds < 100) return;
      urgent = (HintFlags(*box) & kUrgencyHint) != 0;
      box->button(QMessageBox::Ok)->click();
    });
    look.start(20);
    marlowin::framework::ShowMessage(u"Marlowin", u"video copy complete\n\n3 clips copied.", {}, attention);
    return urgent;
  }
};

TEST_F(DesktopSigns, AMessageAfterLongWorkIsUrgentAndNotifiedWithItsFirstLine) {
  marlowin::framework::MessageAttention attention;
  attention.call = true;
  attention.headline = u"video copy incomplete: 1 of 3 clips could not be copied";
  attention.body = u"2 clips copied, from 0 of 1 shot folder to /media/<disk> & co.";
  attention.failed = true;
  const bool urgent = ShowAndLook(attention, [] { return !desktop->notifications().empty(); });
#ifdef MARLOWIN_HAVE_XCB
  EXPECT_TRUE(urgent) << "no urgency hint on the message's window";
#else
  (void)urgent;
#endif
  const std::vector<Notification> seen = desktop->notifications();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].app, QStringLiteral("Marlowin"));
  EXPECT_EQ(seen[0].icon, QStringLiteral("marlowin"));
  EXPECT_EQ(seen[0].summary, QStringLiteral("video copy incomplete: 1 of 3 clips could not be copied"));
  // The service reads markup: the path's characters come as text.
  EXPECT_EQ(seen[0].body, QStringLiteral("2 clips copied, from 0 of 1 shot folder to /media/&lt;disk&gt; &amp; co."));
  EXPECT_EQ(seen[0].hints.value(QStringLiteral("urgency")).value<uchar>(), 2) << "a failure is critical";
  EXPECT_FALSE(seen[0].hints.value(QStringLiteral("desktop-entry")).toString().isEmpty());
  EXPECT_EQ(seen[0].timeout, -1);
  // The launcher entry asked for attention while the box was up, and no longer does.
  ASSERT_TRUE(WaitFor([] { return desktop->updates().size() >= 2; }));
  const std::vector<LauncherUpdate> updates = desktop->updates();
  EXPECT_TRUE(updates.front().properties.value(QStringLiteral("urgent")).toBool());
  EXPECT_FALSE(updates.back().properties.value(QStringLiteral("urgent")).toBool());
  EXPECT_TRUE(updates.front().app.startsWith(QStringLiteral("application://"))) << updates.front().app.toStdString();
  EXPECT_TRUE(updates.front().app.endsWith(QStringLiteral(".desktop"))) << updates.front().app.toStdString();
}

TEST_F(DesktopSigns, AMessageAfterShortWorkAsksForNothing) {
  const bool urgent = ShowAndLook({}, [] { return true; });
  EXPECT_FALSE(urgent);
  std::this_thread::sleep_for(200ms);
  EXPECT_TRUE(desktop->notifications().empty());
  EXPECT_TRUE(desktop->updates().empty());
}

TEST_F(DesktopSigns, WithoutANotificationServiceTheMessageComesAllTheSame) {
  ASSERT_TRUE(desktop->Offer(false));
  EXPECT_EQ(marlowin::framework::Notify(u"video copy complete", u"", false), std::errc::no_such_process);
  marlowin::framework::MessageAttention attention;
  attention.call = true;
  attention.headline = u"video copy complete";
  bool shown = false;
  ShowAndLook(attention, [&] { return shown = true; });
  ASSERT_TRUE(desktop->Offer(true));
  EXPECT_TRUE(shown);
  EXPECT_TRUE(desktop->notifications().empty());
}

TEST_F(DesktopSigns, TheLauncherEntryShowsTheProgressWhileTheWindowIsUpAndNoneAfter) {
  marlowin::testing::FakePass pass;
  pass.length = 2500ms;
  marlowin::ui::RunWithProgressWindow(std::ref(pass));
  ASSERT_TRUE(WaitFor([] {
    const auto updates = desktop->updates();
    return !updates.empty() && !updates.back().properties.value(QStringLiteral("progress-visible")).toBool();
  })) << "the launcher entry still shows the progress";
  const std::vector<LauncherUpdate> updates = desktop->updates();
  std::vector<double> shares;
  for (const LauncherUpdate& update : updates) {
    if (update.properties.value(QStringLiteral("progress-visible")).toBool())
      shares.push_back(update.properties.value(QStringLiteral("progress")).toDouble());
  }
  ASSERT_FALSE(shares.empty()) << "no progress shown";
  // 1.2 GB and a little more of 3.4 GB, told only as the whole percent changes.
  EXPECT_GT(shares.front(), 0.3);
  EXPECT_LT(shares.back(), 0.7);
  EXPECT_LT(shares.size(), 40u) << "told more often than the share changed";
}

// The whole run: a check of a collected folder that takes "long" ends with a notification of its
// first line and its summary.
TEST_F(DesktopSigns, ALongCheckIsNotifiedWithItsOutcome) {
  marlowin::testing::TempTree tree;
  tree.WriteFile(u"shoot/ab_cd_ef/MP4 HIGH RES/v01.mp4", "one");
  tree.MakeFolder(u"collected");
  const auto fs = marlowin::platform::MakeRealFileSystem();
  marlowin::pass::PassOptions options;
  options.keepHistory = true;
  ASSERT_EQ(marlowin::pass::CollectClips(*fs, tree.Path(u"shoot"), tree.Path(u"collected"), options).outcome,
            marlowin::report::Outcome::kComplete);
  marlowin::testing::ScriptedUser user;
  user.choices = {tree.Path(u"collected")};
  CMarlowinApp app;
  app.m_nAttentionAfterSeconds = 0;
  ASSERT_EQ(app.AnswerCommandLine({u"--check"}), std::nullopt);
  EXPECT_EQ(marlowin::framework::StartApplication(u"marlowin"), 0);
  ASSERT_EQ(user.messages.size(), 1u);
  const std::vector<Notification> seen = desktop->notifications();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].summary, QStringLiteral("check passed: 1 recorded file proven"));
  EXPECT_TRUE(seen[0].body.startsWith(QStringLiteral("1 file proven, "))) << seen[0].body.toStdString();
  EXPECT_EQ(seen[0].hints.value(QStringLiteral("urgency")).value<uchar>(), 1);
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  // Only on a bus of the test's own: on a person's desktop the name is their notification service's.
  if (!std::getenv("MARLOWIN_TEST_PRIVATE_BUS")) missing = "run it through ctest, which gives it a session bus of its own";
  else if (!std::getenv("DISPLAY")) missing = "no X display (xvfb-run is missing)";
  else if (!std::getenv("DBUS_SESSION_BUS_ADDRESS")) missing = "no session bus (dbus-run-session is missing)";
  if (!missing.empty()) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
  }
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication app(argc, argv);
  const marlowin::testing::TemporaryRecords records;
  QThread thread;
  thread.start();
  QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("desktop"));
  Desktop service(bus);
  service.moveToThread(&thread);
  if (!bus.isConnected() || !service.Start()) {
    missing = "the test's desktop cannot take its names on the session bus";
  }
  desktop = &service;
  const int status = RUN_ALL_TESTS();
  thread.quit();
  thread.wait();
  return status;
}

#include "DesktopSignsTest.moc"
