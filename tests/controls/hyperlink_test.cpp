// The hyperlink: text and target, colour and underline states, opening its
// target, and the report when that fails.
#include <QEnterEvent>
#include <QtTest>

#include "controls/hyperlink.h"
#include "controls/link_opener.h"
#include "controls/scripted_user_query.h"

using namespace keelmend;

namespace {

// Answers every target with `result` and records what was opened.
struct FakeOpener {
  int result = kOpenSucceeded;
  QStringList opened;
  LinkOpener previous;
  FakeOpener() {
    previous = SetLinkOpener([this](const QString& target) {
      opened << target;
      return result;
    });
  }
  ~FakeOpener() { SetLinkOpener(previous); }
};

void Enter(CHyperLink& link) {
  QEnterEvent event(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
  QCoreApplication::sendEvent(&link, &event);
}

void Leave(CHyperLink& link) {
  QEvent event(QEvent::Leave);
  QCoreApplication::sendEvent(&link, &event);
}

}  // namespace

class HyperlinkTest : public QObject {
  Q_OBJECT

 private slots:
  void TextAndTarget_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("opens");
    QTest::newRow("empty text shows the target")
        << "" << "mailto:support@vantrelworks.example"
        << "mailto:support@vantrelworks.example" << "mailto:support@vantrelworks.example";
    QTest::newRow("empty target is the text") << "www.vantrelworks.example" << ""
                                              << "www.vantrelworks.example"
                                              << "www.vantrelworks.example";
    QTest::newRow("both given") << "Home page" << "https://vantrelworks.example"
                                << "Home page" << "https://vantrelworks.example";
  }
  void TextAndTarget() {
    QFETCH(QString, text);
    QFETCH(QString, target);
    CHyperLink link(text, target);
    link.ensurePolished();
    QTEST(link.text(), "shown");
    QTEST(link.GetLinkTarget(), "opens");
    QTEST(link.toolTip(), "opens");
    QTEST(link.accessibleName(), "shown");
    QCOMPARE(link.cursor().shape(), Qt::PointingHandCursor);
  }

  void TargetSetLaterFillsAnEmptyText() {
    CHyperLink link;
    link.SetLinkTarget("mailto:sales@vantrelworks.example");
    QCOMPARE(link.text(), QString("mailto:sales@vantrelworks.example"));
    QCOMPARE(link.toolTip(), QString("mailto:sales@vantrelworks.example"));
  }

