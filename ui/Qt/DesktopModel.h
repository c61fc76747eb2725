#pragma once

// The top level of the Linux folder browser, the counterpart of the Windows desktop: the home
// folder, each mounted removable or network volume, and the file system's root, each with its
// folders below it, over one QFileSystemModel.
#include <QAbstractProxyModel>
#include <QHash>
#include <QPair>
#include <QPersistentModelIndex>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class QFileSystemModel;

namespace marlowin::ui::qt {

// A mounted file system, as QStorageInfo tells it.
struct MountedVolume {
  QString rootPath;        // where it is mounted
  QString fileSystemType;  // "ext4", "vfat", "nfs4", "fuse.sshfs"...
  QString device;          // "/dev/sdb1", "server:/export"...
  QString name;            // its label; may be empty
  bool ready = true;
};

// The volumes worth a place at the top: those mounted under /media, /run/media or /mnt, and
// those of network file systems (nfs, cifs, smb3, sshfs, fuse.*), leaving out pseudo file
// systems, the root itself, the home folder, and a second mount of the same place or device.
// Sorted by where they are mounted.
std::vector<MountedVolume> BrowsableVolumes(const std::vector<MountedVolume>& mounted, const QString& homePath);

// What QStorageInfo::mountedVolumes() tells now.
std::vector<MountedVolume> MountedVolumes();

struct TopFolder {
  enum class Kind { kHome, kVolume, kNetworkVolume, kRoot };
  Kind kind;
  QString path;
  QString name;  // as shown
};

// The home folder, the volumes, the root, in that order; each place once.
std::vector<TopFolder> DesktopFolders(const QString& homePath, const std::vector<MountedVolume>& volumes);

// Shows `tops` as the top items, each with the folders of `files` below it. A folder can be
// reached under more than one top item (the home folder also under the root); mapFromSource
// gives the way through the nearest top item.
class DesktopModel final : public QAbstractProxyModel {
 public:
  DesktopModel(QFileSystemModel* files, std::vector<TopFolder> tops, QObject* parent);
  ~DesktopModel() override;

  QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QModelIndex mapToSource(const QModelIndex& proxyIndex) const override;
  QModelIndex mapFromSource(const QModelIndex& sourceIndex) const override;

  const std::vector<TopFolder>& Tops() const { return tops_; }

 private:
  // One place in the tree: a folder of the source reached through one top item.
  struct Node {
    int top;
    QPersistentModelIndex source;
  };
  Node* NodeOf(const QModelIndex& proxyIndex) const;
  Node* NodeFor(int top, const QModelIndex& source) const;
  QModelIndex ProxyFor(int top, const QModelIndex& source) const;
  bool IsTop(const Node& node) const;
  bool InBranch(const QModelIndex& source, int top) const;  // the top's folder or below it
  bool Hides(int top, const QModelIndex& sourceParent) const;
  int RowIn(int top, const QModelIndex& source) const;  // -1 while hidden there
  void FindTops();
  void Connect();

  QFileSystemModel* files_;
  std::vector<TopFolder> tops_;
  std::vector<QPersistentModelIndex> topSources_;
  mutable QHash<QPair<int, quintptr>, Node*> nodes_;
  mutable std::vector<std::unique_ptr<Node>> owned_;
  // While a change of the source is told branch after branch, the branches that have not been
  // told yet of inserted rows, or have been told already of removed ones, do not show them.
  struct Hidden {
    QModelIndex parent;
    int first;
    int count;
  };
  std::optional<Hidden> hidden_;
  std::vector<int> hiddenIn_;  // the top items whose branches hide them
  bool resetting_ = false;
  QModelIndexList layoutOld_;  // the persistent indexes across a layout change
};

}  // namespace marlowin::ui::qt
