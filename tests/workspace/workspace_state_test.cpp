// The working states of the workspace window: what each enables, shows and
// says, reached through the same commands the user gives.
#include <thread>

#include <QCheckBox>
#include <QPushButton>
#include <QTextBlock>
#include <QTextEdit>
#include <QtTest>

#include "controls/edit_prompt.h"
#include "controls/est_progress_ctrl.h"
#include "view_fixture.h"
#include "workspace/job_log.h"
#include "workspace/salvor_doc.h"
#include "workspace/salvor_view.h"
#include "workspace/trel_list_ctrl.h"
#include "workspace/workspace_texts.h"

using namespace keelmend;
using namespace keelmend::testing;

namespace {

// How a test reaches a state: the commands, in order.
enum Route {
  kIdle,
  kListed,
  kRepairing,
  kRepaired,
  kSaving,
  kSaved,
  kListedAfterRepair,
  kRepairingAfterRepair,
  kIdleAfterRemovingAll,
};

const QString kFile = QStringLiteral("/data/sales.odb");

void SelectOneFile(CSalvorView& view, ScriptedUserQuery& query) {
  query.AnswerFiles({kFile});
  view.SelectFiles();
}

void Repair(CSalvorView& view) {
  view.StartRepair();
  view.AppendLog(kFile.toStdString() + " file is open....\r\n", kLogBlack);
  view.ApplyWindowState(WindowState::Repaired);  // what the end of the repair job does
}

void Follow(Route route, CSalvorView& view, ScriptedUserQuery& query) {
  view.SetRepairJobStarter([](JobContext*) {});
  view.SetSaveJobStarter([](JobContext*) {});
  switch (route) {
    case kIdle: break;
    case kListed: SelectOneFile(view, query); break;
    case kRepairing:
      SelectOneFile(view, query);
      view.StartRepair();
      break;
    case kRepaired:
      SelectOneFile(view, query);
      Repair(view);
      break;
    case kSaving:
      SelectOneFile(view, query);
      Repair(view);
      view.ApplyWindowState(WindowState::Saving);  // what the save job does at its start
      break;
    case kSaved:
      SelectOneFile(view, query);
      Repair(view);
      view.ApplyWindowState(WindowState::Saving);
      view.ShowPreview(QString(), PreviewState::NoImage);  // a preview asked for meanwhile
      view.FinishSave();
      break;
    case kListedAfterRepair:
      SelectOneFile(view, query);
      Repair(view);
      SelectOneFile(view, query);
      break;
    case kRepairingAfterRepair:
      SelectOneFile(view, query);
      Repair(view);
      view.StartRepair();
      break;
    case kIdleAfterRemovingAll:
      SelectOneFile(view, query);
      Repair(view);
      view.FileList()->selectAll();
      view.RemoveFiles();
      break;
  }
}

bool Enabled(CSalvorView& view, int id) { return view.Control(id)->isEnabled(); }
bool Shown(CSalvorView& view, int id) { return !view.Control(id)->isHidden(); }

// The texts of the bold runs of a rich text box, in order.
QStringList BoldRuns(const QTextEdit& box) {
  QStringList runs;
  QString current;
  for (QTextBlock block = box.document()->begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      if (fragment.charFormat().fontWeight() >= QFont::Bold) {
        current += fragment.text();
      } else if (!current.isEmpty()) {
        runs << current;
        current.clear();
      }
    }
    if (!current.isEmpty() && block.next().isValid()) {
      // a run does not continue over the line break in these texts
      runs << current;
      current.clear();
    }
  }
  if (!current.isEmpty()) runs << current;
  return runs;
}

}  // namespace

class WorkspaceStateTest : public QObject {
  Q_OBJECT

 private slots:
  void stateRules_data();
  void stateRules();
  void noticeBoldRuns_data();
  void noticeBoldRuns();
  void startupClearsLeftoverWorkRoot();
  void startupWithoutLeftoverShowsNoFiles();
  void extractMediaStartsCheckedAndKeepsItsState();
  void everyControlHasAnAccessibleName();
  void controlsCarryTheirCaptionsAndTooltips();
  void stopAsksAndOnlyYesStops();
  void saveRefusedWhileAJobRuns();
  void clearingCommandsWaitForTheJobThread();
  void documentKeysFollowTheFlags();
  void repairClearsTheLastRunAndHandsTheJobItsRecord();
  void aJobThreadDrivesTheWindow();
};

