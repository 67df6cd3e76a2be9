// Closing the program while a job thread lives: refused while the job runs
// and while a stopped job still ends, with the work folders untouched; once
// the thread has been joined the usual exit question follows.
#include <QSignalSpy>
#include <QtTest>

#include <filesystem>

#include "engine/work_folder.h"
#include "shell/main_frame.h"
#include "shell_test_support.h"
#include "workspace/job_fixture.h"
#include "workspace/salvor_view.h"

using namespace keelmend;
using namespace keelmend::testing;

class JobCloseTest : public QObject {
  Q_OBJECT

 private slots:
  void closeWaitsForTheJobThread() {
    test::IsolatedUserFiles files;
    ScriptedUserQuery query;
    ScopedUserQuery seam(query);
    CMainFrame frame(FrameOptions{false, true});
    frame.show();
    CSalvorView& view = *frame.View();
    const fs::path in = fs::path(files.Path("in").toStdString());
    QStringList sources;
    for (const char* name : {"one.odb", "two.odb", "three.odb"})
      sources << WriteSource(in, name, SampleBytes("hsqldb_40.odb"));
    query.AnswerFiles(sources);
    view.SelectFiles();

    bool closedWhileRunning = true, closedWhileStopping = true;
    OnLogLine(view, sources[0] + " file is open....", [&] {
      query.AnswerMessage(kIdOk);
      closedWhileRunning = frame.close();
    });
    OnLogLine(view, sources[1] + " file is open....", [&] {
      query.AnswerMessage(kIdYes);
      view.StopJob();
      query.AnswerMessage(kIdOk);
      closedWhileStopping = frame.close();
    });
    QSignalSpy finished(&view, &CSalvorView::jobThreadFinished);
    frame.OnRepairFiles();  // the job the frame's own starter runs
    QVERIFY(finished.wait(kJobTimeoutMs));

    QVERIFY(!closedWhileRunning);
    QVERIFY(!closedWhileStopping);
    QVERIFY(frame.isVisible());
    const QString refusal = QStringLiteral("Please stop the running process before closing the application.");
    QCOMPARE(test::MessageTexts(query),
             (QStringList{refusal, QStringLiteral("Are you sure to stop the running process?"), refusal}));
    QCOMPARE(Marks(view), (QStringList{"1/1", "1/1", "0/0"}));
    QVERIFY(fs::exists(GetWorkRoot() / "one.odb0" / "content.xml"));
    QVERIFY(fs::exists(GetWorkRoot() / "two.odb1" / "content.xml"));

    query.AnswerMessage(kIdYes);
    QVERIFY(frame.close());
    QCOMPARE(test::MessageTexts(query).last(), QStringLiteral("Do you really want to exit the application?"));
    QVERIFY(!fs::exists(GetWorkRoot()));
  }
};

QTEST_MAIN(JobCloseTest)
#include "shell_job_close_test.moc"
