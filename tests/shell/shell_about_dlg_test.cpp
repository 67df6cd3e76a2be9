// The About box: its texts, its links and the keys it ignores.
#include <QPushButton>
#include <QtTest>

#include "controls/hyperlink.h"
#include "controls/transparent_static.h"
#include "shell/about_dlg.h"
#include "shell_test_support.h"

using namespace keelmend;

class AboutDlgTest : public QObject {
  Q_OBJECT

 private slots:
  void textsAndCaption() {
    CAboutDlg about;
    QCOMPARE(about.windowTitle(), QStringLiteral("About VantrelWorks Keelmend v1.0"));
    QCOMPARE(about.VersionLabel()->text(), QStringLiteral("VantrelWorks Keelmend v1.0"));
    QVERIFY(about.VersionLabel()->font().bold());
    QCOMPARE(about.SoftwareLabel()->text(), QStringLiteral("VantrelWorks Keelmend Software"));
    QVERIFY(!about.RightsLabel()->text().isEmpty());
    QCOMPARE(about.OkButton()->text(), QStringLiteral("OK"));
    QVERIFY(!about.OkButton()->icon().isNull());
  }

  void textsFitTheirLabels() {
    CAboutDlg about;
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    for (QLabel* label : {static_cast<QLabel*>(about.VersionLabel()),
                          static_cast<QLabel*>(about.RightsLabel()),
                          static_cast<QLabel*>(about.SoftwareLabel())}) {
      QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
               qPrintable(label->text()));
      QVERIFY(about.rect().contains(label->geometry()));
    }
  }

  void linksAreUnderlinedFromTheStartAndOpenTheirTargets_data() {
    QTest::addColumn<int>("which");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("target");
    QTest::newRow("web site") << 0 << "https://vantrelworks.example/keelmend"
                              << "https://vantrelworks.example/keelmend";
    QTest::newRow("support") << 1 << "support@vantrelworks.example"
                             << "mailto:support@vantrelworks.example";
    QTest::newRow("sales") << 2 << "sales@vantrelworks.example"
                           << "mailto:sales@vantrelworks.example";
  }
  void linksAreUnderlinedFromTheStartAndOpenTheirTargets() {
    QFETCH(int, which);
    QFETCH(QString, text);
    QFETCH(QString, target);
    test::RecordedLinks links;
    CAboutDlg about;
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    CHyperLink* link = QList<CHyperLink*>{about.WebLink(), about.SupportLink(),
                                          about.SalesLink()}[which];
    QCOMPARE(link->text(), text);
    QCOMPARE(link->GetLinkTarget(), target);
    QCOMPARE(link->GetUnderlineMode(), int(CHyperLink::kUnderlineAlways));
    QVERIFY(link->IsUnderlined());
    QVERIFY(about.rect().contains(link->geometry()));
    QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(3, link->height() / 2));
    QCOMPARE(links.Opened(), QStringList{target});
    QVERIFY(link->GetVisited());
    QVERIFY(about.isVisible());
  }

  // Neither Enter nor Escape closes the box or acts on the focused control.
  void enterAndEscapeDoNothing_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("focus");
    for (const auto& [name, key] : {std::pair{"Enter", Qt::Key_Enter},
                                     std::pair{"Return", Qt::Key_Return},
                                     std::pair{"Escape", Qt::Key_Escape}}) {
      QTest::newRow(QByteArray(name) + " on the box") << int(key) << "box";
      QTest::newRow(QByteArray(name) + " on OK") << int(key) << "ok";
      QTest::newRow(QByteArray(name) + " on a link") << int(key) << "link";
    }
  }
  void enterAndEscapeDoNothing() {
    QFETCH(int, key);
    QFETCH(QString, focus);
    test::RecordedLinks links;
    CAboutDlg about;
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QWidget* target = focus == "ok" ? static_cast<QWidget*>(about.OkButton())
                      : focus == "link" ? static_cast<QWidget*>(about.WebLink())
                                        : static_cast<QWidget*>(&about);
    QTest::keyClick(target, Qt::Key(key));
    QVERIFY(about.isVisible());
    QCOMPARE(about.result(), 0);
    QVERIFY(links.Opened().isEmpty());
  }

  void okAndSpaceClose_data() {
    QTest::addColumn<bool>("space");
    QTest::newRow("click") << false;
    QTest::newRow("space on OK") << true;
  }
  void okAndSpaceClose() {
    QFETCH(bool, space);
    CAboutDlg about;
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    if (space) {
      about.OkButton()->setFocus();
      QTest::keyClick(about.OkButton(), Qt::Key_Space);
    } else {
      QTest::mouseClick(about.OkButton(), Qt::LeftButton);
    }
    QVERIFY(!about.isVisible());
    QCOMPARE(about.result(), int(QDialog::Accepted));
  }

  void everyControlHasAnAccessibleName() {
    CAboutDlg about;
    QVERIFY(!about.accessibleName().isEmpty());
    for (QWidget* child : about.findChildren<QWidget*>())
      QVERIFY2(!child->accessibleName().isEmpty(), child->metaObject()->className());
  }
};

QTEST_MAIN(AboutDlgTest)
#include "shell_about_dlg_test.moc"
