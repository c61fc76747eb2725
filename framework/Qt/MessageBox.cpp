#include "framework/MessageBox.h"

#include <QMessageBox>
#include <QString>

namespace marlowin::sys {

namespace {

QString Q(std::u16string_view text) { return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

void ShowMessage(std::u16string_view caption, std::u16string_view text, std::u16string_view details) {
  QMessageBox box(QMessageBox::Critical, Q(caption), Q(text), QMessageBox::Ok);
  // Qt has no system-modal box; the nearest is modal for the whole program and on top.
  box.setWindowModality(Qt::ApplicationModal);
  box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  if (!details.empty()) box.setDetailedText(Q(details));
  box.exec();
}

}  // namespace marlowin::sys
