// The scripted user on Qt: it looks at the program's modal window every few milliseconds,
// from inside the window's own event loop, and answers it through its buttons.
#include "tests/app/ScriptedUser.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>

#include <chrono>

#include "tests/app/Watchdog.h"

namespace marlowin::testing {
namespace {

std::u16string Text(const QString& text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
}

void ReadAndDismiss(ScriptedUser& user, QMessageBox& box) {
  SeenMessage seen;
  seen.caption = Text(box.windowTitle());
  seen.text = Text(box.text());
  seen.errorIcon = box.icon() == QMessageBox::Critical;
  seen.onlyOk = box.standardButtons() == QMessageBox::Ok && box.buttons().size() == 1;
  seen.onTop = box.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
  seen.blocksProgram = box.windowModality() == Qt::ApplicationModal;
  seen.ownerless = box.parentWidget() == nullptr;
  user.SawMessage(std::move(seen));
  box.button(QMessageBox::Ok)->click();
}

void AnswerFolderBrowser(ScriptedUser& user, QWidget& window) {
  user.SawBrowser(Text(window.windowTitle()));
  const ScriptedUser::Answer answer = user.NextAnswer();
  if (auto* dialog = qobject_cast<QDialog*>(&window)) {
    if (answer.cancel) dialog->reject();
  }
}

}  // namespace

struct ScriptedUser::Platform {
  QTimer timer;
  Watchdog watchdog{std::chrono::seconds(120)};
};

ScriptedUser::ScriptedUser() : platform_(new Platform) {
  QObject::connect(&platform_->timer, &QTimer::timeout, [this] {
    QWidget* window = QApplication::activeModalWidget();
    if (!window || !window->isVisible()) return;
    if (auto* box = qobject_cast<QMessageBox*>(window)) {
      ReadAndDismiss(*this, *box);
    } else {
      AnswerFolderBrowser(*this, *window);
    }
  });
  platform_->timer.start(10);
}

ScriptedUser::~ScriptedUser() { delete platform_; }

}  // namespace marlowin::testing
