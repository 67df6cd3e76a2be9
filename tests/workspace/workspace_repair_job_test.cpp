// The repair job as the window runs it: damaged databases repaired on the job
// thread, every line, mark and bar position shown by the window thread, the
// confirmed and the refused Stop, the guard while a stopped job still ends,
// and a window destroyed under a running job.
#include <QPointer>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

#include "controls/est_progress_ctrl.h"
#include "job_fixture.h"
#include "workspace/picture_box.h"
#include "workspace/workspace_texts.h"

using namespace keelmend;
using namespace keelmend::testing;

namespace {

QList<LogLine> ScanLines(const QString& p) {
  return {{p + " file is open....", Black()},
          {p + " file is extracted....", Black()},
          {p + " file is closed....", Black()}};
}

QList<LogLine> RepairedLines(const QString& p) {
  return {{p + " preview of file is available....", Black()},
          {p + "  Repaired....", Green()},
          {kAsterisks, Black()}};
}

QList<LogLine> StoppedLines(const QString& p) {
  return {{p + " file is not extracting as process has been stop by the user.... ", Black()},
          {p + " not Repaired....", Red()},
          {kAsterisks, Black()}};
}

QList<LogLine> EndLines() {
  return {{"Repairing process completed....", Black()}, {kUnderscores, Black()}, {"", Black()}, {"", Black()}};
}

// hsqldb_300.odb cut in its database/backup entry: content.xml and the
// manifest behind it are lost.
std::string CutDatabase() { return CutShort(SampleBytes("hsqldb_300.odb"), 9000); }
// firebird_300.odb with a block of its database zeroed.
std::string ZeroedDatabase() { return WithZeroedBlock(SampleBytes("firebird_300.odb"), 2000, 512); }

bool HasFile(const fs::path& p) { return fs::is_regular_file(p); }

void CheckRepairedState(CSalvorView& view) {
  QVERIFY(view.IsSelectEnabled());
  QVERIFY(view.IsRepairEnabled());
  QVERIFY(view.IsSaveEnabled());
  QCOMPARE(view.State().jobRunning.load(), 0);
  QVERIFY(!view.IsJobThreadAlive());
  QVERIFY(view.Control(workspace_id::kStop)->isHidden());
  QVERIFY(view.FileProgress()->isHidden());
  QVERIFY(view.TotalProgress()->isHidden());
  QCOMPARE(view.NoticeBox()->toPlainText(), NoticeTextOf(Notice::Repaired).text);
  QCOMPARE(view.PreviewPanel()->State(), PreviewState::SelectToPreview);
}

}  // namespace

class RepairJobTest : public QObject {
  Q_OBJECT

 private slots:
  void fourFilesWithOneUnreadable();
  void barsFollowTheFilesAndTheirEntries();
  void stopConfirmedDuringTheSecondFile();
  void stopAnsweredNo();
  void stoppedJobStillGuardsUntilItsThreadEnds();
  void failedOpenAfterAGoodRunClearsTheMark();
  void emptyListEndsAtOnce();
  void windowDestroyedUnderARunningJob();
};

void RepairJobTest::fourFilesWithOneUnreadable() {
  JobWindow w;
  const fs::path in = w.Dir("in");
  const QString cut = WriteSource(in, "cut.odb", CutDatabase());
  const QString missing = QString::fromStdString((in / "missing.odb").string());
  const QString zeroed = WriteSource(in, "zeroed.odb", ZeroedDatabase());
  const QString intact = WriteSource(in, "intact.odb", SampleBytes("hsqldb_two_tables.odb"));
  const std::string intactBefore = ReadFile(in / "intact.odb");
  w.List({cut, missing, zeroed, intact});
  w.query.AnswerMessage(kIdOk);  // the scan's report about the missing file

  QVERIFY(w.Repair());

  QList<LogLine> expected = ScanLines(cut);
  expected << LogLine{cut + " manifest.xml regenerated, the old one was missing....", Black()}
           << RepairedLines(cut) << LogLine{missing + " extraction of file failed....", Black()}
           << ScanLines(zeroed)
           << LogLine{zeroed + " entry database\\firebird.fbk is damaged and left out....", Red()}
           << LogLine{zeroed + " manifest.xml: dropped the entry of database/firebird.fbk, which is gone....",
                      Black()}
           << RepairedLines(zeroed) << ScanLines(intact) << RepairedLines(intact) << EndLines();
  COMPARE_LOG(LogLines(w.view), expected);

  QCOMPARE(Marks(w.view), (QStringList{"1/1", "0/0", "1/1", "1/1"}));
  QCOMPARE(w.MessageTexts(), QStringList{"No such file or directory"});
  QCOMPARE(w.Messages().first().style, kStyleNotice);
  QVERIFY(w.Messages().first().owner == nullptr);

  const fs::path root = GetWorkRoot();
  QVERIFY(HasFile(root / "cut.odb0" / "content.xml"));  // the descriptor template
  QVERIFY(HasFile(root / "cut.odb0" / "database" / "script"));
  QVERIFY(!fs::exists(root / "missing.odb1"));
  QVERIFY(HasFile(root / "zeroed.odb2" / "content.xml"));
  QVERIFY(!fs::exists(root / "zeroed.odb2" / "database" / "firebird.fbk"));
  QVERIFY(HasFile(root / "intact.odb3" / "database" / "data"));
  QCOMPARE(ReadFile(in / "intact.odb"), intactBefore);  // sources are only read
  CheckRepairedState(w.view);
}

