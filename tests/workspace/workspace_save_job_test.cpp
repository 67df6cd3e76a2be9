// The save job as the window runs it: repaired databases packed into the
// destination on the job thread, with and without their pictures, the
// refusals, files of one name, saving twice, a confirmed Stop, archives that
// could not be written, and the completion message with its folder link.
#include <QBuffer>
#include <QCheckBox>
#include <QImage>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTextEdit>
#include <QtTest>

#include "controls/est_progress_ctrl.h"
#include "job_fixture.h"
#include "workspace/workspace_texts.h"

using namespace keelmend;
using namespace keelmend::testing;

namespace {

const QString kStopBeforeSaving = QStringLiteral("Please stop the running process before saving the file(s).");

QString Text(const fs::path& p) { return QString::fromStdString(p.string()); }

std::string PngBytes(const QColor& colour) {
  QImage image(6, 4, QImage::Format_RGB32);
  image.fill(colour);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes.toStdString();
}

// hsqldb_40.odb cut before its content.xml, with a picture stored behind the
// cut, as a damaged file may carry one.
std::string DatabaseWithPicture(const std::string& picture) {
  return CutShort(SampleBytes("hsqldb_40.odb"), 3333) + StoredEntry("Pictures/logo.png", picture);
}

QList<LogLine> SavedLines(const QString& p, const QString& mediaLine = QString()) {
  QList<LogLine> lines{{p + " saving of file starts....", Black()}};
  if (!mediaLine.isEmpty()) lines << LogLine{p + mediaLine, Black()};
  lines << LogLine{p + " saving of file done....", Green()} << LogLine{kAsterisks, Black()};
  return lines;
}

QList<LogLine> NotRepairedLines(const QString& p) {
  return {{p + " cannot be saved,as it is not Repaired.", Red()}, {kAsterisks, Black()}};
}

QList<LogLine> StoppedLines(const QString& p) {
  return {{p + " file is not saving as process has been stop by the user.... ", Black()},
          {p + " not saved....", Red()},
          {kAsterisks, Black()}};
}

QList<LogLine> EndLines() {
  return {{"Saving processing completed....", Black()}, {kUnderscores, Black()}, {"", Black()}, {"", Black()}};
}

const QString kMediaDone = QStringLiteral(" Media extraction is done....");
const QString kNoMedia = QStringLiteral(" no media content is present in the file....");

// An independent reader's verdict where one is installed.
bool UnzipAccepts(const fs::path& archive) {
  if (QStandardPaths::findExecutable(QStringLiteral("unzip")).isEmpty()) return true;
  QProcess unzip;
  unzip.start(QStringLiteral("unzip"), {QStringLiteral("-tqq"), Text(archive)});
  return unzip.waitForFinished(30000) && unzip.exitStatus() == QProcess::NormalExit && unzip.exitCode() == 0;
}

bool GoodArchive(const fs::path& archive) { return IsRebuiltDatabase(archive) && UnzipAccepts(archive); }

// The entries of an archive's central directory as "name crc size", in
// order: what an archive holds, without the times the writer records.
QStringList Entries(const fs::path& archive) {
  const std::string b = ReadFile(archive);
  auto u16 = [&b](std::size_t at) { return std::uint32_t(std::uint8_t(b[at])) | std::uint32_t(std::uint8_t(b[at + 1])) << 8; };
  auto u32 = [&](std::size_t at) { return u16(at) | u16(at + 2) << 16; };
  QStringList entries;
  if (b.size() < 22) return entries;
  const std::size_t end = b.size() - 22;  // the end record; the writer adds no comment
  std::size_t at = u32(end + 16);
  for (std::uint32_t i = 0, n = u16(end + 10); i < n && at + 46 <= end; ++i) {
    const std::size_t nameLength = u16(at + 28);
    entries << QStringLiteral("%1 %2 %3")
                   .arg(QString::fromStdString(b.substr(at + 46, nameLength)))
                   .arg(u32(at + 16), 8, 16, QLatin1Char('0'))
                   .arg(u32(at + 24));
    at += 46 + nameLength + u16(at + 30) + u16(at + 32);
  }
  return entries;
}

bool Contains(const fs::path& archive, const std::string& text) {
  return ReadFile(archive).find(text) != std::string::npos;
}

void CheckSavedState(CSalvorView& view) {
  QCOMPARE(view.NoticeBox()->toPlainText(), NoticeTextOf(Notice::Saved).text);
  QVERIFY(view.IsSaveEnabled());
  QVERIFY(view.IsSelectEnabled());
  QVERIFY(view.IsRepairEnabled());
  QVERIFY(view.Control(workspace_id::kSave)->isEnabled());
  QVERIFY(view.Control(workspace_id::kRepairFiles)->isEnabled());
  QVERIFY(view.Control(workspace_id::kStop)->isHidden());
  QVERIFY(view.TotalProgress()->isHidden());
  QVERIFY(view.FileProgress()->isHidden());
  QCOMPARE(view.State().jobRunning.load(), 0);
  QVERIFY(!view.IsJobThreadAlive());
}

// Files with pictures, without, and one that cannot be read, repaired.
struct RepairedSet {
  QString pictures, plain, missing;
};

RepairedSet RepairThree(JobWindow& w, const std::string& picture) {
  const fs::path in = w.Dir("in");
  RepairedSet set{WriteSource(in, "pictures.odb", DatabaseWithPicture(picture)),
                  WriteSource(in, "plain.odb", WithZeroedBlock(SampleBytes("firebird_300.odb"), 2000, 512)),
                  Text(in / "missing.odb")};
  w.List({set.pictures, set.plain, set.missing});
  w.query.AnswerMessage(kIdOk);  // the scan's report about the missing file
  if (!w.Repair()) qFatal("the repair did not end");
  return set;
}

}  // namespace

