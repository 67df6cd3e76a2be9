// The message box: buttons, results, dismissal rules, the seam it goes
// through, its links, and calls from a worker thread.
#include <atomic>

#include <QLabel>
#include <QPushButton>
#include <QThread>
#include <QtTest>

#include "controls/app_message_box.h"
#include "controls/link_opener.h"
#include "controls/message_box_template.h"
#include "controls/scripted_user_query.h"

using namespace keelmend;

Q_DECLARE_METATYPE(QList<int>)

namespace {

// The box that is up now, if any.
CPPMessageBoxTemplate* OpenBox() {
  return qobject_cast<CPPMessageBoxTemplate*>(QApplication::activeModalWidget());
}

// Runs `box` modally and lets `act` work on it once it is up; returns the
// box's result.
template <typename Act>
int RunWith(CPPMessageBoxTemplate& box, Act act) {
  QTimer::singleShot(0, &box, [&box, act] { act(box); });
  return box.Run();
}

QStringList Labels(const CPPMessageBoxTemplate& box) {
  QStringList labels;
  for (QPushButton* button : box.Buttons()) labels << button->text();
  return labels;
}

// Records the targets it is asked to open.
struct RecordingOpener {
  QStringList targets;
  LinkOpener previous;
  RecordingOpener() {
    previous = SetLinkOpener([this](const QString& target) {
      targets << target;
      return kOpenSucceeded;
    });
  }
  ~RecordingOpener() { SetLinkOpener(previous); }
};

}  // namespace

class AppMessageBoxTest : public QObject {
  Q_OBJECT

 private slots:
  void ButtonsAndIconFollowTheStyle_data() {
    QTest::addColumn<int>("style");
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<QList<int>>("ids");
    QTest::addColumn<bool>("locked");
    QTest::newRow("notice") << 64 << QStringList{"OK"} << QList<int>{kIdOk} << false;
    QTest::newRow("question") << 36 << QStringList{"Yes", "No"} << QList<int>{kIdYes, kIdNo} << true;
    QTest::newRow("warning") << 48 << QStringList{"OK"} << QList<int>{kIdOk} << false;
    QTest::newRow("error") << 16 << QStringList{"OK"} << QList<int>{kIdOk} << false;
    QTest::newRow("no icon") << 0 << QStringList{"OK"} << QList<int>{kIdOk} << false;
  }
  void ButtonsAndIconFollowTheStyle() {
    QFETCH(int, style);
    QFETCH(QStringList, labels);
    QFETCH(QList<int>, ids);
    QFETCH(bool, locked);
    CPPMessageBoxTemplate box(nullptr, "Text", style);
    QCOMPARE(box.windowTitle(), QString("VantrelWorks Keelmend"));
    QCOMPARE(box.accessibleName(), QString("VantrelWorks Keelmend"));
    QCOMPARE(Labels(box), labels);
    for (int i = 0; i < ids.size(); ++i) {
      QCOMPARE(box.Button(ids[i]), box.Buttons()[i]);
      QCOMPARE(box.Buttons()[i]->accessibleName(), labels[i]);
    }
    QVERIFY(box.Buttons().front()->isDefault());
    QCOMPARE(box.IsDismissalLocked(), locked);
    QCOMPARE(box.windowFlags().testFlag(Qt::WindowCloseButtonHint), !locked);
    const bool has_icon = (style & kMbIconMask) != 0;
    QCOMPARE(box.findChildren<QLabel*>().size(), has_icon ? 2 : 1);
  }

  void ButtonGivesItsResult_data() {
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("pressed");
    QTest::newRow("OK") << 64 << kIdOk;
    QTest::newRow("Yes") << 36 << kIdYes;
    QTest::newRow("No") << 36 << kIdNo;
  }
  void ButtonGivesItsResult() {
    QFETCH(int, style);
    QFETCH(int, pressed);
    CPPMessageBoxTemplate box(nullptr, "Do you really want to exit the application?", style);
    const int result = RunWith(box, [pressed](CPPMessageBoxTemplate& shown) {
      QTest::mouseClick(shown.Button(pressed), Qt::LeftButton);
    });
    QCOMPARE(result, pressed);
  }

  void EnterPressesTheDefaultButton() {
    CPPMessageBoxTemplate box(nullptr, "Are you sure to stop the running process?", 36);
    const int result = RunWith(box, [](CPPMessageBoxTemplate& shown) {
      QTest::keyClick(&shown, Qt::Key_Return);
    });
    QCOMPARE(result, kIdYes);
  }

  // Escape and the close box end an OK box with kIdCancel, and do nothing
  // to a Yes/No box, which then still answers its buttons.
  void DismissalRules_data() {
    QTest::addColumn<int>("style");
    QTest::addColumn<bool>("use_escape");
    QTest::addColumn<int>("expected");
    QTest::newRow("notice, Escape") << 64 << true << kIdCancel;
    QTest::newRow("notice, close box") << 64 << false << kIdCancel;
    QTest::newRow("question, Escape refused") << 36 << true << kIdNo;
    QTest::newRow("question, close refused") << 36 << false << kIdNo;
  }
  void DismissalRules() {
    QFETCH(int, style);
    QFETCH(bool, use_escape);
    CPPMessageBoxTemplate box(nullptr, "Do you really want to exit the application?", style);
    bool still_up = false;
    const int result = RunWith(box, [&still_up, use_escape](CPPMessageBoxTemplate& shown) {
      if (use_escape) {
        QTest::keyClick(&shown, Qt::Key_Escape);
      } else {
        shown.close();
      }
      still_up = shown.isVisible();
      if (still_up) QTest::mouseClick(shown.Button(kIdNo), Qt::LeftButton);
    });
    QTEST(result, "expected");
    QCOMPARE(still_up, box.IsDismissalLocked());
  }