void RepairJobTest::barsFollowTheFilesAndTheirEntries() {
  // Looked at on the window thread while the job waits at a line: the
  // Repairing state, the total bar per file, the file bar per entry.
  JobWindow w;
  const fs::path in = w.Dir("in");
  const QString a = WriteSource(in, "a.odb", SampleBytes("firebird_40.odb"));    // 5 entries
  const QString b = WriteSource(in, "b.odb", SampleBytes("hsqldb_two_tables.odb"));  // 8 entries
  w.List({a, b});
  struct Seen {
    int totalPos = -1, totalUpper = -1, filePos = -1, fileUpper = -1;
    bool bothRows = false, stopShown = false, selectOff = false, repairingNotice = false;
    PreviewState preview = PreviewState::NoFiles;
  };
  QList<Seen> seen;
  auto look = [&] {
    Seen s;
    s.totalPos = w.view.TotalProgress()->Pos();
    s.totalUpper = w.view.TotalProgress()->Upper();
    s.filePos = w.view.FileProgress()->Pos();
    s.fileUpper = w.view.FileProgress()->Upper();
    s.bothRows = !w.view.FileProgress()->isHidden() && !w.view.TotalProgress()->isHidden() &&
                 !w.view.FileProgressLabel()->isHidden() && !w.view.TotalProgressLabel()->isHidden();
    s.stopShown = !w.view.Control(workspace_id::kStop)->isHidden() &&
                  w.view.Control(workspace_id::kStop)->isEnabled();
    s.selectOff = !w.view.Control(workspace_id::kSelectFiles)->isEnabled() && !w.view.IsSelectEnabled() &&
                  !w.view.IsRepairEnabled();
    s.repairingNotice = w.view.NoticeBox()->toPlainText() == NoticeTextOf(Notice::Repairing).text;
    s.preview = w.view.PreviewPanel()->State();
    seen << s;
  };
  OnLogLine(w.view, a + " file is open....", look);
  OnLogLine(w.view, a + " preview of file is available....", look);
  OnLogLine(w.view, b + " file is open....", look);
  OnLogLine(w.view, b + " preview of file is available....", look);
  QVERIFY(w.Repair());

  QCOMPARE(seen.size(), 4);
  const struct {
    int totalPos, filePos, fileUpper;
  } expected[] = {{0, 0, 100}, {0, 5, 5}, {1, 5, 5}, {1, 8, 8}};
  for (int i = 0; i < 4; ++i) {
    QCOMPARE(seen[i].totalUpper, 2);
    QCOMPARE(seen[i].totalPos, expected[i].totalPos);
    if (i > 0) {  // before the first extraction the file bar has its initial range
      QCOMPARE(seen[i].fileUpper, expected[i].fileUpper);
      QCOMPARE(seen[i].filePos, expected[i].filePos);
    }
    QVERIFY(seen[i].bothRows);
    QVERIFY(seen[i].stopShown);
    QVERIFY(seen[i].selectOff);
    QVERIFY(seen[i].repairingNotice);
    QCOMPARE(seen[i].preview, PreviewState::Repairing);
  }
  QCOMPARE(w.view.TotalProgress()->Pos(), 2);
  QCOMPARE(w.view.TotalProgress()->Upper(), 2);
}

