#include "controls/user_query.h"

#include <atomic>

#include <QFileDialog>

#include "controls/gui_thread.h"
#include "controls/message_box_template.h"

namespace keelmend {
namespace {

std::atomic<UserQuery*> g_installed{nullptr};

DialogUserQuery& DefaultQuery() {
  static DialogUserQuery query;
  return query;
}

}  // namespace

int DialogUserQuery::MessageBox(QWidget* owner, const QString& text, int style) {
  return RunOnGuiThread([&] {
    CPPMessageBoxTemplate box(owner, text, style);
    return box.Run();
  });
}

QStringList DialogUserQuery::OpenFiles(QWidget* owner, const QString& caption,
                                       const QString& filter) {
  return RunOnGuiThread([&] {
    return QFileDialog::getOpenFileNames(owner, caption, QString(), filter);
  });
}

QString DialogUserQuery::ChooseFolder(QWidget* owner, const QString& title) {
  return RunOnGuiThread([&] {
    return QFileDialog::getExistingDirectory(owner, title, QString(),
                                             QFileDialog::ShowDirsOnly);
  });
}

UserQuery& CurrentUserQuery() {
  UserQuery* query = g_installed.load();
  return query != nullptr ? *query : DefaultQuery();
}

UserQuery* SetUserQuery(UserQuery* query) {
  UserQuery* previous = g_installed.exchange(query);
  return previous != nullptr ? previous : &DefaultQuery();
}

}  // namespace keelmend
