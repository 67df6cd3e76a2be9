// The user-query seam: installing it, and the scripted seam tests use.
#include <QProcess>
#include <QtTest>

#include "controls/scripted_user_query.h"
#include "controls/user_query.h"

using namespace keelmend;
using Kind = ScriptedUserQuery::Kind;

namespace {

constexpr char kFatalProbe[] = "KEELMEND_SCRIPTED_FATAL_PROBE";

}  // namespace

class UserQueryTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    // Run as a child by UnscriptedQuestionIsFatal: ask with nothing
    // scripted, which must end the process with a message.
    if (qEnvironmentVariableIsSet(kFatalProbe)) {
      ScriptedUserQuery script;
      script.OpenFiles(nullptr, "Select files", "Base File (*.odb)");
      qInfo("still running");
    }
  }

  void DefaultIsTheRealDialogs() {
    QVERIFY(dynamic_cast<DialogUserQuery*>(&CurrentUserQuery()) != nullptr);
  }

  void InstallAndRestore() {
    UserQuery& original = CurrentUserQuery();
    ScriptedUserQuery first;
    ScriptedUserQuery second;
    {
      ScopedUserQuery outer(first);
      QCOMPARE(&CurrentUserQuery(), &first);
      {
        ScopedUserQuery inner(second);
        QCOMPARE(&CurrentUserQuery(), &second);
      }
      QCOMPARE(&CurrentUserQuery(), &first);
    }
    QCOMPARE(&CurrentUserQuery(), &original);
    QCOMPARE(SetUserQuery(&first), &original);
    QCOMPARE(SetUserQuery(nullptr), &first);
    QCOMPARE(&CurrentUserQuery(), &original);
  }

  void AnswersInOrderAndRecordsTheQuestions() {
    ScriptedUserQuery script;
    script.AnswerFiles({"/data/sales.odb", "/data/stock.odb"});
    script.AnswerMessage(kIdYes);
    script.AnswerFolder("/srv/out");
    script.AnswerFiles({});  // cancelled
    script.AnswerFolder({});  // cancelled
    QWidget owner;
    QCOMPARE(script.OpenFiles(&owner, "Select files", "Base File (*.odb)"),
             (QStringList{"/data/sales.odb", "/data/stock.odb"}));
    QCOMPARE(script.MessageBox(nullptr, "Do you really want to exit the application?", 36),
             kIdYes);
    QCOMPARE(script.ChooseFolder(&owner, "Select folder"), QString("/srv/out"));
    QCOMPARE(script.OpenFiles(&owner, "Select files", "Base File (*.odb)"), QStringList());
    QCOMPARE(script.ChooseFolder(&owner, "Select folder"), QString());
    QCOMPARE(script.PendingAnswers(), 0);

    const auto asked = script.Asked();
    QCOMPARE(asked.size(), 5);
    QCOMPARE(asked[0].kind, Kind::kOpenFiles);
    QCOMPARE(asked[0].owner, &owner);
    QCOMPARE(asked[0].text, QString("Select files"));
    QCOMPARE(asked[0].filter, QString("Base File (*.odb)"));
    QCOMPARE(asked[1].kind, Kind::kMessage);
    QCOMPARE(asked[1].style, 36);
    QCOMPARE(asked[1].text, QString("Do you really want to exit the application?"));
    QCOMPARE(asked[2].kind, Kind::kChooseFolder);
    QCOMPARE(asked[2].text, QString("Select folder"));
    QVERIFY(script.Unscripted().isEmpty());
  }

  // Recording policy: the question is refused, noted, and the script kept.
  void UnscriptedQuestionsAreRecorded() {
    ScriptedUserQuery script(ScriptedUserQuery::OnUnscripted::kRecordUnscripted);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Unscripted message box"));
    QCOMPARE(script.MessageBox(nullptr, "No file(s) selected to remove.", 64), kIdCancel);

    script.AnswerMessage(kIdYes);
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression("Unscripted folder dialog \\(script expects message box\\)"));
    QCOMPARE(script.ChooseFolder(nullptr, "Select folder"), QString());
    QCOMPARE(script.PendingAnswers(), 1);  // the message answer waits for its question
    QCOMPARE(script.MessageBox(nullptr, "Are you sure to stop the running process?", 36), kIdYes);

    const auto unscripted = script.Unscripted();
    QCOMPARE(unscripted.size(), 2);
    QCOMPARE(unscripted[0].text, QString("No file(s) selected to remove."));
    QCOMPARE(unscripted[1].kind, Kind::kChooseFolder);
    QCOMPARE(script.Asked().size(), 3);
  }

  // Default policy: the process ends loudly instead of waiting for a user.
  void UnscriptedQuestionIsFatal() {
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(kFatalProbe, "1");
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {"DefaultIsTheRealDialogs"});
    QVERIFY(child.waitForFinished(60000));
    const QString output = QString::fromLocal8Bit(child.readAllStandardError() +
                                                  child.readAllStandardOutput());
    QVERIFY(child.exitStatus() == QProcess::CrashExit || child.exitCode() != 0);
    QVERIFY2(output.contains("Unscripted open-file dialog (script expects nothing): \"Select files\""),
             qPrintable(output));
    QVERIFY(!output.contains("still running"));
  }
};

QTEST_MAIN(UserQueryTest)
#include "user_query_test.moc"
