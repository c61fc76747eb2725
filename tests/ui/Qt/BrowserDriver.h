#pragma once

// Plays the user of the Qt folder browser from inside its own event loop: once the browser
// is on screen, the test's steps run against its real widgets. A browser that is still open
// after the time limit is cancelled, so that a test fails instead of hanging.
#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFileSystemModel>
#include <QLabel>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTimer>
#include <QTreeView>

#include <functional>

namespace marlowin::testing {

class BrowserDriver {
 public:
  using Step = std::function<void(BrowserDriver&)>;

  explicit BrowserDriver(Step step, int limitMs = 30000) : step_(std::move(step)), limitMs_(limitMs) {
    clock_.start();
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start(10);
  }

  bool ran() const { return ran_; }
  bool timedOut() const { return timedOut_; }

  // The open browser's parts.
  QDialog& Dialog() const { return *dialog_; }
  QTreeView& Tree() const { return *dialog_->findChild<QTreeView*>(QStringLiteral("folderTree")); }
  QLabel* Prompt() const { return dialog_->findChild<QLabel*>(QStringLiteral("prompt")); }
  QLabel* Status() const { return dialog_->findChild<QLabel*>(QStringLiteral("status")); }
  QAbstractButton* Button(QDialogButtonBox::StandardButton which) const {
    auto* box = dialog_->findChild<QDialogButtonBox*>(QStringLiteral("buttons"));
    return box ? box->button(which) : nullptr;
  }
  QAbstractButton* Ok() const { return Button(QDialogButtonBox::Ok); }
  QAbstractButton* Cancel() const { return Button(QDialogButtonBox::Cancel); }

  // The selected folder's path, as the tree shows it.
  QString CurrentPath() const { return PathOf(Tree().currentIndex()); }
  QString PathOf(const QModelIndex& index) const {
    auto* proxy = qobject_cast<QSortFilterProxyModel*>(Tree().model());
    auto* files = qobject_cast<QFileSystemModel*>(proxy ? proxy->sourceModel() : Tree().model());
    if (!files || !index.isValid()) return QString();
    return files->filePath(proxy ? proxy->mapToSource(index) : index);
  }
  // Clicks the folder in the tree, as a user would pick it; false when the tree does not
  // show it.
  bool Pick(const QString& path) const {
    auto* proxy = qobject_cast<QSortFilterProxyModel*>(Tree().model());
    auto* files = qobject_cast<QFileSystemModel*>(proxy ? proxy->sourceModel() : Tree().model());
    if (!files) return false;
    QModelIndex index = files->index(path);
    if (proxy) index = proxy->mapFromSource(index);
    if (!Shown(index)) return false;
    Tree().setCurrentIndex(index);
    return true;
  }
  bool Shown(const QModelIndex& index) const {
    if (!index.isValid()) return false;
    for (QModelIndex up = index.parent(); up != Tree().rootIndex(); up = up.parent()) {
      if (!up.isValid()) return false;
    }
    return true;
  }

 private:
  void Poll() {
    QWidget* window = QApplication::activeModalWidget();
    auto* dialog = qobject_cast<QDialog*>(window);
    if (!ran_ && dialog && dialog->isVisible() && dialog->objectName() == QStringLiteral("folderBrowser")) {
      ran_ = true;
      dialog_ = dialog;
      step_(*this);
      return;
    }
    if (clock_.elapsed() > limitMs_ && dialog) {
      timedOut_ = true;
      dialog->reject();
    }
  }

  Step step_;
  int limitMs_;
  QElapsedTimer clock_;
  QTimer timer_;
  QDialog* dialog_ = nullptr;
  bool ran_ = false;
  bool timedOut_ = false;
};

}  // namespace marlowin::testing
