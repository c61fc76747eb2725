// The progress window on Linux: a Qt dialog in the spirit of the Windows shell's progress
// dialog. The work runs on a worker thread; its progress crosses over through a snapshot
// under a mutex, which a timer on this thread reads: the worker makes no Qt calls.
#include "ui/ProgressWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QEventLoop>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "collector/report/ProgressMeter.h"
#include "framework/Qt/DesktopBus.h"
#include "ui/ProgressSigns.h"

namespace marlowin::ui {
namespace {

using Clock = report::ProgressMeter::Clock;
using namespace std::chrono_literals;

constexpr auto kShowAfter = 1s;
constexpr int kRefreshMs = 100;
constexpr auto kFirstSecondSlice = 20ms;

// What the worker and this thread share.
struct Shared {
  std::mutex mutex;
  std::condition_variable finishedChanged;
  report::PassProgress latest;           // under mutex
  Clock::time_point latestWhen;  // under mutex
  bool fresh = false;            // under mutex: latest not yet shown
  bool finished = false;         // under mutex: the work has returned
  std::atomic<bool> stop{false};
};

class WorkerObserver final : public report::PassObserver {
 public:
  explicit WorkerObserver(Shared& shared) : shared_(shared) {}
  void OnProgress(const report::PassProgress& progress) override {
    const Clock::time_point now = Clock::now();
    std::lock_guard lock(shared_.mutex);
    shared_.latest = progress;
    shared_.latestWhen = now;
    shared_.fresh = true;
  }
  bool StopRequested() override { return shared_.stop.load(); }

 private:
  Shared& shared_;
};

class PlainObserver final : public report::PassObserver {
 public:
  void OnProgress(const report::PassProgress&) override {}
  bool StopRequested() override { return false; }
};

QString Q(const std::u16string& text) { return QString::fromStdU16String(text); }

QLabel* NewLabel(const char* name, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setTextFormat(Qt::PlainText);
  return label;
}

class ProgressDialog final : public QDialog {
 public:
  explicit ProgressDialog(Shared& shared) : shared_(shared) {
    setObjectName(QStringLiteral("progressWindow"));
    setWindowTitle(QStringLiteral("Marlowin"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    // Closing it must never end the program's later dialogs.
    setAttribute(Qt::WA_QuitOnClose, false);

    activity_ = NewLabel("activity", this);
    QFont heading = activity_->font();
    heading.setPointSizeF(heading.pointSizeF() * 1.25);
    activity_->setFont(heading);
    clip_ = NewLabel("clip", this);
    timeLeft_ = NewLabel("timeLeft", this);
    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("bar"));
    bar_->setRange(0, 100);
    bar_->setTextVisible(true);
    clips_ = NewLabel("clips", this);
    bytes_ = NewLabel("bytes", this);
    speed_ = NewLabel("speed", this);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("cancel"));
    cancel_->setAutoDefault(false);
    connect(cancel_, &QPushButton::clicked, this, [this] { RequestStop(); });

    auto* details = new QHBoxLayout;
    details->addWidget(clips_);
    details->addStretch(1);
    details->addWidget(bytes_);
    details->addStretch(1);
    details->addWidget(speed_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(8);
    layout->addWidget(activity_);
    layout->addWidget(clip_);
    layout->addSpacing(4);
    layout->addWidget(bar_);
    layout->addWidget(timeLeft_);
    layout->addLayout(details);
    layout->addSpacing(4);
    layout->addLayout(buttons);
    setFixedWidth(460);
  }

  // Takes the latest snapshot, if there is one, and shows it.
  void Refresh() {
    {
      std::lock_guard lock(shared_.mutex);
      if (shared_.fresh) meter_.Update(shared_.latest, shared_.latestWhen);
      shared_.fresh = false;
    }
    const report::PassProgress& progress = meter_.Progress();
    activity_->setText(shared_.stop ? QStringLiteral("Stopping\u2026") : Q(meter_.StageText()));
    const QString clip = Q(meter_.ClipText());
    const QMargins margins = layout()->contentsMargins();
    const int room = width() - margins.left() - margins.right();
    clip_->setText(QFontMetrics(clip_->font()).elidedText(clip, Qt::ElideMiddle, room));
    clip_->setToolTip(clip);
    if (progress.stage == report::PassProgress::Stage::kPlanning) {
      bar_->setRange(0, 0);  // busy: the work is not known yet
    } else {
      bar_->setRange(0, 100);
      bar_->setValue(meter_.Percent());
    }
    clips_->setText(Q(meter_.ClipsText()));
    bytes_->setText(Q(meter_.BytesText()));
    speed_->setText(Q(meter_.SpeedText()));
    timeLeft_->setText(shared_.stop ? QString() : Q(meter_.TimeLeftText()));
    ShowOutside(TaskbarProgressOf(meter_, shared_.stop));
  }

  // The launcher entry no longer shows the work.
  void ClearOutside() { ShowOutside({}); }

 protected:
  // Closing the window is Cancel; it stays until the work has returned.
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    RequestStop();
  }
  void reject() override { RequestStop(); }  // Esc