class SaveJobTest : public QObject {
  Q_OBJECT

 private slots:
  void savesEveryRepairedFile_data();
  void savesEveryRepairedFile();
  void savingStateWhileTheJobRuns();
  void destinationRefused_data();
  void destinationRefused();
  void refusedWhileAJobLives();
  void destinationTypedWithSeparator();
  void filesOfOneNameFromTwoFolders();
  void sameRepairSavedTwice();
  void stopConfirmedWhileTheSecondFileIsPacked();
  void archiveNotWrittenIsReportedRed();
};

void SaveJobTest::savesEveryRepairedFile_data() {
  QTest::addColumn<bool>("media");
  QTest::newRow("Extract Media checked") << true;
  QTest::newRow("Extract Media unchecked") << false;
}

void SaveJobTest::savesEveryRepairedFile() {
  QFETCH(bool, media);
  JobWindow w;
  const std::string picture = PngBytes(Qt::darkCyan);
  const RepairedSet set = RepairThree(w, picture);
  w.view.ExtractMediaCheck()->setChecked(media);
  const fs::path out = w.Dir("out");

  QVERIFY(w.Save(Text(out)));

  QList<LogLine> expected = SavedLines(set.pictures, media ? kMediaDone : QString()) +
                            SavedLines(set.plain, media ? kNoMedia : QString()) + NotRepairedLines(set.missing) +
                            EndLines();
  COMPARE_LOG(LogLines(w.view), expected);
  QVERIFY(GoodArchive(out / "VANTRELREP_pictures.odb"));
  QVERIFY(GoodArchive(out / "VANTRELREP_plain.odb"));
  QVERIFY(Contains(out / "VANTRELREP_pictures.odb", "Pictures/logo.png"));
  QVERIFY(!fs::exists(out / "VANTRELREP_missing.odb"));
  QCOMPARE(fs::exists(out / "pictures.odb_MediaContent" / "logo.png"), media);
  if (media) QCOMPARE(ReadFile(out / "pictures.odb_MediaContent" / "logo.png"), picture);
  QVERIFY(!fs::exists(out / "plain.odb_MediaContent"));  // removed again when nothing was copied
  QCOMPARE(Marks(w.view), (QStringList{"1/1", "1/1", "0/0"}));
  QVERIFY(fs::exists(GetWorkRoot() / "pictures.odb0"));  // the work folders are only read

  const auto messages = w.Messages();
  QCOMPARE(messages.last().text,
           "File(s) saving process has been completed.Saved file(s) location is:<br><a href='" + Text(out) + "'>" +
               Text(out) + "</a>");
  QCOMPARE(messages.last().style, kStyleNotice);
  QCOMPARE(messages.last().owner, static_cast<QWidget*>(&w.view));
  QCOMPARE(w.view.TotalProgress()->Upper(), 3);
  QCOMPARE(w.view.TotalProgress()->Pos(), 3);
  CheckSavedState(w.view);
}

