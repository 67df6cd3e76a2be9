// The log box: coloured, bold lines appended at the end, kept in view, and
// safe to feed from a job thread.
#include <thread>

#include <QScrollBar>
#include <QTextBlock>
#include <QtTest>

#include "workspace/job_log.h"

using namespace keelmend;

namespace {

struct Run {
  QString text;
  QColor colour;
  bool bold;
};

// The runs of text of the log box with their colour, line breaks as "\n".
QList<Run> Runs(const CJobLog& log) {
  QList<Run> runs;
  for (QTextBlock block = log.document()->begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment f = it.fragment();
      runs.append({f.text(), f.charFormat().foreground().color(),
                   f.charFormat().fontWeight() >= QFont::Bold});
    }
    if (block.next().isValid()) runs.append({"\n", QColor(), true});
  }
  return runs;
}

QString Line(const CJobLog& log, int number) {
  return log.document()->findBlockByNumber(number).text();
}

QColor ColourAtLine(const CJobLog& log, int number) {
  return log.document()->findBlockByNumber(number).begin().fragment().charFormat().foreground().color();
}

}  // namespace

class JobLogTest : public QObject {
  Q_OBJECT

 private slots:
  void colourValues_data();
  void colourValues();
  void eachLineKeepsItsColourAndBold();
  void textWithoutLineBreakContinuesTheLine();
  void lineBreaksOfTheJobsBecomeLines_data();
  void lineBreaksOfTheJobsBecomeLines();
  void lastLineStaysInView();
  void setLogTextReplacesEverything();
  void linesFromAJobThreadKeepTheirOrder();
  void logSinkFeedsTheBox();
};

void JobLogTest::colourValues_data() {
  QTest::addColumn<uint>("value");
  QTest::addColumn<QColor>("colour");
  QTest::newRow("black") << uint(kLogBlack) << QColor(0, 0, 0);
  QTest::newRow("green") << uint(kLogGreen) << QColor(0, 153, 0);
  QTest::newRow("red (low byte)") << uint(kLogRed) << QColor(255, 0, 0);
  QTest::newRow("blue (third byte)") << uint(0x00FF0000) << QColor(0, 0, 255);
}

void JobLogTest::colourValues() {
  QFETCH(uint, value);
  QFETCH(QColor, colour);
  QCOMPARE(ColourFromValue(value), colour);
}

void JobLogTest::eachLineKeepsItsColourAndBold() {
  CJobLog log;
  log.AppendLog(std::string("/d/a.odb file is open....\r\n"), kLogBlack);
  log.AppendLog(std::string("/d/a.odb  Repaired....\r\n"), kLogGreen);
  log.AppendLog(std::string("/d/b.odb not Repaired....\r\n"), kLogRed);
  QCOMPARE(Line(log, 0), QString("/d/a.odb file is open...."));
  QCOMPARE(ColourAtLine(log, 0), QColor(0, 0, 0));
  QCOMPARE(Line(log, 1), QString("/d/a.odb  Repaired...."));
  QCOMPARE(ColourAtLine(log, 1), QColor(0, 153, 0));
  QCOMPARE(Line(log, 2), QString("/d/b.odb not Repaired...."));
  QCOMPARE(ColourAtLine(log, 2), QColor(255, 0, 0));
  for (const Run& run : Runs(log)) QVERIFY2(run.bold, qPrintable(run.text));
  QVERIFY(log.isReadOnly());
}

void JobLogTest::textWithoutLineBreakContinuesTheLine() {
  CJobLog log;
  log.AppendLog(std::string("/d/a.odb"), kLogBlack);
  log.AppendLog(std::string(" saving of file done....\r\n"), kLogGreen);
  QCOMPARE(Line(log, 0), QString("/d/a.odb saving of file done...."));
  const QList<Run> runs = Runs(log);
  QCOMPARE(runs[0].text, QString("/d/a.odb"));
  QCOMPARE(runs[0].colour, QColor(0, 0, 0));
  QCOMPARE(runs[1].text, QString(" saving of file done...."));
  QCOMPARE(runs[1].colour, QColor(0, 153, 0));
}

void JobLogTest::lineBreaksOfTheJobsBecomeLines_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("plain");
  QTest::newRow("CR LF") << "one\r\ntwo\r\n" << "one\ntwo\n";
  QTest::newRow("underscore line with empty line") << QString(64, '_') + "\r\n\r\n"
                                                   << QString(64, '_') + "\n\n";
  QTest::newRow("lone LF") << "one\ntwo" << "one\ntwo";
  QTest::newRow("non-ASCII path") << QString::fromUtf8("/d/\xC3\xA9t\xC3\xA9.odb file is open....\r\n")
                                  << QString::fromUtf8("/d/\xC3\xA9t\xC3\xA9.odb file is open....\n");
}

void JobLogTest::lineBreaksOfTheJobsBecomeLines() {
  QFETCH(QString, text);
  QFETCH(QString, plain);
  CJobLog log;
  log.AppendLog(std::string_view(text.toStdString()), kLogBlack);
  QCOMPARE(log.toPlainText(), plain);
  QVERIFY(!log.toPlainText().contains('\r'));
}

void JobLogTest::lastLineStaysInView() {
  CJobLog log;
  log.resize(300, 120);
  log.show();
  for (int i = 0; i < 200; ++i)
    log.AppendLog(QString("/d/file%1.odb file is open....\r\n").arg(i), kLogBlack);
  QScrollBar* bar = log.verticalScrollBar();
  QVERIFY(bar->maximum() > 0);
  QCOMPARE(bar->value(), bar->maximum());
  log.AppendLog(QString("last line"), kLogRed);
  QCOMPARE(bar->value(), bar->maximum());
  const QRect caret = log.cursorRect();
  QVERIFY(log.viewport()->rect().contains(caret.center()));
}

void JobLogTest::setLogTextReplacesEverything() {
  CJobLog log;
  log.AppendLog(QString("red line\r\n"), kLogRed);
  log.SetLogText("Select .odb file(s) to Repair....");
  QCOMPARE(log.toPlainText(), QString("Select .odb file(s) to Repair...."));
  QCOMPARE(ColourAtLine(log, 0), QColor(0, 0, 0));
}

void JobLogTest::linesFromAJobThreadKeepTheirOrder() {
  CJobLog log;
  std::atomic<bool> done{false};
  std::thread job([&] {
    for (int i = 0; i < 50; ++i)
      log.AppendLog(std::string("line ") + std::to_string(i) + "\r\n", i % 2 ? kLogGreen : kLogBlack);
    done = true;
  });
  QTRY_VERIFY(done.load());  // the window thread carries out each line while the job waits
  job.join();
  for (int i = 0; i < 50; ++i) {
    QCOMPARE(Line(log, i), QString("line %1").arg(i));
    QCOMPARE(ColourAtLine(log, i), i % 2 ? QColor(0, 153, 0) : QColor(0, 0, 0));
  }
}

void JobLogTest::logSinkFeedsTheBox() {
  CJobLog log;
  JobLogSink sink(log);
  LogSink& engineSide = sink;
  engineSide.Log("/d/a.odb extraction of file failed....\r\n", kLogRed);
  QCOMPARE(Line(log, 0), QString("/d/a.odb extraction of file failed...."));
  QCOMPARE(ColourAtLine(log, 0), QColor(255, 0, 0));
}

QTEST_MAIN(JobLogTest)
#include "workspace_job_log_test.moc"