void RepairJobTest::stopConfirmedDuringTheSecondFile() {
  // Yes while the second file is being scanned: it is still extracted and
  // marked repaired; the third and fourth are stopped.
  JobWindow w;
  const fs::path in = w.Dir("in");
  QStringList files;
  for (const char* name : {"one.odb", "two.odb", "three.odb", "four.odb"})
    files << WriteSource(in, name, SampleBytes("hsqldb_40.odb"));
  w.List(files);
  OnLogLine(w.view, files[1] + " file is open....", [&w] {
    w.query.AnswerMessage(kIdYes);
    w.view.StopJob();
  });

  QVERIFY(w.Repair());

  QList<LogLine> expected = ScanLines(files[0]) + RepairedLines(files[0]) + ScanLines(files[1]);
  // The scan ended at its next step: the manifest behind was not reached.
  expected << LogLine{files[1] + " manifest.xml regenerated, the old one was missing....", Black()}
           << RepairedLines(files[1]);
  for (int i = 2; i < 4; ++i) expected << StoppedLines(files[i]);
  expected << EndLines();
  COMPARE_LOG(LogLines(w.view), expected);
  QCOMPARE(Marks(w.view), (QStringList{"1/1", "1/1", "0/0", "0/0"}));
  QCOMPARE(w.MessageTexts(), QStringList{texts::kStopQuestion});
  QCOMPARE(w.Messages().first().style, kStyleQuestion);
  QVERIFY(w.Messages().first().owner == nullptr);
  const fs::path root = GetWorkRoot();
  // Stopped before its first step, the scan had found nothing yet: the
  // folder holds what a repair puts back, the descriptor and the manifest.
  QVERIFY(HasFile(root / "two.odb1" / "content.xml"));
  QVERIFY(HasFile(root / "two.odb1" / "META-INF" / "manifest.xml"));
  QVERIFY(!fs::exists(root / "two.odb1" / "database"));
  QVERIFY(!fs::exists(root / "three.odb2"));
  QVERIFY(!fs::exists(root / "four.odb3"));
  QCOMPARE(w.view.TotalProgress()->Pos(), 4);
  CheckRepairedState(w.view);
}

void RepairJobTest::stopAnsweredNo() {
  JobWindow w;
  const fs::path in = w.Dir("in");
  QStringList files;
  for (const char* name : {"one.odb", "two.odb", "three.odb"})
    files << WriteSource(in, name, SampleBytes("firebird_40.odb"));
  w.List(files);
  int runningAfterNo = -1;
  bool stopStillEnabled = false;
  OnLogLine(w.view, files[1] + " file is open....", [&] {
    w.query.AnswerMessage(kIdNo);
    w.view.StopJob();
    runningAfterNo = w.view.State().jobRunning.load();
    stopStillEnabled = w.view.Control(workspace_id::kStop)->isEnabled();
  });

  QVERIFY(w.Repair());

  QCOMPARE(runningAfterNo, 1);
  QVERIFY(stopStillEnabled);
  QList<LogLine> expected;
  for (const QString& f : files) expected << ScanLines(f) << RepairedLines(f);
  expected << EndLines();
  COMPARE_LOG(LogLines(w.view), expected);
  QCOMPARE(Marks(w.view), (QStringList{"1/1", "1/1", "1/1"}));
  CheckRepairedState(w.view);
}

void RepairJobTest::stoppedJobStillGuardsUntilItsThreadEnds() {
  // Between the confirmed Stop and the worker's end, jobRunning is 0 but the
  // worker still writes: no new job, no Save, no clearing of its folders.
  JobWindow w;
  const fs::path in = w.Dir("in");
  const QString a = WriteSource(in, "a.odb", SampleBytes("hsqldb_40.odb"));
  const QString b = WriteSource(in, "b.odb", SampleBytes("hsqldb_40.odb"));
  w.List({a, b});
  bool alive = false, busy = false;
  int running = -1, starts = 0;
  QString logBeforeRepair, logAfterRepair;
  OnLogLine(w.view, a + " file is extracted....", [&] {
    w.query.AnswerMessage(kIdYes);
    w.view.StopJob();
    running = w.view.State().jobRunning.load();
    alive = w.view.IsJobThreadAlive();
    busy = w.view.State().Busy();
    w.query.AnswerMessage(kIdOk);
    w.view.StartSave();  // Ctrl+S or the menu would reach it
    logBeforeRepair = w.view.LogBox()->toPlainText();
    QSignalSpy finished(&w.view, &CSalvorView::jobThreadFinished);
    w.view.StartRepair();
    starts = finished.count();
    logAfterRepair = w.view.LogBox()->toPlainText();
    w.view.SelectFiles();  // refused without a dialog
  });

  QVERIFY(w.Repair());

  QCOMPARE(running, 0);
  QVERIFY(alive);
  QVERIFY(busy);
  QCOMPARE(starts, 0);
  QCOMPARE(logAfterRepair, logBeforeRepair);  // a started repair would have emptied the log
  QCOMPARE(w.MessageTexts(), (QStringList{texts::kStopQuestion,
                                          "Please stop the running process before saving the file(s)."}));
  QCOMPARE(Marks(w.view), (QStringList{"1/1", "0/0"}));
  QVERIFY(HasFile(GetWorkRoot() / "a.odb0" / "content.xml"));
  QCOMPARE(w.view.FileList()->Count(), 2);
  CheckRepairedState(w.view);
  // Once the thread has been joined, the next job starts as usual.
  QVERIFY(w.Repair());
  QCOMPARE(Marks(w.view), (QStringList{"1/1", "1/1"}));
}

