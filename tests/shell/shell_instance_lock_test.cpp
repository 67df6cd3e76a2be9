// The single-instance guard and the start-up's refusal of a second copy.
#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>

#include <filesystem>
#include <fstream>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "controls/app_message_box.h"
#include "platform/instance_lock.h"
#include "shell/salvor_app.h"
#include "shell_test_support.h"

using namespace keelmend;
namespace fs = std::filesystem;

class InstanceLockTest : public QObject {
  Q_OBJECT

 private:
  fs::path Dir(const char* name) {
    const fs::path dir = fs::path(temp_.path().toStdString()) / name;
    fs::create_directories(dir);
    return dir;
  }
  QTemporaryDir temp_;

 private slots:
  void firstHoldsSecondIsRefused() {
    const auto dir = Dir("refused");
    InstanceLock first(kInstanceMutexName, {dir});
    QVERIFY(first.Held());
    QVERIFY(!first.AlreadyRunning());
    InstanceLock second(kInstanceMutexName, {dir});
    QVERIFY(second.AlreadyRunning());
    QVERIFY(!second.Held());
    QCOMPARE(second.LockFile(), first.LockFile());
  }

  void nameIsFreeAgainAfterTheHolderEnds() {
    const auto dir = Dir("again");
    { InstanceLock first(kInstanceMutexName, {dir}); QVERIFY(first.Held()); }
    InstanceLock next(kInstanceMutexName, {dir});
    QVERIFY(next.Held());
  }

  void otherNamesDoNotCollide() {
    const auto dir = Dir("names");
    InstanceLock first(kInstanceMutexName, {dir});
    InstanceLock other("Global\\{another-program}", {dir});
    QVERIFY(first.Held());
    QVERIFY(other.Held());
  }

  // flock belongs to the open file, so another process sees it too.
  void anotherProcessIsRefused() {
    const auto dir = Dir("process");
    InstanceLock first(kInstanceMutexName, {dir});
    QVERIFY(first.Held());
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
      InstanceLock second(kInstanceMutexName, {dir});
      ::_exit(second.AlreadyRunning() ? 0 : 1);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
  }

  // Another user's copy must be able to open the file and see the lock.
  void lockFileIsOpenToEveryUser() {
    const auto dir = Dir("mode");
    const mode_t old = ::umask(077);
    InstanceLock first(kInstanceMutexName, {dir});
    ::umask(old);
    QVERIFY(first.Held());
    struct stat info {};
    QCOMPARE(::stat(first.LockFile().c_str(), &info), 0);
    QCOMPARE(info.st_mode & 0777, mode_t{0666});
  }

  void lockFileName_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("file");
    QTest::newRow("program's name")
        << QString::fromLatin1(kInstanceMutexName.data(), kInstanceMutexName.size())
        << "keelmend-basevantrel05ca3573-b449-4e0b-83f5-7fd612e378basevantrel.lock";
    QTest::newRow("no prefix") << "Plain_Name" << "keelmend-plain_name.lock";
    QTest::newRow("path characters dropped") << "Global\\../x/y" << "keelmend-xy.lock";
    QTest::newRow("nothing usable") << "Global\\{}" << "keelmend-instance.lock";
  }
  void lockFileName() {
    QFETCH(QString, name);
    QFETCH(QString, file);
    QCOMPARE(QString::fromStdString(InstanceLock::LockFileName(name.toStdString())), file);
  }

  // Unusable places are passed over for the next one.
  void fallsBackToTheNextDirectory_data() {
    QTest::addColumn<QString>("obstacle");
    QTest::newRow("missing directory") << "missing";
    QTest::newRow("a file, not a directory") << "file";
    QTest::newRow("symbolic link at the lock path") << "link";
    QTest::newRow("directory at the lock path") << "dir";
  }
  void fallsBackToTheNextDirectory() {
    QFETCH(QString, obstacle);
    const auto base = Dir(("fallback-" + obstacle).toUtf8().constData());
    const auto blocked = base / "blocked";
    const auto victim = base / "victim.txt";
    const std::string lockName = InstanceLock::LockFileName(kInstanceMutexName);
    if (obstacle == "file") {
      std::ofstream(blocked.string()) << "x";
    } else if (obstacle == "link") {
      fs::create_directories(blocked);
      std::ofstream(victim.string()) << "keep";
      fs::create_symlink(victim, blocked / lockName);
    } else if (obstacle == "dir") {
      fs::create_directories(blocked / lockName);
    }
    const auto next = base / "next";
    fs::create_directories(next);
    InstanceLock lock(kInstanceMutexName, {blocked, next});
    QVERIFY(lock.Held());
    QCOMPARE(lock.LockFile(), next / lockName);
    if (obstacle == "link") {
      std::ifstream in(victim.string());
      std::string text;
      in >> text;
      QCOMPARE(QString::fromStdString(text), QStringLiteral("keep"));
    }
  }

  // With nowhere to put the lock the program runs unguarded, not at all.
  void noUsableDirectoryNeitherHoldsNorRefuses() {
    InstanceLock lock(kInstanceMutexName, {fs::path(temp_.path().toStdString()) / "none"});
    QVERIFY(!lock.Held());
    QVERIFY(!lock.AlreadyRunning());
  }

  void secondCopyIsToldAndCreatesNoWindow() {
    const auto dir = Dir("startup");
    InstanceLock first(kInstanceMutexName, {dir});
    InstanceLock second(kInstanceMutexName, {dir});
    ScriptedUserQuery query;
    ScopedUserQuery installed(query);
    query.AnswerMessage(kIdOk);
    QVERIFY(RefuseSecondInstance(second));
    QCOMPARE(query.Asked().size(), 1);
    QCOMPARE(query.Asked().first().text, QStringLiteral("Another instance of application is already running"));
    QCOMPARE(query.Asked().first().style, 64);
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
  }

  void firstCopyIsNotAsked() {
    const auto dir = Dir("first");
    InstanceLock first(kInstanceMutexName, {dir});
    ScriptedUserQuery query;
    ScopedUserQuery installed(query);
    QVERIFY(!RefuseSecondInstance(first));
    QVERIFY(query.Asked().isEmpty());
  }
};

QTEST_MAIN(InstanceLockTest)
#include "shell_instance_lock_test.moc"
