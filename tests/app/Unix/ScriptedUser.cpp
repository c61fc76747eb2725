// The scripted user on Qt: it looks at the program's modal window every few milliseconds,
// from inside the window's own event loop, and answers it through its buttons.
#include "tests/app/ScriptedUser.h"

#include <QAbstractButton>
#include <QApplication>
#include <QAbstractProxyModel>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileSystemModel>
#include <QPushButton>
#include <QTreeView>
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

// The folder browser the user is picking a folder in, and the folder; a folder made just
// before the dialog opened may take the tree a moment to show.
QDialog* pendingBrowser = nullptr;
QString pendingFolder;

void ClickButton(QDialog& browser, QDialogButtonBox::StandardButton which) {
  if (auto* buttons = browser.findChild<QDialogButtonBox*>()) {
    if (QPushButton* button = buttons->button(which)) button->click();
  }
}

// Clicks the folder in the tree, then OK; false while the tree cannot show it yet.
bool SelectAndConfirm(QDialog& browser, const QString& folder) {
  auto* tree = browser.findChild<QTreeView*>();
  if (!tree) return false;
  auto* proxy = qobject_cast<QAbstractProxyModel*>(tree->model());
  auto* files = qobject_cast<QFileSystemModel*>(proxy ? proxy->sourceModel() : tree->model());
  if (!files) return false;
  QModelIndex index = files->index(folder);
  if (proxy) index = proxy->mapFromSource(index);
  if (!index.isValid()) return false;
  tree->scrollTo(index);
  tree->setCurrentIndex(index);
  ClickButton(browser, QDialogButtonBox::Ok);
  return true;
}

void AnswerFolderBrowser(ScriptedUser& user, QWidget& window) {
  auto* browser = qobject_cast<QDialog*>(&window);
  if (!browser) return;
  if (browser == pendingBrowser) {
    if (SelectAndConfirm(*browser, pendingFolder)) pendingBrowser = nullptr;
    return;
  }
  auto* tree = browser->findChild<QTreeView*>();
  user.SawBrowser(Text(window.windowTitle()),
                  tree ? Text(tree->currentIndex().data().toString()) : std::u16string());
  const ScriptedUser::Answer answer = user.NextAnswer();
  if (answer.cancel) {
    ClickButton(*browser, QDialogButtonBox::Cancel);
    return;
  }
  const QString folder = QString::fromUtf16(answer.folder.data(), static_cast<qsizetype>(answer.folder.size()));
  if (!SelectAndConfirm(*browser, folder)) {
    pendingBrowser = browser;
    pendingFolder = folder;
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
