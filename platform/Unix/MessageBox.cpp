#include "platform/MessageBox.h"

#include <QMessageBox>
#include <QString>

namespace marlowin::sys {

void ShowMessage(std::u16string_view caption, std::u16string_view text, std::u16string_view details) {
  QMessageBox box(QMessageBox::Critical, QString::fromUtf16(caption.data(), static_cast<qsizetype>(caption.size())),
                  QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())), QMessageBox::Ok);
  // Qt has no system-modal box; the nearest is modal for the whole program and on top.
  box.setWindowModality(Qt::ApplicationModal);
  box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  if (!details.empty()) box.setDetailedText(QString::fromUtf16(details.data(), static_cast<qsizetype>(details.size())));
  box.exec();
}

}  // namespace marlowin::sys
