// The status text: the text of the control under the mouse, and the text of
// the file-list item under it.
#include <QSignalSpy>
#include <QtTest>

#include "controls/edit_prompt.h"
#include "view_fixture.h"
#include "workspace/job_log.h"
#include "workspace/salvor_view.h"
#include "workspace/trel_list_ctrl.h"
#include "workspace/workspace_texts.h"

using namespace keelmend;
using namespace keelmend::testing;

namespace {

// Moves the mouse over `target` at `pos` (its own coordinates) and returns
// the status texts the view announced, in order.
QStringList Hover(CSalvorView& view, QWidget* target, QPoint pos) {
  QSignalSpy spy(&view, &CSalvorView::statusTextChanged);
  QMouseEvent move(QEvent::MouseMove, QPointF(pos), target->mapToGlobal(QPointF(pos)), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(target, &move);
  QStringList texts;
  for (const QList<QVariant>& args : spy) texts << args.at(0).toString();
  return texts;
}

QPoint Centre(QWidget* w) { return w->rect().center(); }

}  // namespace

class StatusTextTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void textOfTheControlUnderTheMouse_data();
  void textOfTheControlUnderTheMouse();
  void logTextIsCutAt259Characters();
  void destinationShowsItsTextOnlyOnceTyped();
  void fileListShowsTheItemUnderTheMouse();

 private:
  std::unique_ptr<PrivateTempDir> temp_;
  std::unique_ptr<CSalvorView> view_;
};

void StatusTextTest::init() {
  temp_ = std::make_unique<PrivateTempDir>();
  view_ = std::make_unique<CSalvorView>();
  view_->show();
  view_->resize(1280, 800);
}

void StatusTextTest::cleanup() {
  view_.reset();
  temp_.reset();
}

void StatusTextTest::textOfTheControlUnderTheMouse_data() {
  QTest::addColumn<int>("id");
  QTest::addColumn<QString>("text");
  using namespace workspace_id;
  QTest::newRow("Save button") << kSave << "Save...";
  QTest::newRow("Select files button") << kSelectFiles << "Select files";
  QTest::newRow("disabled Repair button") << kRepairFiles << "Repair files";
  QTest::newRow("Extract Media check box") << kExtractMedia << "Extract Media..";
  QTest::newRow("destination label") << kLabel << texts::kDestinationLabel;
  QTest::newRow("log box") << kLog << texts::kIdleLog;
  QTest::newRow("notice box") << kNotice << NoticeTextOf(Notice::Idle).text;
  QTest::newRow("preview panel") << kPreview << QString();
  QTest::newRow("window background") << 0 << QString();
}

void StatusTextTest::textOfTheControlUnderTheMouse() {
  QFETCH(int, id);
  QFETCH(QString, text);
  QWidget* target = id == 0 ? view_.get() : view_->Control(id);
  QPoint pos = id == 0 ? QPoint(5, 300) : Centre(target);
  // Rich text boxes receive the mouse on their viewport.
  if (auto* box = qobject_cast<QAbstractScrollArea*>(target)) {
    target = box->viewport();
    pos = Centre(target);
  }
  QCOMPARE(Hover(*view_, target, pos), QStringList{text});
}

void StatusTextTest::logTextIsCutAt259Characters() {
  view_->SetLogText(QString());
  view_->AppendLog(std::string(300, 'x'), kLogBlack);
  auto* log = view_->LogBox();
  const QStringList texts = Hover(*view_, log->viewport(), Centre(log->viewport()));
  QCOMPARE(texts, QStringList{QString(259, 'x')});
}

void StatusTextTest::destinationShowsItsTextOnlyOnceTyped() {
  auto* edit = view_->DestinationEdit();
  QCOMPARE(Hover(*view_, edit, Centre(edit)), QStringList{QString()});  // the prompt reads empty
  view_->SetDestination(temp_->Text());
  QCOMPARE(Hover(*view_, edit, Centre(edit)), QStringList{temp_->Text()});
}

void StatusTextTest::fileListShowsTheItemUnderTheMouse() {
  CTrelListCtrl& list = *view_->FileList();
  list.AppendItem("/data/first.odb");
  list.AppendItem("/data/second.odb");
  QWidget* viewport = list.viewport();
  const QPoint overSecond = list.visualItemRect(list.topLevelItem(1)).center();
  // The control's own (empty) text first, then the item's text.
  QCOMPARE(Hover(*view_, viewport, overSecond), (QStringList{QString(), "/data/second.odb"}));
  const QPoint belowItems(20, viewport->height() - 5);
  QCOMPARE(Hover(*view_, viewport, belowItems), QStringList{QString()});
  // The hidden entry list never writes a status text.
  QVERIFY(Hover(*view_, view_->EntryList(), QPoint(1, 1)).isEmpty());
}

QTEST_MAIN(StatusTextTest)
#include "workspace_status_text_test.moc"
