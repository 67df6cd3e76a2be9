#include "controls/scripted_user_query.h"

#include <QtGlobal>

namespace keelmend {
namespace {

const char* KindName(ScriptedUserQuery::Kind kind) {
  switch (kind) {
    case ScriptedUserQuery::Kind::kMessage: return "message box";
    case ScriptedUserQuery::Kind::kOpenFiles: return "open-file dialog";
    case ScriptedUserQuery::Kind::kChooseFolder: return "folder dialog";
  }
  return "question";
}

}  // namespace

ScriptedUserQuery::ScriptedUserQuery(OnUnscripted policy) : policy_(policy) {}

void ScriptedUserQuery::AnswerMessage(int button_id) {
  std::lock_guard lock(mutex_);
  answers_.append({Kind::kMessage, button_id, {}});
}

void ScriptedUserQuery::AnswerFiles(const QStringList& paths) {
  std::lock_guard lock(mutex_);
  answers_.append({Kind::kOpenFiles, 0, paths});
}

void ScriptedUserQuery::AnswerFolder(const QString& folder) {
  std::lock_guard lock(mutex_);
  answers_.append({Kind::kChooseFolder, 0, folder.isEmpty() ? QStringList() : QStringList{folder}});
}

QList<ScriptedUserQuery::Question> ScriptedUserQuery::Asked() const {
  std::lock_guard lock(mutex_);
  return asked_;
}

QList<ScriptedUserQuery::Question> ScriptedUserQuery::Unscripted() const {
  std::lock_guard lock(mutex_);
  return unscripted_;
}

int ScriptedUserQuery::PendingAnswers() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(answers_.size());
}

bool ScriptedUserQuery::Take(const Question& question, Answer* answer) {
  std::unique_lock lock(mutex_);
  asked_.append(question);
  if (!answers_.isEmpty() && answers_.front().kind == question.kind) {
    *answer = answers_.takeFirst();
    return true;
  }
  unscripted_.append(question);
  const char* expected = answers_.isEmpty() ? "nothing" : KindName(answers_.front().kind);
  lock.unlock();
  if (policy_ == OnUnscripted::kFatal) {
    qFatal("Unscripted %s (script expects %s): \"%s\"", KindName(question.kind),
           expected, qUtf8Printable(question.text));
  }
  qWarning("Unscripted %s (script expects %s): \"%s\"", KindName(question.kind),
           expected, qUtf8Printable(question.text));
  return false;
}

int ScriptedUserQuery::MessageBox(QWidget* owner, const QString& text, int style) {
  Answer answer;
  if (!Take({Kind::kMessage, owner, text, {}, style}, &answer)) return kIdCancel;
  return answer.button_id;
}

QStringList ScriptedUserQuery::OpenFiles(QWidget* owner, const QString& caption,
                                         const QString& filter) {
  Answer answer;
  if (!Take({Kind::kOpenFiles, owner, caption, filter, 0}, &answer)) return {};
  return answer.paths;
}

QString ScriptedUserQuery::ChooseFolder(QWidget* owner, const QString& title) {
  Answer answer;
  if (!Take({Kind::kChooseFolder, owner, title, {}, 0}, &answer)) return {};
  return answer.paths.value(0);
}

}  // namespace keelmend