void SaveJobTest::savingStateWhileTheJobRuns() {
  JobWindow w;
  const RepairedSet set = RepairThree(w, PngBytes(Qt::red));
  struct Seen {
    bool fileRowHidden, totalRowShown, stopShown, groupsOff, savingNotice;
    int running, totalPos, totalUpper;
    QString firstLine;
  };
  QList<Seen> seen;
  auto look = [&] {
    CSalvorView& v = w.view;
    seen << Seen{v.FileProgress()->isHidden() && v.FileProgressLabel()->isHidden(),
                 !v.TotalProgress()->isHidden() && !v.TotalProgressLabel()->isHidden(),
                 !v.Control(workspace_id::kStop)->isHidden() && v.Control(workspace_id::kStop)->isEnabled(),
                 !v.IsSaveEnabled() && !v.Control(workspace_id::kSave)->isEnabled() &&
                     !v.Control(workspace_id::kBrowse)->isEnabled() && !v.ExtractMediaCheck()->isEnabled() &&
                     !v.IsSelectEnabled() && !v.IsRepairEnabled() &&
                     !v.Control(workspace_id::kRepairFiles)->isEnabled(),
                 v.NoticeBox()->toPlainText() == NoticeTextOf(Notice::Saving).text,
                 v.State().jobRunning.load(),
                 v.TotalProgress()->Pos(),
                 v.TotalProgress()->Upper(),
                 LogLines(v).first().text};
  };
  OnLogLine(w.view, set.pictures + " saving of file starts....", look);
  OnLogLine(w.view, set.plain + " saving of file starts....", look);
  QVERIFY(w.Save(Text(w.Dir("out"))));

  QCOMPARE(seen.size(), 2);
  for (int i = 0; i < 2; ++i) {
    QVERIFY(seen[i].fileRowHidden);
    QVERIFY(seen[i].totalRowShown);
    QVERIFY(seen[i].stopShown);
    QVERIFY(seen[i].groupsOff);
    QVERIFY(seen[i].savingNotice);
    QCOMPARE(seen[i].running, 1);
    QCOMPARE(seen[i].totalUpper, 3);
    QCOMPARE(seen[i].totalPos, i);
    QCOMPARE(seen[i].firstLine, set.pictures + " saving of file starts....");  // the repair's log was emptied
  }
}

void SaveJobTest::destinationRefused_data() {
  QTest::addColumn<QString>("destination");  // below the temporary folder; empty: the prompt
  QTest::newRow("prompt shown") << QString();
  QTest::newRow("a file") << QStringLiteral("in/pictures.odb");
  QTest::newRow("no such folder") << QStringLiteral("nowhere");
}

void SaveJobTest::destinationRefused() {
  QFETCH(QString, destination);
  JobWindow w;
  RepairThree(w, PngBytes(Qt::blue));
  const QList<LogLine> logBefore = LogLines(w.view);
  const int messagesBefore = w.Messages().size();
  const QString typed = destination.isEmpty() ? QString() : w.temp.Text() + "/" + destination;
  w.view.SetDestination(typed);
  w.query.AnswerMessage(kIdOk);

  QVERIFY(w.RunJob([&] { w.view.StartSave(); }));

  const auto messages = w.Messages();
  QCOMPARE(messages.size(), messagesBefore + 1);
  QCOMPARE(messages.last().text, QStringLiteral("Please select a valid folder path."));
  QCOMPARE(messages.last().style, kStyleNotice);
  QVERIFY(messages.last().owner == nullptr);
  COMPARE_LOG(LogLines(w.view), logBefore);
  QCOMPARE(w.view.NoticeBox()->toPlainText(), NoticeTextOf(Notice::Repaired).text);
  QVERIFY(w.view.IsSaveEnabled());
  QVERIFY(w.view.Control(workspace_id::kStop)->isHidden());
  QCOMPARE(w.view.State().jobRunning.load(), 0);
  QVERIFY(!fs::exists(w.temp.Path() / "nowhere"));
}

void SaveJobTest::refusedWhileAJobLives() {
  // Save (Ctrl+S, the menu) while a repair or another save runs: refused,
  // and the running job goes on untouched.
  JobWindow w;
  const fs::path in = w.Dir("in");
  const QString a = WriteSource(in, "a.odb", SampleBytes("hsqldb_40.odb"));
  const QString b = WriteSource(in, "b.odb", SampleBytes("firebird_40.odb"));
  w.List({a, b});
  w.view.EnableSaveGroup(true);  // kept enabled from an earlier repair
  const fs::path out = w.Dir("out");
  w.view.SetDestination(Text(out));
  auto saveNow = [&w] { w.view.StartSave(); };
  OnLogLine(w.view, b + " file is open....", saveNow);
  w.query.AnswerMessage(kIdOk);
  QVERIFY(w.Repair());
  QCOMPARE(Marks(w.view), (QStringList{"1/1", "1/1"}));
  QVERIFY(!fs::exists(out / "VANTRELREP_a.odb"));

  OnLogLine(w.view, a + " saving of file done....", saveNow);
  QVERIFY(w.Save(Text(out), {kIdOk}));
  COMPARE_LOG(LogLines(w.view), SavedLines(a, kNoMedia) + SavedLines(b, kNoMedia) + EndLines());
  QCOMPARE(w.MessageTexts(),
           (QStringList{kStopBeforeSaving, kStopBeforeSaving,
                        "File(s) saving process has been completed.Saved file(s) location is:<br><a href='" +
                            Text(out) + "'>" + Text(out) + "</a>"}));
  QVERIFY(GoodArchive(out / "VANTRELREP_a.odb"));
  QVERIFY(GoodArchive(out / "VANTRELREP_b.odb"));
}

