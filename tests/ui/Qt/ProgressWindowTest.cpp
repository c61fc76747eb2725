// The Qt progress window with its real widgets, looked at from this thread's event loop while
// the work runs on the worker thread.
#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <thread>

#include "tests/ui/FakePass.h"
#include "tests/ui/SparseShootPass.h"
#include "ui/ProgressWindow.h"

namespace {

using marlowin::report::PassObserver;
using marlowin::report::PassProgress;
using marlowin::ui::RunWithProgressWindow;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Titled "Marlowin", after the share done ("37% - Marlowin") once it is known.
bool IsProgramsTitle(const QString& title) {
  return title == QStringLiteral("Marlowin") || title.endsWith(QStringLiteral("% - Marlowin"));
}

QWidget* ProgressWindow() {
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (IsProgramsTitle(window->windowTitle()) && window->isVisible()) return window;
  }
  return nullptr;
}

QString Text(QWidget& window, const char* name) {
  auto* label = window.findChild<QLabel*>(QString::fromLatin1(name));
  return label ? label->text() : QStringLiteral("<no %1>").arg(QString::fromLatin1(name));
}

// Dropping the copy under way takes a moment, as it does in the pass.
struct FakePass : marlowin::testing::FakePass {
  FakePass() { dropping = std::chrono::milliseconds(300); }
};

TEST(QtProgressWindow, ShortWorkShowsNothing) {
  FakePass pass;
  pass.length = 300ms;
  bool everShown = false;
  QTimer look;
  QObject::connect(&look, &QTimer::timeout, [&] { everShown = everShown || ProgressWindow(); });
  look.start(10);
  const Clock::time_point start = Clock::now();
  RunWithProgressWindow(std::ref(pass));
  EXPECT_LT(Clock::now() - start, 900ms);
  EXPECT_NE(pass.thread, std::this_thread::get_id()) << "the work runs on a worker thread";
  QCoreApplication::processEvents();
  EXPECT_FALSE(everShown);
  EXPECT_EQ(ProgressWindow(), nullptr);
}

TEST(QtProgressWindow, LongWorkShowsAfterASecondAndCancelStopsItWithinASecond) {
  FakePass pass;
  Clock::time_point start = Clock::now(), shown{}, clicked{};
  QString stopping;
  QTimer look;
  QObject::connect(&look, &QTimer::timeout, [&] {
    QWidget* window = ProgressWindow();
    if (!window) return;
    if (shown == Clock::time_point{}) shown = Clock::now();
    if (clicked == Clock::time_point{} && Clock::now() - shown > 1500ms) {
      // By now the speed is measured: every text is there.
      EXPECT_EQ(Text(*window, "activity"), QStringLiteral("Copying clips"));
      EXPECT_EQ(Text(*window, "clip"), QStringLiteral("ab_cd_ef/v02.mp4"));
      EXPECT_EQ(Text(*window, "clips"), QStringLiteral("12 of 60 clips done"));
      EXPECT_TRUE(Text(*window, "bytes").endsWith(QStringLiteral(" GB of 3.4 GB copied"))) << Text(*window, "bytes").toStdString();
      EXPECT_TRUE(Text(*window, "speed").endsWith(QStringLiteral(" MB/s"))) << Text(*window, "speed").toStdString();
      EXPECT_TRUE(Text(*window, "timeLeft").startsWith(QStringLiteral("about "))) << Text(*window, "timeLeft").toStdString();
      const int percent = window->findChild<QProgressBar*>(QStringLiteral("bar"))->value();
      EXPECT_GE(percent, 36);
      EXPECT_LE(percent, 60);
      // The title carries the share, for a taskbar entry that shows no bar.
      EXPECT_EQ(window->windowTitle(), QString::number(percent) + QStringLiteral("% - Marlowin"));
      clicked = Clock::now();
      window->findChild<QPushButton*>(QStringLiteral("cancel"))->click();
    } else if (clicked != Clock::time_point{} && stopping.isEmpty() && Clock::now() - clicked > 100ms) {
      stopping = Text(*window, "activity");  // while the work drops its copy
    }
  });
  look.start(20);
  RunWithProgressWindow(std::ref(pass));
  ASSERT_NE(shown, Clock::time_point{}) << "the window never showed";
  EXPECT_GE(shown - start, 900ms);
  EXPECT_LT(shown - start, 2000ms);
  ASSERT_NE(clicked, Clock::time_point{});
  ASSERT_NE(pass.stopSeen, 0) << "the work was never told to stop";
  EXPECT_LT(pass.StopSeen() - clicked, 1s);
  EXPECT_EQ(stopping, QStringLiteral("Stopping\u2026"));
  EXPECT_EQ(ProgressWindow(), nullptr) << "the window is gone when the function returns";
  EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty() ||
              std::none_of(QApplication::topLevelWidgets().begin(), QApplication::topLevelWidgets().end(),
                           [](QWidget* w) { return IsProgramsTitle(w->windowTitle()); }));
}

TEST(QtProgressWindow, ClosingTheWindowIsCancelAndAFailureOfTheWorkComesThrough) {
  FakePass pass;
  QTimer look;
  QObject::connect(&look, &QTimer::timeout, [&] {
    if (QWidget* window = ProgressWindow()) window->close();
  });
  look.start(50);
  const auto work = [&](PassObserver& observer) {
    pass(observer);
    throw std::runtime_error("disk gone");
  };
  EXPECT_THROW(RunWithProgressWindow(work), std::runtime_error);
  EXPECT_NE(pass.stopSeen, 0);
  EXPECT_EQ(ProgressWindow(), nullptr);
}

// A real pass over a shoot of 5 GiB (sparse clips: they take no room), stopped once the window
// has shown how far it is: the values past 4 GiB are right.
TEST(QtProgressWindow, ARealPassOfFiveGiBShowsItsTrueShareAndItsShotAndClip) {
  marlowin::testing::SparseShootPass pass;
  QString activity, clip, bytes;
  int percent = -1;
  QTimer look;
  QObject::connect(&look, &QTimer::timeout, [&] {
    QWidget* window = ProgressWindow();
    if (!window || percent >= 0 || Text(*window, "bytes").startsWith(QStringLiteral("0 B"))) return;
    activity = Text(*window, "activity");
    clip = Text(*window, "clip");
    bytes = Text(*window, "bytes");
    percent = window->findChild<QProgressBar*>(QStringLiteral("bar"))->value();
    window->findChild<QPushButton*>(QStringLiteral("cancel"))->click();
  });
  look.start(20);
  RunWithProgressWindow(std::ref(pass));
  ASSERT_GE(percent, 0) << "the window never showed the copy";
  EXPECT_EQ(pass.report.outcome, marlowin::report::Outcome::kCancelled);
  EXPECT_TRUE(activity == QStringLiteral("Copying clips") || activity == QStringLiteral("Verifying copies"))
      << activity.toStdString();
  EXPECT_TRUE(clip.startsWith(QStringLiteral("harbour_dawn_wide/v0")) ||
              clip == QStringLiteral("Reading the copies back from the disk"))
      << clip.toStdString();
  // The clips' bytes as they are copied, or the copies' (twice as many: adl and int) as read back.
  EXPECT_TRUE(bytes.endsWith(QStringLiteral(" of 5.4 GB copied")) || bytes.endsWith(QStringLiteral(" GB read back")))
      << bytes.toStdString();
  EXPECT_LT(percent, 100);
}

}  // namespace
