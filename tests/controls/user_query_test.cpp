// The user-query seam: installing it, and the scripted seam tests use.
#include <QFile>
#include <QFileDialog>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include "controls/scripted_user_query.h"
#include "controls/user_query.h"

using namespace keelmend;
using Kind = ScriptedUserQuery::Kind;

namespace {

constexpr char kFatalProbe[] = "KEELMEND_SCRIPTED_FATAL_PROBE";

// The file dialog that is up now, if any.
QFileDialog* OpenDialog() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* dialog = qobject_cast<QFileDialog*>(widget); dialog && dialog->isVisible()) {
      return dialog;
    }
  }
  return nullptr;
}

// Once a file dialog is up, hands it to `act` (on the window thread).
template <typename Act>
void WhenDialogShows(QObject* context, Act act) {
  auto* poll = new QTimer(context);
  poll->setInterval(10);
  QObject::connect(poll, &QTimer::timeout, context, [poll, act] {
    QFileDialog* dialog = OpenDialog();
    if (dialog == nullptr) return;
    poll->stop();
    poll->deleteLater();
    act(dialog);
  });
  poll->start();
}

void Touch(const QString& path) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
}

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

  // The default seam shows real dialogs with the caption, filter and mode
  // asked for, and returns what the user picked.
  void RealOpenFileDialog() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    Touch(dir.filePath("sales.odb"));
    Touch(dir.filePath("stock.odb"));
    QString caption;
    QStringList filters;
    bool many = false;
    WhenDialogShows(this, [&](QFileDialog* dialog) {
      caption = dialog->windowTitle();
      filters = dialog->nameFilters();
      many = dialog->fileMode() == QFileDialog::ExistingFiles;
      dialog->setDirectory(dir.path());
      dialog->selectFile("\"sales.odb\" \"stock.odb\"");
      static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept checks the choice
    });
    DialogUserQuery real;
    QStringList chosen = real.OpenFiles(nullptr, "Select files", "Base File (*.odb)");
    chosen.sort();
    QCOMPARE(chosen, (QStringList{dir.filePath("sales.odb"), dir.filePath("stock.odb")}));
    QCOMPARE(caption, QString("Select files"));
    QCOMPARE(filters, QStringList{"Base File (*.odb)"});
    QVERIFY(many);
  }

  void RealFolderDialogFromAWorker() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString title;
    bool on_window_thread = false;
    WhenDialogShows(this, [&](QFileDialog* dialog) {
      title = dialog->windowTitle();
      on_window_thread = dialog->thread() == QCoreApplication::instance()->thread();
      dialog->setDirectory(dir.path());
      dialog->selectFile(dir.path());
      static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept checks the choice
    });
    DialogUserQuery real;
    QString chosen;
    QThread* worker = QThread::create([&] { chosen = real.ChooseFolder(nullptr, "Select folder"); });
    worker->start();
    QVERIFY(QTest::qWaitFor([worker] { return worker->isFinished(); }, 30000));
    delete worker;
    QCOMPARE(QDir(chosen), QDir(dir.path()));
    QCOMPARE(title, QString("Select folder"));
    QVERIFY(on_window_thread);
  }

  void RealDialogCancelled() {
    WhenDialogShows(this, [](QFileDialog* dialog) { dialog->reject(); });
    DialogUserQuery real;
    QCOMPARE(real.OpenFiles(nullptr, "Select files", "Base File (*.odb)"), QStringList());
    WhenDialogShows(this, [](QFileDialog* dialog) { dialog->reject(); });
    QCOMPARE(real.ChooseFolder(nullptr, "Select folder"), QString());
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