void SaveJobTest::destinationTypedWithSeparator() {
  JobWindow w;
  const fs::path in = w.Dir("in");
  const QString a = WriteSource(in, "a.odb", SampleBytes("hsqldb_40.odb"));
  w.List({a});
  QVERIFY(w.Repair());
  const fs::path out = w.Dir("out");
  const QString typed = Text(out) + "/";
  QVERIFY(w.Save(typed));
  QVERIFY(GoodArchive(out / "VANTRELREP_a.odb"));
  QCOMPARE(w.Messages().last().text,
           "File(s) saving process has been completed.Saved file(s) location is:<br><a href='" + typed + "'>" +
               typed + "</a>");
}

void SaveJobTest::filesOfOneNameFromTwoFolders() {
  // Within one save the later file gets a numbered name instead of
  // replacing the earlier one's archive and pictures.
  JobWindow w;
  const std::string red = PngBytes(Qt::red), green = PngBytes(Qt::green);
  const QString first = WriteSource(w.Dir("a"), "db.odb", DatabaseWithPicture(red));
  const QString second = WriteSource(
      w.Dir("b"), "db.odb",
      CutShort(SampleBytes("firebird_40.odb"), 1829) + StoredEntry("Pictures/logo.png", green));
  w.List({first, second});
  QVERIFY(w.Repair());
  QVERIFY(fs::exists(GetWorkRoot() / "db.odb0" / "database" / "script"));
  QVERIFY(fs::exists(GetWorkRoot() / "db.odb1" / "database" / "firebird.fbk"));
  const fs::path out = w.Dir("out");

  QVERIFY(w.Save(Text(out)));

  QList<LogLine> expected = SavedLines(first, kMediaDone);
  expected << LogLine{second + " saving of file starts....", Black()}
           << LogLine{second + " is saved as VANTRELREP_db (2).odb, as an earlier file of this save has the same name....",
                      Black()}
           << LogLine{second + kMediaDone, Black()} << LogLine{second + " saving of file done....", Green()}
           << LogLine{kAsterisks, Black()} << EndLines();
  COMPARE_LOG(LogLines(w.view), expected);
  QVERIFY(GoodArchive(out / "VANTRELREP_db.odb"));
  QVERIFY(GoodArchive(out / "VANTRELREP_db (2).odb"));
  QVERIFY(Contains(out / "VANTRELREP_db.odb", "database/script"));
  QVERIFY(!Contains(out / "VANTRELREP_db.odb", "firebird.fbk"));
  QVERIFY(Contains(out / "VANTRELREP_db (2).odb", "database/firebird.fbk"));
  QCOMPARE(ReadFile(out / "db.odb_MediaContent" / "logo.png"), red);
  QCOMPARE(ReadFile(out / "db (2).odb_MediaContent" / "logo.png"), green);
}

void SaveJobTest::sameRepairSavedTwice() {
  // The work folders are only read: a second save into the same folder
  // replaces the first one's archives (no numbering across saves), and a
  // save into another folder writes the same archives.
  JobWindow w;
  const RepairedSet set = RepairThree(w, PngBytes(Qt::yellow));
  const fs::path out = w.Dir("out"), other = w.Dir("other");
  QVERIFY(w.Save(Text(out)));
  const QList<LogLine> firstLog = LogLines(w.view);
  const QStringList firstEntries = Entries(out / "VANTRELREP_plain.odb");
  QVERIFY(firstEntries.size() > 3);
  WriteFile(out / "VANTRELREP_plain.odb", "left by somebody");
  WriteFile(out / "pictures.odb_MediaContent" / "logo.png", "old picture");

  QVERIFY(w.Save(Text(out)));
  COMPARE_LOG(LogLines(w.view), firstLog);
  QVERIFY(GoodArchive(out / "VANTRELREP_plain.odb"));
  QCOMPARE(Entries(out / "VANTRELREP_plain.odb"), firstEntries);
  QCOMPARE(ReadFile(out / "pictures.odb_MediaContent" / "logo.png"), PngBytes(Qt::yellow));
  QVERIFY(!fs::exists(out / "VANTRELREP_plain (2).odb"));

  QVERIFY(w.Save(Text(other)));
  QCOMPARE(Entries(other / "VANTRELREP_plain.odb"), firstEntries);
  QVERIFY(GoodArchive(other / "VANTRELREP_pictures.odb"));
  QCOMPARE(Marks(w.view), (QStringList{"1/1", "1/1", "0/0"}));
  Q_UNUSED(set);
}

