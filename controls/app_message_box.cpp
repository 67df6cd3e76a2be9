#include "controls/app_message_box.h"

#include <QApplication>
#include <QWidget>

#include "controls/gui_thread.h"

namespace keelmend {
namespace {

// The window a box without an owner is shown over: the active modal dialog
// if there is one, else the active window. Only the window thread has
// active windows; a worker's box has no owner.
QWidget* ActiveOwner() {
  if (!OnGuiThread()) return nullptr;
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  return QApplication::activeWindow();
}

}  // namespace

int AppMessageBox(QWidget* owner, const QString& text, int style) {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
    qWarning("AppMessageBox without a QApplication: %s", qUtf8Printable(text));
    return kIdCancel;
  }
  if (owner == nullptr) owner = ActiveOwner();
  return RunOnGuiThread(
      [&] { return CurrentUserQuery().MessageBox(owner, text, style); });
}

}  // namespace keelmend
