#include "ui/Qt/FolderItem.h"

#include <QByteArray>
#include <QFile>

#include "platform/NativeName.h"

namespace marlowin::ui::qt {

std::u16string FromQtPath(const QString& path) {
  const QByteArray bytes = QFile::encodeName(path);
  return platform::FromNativeName(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

QString ToQtPath(std::u16string_view path) {
  const std::string bytes = platform::ToNativeName(path);
  return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

}  // namespace marlowin::ui::qt
