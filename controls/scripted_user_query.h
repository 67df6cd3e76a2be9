// ScriptedUserQuery: a UserQuery for tests that answers from a script.
#pragma once

#include <mutex>
#include <QList>
#include <QString>
#include <QStringList>

#include "controls/user_query.h"

namespace keelmend {

// Answers are queued in the order the questions will come; every question is
// recorded. A question with no answer queued, or whose queued answer is of
// another kind, fails loudly: by default qFatal with the question, so a test
// never hangs on a real dialog; with kRecordUnscripted it is recorded in
// Unscripted() and answered kIdCancel / nothing instead.
//
// Install with ScopedUserQuery (controls/user_query.h). Thread-safe.
class ScriptedUserQuery final : public UserQuery {
 public:
  enum class Kind { kMessage, kOpenFiles, kChooseFolder };
  enum class OnUnscripted { kFatal, kRecordUnscripted };

  struct Question {
    Kind kind;
    QWidget* owner;
    QString text;    // message text, dialog caption or folder title
    QString filter;  // open-file filter
    int style;       // message style (0 for dialogs)
  };

  explicit ScriptedUserQuery(OnUnscripted policy = OnUnscripted::kFatal);

  // Queue answers.
  void AnswerMessage(int button_id);
  void AnswerFiles(const QStringList& paths);  // empty: cancelled
  void AnswerFolder(const QString& folder);    // empty: cancelled

  QList<Question> Asked() const;
  QList<Question> Unscripted() const;
  int PendingAnswers() const;

  int MessageBox(QWidget* owner, const QString& text, int style) override;
  QStringList OpenFiles(QWidget* owner, const QString& caption,
                        const QString& filter) override;
  QString ChooseFolder(QWidget* owner, const QString& title) override;

 private:
  struct Answer {
    Kind kind = Kind::kMessage;
    int button_id = 0;
    QStringList paths;
  };
  // Records `question` and pops its answer; false when unscripted.
  bool Take(const Question& question, Answer* answer);

  OnUnscripted policy_;
  mutable std::mutex mutex_;
  QList<Answer> answers_;
  QList<Question> asked_;
  QList<Question> unscripted_;
};

}  // namespace keelmend