void WorkspaceStateTest::stateRules_data() {
  QTest::addColumn<int>("route");
  QTest::addColumn<bool>("select");
  QTest::addColumn<bool>("repair");
  QTest::addColumn<bool>("saveGroup");
  QTest::addColumn<bool>("stop");
  QTest::addColumn<bool>("fileRow");
  QTest::addColumn<bool>("totalRow");
  QTest::addColumn<int>("preview");
  QTest::addColumn<QString>("log");
  QTest::addColumn<QString>("notice");
  QTest::addColumn<int>("jobRunning");

  const QString idleNotice = NoticeTextOf(Notice::Idle).text;
  const QString jobLines = kFile + " file is open....\n";
  const auto P = [](PreviewState s) { return static_cast<int>(s); };
  QTest::newRow("Idle") << int(kIdle) << true << false << false << false << false << false
                        << P(PreviewState::NoFiles) << texts::kIdleLog << idleNotice << 0;
  QTest::newRow("Listed") << int(kListed) << true << true << false << false << false << false
                          << P(PreviewState::SelectToRepair) << texts::kListedLog << idleNotice << 0;
  QTest::newRow("Repairing") << int(kRepairing) << false << false << false << true << true << true
                             << P(PreviewState::Repairing) << QString()
                             << NoticeTextOf(Notice::Repairing).text << 1;
  QTest::newRow("Repaired") << int(kRepaired) << true << true << true << false << false << false
                            << P(PreviewState::SelectToPreview) << jobLines
                            << NoticeTextOf(Notice::Repaired).text << 0;
  QTest::newRow("Saving") << int(kSaving) << false << false << false << true << false << true
                          << P(PreviewState::SelectToPreview) << QString()
                          << NoticeTextOf(Notice::Saving).text << 1;
  QTest::newRow("end of saving") << int(kSaved) << true << true << true << false << false << false
                                 << P(PreviewState::NoImage) << QString()
                                 << NoticeTextOf(Notice::Saved).text << 0;
  QTest::newRow("Listed keeps the save group") << int(kListedAfterRepair) << true << true << true
                                               << false << false << false
                                               << P(PreviewState::SelectToRepair) << texts::kListedLog
                                               << NoticeTextOf(Notice::Repaired).text << 0;
  QTest::newRow("Repairing keeps the save group")
      << int(kRepairingAfterRepair) << false << false << true << true << true << true
      << P(PreviewState::Repairing) << QString() << NoticeTextOf(Notice::Repairing).text << 1;
  QTest::newRow("Idle after removing every file")
      << int(kIdleAfterRemovingAll) << true << false << false << false << false << false
      << P(PreviewState::NoFiles) << texts::kIdleLog << idleNotice << 0;
}

void WorkspaceStateTest::stateRules() {
  QFETCH(int, route);
  QFETCH(bool, select);
  QFETCH(bool, repair);
  QFETCH(bool, saveGroup);
  QFETCH(bool, stop);
  QFETCH(bool, fileRow);
  QFETCH(bool, totalRow);
  QFETCH(int, preview);
  QFETCH(QString, log);
  QFETCH(QString, notice);
  QFETCH(int, jobRunning);

  PrivateTempDir temp;
  ScriptedUserQuery query;
  ScopedUserQuery seam(query);
  CSalvorView view;
  view.resize(1280, 800);
  Follow(static_cast<Route>(route), view, query);

  using namespace workspace_id;
  QCOMPARE(view.IsSelectEnabled(), select);
  QCOMPARE(Enabled(view, kSelectFiles), select);
  QCOMPARE(view.IsRepairEnabled(), repair);
  QCOMPARE(Enabled(view, kRepairFiles), repair);
  QCOMPARE(Enabled(view, kRemoveFiles), repair);
  QCOMPARE(view.IsSaveEnabled(), saveGroup);
  for (int id : {kSave, kBrowse, kExtractMedia, kDestinationEdit}) QCOMPARE(Enabled(view, id), saveGroup);
  QCOMPARE(Shown(view, kStop), stop);
  if (stop) QVERIFY(Enabled(view, kStop));
  QCOMPARE(!view.FileProgressLabel()->isHidden(), fileRow);
  QCOMPARE(Shown(view, kFileProgress), fileRow);
  QCOMPARE(!view.TotalProgressLabel()->isHidden(), totalRow);
  QCOMPARE(Shown(view, kTotalProgress), totalRow);
  QCOMPARE(static_cast<int>(view.PreviewPanel()->State()), preview);
  QVERIFY(!view.PreviewPanel()->HasImage());
  QCOMPARE(view.LogBox()->toPlainText(), log);
  QCOMPARE(view.NoticeBox()->toPlainText(), notice);
  QCOMPARE(view.State().jobRunning.load(), jobRunning);
  for (int id : {kExit, kFileList, kPreview}) QVERIFY(Enabled(view, id));
  QVERIFY(query.Unscripted().isEmpty());
}