 private:
  // The title carries the share done, for a taskbar that shows no bar; the launcher entry
  // shows it as a bar where the desktop has one. Told on a change of the whole percent or the
  // state only: the bus is not to be flooded ten times a second.
  void ShowOutside(const framework::TaskbarProgress& progress) {
    const QString title = Q(ProgressTitle(meter_));
    if (title != windowTitle()) setWindowTitle(title);
    const auto percent = [](const framework::TaskbarProgress& p) { return p.total ? 100ull * p.done / p.total : 0ull; };
    if (progress.state == shown_.state && percent(progress) == percent(shown_)) return;
    shown_ = progress;
    // A courtesy of the desktop: without a launcher that listens, the window shows it all.
    (void)framework::ShowLauncherProgress(progress);
  }

  void RequestStop() {
    shared_.stop = true;
    cancel_->setEnabled(false);
    Refresh();
  }

  Shared& shared_;
  report::ProgressMeter meter_;
  QLabel* activity_;
  QLabel* clip_;
  QLabel* timeLeft_;
  QProgressBar* bar_;
  QLabel* clips_;
  QLabel* bytes_;
  QLabel* speed_;
  QPushButton* cancel_;
  framework::TaskbarProgress shown_;  // as the launcher entry was last told
};

}  // namespace

void RunWithProgressWindow(const std::function<void(marlowin::report::PassObserver&)>& work) {
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {  // no widgets: no window
    PlainObserver plain;
    work(plain);
    return;
  }

  Shared shared;
  WorkerObserver observer(shared);
  std::exception_ptr failure;
  std::thread worker([&] {
    try {
      work(observer);
    } catch (...) {
      failure = std::current_exception();
    }
    {
      std::lock_guard lock(shared.mutex);
      shared.finished = true;
    }
    shared.finishedChanged.notify_all();
  });

  // The first second: no window, but this thread's events are handled meanwhile (a window
  // closed just before goes away), and short work returns at once.
  bool quick = false;
  for (const Clock::time_point start = Clock::now(); !quick && Clock::now() - start < kShowAfter;) {
    {
      std::unique_lock lock(shared.mutex);
      quick = shared.finishedChanged.wait_for(lock, kFirstSecondSlice, [&] { return shared.finished; });
    }
    if (!quick) QCoreApplication::processEvents();
  }
  if (!quick) {
    ProgressDialog dialog(shared);
    QEventLoop loop;
    QTimer refresh;
    QObject::connect(&refresh, &QTimer::timeout, &dialog, [&] {
      bool finished;
      {
        std::lock_guard lock(shared.mutex);
        finished = shared.finished;
      }
      if (finished) {
        loop.quit();
      } else {
        dialog.Refresh();
      }
    });
    dialog.Refresh();
    dialog.show();
    refresh.start(kRefreshMs);
    loop.exec();
    refresh.stop();
    dialog.ClearOutside();
    dialog.hide();
  }
  worker.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace marlowin::ui
