#pragma once

// The Qt folder browser: the prompt above a tree of folders only, an optional status line,
// OK and Cancel. It reports being up, each selection change and the confirmation through
// the browse callback, as the Windows shell does.
#include <QDialog>
#include <QString>

#include <optional>

#include "ui/DirShell.h"

class QAbstractProxyModel;
class QDialogButtonBox;
class QFileSystemModel;
class QLabel;
class QModelIndex;
class QTreeView;

namespace marlowin::ui::qt {

class FolderBrowser final : public QDialog {
 public:
  // rootPath empty gives the tree the top level of a desktop: the home folder (open), each
  // mounted removable or network volume, and the file system's root (DesktopModel.h).
  FolderBrowser(const QString& rootPath, const QString& prompt, bool withStatus,
                DirBrowseCallback callback, std::intptr_t userData);
  ~FolderBrowser() override;

  // Runs the dialog; the confirmed folder's path, an empty path for a confirmed item that
  // has none, or nothing when the user cancels.
  std::optional<QString> Run();

  // The requests of the callback.
  void SelectPath(const QString& path);
  void SetStatusText(const QString& text);
  void EnableOk(bool enable);

  static FolderBrowser* FromWindow(DirWindow* window);
  DirWindow* Window();

 private:
  QString PathOf(const QModelIndex& index) const;
  void ReportSelection(const QModelIndex& current);

  DirBrowseCallback callback_;
  std::intptr_t userData_;
  QFileSystemModel* model_;
  QAbstractProxyModel* view_;  // the folders as the tree shows them
  QTreeView* tree_;
  QString rootWithSlash_;  // empty without a root folder
  QLabel* status_ = nullptr;
  bool keepSelectionInView_ = false;
  QDialogButtonBox* buttons_;
};

}  // namespace marlowin::ui::qt