void WorkspaceStateTest::noticeBoldRuns_data() {
  QTest::addColumn<int>("notice");
  QTest::addColumn<QStringList>("bold");
  QTest::newRow("Idle") << int(Notice::Idle)
                        << QStringList{"Select files", ".odb", "Repair files ", "odb "};
  QTest::newRow("Repairing") << int(Notice::Repairing) << QStringList{"odb file(s)"};
  QTest::newRow("Repaired") << int(Notice::Repaired)
                            << QStringList{"item in the list", " Browse folder", " Save...", " .odb"};
  QTest::newRow("Saving") << int(Notice::Saving) << QStringList{"odb file(s)"};
  QTest::newRow("Saved") << int(Notice::Saved) << QStringList{"odb file(s)"};
}

void WorkspaceStateTest::noticeBoldRuns() {
  QFETCH(int, notice);
  QFETCH(QStringList, bold);
  PrivateTempDir temp;
  CSalvorView view;
  view.SetNotice(static_cast<Notice>(notice));
  QCOMPARE(BoldRuns(*view.NoticeBox()), bold);
  // Each new notice replaces the whole text, bold runs included.
  view.SetNotice(Notice::Repairing);
  QCOMPARE(BoldRuns(*view.NoticeBox()), QStringList{"odb file(s)"});
}

void WorkspaceStateTest::startupClearsLeftoverWorkRoot() {
  PrivateTempDir temp;
  WriteFile(GetWorkRoot() / "old.odb0" / "content.xml", "left over");
  CSalvorView view;
  QVERIFY(!std::filesystem::exists(GetWorkRoot()));
  QCOMPARE(view.PreviewPanel()->State(), PreviewState::NoText);
  QVERIFY(view.IsSelectEnabled());
}

void WorkspaceStateTest::startupWithoutLeftoverShowsNoFiles() {
  PrivateTempDir temp;
  CSalvorView view;
  QCOMPARE(view.PreviewPanel()->State(), PreviewState::NoFiles);
  QCOMPARE(view.FileList()->Count(), 0);
  QCOMPARE(view.EntryList()->isHidden(), true);
  QCOMPARE(view.Destination(), QString());
  QCOMPARE(view.DestinationEdit()->GetPromptText(), texts::kDestinationPrompt);
  QVERIFY(view.DestinationEdit()->IsPrompting());
}

void WorkspaceStateTest::extractMediaStartsCheckedAndKeepsItsState() {
  PrivateTempDir temp;
  CSalvorView view;
  QVERIFY(view.ExtractMediaChecked());
  view.EnableSaveGroup(true);
  view.ExtractMediaCheck()->click();
  QVERIFY(!view.ExtractMediaChecked());
  for (WindowState state : {WindowState::Repairing, WindowState::Repaired, WindowState::Saving})
    view.ApplyWindowState(state);
  view.FinishSave();
  QVERIFY(!view.ExtractMediaChecked());
}

void WorkspaceStateTest::everyControlHasAnAccessibleName() {
  PrivateTempDir temp;
  CSalvorView view;
  for (QWidget* child : view.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    QVERIFY2(!child->accessibleName().isEmpty(), child->metaObject()->className());
  }
  using namespace workspace_id;
  const std::pair<int, const char*> named[] = {
      {kFileList, "File list"},   {kPreview, "Preview"},
      {kDestinationEdit, "Destination folder"}, {kLog, "Log"},
      {kNotice, "Notice"},        {kFileProgress, "File progress"},
      {kTotalProgress, "Total progress"},       {kSave, "Save..."},
      {kExtractMedia, "Extract Media.."},       {kSelectFiles, "Select files"}};
  for (const auto& [id, name] : named) QCOMPARE(view.Control(id)->accessibleName(), QString(name));
}

