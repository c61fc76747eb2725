#pragma once

// What the Qt folder browser hands out as an item list: a folder of the file system, or an
// item without a file-system path.
#include <QString>

#include <string>

#include "ui/DirShell.h"

namespace marlowin::ui::qt {

struct FolderItem {
  bool hasPath = false;
  std::u16string path;
};

inline DirItemList* AsList(FolderItem* item) { return reinterpret_cast<DirItemList*>(item); }
inline const FolderItem* AsItem(const DirItemList* item) {
  return reinterpret_cast<const FolderItem*>(item);
}

// Paths cross between Qt and the program as the file system's own bytes, so that a name
// that is not UTF-8 means the same file on both sides.
std::u16string FromQtPath(const QString& path);
QString ToQtPath(std::u16string_view path);

}  // namespace marlowin::ui::qt
