// Polls the active modal window from inside its own event loop and answers it.
#include "tests/app/ScriptedUser.h"

#include <QAbstractButton>
#include <QAbstractProxyModel>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>

namespace marlowin::testing {
namespace {

std::u16string Text(const QString& text) { return text.toStdU16String(); }

void Click(QDialog& browser, QDialogButtonBox::StandardButton which) {
  if (auto* buttons = browser.findChild<QDialogButtonBox*>()) buttons->button(which)->click();
}

// False while the tree cannot show the folder yet (a folder made just before it opened).
bool SelectAndConfirm(QDialog& browser, const QString& folder) {
  auto* tree = browser.findChild<QTreeView*>();
  auto* proxy = tree ? qobject_cast<QAbstractProxyModel*>(tree->model()) : nullptr;
  auto* files = tree ? qobject_cast<QFileSystemModel*>(proxy ? proxy->sourceModel() : tree->model()) : nullptr;
  if (!files) return false;
  const QModelIndex index = proxy ? proxy->mapFromSource(files->index(folder)) : files->index(folder);
  if (!index.isValid()) return false;
  tree->setCurrentIndex(index);
  Click(browser, QDialogButtonBox::Ok);
  return true;
}

}  // namespace

struct ScriptedUser::Platform {
  QTimer timer;
  QDialog* choosing = nullptr;
  QString folder;
};

ScriptedUser::ScriptedUser() : platform_(std::make_unique<Platform>()) {
  QObject::connect(&platform_->timer, &QTimer::timeout, [this] {
    QWidget* window = QApplication::activeModalWidget();
    if (!window || !window->isVisible()) return;
    if (auto* box = qobject_cast<QMessageBox*>(window)) {
      messages.push_back({Text(box->windowTitle()), Text(box->text()), box->icon() == QMessageBox::Critical,
                          box->standardButtons() == QMessageBox::Ok && box->buttons().size() == 1,
                          box->windowFlags().testFlag(Qt::WindowStaysOnTopHint),
                          box->windowModality() == Qt::ApplicationModal, box->parentWidget() == nullptr});
      messages.back().details = Text(box->detailedText());
      box->button(QMessageBox::Ok)->click();
      return;
    }
    auto* browser = qobject_cast<QDialog*>(window);
    if (!browser) return;
    if (browser != platform_->choosing) {
      auto* tree = browser->findChild<QTreeView*>();
      captions.push_back(Text(browser->windowTitle()));
      selections.push_back(tree ? Text(tree->currentIndex().data().toString()) : u"");
      if (choices.empty()) return Click(*browser, QDialogButtonBox::Cancel);
      platform_->choosing = browser;
      platform_->folder = QString::fromStdU16String(choices.front());
      choices.pop_front();
    }
    if (SelectAndConfirm(*browser, platform_->folder)) platform_->choosing = nullptr;
  });
  platform_->timer.start(10);
}

ScriptedUser::~ScriptedUser() = default;

}  // namespace marlowin::testing