void WorkspaceStateTest::controlsCarryTheirCaptionsAndTooltips() {
  PrivateTempDir temp;
  CSalvorView view;
  using namespace workspace_id;
  const struct {
    int id;
    const char* caption;
    const char* tooltip;
  } buttons[] = {{kSelectFiles, "Select files", "Select file(s)"},
                 {kRemoveFiles, "Remove files", "Remove file(s)"},
                 {kRepairFiles, "Repair files", "Repair file(s)"},
                 {kSave, "Save...", "Save file(s)"},
                 {kStop, "Stop", "Stop"},
                 {kExit, "Exit", "Exit"},
                 {kBrowse, "...", "Browse folder"}};
  for (const auto& b : buttons) {
    auto* button = qobject_cast<QPushButton*>(view.Control(b.id));
    QVERIFY(button);
    QCOMPARE(button->text(), QString(b.caption));
    QCOMPARE(button->toolTip(), QString(b.tooltip));
    QVERIFY(!button->icon().isNull());
  }
  QStringList labels;
  for (QWidget* child : view.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (child->property(kControlIdProperty).toInt() == kLabel) labels << child->accessibleName();
  }
  QCOMPARE(labels, (QStringList{"Please select location to save repaired file(s):", "File preview:",
                                "File progress:", "Total files progress:"}));
  QCOMPARE(view.FileList()->headerItem()->text(0), QString("File Name"));
  QCOMPARE(view.FileList()->columnWidth(0), 900);
  QVERIFY(view.LogBox()->isReadOnly());
  QVERIFY(view.NoticeBox()->isReadOnly());
}

void WorkspaceStateTest::stopAsksAndOnlyYesStops() {
  PrivateTempDir temp;
  ScriptedUserQuery query;
  ScopedUserQuery seam(query);
  CSalvorView view;
  SelectOneFile(view, query);
  view.SetRepairJobStarter([](JobContext*) {});
  view.StartRepair();
  auto* stop = view.Control(workspace_id::kStop);

  query.AnswerMessage(kIdNo);
  view.StopJob();
  QCOMPARE(view.State().jobRunning.load(), 1);
  QVERIFY(stop->isEnabled());

  query.AnswerMessage(kIdYes);
  view.StopJob();
  QCOMPARE(view.State().jobRunning.load(), 0);
  QVERIFY(!stop->isEnabled());
  QVERIFY(!stop->isHidden());  // hidden by the job's end, not by the stop
  const auto asked = query.Asked();
  QCOMPARE(asked.last().text, texts::kStopQuestion);
  QCOMPARE(asked.last().style, kStyleQuestion);
}

void WorkspaceStateTest::saveRefusedWhileAJobRuns() {
  PrivateTempDir temp;
  ScriptedUserQuery query;
  ScopedUserQuery seam(query);
  CSalvorView view;
  int saves = 0;
  view.SetSaveJobStarter([&saves](JobContext*) { ++saves; });
  const struct {
    int jobRunning;
    int threadAlive;
  } busy[] = {{1, 1}, {0, 1}};  // running, and stopped but its thread not yet ended
  for (const auto& b : busy) {
    view.State().jobRunning = b.jobRunning;
    view.State().jobThreadAlive = b.threadAlive;
    query.AnswerMessage(kIdOk);
    view.StartSave();
    QCOMPARE(query.Asked().last().text, texts::kStopBeforeSaving);
  }
  QCOMPARE(saves, 0);
  view.State().jobRunning = 0;
  view.State().jobThreadAlive = 0;
  view.StartSave();
  QCOMPARE(saves, 1);
  QCOMPARE(view.State().jobContext.view, &view);
}

void WorkspaceStateTest::clearingCommandsWaitForTheJobThread() {
  // While a stopped job's thread still runs, nothing may clear or rename the
  // work folders it writes to.
  PrivateTempDir temp;
  ScriptedUserQuery query;
  ScopedUserQuery seam(query);
  CSalvorView view;
  SelectOneFile(view, query);
  const auto folder = MakeWorkFolder(kFile, 0, "being written");
  view.State().jobThreadAlive = 1;
  int repairs = 0;
  view.SetRepairJobStarter([&repairs](JobContext*) { ++repairs; });
  view.StartRepair();
  view.FileList()->selectAll();
  view.RemoveFiles();
  view.SelectFiles();
  QCOMPARE(repairs, 0);
  QCOMPARE(view.FileList()->Count(), 1);
  QVERIFY(std::filesystem::exists(folder / "content.xml"));
  QVERIFY(query.Asked().size() == 1);  // only the first selection asked
}