  // Colour and underline through enter and leave, for each underline mode.
  void HoverLook_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("underlined_at_rest");
    QTest::addColumn<bool>("underlined_hovered");
    QTest::newRow("while hovered") << int(CHyperLink::kUnderlineHover) << false << true;
    QTest::newRow("always") << int(CHyperLink::kUnderlineAlways) << true << true;
    QTest::newRow("never") << int(CHyperLink::kUnderlineNever) << false << false;
    QTest::newRow("other values: never") << 7 << false << false;
  }
  void HoverLook() {
    QFETCH(int, mode);
    QFETCH(bool, underlined_at_rest);
    QFETCH(bool, underlined_hovered);
    CHyperLink link("Home page", "https://vantrelworks.example");
    link.SetUnderlineMode(mode);
    QCOMPARE(link.CurrentColour(), QColor(0, 0, 238));
    QCOMPARE(link.font().underline(), underlined_at_rest);

    Enter(link);
    QVERIFY(link.IsHovered());
    QCOMPARE(link.CurrentColour(), QColor(255, 0, 0));
    QCOMPARE(link.palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QCOMPARE(link.font().underline(), underlined_hovered);

    Leave(link);
    QVERIFY(!link.IsHovered());
    QCOMPARE(link.palette().color(QPalette::WindowText), QColor(0, 0, 238));
    QCOMPARE(link.font().underline(), underlined_at_rest);
  }

  void SuccessfulClickTurnsItVisited() {
    FakeOpener opener;
    ScriptedUserQuery script;  // nothing may be asked
    ScopedUserQuery installed(script);
    CHyperLink link("", "mailto:support@vantrelworks.example");
    link.resize(200, 20);
    QSignalSpy opened(&link, &CHyperLink::LinkOpened);
    Enter(link);
    QTest::mouseClick(&link, Qt::LeftButton, {}, QPoint(3, 3));
    QCOMPARE(opener.opened, QStringList{"mailto:support@vantrelworks.example"});
    QVERIFY(link.GetVisited());
    QVERIFY(!link.IsHovered());
    QCOMPARE(link.palette().color(QPalette::WindowText), QColor(85, 26, 139));
    QCOMPARE(opened.size(), 1);
    QCOMPARE(opened[0][1].toBool(), true);
    QVERIFY(script.Asked().isEmpty());
  }

  void FailedClickReportsAndShowsUnvisited() {
    FakeOpener opener;
    opener.result = 26;
    ScriptedUserQuery script;
    script.AnswerMessage(kIdOk);
    ScopedUserQuery installed(script);
    QWidget about;
    auto* link = new CHyperLink("Home page", "https://vantrelworks.example", &about);
    link->SetVisited(true);  // visited before: a failure clears it
    QVERIFY(!link->Activate());
    QVERIFY(!link->GetVisited());
    QCOMPARE(link->CurrentColour(), QColor(0, 0, 238));
    const auto asked = script.Asked();
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked[0].text, QString("Unable to open hyperlink:\n\nA sharing violation occurred. "));
    QCOMPARE(asked[0].style & kMbIconMask, kMbIconExclamation);
    QCOMPARE(asked[0].style & kMbButtonMask, kMbOk);
    QCOMPARE(asked[0].owner, &about);
    // The link stays usable.
    opener.result = kOpenSucceeded;
    QVERIFY(link->Activate());
    QVERIFY(link->GetVisited());
  }

  void KeyboardOpensIt() {
    FakeOpener opener;
    CHyperLink link("Home page", "https://vantrelworks.example");
    QTest::keyClick(&link, Qt::Key_Return);
    QTest::keyClick(&link, Qt::Key_Space);
    QCOMPARE(opener.opened.size(), 2);
  }

  void OtherButtonsDoNotOpen() {
    FakeOpener opener;
    CHyperLink link("Home page", "https://vantrelworks.example");
    QTest::mouseClick(&link, Qt::RightButton, {}, QPoint(3, 3));
    QVERIFY(opener.opened.isEmpty());
  }

  void ErrorText_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("0") << 0 << "The operating system is out\nof memory or resources.";
    QTest::newRow("2") << 2 << "The specified file was not found.";
    QTest::newRow("3") << 3 << "The specified path was not found.";
    QTest::newRow("26") << 26 << "A sharing violation occurred. ";
    QTest::newRow("30") << 30 << "The DDE transaction could not\nbe completed because other DDE "
                                 "transactions\nwere being processed.";
    QTest::newRow("31") << 31 << "There is no application associated\nwith the given filename extension.";
    QTest::newRow("32") << 32 << "The specified dynamic-link library was not found.";
    QTest::newRow("unknown") << 99 << "Unknown Error (99) occurred.";
    QTest::newRow("unknown 1") << 1 << "Unknown Error (1) occurred.";
  }
  void ErrorText() {
    QFETCH(int, code);
    QFETCH(QString, message);
    QCOMPARE(HyperlinkErrorText(code), "Unable to open hyperlink:\n\n" + message);
  }

  // Resizing to the text keeps the edge the alignment names.
  void FitsItsText_data() {
    QTest::addColumn<int>("alignment");
    QTest::addColumn<QString>("kept");
    QTest::newRow("left") << int(Qt::AlignLeft | Qt::AlignTop) << "left";
    QTest::newRow("centred") << int(Qt::AlignHCenter | Qt::AlignTop) << "centre";
    QTest::newRow("right") << int(Qt::AlignRight | Qt::AlignTop) << "right";
    QTest::newRow("vertically centred") << int(Qt::AlignLeft | Qt::AlignVCenter) << "middle";
  }
  void FitsItsText() {
    QFETCH(int, alignment);
    QFETCH(QString, kept);
    QWidget parent;
    parent.resize(600, 300);
    auto* link = new CHyperLink("x", "", &parent);
    link->setAlignment(Qt::Alignment(alignment));
    link->setGeometry(200, 100, 40, 60);
    const QRect before = link->geometry();
    link->SetLinkText("support@vantrelworks.example");
    const QRect after = link->geometry();
    QVERIFY(after.width() > before.width());
    QCOMPARE(after.height(), link->fontMetrics().height());
    if (kept == "left") QCOMPARE(after.left(), before.left());
    if (kept == "right") QCOMPARE(after.right(), before.right());
    if (kept == "centre") QVERIFY(qAbs(after.center().x() - before.center().x()) <= 1);
    if (kept == "middle") QVERIFY(qAbs(after.center().y() - before.center().y()) <= 1);
    if (kept != "middle") QCOMPARE(after.top(), before.top());
  }

  void NoFittingWhenTurnedOff() {
    QWidget parent;
    auto* link = new CHyperLink("x", "", &parent);
    link->SetAutoSize(false);
    link->setGeometry(10, 10, 40, 60);
    link->SetLinkText("support@vantrelworks.example");
    QCOMPARE(link->geometry(), QRect(10, 10, 40, 60));
  }
};

QTEST_MAIN(HyperlinkTest)
#include "hyperlink_test.moc"
