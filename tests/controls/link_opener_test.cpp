// What a link target stands for, and the opener the links go through.
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include "controls/link_opener.h"

using namespace keelmend;

class LinkOpenerTest : public QObject {
  Q_OBJECT

 private slots:
  void UrlForTarget_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<QUrl>("url");
    QTest::newRow("web") << "https://vantrelworks.example/keelmend"
                         << QUrl("https://vantrelworks.example/keelmend");
    QTest::newRow("plain http") << "http://x.example" << QUrl("http://x.example");
    QTest::newRow("mail") << "mailto:support@vantrelworks.example"
                          << QUrl("mailto:support@vantrelworks.example");
    QTest::newRow("mail, any case") << "MAILTO:sales@vantrelworks.example"
                                    << QUrl("mailto:sales@vantrelworks.example");
    QTest::newRow("www without scheme") << "www.vantrelworks.example"
                                        << QUrl("http://www.vantrelworks.example");
    QTest::newRow("folder with blanks") << "/tmp/saved files"
                                        << QUrl::fromLocalFile("/tmp/saved files");
    QTest::newRow("folder with markup characters") << "/tmp/R&D <1>/o'neil#2"
                                                   << QUrl::fromLocalFile("/tmp/R&D <1>/o'neil#2");
    QTest::newRow("relative path") << "out" << QUrl::fromLocalFile(QDir::current().absoluteFilePath("out"));
    QTest::newRow("empty") << "" << QUrl();
  }
  void UrlForTarget() {
    QFETCH(QString, target);
    QTEST(UrlForLinkTarget(target), "url");
  }

  void LocalPathRoundTrips() {
    const QString folder = "/tmp/R&D <1>/o'neil#2";
    QCOMPARE(UrlForLinkTarget(folder).toLocalFile(), folder);
  }

  // Missing files and folders fail without asking the desktop.
  void MissingLocalTargets() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QCOMPARE(OpenWithDesktop(dir.filePath("missing.odb")), kOpenFileNotFound);
    QCOMPARE(OpenWithDesktop(dir.filePath("gone/missing.odb")), kOpenPathNotFound);
    QCOMPARE(OpenWithDesktop(""), kOpenFileNotFound);
    QVERIFY(!OpenSucceeded(kOpenFileNotFound));
    QVERIFY(OpenSucceeded(kOpenSucceeded));
  }

  void InstalledOpenerIsUsedAndRestored() {
    QStringList opened;
    LinkOpener previous = SetLinkOpener([&opened](const QString& target) {
      opened << target;
      return 26;
    });
    QVERIFY(previous);
    QCOMPARE(OpenLinkTarget("mailto:support@vantrelworks.example"), 26);
    QCOMPARE(opened, QStringList{"mailto:support@vantrelworks.example"});
    LinkOpener mine = SetLinkOpener({});  // back to the desktop
    QVERIFY(mine);
    QCOMPARE(OpenLinkTarget("/nonexistent-keelmend-folder/x"), kOpenPathNotFound);
    QCOMPARE(opened.size(), 1);
  }
};

QTEST_MAIN(LinkOpenerTest)
#include "link_opener_test.moc"