void WorkspaceStateTest::documentKeysFollowTheFlags() {
  PrivateTempDir temp;
  ScriptedUserQuery query;
  ScopedUserQuery seam(query);
  CSalvorView view;
  CSalvorDoc doc;
  int saves = 0;
  view.SetSaveJobStarter([&saves](JobContext*) { ++saves; });

  doc.OnFileNew();  // no view known: nothing
  doc.SetView(&view);
  view.State().selectEnabled = 0;
  doc.OnFileOpen();
  QVERIFY(query.Asked().isEmpty());
  view.State().selectEnabled = 1;
  query.AnswerFiles({});
  doc.OnFileOpen();
  query.AnswerFiles({});
  doc.OnFileNew();
  QCOMPARE(query.Asked().size(), 2);

  doc.OnFileSave();  // save group disabled
  QCOMPARE(saves, 0);
  view.EnableSaveGroup(true);
  doc.OnFileSave();
  QCOMPARE(saves, 1);
}

void WorkspaceStateTest::repairClearsTheLastRunAndHandsTheJobItsRecord() {
  PrivateTempDir temp;
  ScriptedUserQuery query;
  ScopedUserQuery seam(query);
  QWidget frame;
  CSalvorView view(&frame);
  view.SetMainWindow(&frame);
  SelectOneFile(view, query);
  const auto oldRun = MakeWorkFolder(kFile, 0, "first run");
  WritePicture(oldRun / "Thumbnails" / "thumbnail.png", Qt::red);
  QCOMPARE(view.ShowFilePreview(0), 1);  // a picture of the first run on screen
  view.TotalProgress()->SetRange(10);
  view.TotalProgress()->SetPos(7);

  JobContext* handed = nullptr;
  bool rootGoneAtStart = false;
  view.SetRepairJobStarter([&](JobContext* context) {
    handed = context;
    rootGoneAtStart = !std::filesystem::exists(GetWorkRoot());
  });
  view.StartRepair();
  QVERIFY(rootGoneAtStart);
  QVERIFY(!view.PreviewPanel()->HasImage());
  QCOMPARE(handed, &view.State().jobContext);
  QCOMPARE(handed->view, &view);
  QCOMPARE(handed->mainWindow, &frame);
  QVERIFY(view.ListHoldsResults());
  QCOMPARE(view.TotalProgress()->Pos(), 0);
  QCOMPARE(view.FileProgress()->Pos(), 0);
}

void WorkspaceStateTest::aJobThreadDrivesTheWindow() {
  // What a job does from its thread: each call is carried out on the window
  // thread while the job waits.
  PrivateTempDir temp;
  ScriptedUserQuery query;
  ScopedUserQuery seam(query);
  CSalvorView view;
  SelectOneFile(view, query);
  view.SetRepairJobStarter([](JobContext*) {});
  view.StartRepair();
  std::atomic<bool> done{false};
  std::thread job([&view, &done] {
    view.AppendLog(kFile.toStdString() + "  Repaired....\r\n", kLogGreen);
    view.FileList()->ReplaceItem(0, view.FileList()->ItemText(0), CTrelListCtrl::Repaired);
    view.FileList()->SetItemData(0, 1);
    view.ApplyWindowState(WindowState::Repaired);
    view.ApplyWindowState(WindowState::Saving);
    view.FinishSave();
    done = true;
  });
  QTRY_VERIFY(done.load());
  job.join();
  QCOMPARE(view.FileList()->ItemImage(0), int(CTrelListCtrl::Repaired));
  QCOMPARE(view.FileList()->ItemData(0), 1);
  QCOMPARE(view.NoticeBox()->toPlainText(), NoticeTextOf(Notice::Saved).text);
  QVERIFY(view.IsSaveEnabled());
  QVERIFY(view.Control(workspace_id::kStop)->isHidden());
  QCOMPARE(view.State().jobRunning.load(), 0);
}

QTEST_MAIN(WorkspaceStateTest)
#include "workspace_state_test.moc"
