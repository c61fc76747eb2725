#include "ui/Qt/FolderBrowser.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTreeView>
#include <QVBoxLayout>

#include "ui/Qt/DesktopModel.h"
#include "ui/Qt/FolderItem.h"

namespace marlowin::ui::qt {
namespace {

QString WithSlash(const QString& path) { return path.endsWith(u'/') ? path : path + u'/'; }

// Shows the root folder as the single top item, the way the shell roots its tree: at the
// root's level only the root itself, above it its ancestors, below it everything.
class RootOnlyFilter final : public QSortFilterProxyModel {
 public:
  explicit RootOnlyFilter(const QString& rootPath, QObject* parent)
      : QSortFilterProxyModel(parent), rootWithSlash_(rootPath.isEmpty() ? QString() : WithSlash(rootPath)) {}

 protected:
  bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
    if (rootWithSlash_.isEmpty()) return true;
    const auto* files = static_cast<const QFileSystemModel*>(sourceModel());
    const QString path = WithSlash(files->filePath(files->index(row, 0, parent)));
    return path.startsWith(rootWithSlash_) || rootWithSlash_.startsWith(path);
  }

 private:
  QString rootWithSlash_;
};

}  // namespace

FolderBrowser::FolderBrowser(const QString& rootPath, const QString& prompt, bool withStatus,
                             DirBrowseCallback callback, std::intptr_t userData)
    : callback_(callback), userData_(userData) {
  setObjectName(QStringLiteral("folderBrowser"));
  setWindowTitle(QStringLiteral("Browse For Folder"));
  setModal(true);

  model_ = new QFileSystemModel(this);
  model_->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot);
  model_->setReadOnly(true);
  model_->setRootPath(rootPath.isEmpty() ? QDir::rootPath() : rootPath);
  if (rootPath.isEmpty()) {
    const QString home = QDir::homePath();
    view_ = new DesktopModel(model_, DesktopFolders(home, BrowsableVolumes(MountedVolumes(), home)), this);
  } else {
    auto* rootOnly = new RootOnlyFilter(rootPath, this);
    rootOnly->setSourceModel(model_);
    view_ = rootOnly;
    rootWithSlash_ = WithSlash(rootPath);
  }

  auto* promptLabel = new QLabel(prompt, this);
  promptLabel->setObjectName(QStringLiteral("prompt"));
  promptLabel->setWordWrap(true);

  tree_ = new QTreeView(this);
  tree_->setObjectName(QStringLiteral("folderTree"));
  tree_->setModel(view_);
  // With a root folder it is the one top item; without, the desktop's top folders are.
  if (!rootPath.isEmpty()) tree_->setRootIndex(view_->mapFromSource(model_->index(rootPath).parent()));
  // The home folder opens with the browser, where people keep their footage.
  if (auto* desktop = dynamic_cast<DesktopModel*>(view_);
      desktop && !desktop->Tops().empty() && desktop->Tops().front().kind == TopFolder::Kind::kHome) {
    tree_->expand(view_->index(0, 0));
  }
  tree_->setHeaderHidden(true);
  for (int column = 1; column < model_->columnCount(); ++column) tree_->hideColumn(column);
  tree_->setSelectionMode(QAbstractItemView::SingleSelection);
  tree_->setMinimumSize(280, 260);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(promptLabel);
  layout->addWidget(tree_, 1);
  if (withStatus) {
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("status"));
    layout->addWidget(status_);
  }
  buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons_->setObjectName(QStringLiteral("buttons"));
  layout->addWidget(buttons_);
  connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);

  connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) { ReportSelection(current); });
  // Folders are listed in the background; the rows they add above the selection would push
  // it out of sight, so it is brought back into view until the user moves it.
  const auto bringBack = [this] {
    if (keepSelectionInView_ && tree_->currentIndex().isValid()) tree_->scrollTo(tree_->currentIndex());
  };
  connect(model_, &QFileSystemModel::directoryLoaded, this, bringBack);
  connect(view_, &QAbstractItemModel::layoutChanged, this, bringBack);
  connect(view_, &QAbstractItemModel::rowsInserted, this, bringBack);
  connect(tree_, &QTreeView::pressed, this, [this] { keepSelectionInView_ = false; });
}

FolderBrowser::~FolderBrowser() = default;

std::optional<QString> FolderBrowser::Run() {
  adjustSize();
  if (callback_) callback_(Window(), kBffmInitialized, 0, userData_);
  // With nothing chosen by the callback the tree opens on its top item, which is a first
  // selection change, as in the shell's tree.
  if (!tree_->currentIndex().isValid()) {
    const QModelIndex top = view_->index(0, 0, tree_->rootIndex());
    if (top.isValid()) tree_->setCurrentIndex(top);
  }
  if (exec() != QDialog::Accepted) return std::nullopt;
  return PathOf(tree_->currentIndex());
}

void FolderBrowser::SelectPath(const QString& path) {
  if (path.isEmpty()) return;
  const QString wanted = QDir::cleanPath(path);
  if (!rootWithSlash_.isEmpty() && !WithSlash(wanted).startsWith(rootWithSlash_)) return;
  const QModelIndex index = view_->mapFromSource(model_->index(wanted));
  if (!index.isValid()) return;
  for (QModelIndex up = index.parent(); up.isValid(); up = up.parent()) tree_->expand(up);
  tree_->setCurrentIndex(index);
  tree_->scrollTo(index);
  keepSelectionInView_ = true;
}

void FolderBrowser::SetStatusText(const QString& text) {
  if (status_) status_->setText(text);
}

void FolderBrowser::EnableOk(bool enable) { buttons_->button(QDialogButtonBox::Ok)->setEnabled(enable); }

FolderBrowser* FolderBrowser::FromWindow(DirWindow* window) {
  return reinterpret_cast<FolderBrowser*>(window);
}

DirWindow* FolderBrowser::Window() { return reinterpret_cast<DirWindow*>(this); }

QString FolderBrowser::PathOf(const QModelIndex& index) const {
  if (!index.isValid()) return QString();
  return model_->filePath(view_->mapToSource(index));
}

void FolderBrowser::ReportSelection(const QModelIndex& current) {
  if (!callback_) return;
  const QString path = PathOf(current);
  // The item lives for the length of the notification, as the shell's does.
  FolderItem item;
  item.hasPath = !path.isEmpty();
  if (item.hasPath) item.path = FromQtPath(path);
  callback_(Window(), kBffmSelChanged, reinterpret_cast<std::intptr_t>(AsList(&item)), userData_);
}

}  // namespace marlowin::ui::qt