void RepairJobTest::failedOpenAfterAGoodRunClearsTheMark() {
  // The second run clears the first run's work folders; a file that cannot
  // be opened then must not keep the first run's repaired mark, or the save
  // would pack a folder that is gone.
  JobWindow w;
  const fs::path in = w.Dir("in");
  const QString gone = WriteSource(in, "gone.odb", SampleBytes("hsqldb_40.odb"));
  const QString kept = WriteSource(in, "kept.odb", SampleBytes("firebird_40.odb"));
  w.List({gone, kept});
  QVERIFY(w.Repair());
  QCOMPARE(Marks(w.view), (QStringList{"1/1", "1/1"}));
  QVERIFY(fs::exists(GetWorkRoot() / "gone.odb0"));

  fs::remove(in / "gone.odb");
  w.query.AnswerMessage(kIdOk);  // the scan's report
  QVERIFY(w.Repair());
  QCOMPARE(Marks(w.view), (QStringList{"0/0", "1/1"}));
  QVERIFY(!fs::exists(GetWorkRoot() / "gone.odb0"));
  QList<LogLine> expected{{gone + " extraction of file failed....", Black()}};
  expected << ScanLines(kept) << RepairedLines(kept) << EndLines();
  COMPARE_LOG(LogLines(w.view), expected);

  const fs::path out = w.Dir("out");
  QVERIFY(w.Save(QString::fromStdString(out.string())));
  const QList<LogLine> saved = LogLines(w.view);
  QCOMPARE(saved.first(), (LogLine{gone + " cannot be saved,as it is not Repaired.", Red()}));
  QVERIFY(!fs::exists(out / "VANTRELREP_gone.odb"));
  QVERIFY(IsRebuiltDatabase(out / "VANTRELREP_kept.odb"));
}

void RepairJobTest::emptyListEndsAtOnce() {
  // Everything removed after listing: the job runs over no file at all.
  JobWindow w;
  w.view.State().repairEnabled = 1;
  QVERIFY(w.Repair());
  COMPARE_LOG(LogLines(w.view), EndLines());
  QCOMPARE(w.view.TotalProgress()->Upper(), 0);
  QCOMPARE(w.view.TotalProgress()->Pos(), 0);
  CheckRepairedState(w.view);
}

void RepairJobTest::windowDestroyedUnderARunningJob() {
  // However the window goes away while its job runs (the frame refuses to
  // close, but a forced end of the program does not ask), the job is
  // stopped and ended before the controls it writes to are destroyed.
  PrivateTempDir temp;
  ScriptedUserQuery query;
  ScopedUserQuery seam(query);
  auto* view = new CSalvorView;
  view->SetRepairJobStarter(&StartRepairJobThread);
  const fs::path in = temp.Path() / "in";
  QStringList files;
  for (const char* name : {"one.odb", "two.odb", "three.odb"})
    files << WriteSource(in, name, SampleBytes("hsqldb_300.odb"));
  query.AnswerFiles(files);
  view->SelectFiles();
  QPointer<CSalvorView> alive(view);
  OnLogLine(*view, files[0] + " file is open....", [view] { view->deleteLater(); });
  view->StartRepair();

  QTRY_VERIFY_WITH_TIMEOUT(alive.isNull(), kJobTimeoutMs);
  // The file in hand was finished, nothing after it was started.
  const fs::path root = GetWorkRoot();
  QVERIFY(HasFile(root / "one.odb0" / "content.xml"));
  QVERIFY(!fs::exists(root / "two.odb1"));
  QVERIFY(!fs::exists(root / "three.odb2"));
  QCOMPARE(ReadFile(in / "one.odb"), SampleBytes("hsqldb_300.odb"));
}

QTEST_MAIN(RepairJobTest)
#include "workspace_repair_job_test.moc"
