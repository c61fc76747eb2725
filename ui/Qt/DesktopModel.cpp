#include "ui/Qt/DesktopModel.h"

#include <QAbstractFileIconProvider>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QSet>
#include <QStorageInfo>

#include <algorithm>
#include <utility>

namespace marlowin::ui::qt {
namespace {

// File systems that hold no one's footage, wherever they are mounted.
bool IsPseudo(const QString& type) {
  static const QSet<QString> kPseudo = {
      QStringLiteral("autofs"),      QStringLiteral("binfmt_misc"), QStringLiteral("bpf"),
      QStringLiteral("cgroup"),      QStringLiteral("cgroup2"),     QStringLiteral("configfs"),
      QStringLiteral("debugfs"),     QStringLiteral("devpts"),      QStringLiteral("devtmpfs"),
      QStringLiteral("efivarfs"),    QStringLiteral("fusectl"),     QStringLiteral("hugetlbfs"),
      QStringLiteral("mqueue"),      QStringLiteral("nsfs"),        QStringLiteral("overlay"),
      QStringLiteral("proc"),        QStringLiteral("pstore"),      QStringLiteral("ramfs"),
      QStringLiteral("rpc_pipefs"),  QStringLiteral("securityfs"),  QStringLiteral("selinuxfs"),
      QStringLiteral("sysfs"),       QStringLiteral("tmpfs"),       QStringLiteral("tracefs"),
      QStringLiteral("fuse.portal"), QStringLiteral("fuse.gvfsd-fuse"), QStringLiteral("fuse.lxcfs"),
      QStringLiteral("fuse.snapfuse"), QStringLiteral("fuse.xdg-document-portal"),
  };
  return kPseudo.contains(type);
}

bool IsNetwork(const QString& type) {
  static const QSet<QString> kNetwork = {
      QStringLiteral("nfs"),   QStringLiteral("nfs4"),  QStringLiteral("cifs"),  QStringLiteral("smb3"),
      QStringLiteral("smbfs"), QStringLiteral("sshfs"), QStringLiteral("davfs"), QStringLiteral("afs"),
      QStringLiteral("ncpfs"),
  };
  return kNetwork.contains(type) || type.startsWith(QStringLiteral("fuse."));
}

bool IsAt(const QString& path, const QString& place) {
  return path == place || path.startsWith(place + u'/');
}

bool IsRemovablePlace(const QString& path) {
  // Below /media and /run/media (where desktops mount cards and drives), at or below /mnt.
  return (path.startsWith(QStringLiteral("/media/")) || path.startsWith(QStringLiteral("/run/media/")) ||
          IsAt(path, QStringLiteral("/mnt")));
}

QString Clean(const QString& path) { return QDir::cleanPath(path); }

}  // namespace

std::vector<MountedVolume> BrowsableVolumes(const std::vector<MountedVolume>& mounted, const QString& homePath) {
  std::vector<MountedVolume> kept;
  QSet<QString> places, devices;
  const QString home = Clean(homePath);
  for (MountedVolume volume : mounted) {
    volume.rootPath = Clean(volume.rootPath);
    if (!volume.ready || volume.rootPath.isEmpty() || volume.rootPath == QStringLiteral("/") ||
        volume.rootPath == home || IsPseudo(volume.fileSystemType)) {
      continue;
    }
    if (!IsRemovablePlace(volume.rootPath) && !IsNetwork(volume.fileSystemType)) continue;
    if (places.contains(volume.rootPath) || (!volume.device.isEmpty() && devices.contains(volume.device))) continue;
    places.insert(volume.rootPath);
    if (!volume.device.isEmpty()) devices.insert(volume.device);
    kept.push_back(std::move(volume));
  }
  std::sort(kept.begin(), kept.end(),
            [](const MountedVolume& a, const MountedVolume& b) { return a.rootPath < b.rootPath; });
  return kept;
}

std::vector<MountedVolume> MountedVolumes() {
  std::vector<MountedVolume> volumes;
  for (const QStorageInfo& info : QStorageInfo::mountedVolumes()) {
    volumes.push_back({info.rootPath(), QString::fromUtf8(info.fileSystemType()), QString::fromUtf8(info.device()),
                       info.name(), info.isValid() && info.isReady()});
  }
  return volumes;
}

std::vector<TopFolder> DesktopFolders(const QString& homePath, const std::vector<MountedVolume>& volumes) {
  std::vector<TopFolder> tops;
  QSet<QString> seen{QStringLiteral("/")};
  const QString home = Clean(homePath);
  if (!home.isEmpty() && !seen.contains(home) && QFileInfo(home).isDir()) {
    tops.push_back({TopFolder::Kind::kHome, home, QStringLiteral("Home")});
    seen.insert(home);
  }
  for (const MountedVolume& volume : volumes) {
    const QString path = Clean(volume.rootPath);
    if (seen.contains(path)) continue;
    seen.insert(path);
    const QString name = volume.name.isEmpty() ? QFileInfo(path).fileName() : volume.name;
    tops.push_back({IsNetwork(volume.fileSystemType) ? TopFolder::Kind::kNetworkVolume : TopFolder::Kind::kVolume,
                    path, name.isEmpty() ? path : name});
  }
  tops.push_back({TopFolder::Kind::kRoot, QStringLiteral("/"), QStringLiteral("File System")});
  return tops;
}

DesktopModel::DesktopModel(QFileSystemModel* files, std::vector<TopFolder> tops, QObject* parent)
    : QAbstractProxyModel(parent), files_(files), tops_(std::move(tops)) {
  QAbstractProxyModel::setSourceModel(files);
  FindTops();
  Connect();
}

DesktopModel::~DesktopModel() = default;

void DesktopModel::FindTops() {
  topSources_.clear();
  for (const TopFolder& top : tops_) topSources_.emplace_back(files_->index(top.path));
}

DesktopModel::Node* DesktopModel::NodeOf(const QModelIndex& proxyIndex) const {
  return proxyIndex.isValid() ? static_cast<Node*>(proxyIndex.internalPointer()) : nullptr;
}

DesktopModel::Node* DesktopModel::NodeFor(int top, const QModelIndex& source) const {
  const QPair<int, quintptr> key(top, source.internalId());
  Node*& node = nodes_[key];
  if (!node) {
    owned_.push_back(std::make_unique<Node>(Node{top, QPersistentModelIndex(source)}));
    node = owned_.back().get();
  } else if (node->source != source) {
    node->source = source;  // the source made a new folder where a gone one was
  }
  return node;
}

bool DesktopModel::IsTop(const Node& node) const { return node.source == topSources_[node.top]; }

bool DesktopModel::Hides(int top, const QModelIndex& sourceParent) const {
  return hidden_ && sourceParent == hidden_->parent &&
         std::find(hiddenIn_.begin(), hiddenIn_.end(), top) != hiddenIn_.end();
}

int DesktopModel::RowIn(int top, const QModelIndex& source) const {
  const int row = source.row();
  if (!hidden_ || row < hidden_->first || !Hides(top, source.parent())) return row;
  return row >= hidden_->first + hidden_->count ? row - hidden_->count : -1;
}

QModelIndex DesktopModel::ProxyFor(int top, const QModelIndex& source) const {
  const QModelIndex first = source.sibling(source.row(), 0);
  if (first == topSources_[top]) return createIndex(top, 0, NodeFor(top, first));
  const int row = RowIn(top, first);
  return row < 0 ? QModelIndex() : createIndex(row, 0, NodeFor(top, first));
}

bool DesktopModel::InBranch(const QModelIndex& source, int top) const {
  if (!topSources_[top].isValid()) return false;
  for (QModelIndex up = source.sibling(source.row(), 0); up.isValid(); up = up.parent()) {
    if (up == topSources_[top]) return true;
  }
  return false;
}

QModelIndex DesktopModel::index(int row, int column, const QModelIndex& parent) const {
  if (row < 0 || column != 0) return {};
  if (!parent.isValid()) {
    if (row >= static_cast<int>(tops_.size())) return {};
    return createIndex(row, 0, NodeFor(row, topSources_[row]));
  }
  const Node* up = NodeOf(parent);
  if (!up || !up->source.isValid()) return {};
  const int sourceRow = hidden_ && row >= hidden_->first && Hides(up->top, up->source) ? row + hidden_->count : row;
  const QModelIndex source = files_->index(sourceRow, 0, up->source);
  return source.isValid() ? createIndex(row, 0, NodeFor(up->top, source)) : QModelIndex();
}

QModelIndex DesktopModel::parent(const QModelIndex& child) const {
  const Node* node = NodeOf(child);
  if (!node || IsTop(*node) || !node->source.isValid()) return {};
  const QModelIndex up = node->source.parent();
  return up.isValid() ? ProxyFor(node->top, up) : QModelIndex();
}

int DesktopModel::rowCount(const QModelIndex& parent) const {
  if (!parent.isValid()) return static_cast<int>(tops_.size());
  if (parent.column() != 0) return 0;
  const Node* node = NodeOf(parent);
  if (!node || !node->source.isValid()) return 0;
  const int rows = files_->rowCount(node->source);
  return Hides(node->top, node->source) ? rows - hidden_->count : rows;
}

int DesktopModel::columnCount(const QModelIndex&) const { return 1; }

bool DesktopModel::hasChildren(const QModelIndex& parent) const {
  if (!parent.isValid()) return !tops_.empty();
  const Node* node = NodeOf(parent);
  return node && node->source.isValid() && files_->hasChildren(node->source);
}

bool DesktopModel::canFetchMore(const QModelIndex& parent) const {
  const Node* node = NodeOf(parent);
  return node && node->source.isValid() && files_->canFetchMore(node->source);
}

void DesktopModel::fetchMore(const QModelIndex& parent) {
  const Node* node = NodeOf(parent);
  if (node && node->source.isValid()) files_->fetchMore(node->source);
}

QVariant DesktopModel::data(const QModelIndex& index, int role) const {
  const Node* node = NodeOf(index);
  if (!node) return {};
  if (!IsTop(*node)) return files_->data(node->source, role);
  const TopFolder& top = tops_[static_cast<std::size_t>(node->top)];
  switch (role) {
    case Qt::DisplayRole:
      return top.name;
    case Qt::ToolTipRole:
      return top.path;
    case Qt::DecorationRole:
      if (const QAbstractFileIconProvider* icons = files_->iconProvider()) {
        switch (top.kind) {
          case TopFolder::Kind::kVolume:
            return icons->icon(QAbstractFileIconProvider::Drive);
          case TopFolder::Kind::kNetworkVolume:
            return icons->icon(QAbstractFileIconProvider::Network);
          case TopFolder::Kind::kRoot:
            return icons->icon(QAbstractFileIconProvider::Computer);
          case TopFolder::Kind::kHome:
            break;
        }
      }
      break;
    default:
      break;
  }
  return node->source.isValid() ? files_->data(node->source, role) : QVariant();
}

Qt::ItemFlags DesktopModel::flags(const QModelIndex& index) const {
  const Node* node = NodeOf(index);
  if (!node) return Qt::NoItemFlags;
  if (!node->source.isValid()) return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  return files_->flags(node->source) & ~(Qt::ItemIsEditable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled);
}

QModelIndex DesktopModel::mapToSource(const QModelIndex& proxyIndex) const {
  const Node* node = NodeOf(proxyIndex);
  return node ? QModelIndex(node->source) : QModelIndex();
}

QModelIndex DesktopModel::mapFromSource(const QModelIndex& sourceIndex) const {
  if (!sourceIndex.isValid()) return {};
  // The nearest top item: the first one met on the way up.
  for (QModelIndex up = sourceIndex.sibling(sourceIndex.row(), 0); up.isValid(); up = up.parent()) {
    for (int top = 0; top < static_cast<int>(tops_.size()); ++top) {
      if (topSources_[top].isValid() && up == topSources_[top]) return ProxyFor(top, sourceIndex);
    }
  }
  return {};
}

// The source's changes, told once for each top item whose branch they touch, one branch after
// the other (a model tells one change at a time).
void DesktopModel::Connect() {
  connect(files_, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex& parent, int first, int last) {
    hiddenIn_.clear();
    for (int top = 0; top < static_cast<int>(tops_.size()); ++top) {
      if (InBranch(parent, top)) hiddenIn_.push_back(top);
    }
    if (hiddenIn_.empty()) return;
    hidden_ = Hidden{parent, first, last - first + 1};
    for (const int top : std::vector<int>(hiddenIn_)) {
      beginInsertRows(ProxyFor(top, parent), first, last);
      hiddenIn_.erase(std::find(hiddenIn_.begin(), hiddenIn_.end(), top));
      endInsertRows();
    }
    hidden_.reset();
  });
  connect(files_, &QAbstractItemModel::rowsAboutToBeRemoved, this,
          [this](const QModelIndex& parent, int first, int last) {
            // A top item's own folder going away (a volume taken out): start afresh.
            for (const QPersistentModelIndex& top : topSources_) {
              for (QModelIndex up = top; up.isValid(); up = up.parent()) {
                if (up.parent() == parent && up.row() >= first && up.row() <= last) {
                  resetting_ = true;
                  beginResetModel();
                  return;
                }
              }
            }
            hiddenIn_.clear();
            hidden_ = Hidden{parent, first, last - first + 1};
            for (int top = 0; top < static_cast<int>(tops_.size()); ++top) {
              if (!InBranch(parent, top)) continue;
              beginRemoveRows(ProxyFor(top, parent), first, last);
              hiddenIn_.push_back(top);
              endRemoveRows();
            }
          });
  connect(files_, &QAbstractItemModel::rowsRemoved, this, [this] {
    hidden_.reset();  // gone from the source too now
    hiddenIn_.clear();
    if (resetting_) {
      resetting_ = false;
      nodes_.clear();
      owned_.clear();
      FindTops();
      endResetModel();
    }
  });
  connect(files_, &QAbstractItemModel::dataChanged, this,
          [this](const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles) {
            const QModelIndex parent = topLeft.parent();
            for (int top = 0; top < static_cast<int>(tops_.size()); ++top) {
              const QModelIndex own = topSources_[top];
              if (own.isValid() && own.parent() == parent && own.row() >= topLeft.row() &&
                  own.row() <= bottomRight.row()) {
                emit dataChanged(index(top, 0), index(top, 0), roles);
              }
              if (InBranch(parent, top)) {
                emit dataChanged(ProxyFor(top, files_->index(topLeft.row(), 0, parent)),
                                 ProxyFor(top, files_->index(bottomRight.row(), 0, parent)), roles);
              }
            }
          });
  connect(files_, &QAbstractItemModel::layoutAboutToBeChanged, this, [this] {
    emit layoutAboutToBeChanged();
    layoutOld_ = persistentIndexList();
  });
  connect(files_, &QAbstractItemModel::layoutChanged, this, [this] {
    // The nodes' source indexes moved with the source; the places shown follow them.
    for (const QModelIndex& old : std::as_const(layoutOld_)) {
      Node* node = NodeOf(old);
      QModelIndex now;
      if (node && IsTop(*node)) {
        now = createIndex(node->top, 0, node);
      } else if (node && node->source.isValid()) {
        now = createIndex(RowIn(node->top, node->source), 0, node);
      }
      changePersistentIndex(old, now);
    }
    layoutOld_.clear();
    emit layoutChanged();
  });
  const auto beginReset = [this] { beginResetModel(); };
  const auto endReset = [this] {
    nodes_.clear();
    owned_.clear();
    FindTops();
    endResetModel();
  };
  connect(files_, &QAbstractItemModel::modelAboutToBeReset, this, beginReset);
  connect(files_, &QAbstractItemModel::modelReset, this, endReset);
  connect(files_, &QAbstractItemModel::rowsAboutToBeMoved, this, beginReset);
  connect(files_, &QAbstractItemModel::rowsMoved, this, endReset);
}

}  // namespace marlowin::ui::qt
