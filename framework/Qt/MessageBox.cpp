#include "framework/MessageBox.h"

#include <QMessageBox>
#include <QString>
#include <QTimer>

#include "framework/Qt/DesktopBus.h"
#include "framework/Qt/Urgency.h"

namespace marlowin::framework {

namespace {

QString Q(std::u16string_view text) { return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())); }

// The box is up: the desktop is asked to bring the person to it. Each of these is a courtesy
// the desktop may not offer (no X11, no bus, no notification service); the box is shown all
// the same, so what they could not do is not the person's concern.
void CallAttention(QMessageBox& box, const MessageAttention& attention) {
  (void)SetUrgencyHint(box);
  (void)SetLauncherUrgent(true);
  (void)Notify(attention.headline, attention.body, attention.failed);
}

}  // namespace

void ShowMessage(std::u16string_view caption, std::u16string_view text, std::u16string_view details,
                 const MessageAttention& attention) {
  QMessageBox box(QMessageBox::Critical, Q(caption), Q(text), QMessageBox::Ok);
  // Qt has no system-modal box; the nearest is modal for the whole program and on top.
  box.setWindowModality(Qt::ApplicationModal);
  box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  if (!details.empty()) box.setDetailedText(Q(details));
  // Once the box is shown, from inside its own event loop: the hint needs its window.
  if (attention.call) QTimer::singleShot(0, &box, [&box, &attention] { CallAttention(box, attention); });
  box.exec();
  if (attention.call) (void)SetLauncherUrgent(false);
}

}  // namespace marlowin::framework