void SaveJobTest::stopConfirmedWhileTheSecondFileIsPacked() {
  // The file being packed is finished; the ones after it are not saved and
  // lose their repaired mark (their image stays) until repaired again.
  JobWindow w;
  const fs::path in = w.Dir("in");
  QStringList files;
  for (const char* name : {"one.odb", "two.odb", "three.odb", "four.odb"})
    files << WriteSource(in, name, SampleBytes("hsqldb_40.odb"));
  w.List(files);
  QVERIFY(w.Repair());
  w.view.ExtractMediaCheck()->setChecked(false);
  const fs::path out = w.Dir("out");
  OnLogLine(w.view, files[1] + " saving of file starts....", [&w] { w.view.StopJob(); });

  QVERIFY(w.Save(Text(out), {kIdYes}));
  QCOMPARE(w.MessageTexts().first(), texts::kStopQuestion);

  COMPARE_LOG(LogLines(w.view),
              SavedLines(files[0]) + SavedLines(files[1]) + StoppedLines(files[2]) + StoppedLines(files[3]) + EndLines());
  QCOMPARE(Marks(w.view), (QStringList{"1/1", "1/1", "1/0", "1/0"}));
  QCOMPARE(w.view.TotalProgress()->Pos(), 4);
  QCOMPARE(w.view.TotalProgress()->Upper(), 4);
  QVERIFY(GoodArchive(out / "VANTRELREP_one.odb"));
  QVERIFY(GoodArchive(out / "VANTRELREP_two.odb"));
  QVERIFY(!fs::exists(out / "VANTRELREP_three.odb"));
  QVERIFY(!fs::exists(out / "VANTRELREP_four.odb"));
  CheckSavedState(w.view);

  QVERIFY(w.Save(Text(out)));
  COMPARE_LOG(LogLines(w.view), SavedLines(files[0]) + SavedLines(files[1]) + NotRepairedLines(files[2]) +
                                    NotRepairedLines(files[3]) + EndLines());
}

void SaveJobTest::archiveNotWrittenIsReportedRed() {
  // An archive that cannot take the place of what is in the destination is
  // a failure in red, never "saving of file done"; what was there stays.
  JobWindow w;
  const fs::path in = w.Dir("in");
  const QString blocked = WriteSource(in, "blocked.odb", SampleBytes("hsqldb_40.odb"));
  const QString fine = WriteSource(in, "fine.odb", SampleBytes("firebird_40.odb"));
  w.List({blocked, fine});
  QVERIFY(w.Repair());
  w.view.ExtractMediaCheck()->setChecked(false);
  const fs::path out = w.Dir("out");
  WriteFile(out / "VANTRELREP_blocked.odb" / "keep", "a folder in the way");

  QVERIFY(w.Save(Text(out)));

  const QList<LogLine> lines = LogLines(w.view);
  QCOMPARE(lines[0], (LogLine{blocked + " saving of file starts....", Black()}));
  QVERIFY2(lines[1].text.startsWith(blocked + " saving of file failed (") && lines[1].text.endsWith(")...."),
           qPrintable(lines[1].text));
  QCOMPARE(lines[1].colour, Red());
  const QList<LogLine> rest = QList<LogLine>{{kAsterisks, Black()}} + SavedLines(fine) + EndLines();
  COMPARE_LOG(lines.mid(2), rest);
  QCOMPARE(ReadFile(out / "VANTRELREP_blocked.odb" / "keep"), std::string("a folder in the way"));
  QVERIFY(GoodArchive(out / "VANTRELREP_fine.odb"));
  QCOMPARE(Marks(w.view), (QStringList{"1/1", "1/1"}));
}

QTEST_MAIN(SaveJobTest)
#include "workspace_save_job_test.moc"
