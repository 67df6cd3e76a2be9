// Shared set-up of the shell tests: settings and temporary files in a
// private folder, answers from a script, link targets recorded instead of
// opened.
#pragma once

#include <QByteArray>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>

#include "controls/link_opener.h"
#include "controls/scripted_user_query.h"
#include "controls/user_query.h"

namespace keelmend::test {

// Points the per-user settings and $TMPDIR (the work root's parent) into a
// temporary folder for the life of the object.
class IsolatedUserFiles {
 public:
  IsolatedUserFiles() {
    QVERIFY2(dir_.isValid(), "no temporary folder");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.filePath("settings"));
    QDir().mkpath(dir_.filePath("tmp"));
    previousTmp_ = qgetenv("TMPDIR");
    qputenv("TMPDIR", dir_.filePath("tmp").toLocal8Bit());
  }
  ~IsolatedUserFiles() {
    if (previousTmp_.isEmpty()) {
      qunsetenv("TMPDIR");
    } else {
      qputenv("TMPDIR", previousTmp_);
    }
  }
  QString Path(const QString& name) const { return dir_.filePath(name); }

 private:
  QTemporaryDir dir_;
  QByteArray previousTmp_;
};

// Records every link target instead of handing it to the desktop.
class RecordedLinks {
 public:
  RecordedLinks()
      : previous_(SetLinkOpener([this](const QString& target) {
          opened_ << target;
          return kOpenSucceeded;
        })) {}
  ~RecordedLinks() { SetLinkOpener(previous_); }
  const QStringList& Opened() const { return opened_; }

 private:
  QStringList opened_;
  LinkOpener previous_;
};

// Texts of the messages asked so far.
inline QStringList MessageTexts(const ScriptedUserQuery& query) {
  QStringList texts;
  for (const auto& question : query.Asked()) {
    if (question.kind == ScriptedUserQuery::Kind::kMessage) texts << question.text;
  }
  return texts;
}

inline int CountAsked(const ScriptedUserQuery& query, ScriptedUserQuery::Kind kind) {
  int count = 0;
  for (const auto& question : query.Asked()) count += question.kind == kind ? 1 : 0;
  return count;
}

}  // namespace keelmend::test
