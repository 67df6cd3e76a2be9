// Start-up: the files of the command line and what the user meets first.
#include <QApplication>
#include <QDir>
#include <QtTest>

#include "shell/main_frame.h"
#include "shell/salvor_app.h"
#include "shell_test_support.h"
#include "workspace/salvor_view.h"
#include "workspace/trel_list_ctrl.h"

using namespace keelmend;

class SalvorAppTest : public QObject {
  Q_OBJECT

 private:
  test::IsolatedUserFiles files_;

 private slots:
  void fileArguments_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("files");
    const QString here = QDir::currentPath();
    QTest::newRow("no arguments") << QStringList{"keelmend"} << QStringList{};
    QTest::newRow("absolute paths")
        << QStringList{"keelmend", "/data/a.odb", "/data/b c.odb"}
        << QStringList{"/data/a.odb", "/data/b c.odb"};
    QTest::newRow("relative path made absolute")
        << QStringList{"keelmend", "sub/a.odb"} << QStringList{here + "/sub/a.odb"};
    QTest::newRow("file URL") << QStringList{"keelmend", "file:///data/b%20c.odb"}
                              << QStringList{"/data/b c.odb"};
    QTest::newRow("remote URL skipped")
        << QStringList{"keelmend", "https://example.org/a.odb"} << QStringList{};
    QTest::newRow("empty argument skipped")
        << QStringList{"keelmend", "", "/data/a.odb"} << QStringList{"/data/a.odb"};
  }
  void fileArguments() {
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, files);
    QCOMPARE(FileArguments(arguments), files);
  }

  // Without files the Select files dialog opens by itself once the window
  // is up.
  void withoutFilesTheDialogOpensAtOnce() {
    ScriptedUserQuery query;
    ScopedUserQuery installed(query);
    query.AnswerFiles({});
    CMainFrame frame(FrameOptions{false, true});
    OpenWorkspace(frame, {});
    QVERIFY(frame.isVisible());
    QVERIFY(frame.windowState() & Qt::WindowMaximized);
    QTRY_COMPARE(test::CountAsked(query, ScriptedUserQuery::Kind::kOpenFiles), 1);
    QCOMPARE(frame.View()->FileList()->Count(), 0);
  }

  void filesOfTheCommandLineAreListedReadyToRepair() {
    ScriptedUserQuery query;
    ScopedUserQuery installed(query);
    CMainFrame frame(FrameOptions{false, true});
    OpenWorkspace(frame, {"/data/a.odb", "/data/b.odb", "/data/a.odb"});
    QTest::qWait(50);  // a dialog, were one to come, would come now
    QVERIFY(query.Asked().isEmpty());
    CTrelListCtrl* list = frame.View()->FileList();
    QCOMPARE(list->Count(), 2);
    QCOMPARE(list->ItemText(0), QStringLiteral("/data/a.odb"));
    QCOMPARE(list->ItemText(1), QStringLiteral("/data/b.odb"));
    QVERIFY(frame.View()->IsRepairEnabled());
    QVERIFY(frame.View()->IsSelectEnabled());
  }

  void argumentsThatAreNoBaseFilesFallBackToTheDialog() {
    ScriptedUserQuery query;
    ScopedUserQuery installed(query);
    query.AnswerFiles({});
    CMainFrame frame(FrameOptions{false, true});
    OpenWorkspace(frame, {"/data/notes.txt"});
    QTRY_COMPARE(test::CountAsked(query, ScriptedUserQuery::Kind::kOpenFiles), 1);
    QCOMPARE(frame.View()->FileList()->Count(), 0);
    QVERIFY(!frame.View()->IsRepairEnabled());
  }
};

QTEST_MAIN(SalvorAppTest)
#include "shell_salvor_app_test.moc"