  void TextIsRenderedFromItsMarkup() {
    const QString folder = "/tmp/R&D <new>/o'neil";
    const QString text =
        "File(s) saving process has been completed.Saved file(s) location is:<br><a href='" +
        folder + "'>" + folder + "</a>";
    CPPMessageBoxTemplate box(nullptr, text, 64);
    QCOMPARE(box.TextLabel()->textFormat(), Qt::RichText);
    QCOMPARE(box.TextLabel()->accessibleName(),
             "File(s) saving process has been completed.Saved file(s) location is:\n" + folder);
    QVERIFY(box.TextLabel()->text().contains("<a href=\"/tmp/R&amp;D &lt;new&gt;/o'neil\">"));
  }

  void LinkOpensItsTargetAndKeepsTheBoxUp() {
    RecordingOpener opener;
    const QString folder = "/tmp/saved files";
    CPPMessageBoxTemplate box(nullptr, "Saved in:<br><a href='" + folder + "'>" + folder + "</a>",
                              64);
    bool still_up = false;
    const int result = RunWith(box, [&](CPPMessageBoxTemplate& shown) {
      emit shown.TextLabel()->linkActivated(folder);
      still_up = shown.isVisible();
      QTest::mouseClick(shown.Button(kIdOk), Qt::LeftButton);
    });
    QCOMPARE(opener.targets, QStringList{folder});
    QVERIFY(still_up);
    QCOMPARE(result, kIdOk);
  }

  void GoesThroughTheSeam() {
    ScriptedUserQuery script;
    script.AnswerMessage(kIdNo);
    script.AnswerMessage(kIdOk);
    ScopedUserQuery installed(script);
    QWidget owner;
    QCOMPARE(AppMessageBox(nullptr, "Are you sure to stop the running process?", 36), kIdNo);
    QCOMPARE(AppMessageBox(&owner, "No file(s) selected to remove.", 64), kIdOk);
    const auto asked = script.Asked();
    QCOMPARE(asked.size(), 2);
    QCOMPARE(asked[0].text, QString("Are you sure to stop the running process?"));
    QCOMPARE(asked[0].style, 36);
    QCOMPARE(asked[1].owner, &owner);
    QCOMPARE(asked[1].style, 64);
  }

  void NullOwnerIsTheActiveWindow() {
    ScriptedUserQuery script;
    script.AnswerMessage(kIdOk);
    ScopedUserQuery installed(script);
    QWidget frame;
    frame.show();
    frame.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    AppMessageBox(nullptr, "Please select a valid folder path.", 64);
    QCOMPARE(script.Asked().value(0).owner, &frame);
  }

  // From a job's thread the box comes up on the window thread, without an
  // owner, and the job waits until it is answered.
  void WorkerWaitsForTheAnswer() {
    std::atomic<int> result{-1};
    QThread* job = QThread::create([&result] {
      result = AppMessageBox(nullptr, "Are you sure to stop the running process?", 36);
    });
    int seen_while_up = 0;
    bool had_owner = true;
    bool box_on_gui_thread = false;
    QTimer answer;
    answer.setInterval(10);
    connect(&answer, &QTimer::timeout, this, [&] {
      CPPMessageBoxTemplate* box = OpenBox();
      if (box == nullptr) return;
      answer.stop();
      seen_while_up = result;  // still unanswered: the job is blocked
      had_owner = box->parentWidget() != nullptr;
      box_on_gui_thread = box->thread() == QCoreApplication::instance()->thread();
      QTest::mouseClick(box->Button(kIdYes), Qt::LeftButton);
    });
    answer.start();
    job->start();
    QVERIFY(QTest::qWaitFor([job] { return job->isFinished(); }, 30000));
    delete job;
    QCOMPARE(seen_while_up, -1);
    QVERIFY(!had_owner);
    QVERIFY(box_on_gui_thread);
    QCOMPARE(result.load(), kIdYes);
  }

  // A scripted seam sees a worker's question on the window thread, too.
  void WorkerQuestionReachesTheSeamOnTheWindowThread() {
    ScriptedUserQuery script;
    script.AnswerMessage(kIdYes);
    ScopedUserQuery installed(script);
    std::atomic<int> result{-1};
    QThread* job = QThread::create([&result] {
      result = AppMessageBox(nullptr, "Are you sure to stop the running process?", 36);
    });
    job->start();
    QVERIFY(QTest::qWaitFor([job] { return job->isFinished(); }, 30000));
    delete job;
    QCOMPARE(result.load(), kIdYes);
    QCOMPARE(script.Asked().value(0).owner, nullptr);
  }
};

QTEST_MAIN(AppMessageBoxTest)
#include "app_message_box_test.moc"
