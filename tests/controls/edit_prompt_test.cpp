// The prompting edit's state machine, and what it shows.
#include <QFocusEvent>
#include <QtTest>

#include "controls/edit_prompt.h"

using keelmend::CXEditPrompt;

namespace {

const QString kDestinationPrompt =
    QStringLiteral("<Please enter valid path to save repaired Base file(s)> ");

// One step done to the edit, written as a short word:
//   "set:TEXT" (also "set:" for ""), "null", "prompt:TEXT", "key:NAME",
//   "click:left|middle|right", "focus", "base-set:TEXT", "restore".
void Apply(CXEditPrompt& edit, const QString& step) {
  QString argument = step.section(':', 1);
  if (argument.isNull()) argument = QLatin1String("");  // "set:" sets "", not a null text
  if (step.startsWith("set:")) {
    edit.SetText(argument == "<prompt>" ? edit.GetPromptText() : argument);
  } else if (step == "null") {
    edit.SetText(QString());
  } else if (step.startsWith("prompt:")) {
    edit.SetPromptText(argument);
  } else if (step.startsWith("key:")) {
    const QKeySequence key(argument);
    QTest::keyClick(&edit, Qt::Key(key[0].key()), key[0].keyboardModifiers());
  } else if (step == "key-shift") {
    QTest::keyClick(&edit, Qt::Key_Shift);
  } else if (step.startsWith("click:")) {
    const Qt::MouseButton button = argument == "left"     ? Qt::LeftButton
                                   : argument == "middle" ? Qt::MiddleButton
                                                          : Qt::RightButton;
    QTest::mouseClick(&edit, button, {}, QPoint(5, 5));
  } else if (step == "focus") {
    QFocusEvent event(QEvent::FocusIn, Qt::TabFocusReason);
    QCoreApplication::sendEvent(&edit, &event);
  } else if (step.startsWith("base-set:")) {
    static_cast<QLineEdit&>(edit).setText(argument);
  } else if (step == "restore") {
    edit.RestorePrompt();
  } else {
    QFAIL(qPrintable("unknown step " + step));
  }
}

}  // namespace

class EditPromptTest : public QObject {
  Q_OBJECT

 private slots:
  void StateMachine_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<bool>("prompting");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown_prompt");
    const QString standard = "<Enter text here>";
    QTest::newRow("fresh") << QStringList{} << true << "" << standard;
    QTest::newRow("empty text keeps the prompt") << QStringList{"set:"} << true << "" << standard;
    QTest::newRow("null text is ignored") << QStringList{"null"} << true << "" << standard;
    QTest::newRow("the prompt's own text keeps the prompt")
        << QStringList{"set:<prompt>"} << true << "" << standard;
    QTest::newRow("a path ends the prompt") << QStringList{"set:/srv/out"} << false << "/srv/out" << "";
    QTest::newRow("focus keeps the prompt") << QStringList{"focus"} << true << "" << standard;
    QTest::newRow("a typed letter replaces it") << QStringList{"focus", "key:A"} << false << "a" << "";
    QTest::newRow("any key ends it, even an arrow")
        << QStringList{"key:Right"} << false << "" << "";
    QTest::newRow("a modifier alone ends it") << QStringList{"key-shift"} << false << "" << "";
    QTest::newRow("left click ends it") << QStringList{"click:left"} << false << "" << "";
    QTest::newRow("middle click ends it") << QStringList{"click:middle"} << false << "" << "";
    QTest::newRow("right click ends it") << QStringList{"click:right"} << false << "" << "";
    QTest::newRow("clearing later does not bring it back")
        << QStringList{"set:/srv/out", "set:"} << false << "" << "";
    QTest::newRow("the prompt's text is plain text once ended")
        << QStringList{"click:left", "set:<prompt>"} << false << standard << "";
    QTest::newRow("a new prompt while prompting shows")
        << QStringList{"prompt:" + kDestinationPrompt} << true << "" << kDestinationPrompt;
    QTest::newRow("an empty prompt ends prompting") << QStringList{"prompt:"} << false << "" << "";
    QTest::newRow("a new prompt after the end stays hidden")
        << QStringList{"key:Right", "prompt:<Folder>"} << false << "" << "";
    QTest::newRow("text through the base class ends it")
        << QStringList{"base-set:/srv/out"} << false << "/srv/out" << "";
    QTest::newRow("restore brings it back")
        << QStringList{"set:/srv/out", "restore"} << true << "" << standard;
    QTest::newRow("restore without a prompt does nothing")
        << QStringList{"prompt:", "set:x", "restore"} << false << "x" << "";
  }
  void StateMachine() {
    QFETCH(QStringList, steps);
    CXEditPrompt edit;
    edit.resize(300, 24);
    for (const QString& step : steps) Apply(edit, step);
    QTEST(edit.IsPrompting(), "prompting");
    QTEST(edit.text(), "text");
    QTEST(static_cast<QLineEdit&>(edit).text(), "text");
    QTEST(edit.placeholderText(), "shown_prompt");
  }

  // A destination that still shows its prompt reads as empty, however read.
  void PromptReadsAsEmpty() {
    CXEditPrompt edit;
    edit.SetPromptText(kDestinationPrompt);
    QCOMPARE(edit.GetText(), QString());
    QCOMPARE(static_cast<QLineEdit&>(edit).text(), QString());
    QCOMPARE(edit.property("text").toString(), QString());
    QVERIFY(edit.GetText().isEmpty());
  }

  void PromptIsGreyAndPathIsNot() {
    CXEditPrompt edit;
    edit.resize(300, 26);
    edit.SetPromptText(kDestinationPrompt);
    QCOMPARE(edit.palette().color(QPalette::PlaceholderText), QColor(158, 158, 158));
    auto has_grey = [&edit] {
      const QImage image = edit.grab().toImage().convertToFormat(QImage::Format_RGB32);
      for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
          if (QColor(image.pixel(x, y)) == QColor(158, 158, 158)) return true;
        }
      }
      return false;
    };
    QVERIFY(has_grey());
    edit.SetText("/srv/out");
    QVERIFY(!has_grey());
  }

  void AccessibleNameFollowsThePrompt() {
    CXEditPrompt edit;
    edit.SetPromptText(kDestinationPrompt);
    QCOMPARE(edit.accessibleName(), kDestinationPrompt);
    edit.setAccessibleName("Destination folder");
    edit.SetPromptText("<Folder>");
    QCOMPARE(edit.accessibleName(), QString("Destination folder"));
  }
};

QTEST_MAIN(EditPromptTest)
#include "edit_prompt_test.moc"
