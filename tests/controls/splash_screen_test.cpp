// The splash screen: its shape, its window kind, placement, focus, and how
// it goes away.
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QtTest>

#include "controls/artwork.h"
#include "controls/splash_screen.h"

using keelmend::CSplashScreenEx;
using keelmend::DrawSplashPicture;
using keelmend::kSplashKeyColour;

namespace {

// Lets deleteLater() take effect.
void FlushDeletes() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents();
}

// Builds a picture from rows of characters: '#' a picture pixel, '.' key.
QImage Picture(const QStringList& rows) {
  QImage image(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()),
               QImage::Format_RGB32);
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      image.setPixel(x, y, rows[y][x] == u'#' ? qRgb(10, 40, 80) : kSplashKeyColour.rgb());
    }
  }
  return image;
}

CSplashScreenEx* MakeSplash(int style = CSplashScreenEx::kProgramStyle) {
  auto* splash = new CSplashScreenEx;
  splash->CreateSplash(nullptr, style);
  return splash;
}

}  // namespace

class SplashScreenTest : public QObject {
  Q_OBJECT

 private slots:
  void RegionCoversTheNonKeyPixels_data() {
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("runs with gaps") << QStringList{"#..#", ".##.", "...."};
    QTest::newRow("run reaching the right edge") << QStringList{"..##", "###."};
    QTest::newRow("full rows") << QStringList{"###", "###"};
    QTest::newRow("single pixel") << QStringList{"...", ".#.", "..."};
  }
  void RegionCoversTheNonKeyPixels() {
    QFETCH(QStringList, rows);
    const QRegion region = CSplashScreenEx::RegionFromPicture(Picture(rows), kSplashKeyColour);
    for (int y = 0; y < rows.size(); ++y) {
      for (int x = 0; x < rows[y].size(); ++x) {
        QCOMPARE(region.contains(QPoint(x, y)), rows[y][x] == u'#');
      }
    }
  }

  void KeyIsComparedWithoutAlpha() {
    QImage image(2, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(255, 0, 255, 0));  // key colour, transparent
    image.setPixel(1, 0, qRgba(255, 0, 254, 255));  // one off the key
    const QRegion region = CSplashScreenEx::RegionFromPicture(image, kSplashKeyColour);
    QVERIFY(!region.contains(QPoint(0, 0)));
    QVERIFY(region.contains(QPoint(1, 0)));
  }

  void ArtworkIsShapedByItsKeyColour() {
    const QImage picture = DrawSplashPicture();
    QCOMPARE(picture.size(), QSize(480, 300));
    QCOMPARE(picture.pixel(0, 0) | 0xFF000000, kSplashKeyColour.rgb());
    QCOMPARE(picture.pixel(479, 299) | 0xFF000000, kSplashKeyColour.rgb());
    QVERIFY((picture.pixel(240, 150) | 0xFF000000) != kSplashKeyColour.rgb());
    // Every pixel is the key or clearly not: no pink fringe at the outline.
    int fringe = 0;
    for (int y = 0; y < picture.height(); ++y) {
      for (int x = 0; x < picture.width(); ++x) {
        const QColor c(picture.pixel(x, y));
        if (c != kSplashKeyColour && c.red() > 200 && c.blue() > 200 && c.green() < 90) ++fringe;
      }
    }
    QCOMPARE(fringe, 0);
  }

  void IsAFramelessTopmostWindowThatTakesNoFocus() {
    QPointer<CSplashScreenEx> splash = MakeSplash();
    const Qt::WindowFlags flags = splash->windowFlags();
    QVERIFY(flags.testFlag(Qt::FramelessWindowHint));
    QVERIFY(flags.testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(flags.testFlag(Qt::WindowDoesNotAcceptFocus));
    QCOMPARE(splash->windowType(), Qt::SplashScreen);
    QVERIFY(splash->testAttribute(Qt::WA_ShowWithoutActivating));
    QCOMPARE(splash->focusPolicy(), Qt::NoFocus);
    QCOMPARE(splash->TimeoutMs(), 2000);
    QCOMPARE(splash->Style(), 15);
    delete splash;
  }

  void PictureShapesAndCentresIt() {
    QPointer<CSplashScreenEx> splash = MakeSplash();
    QVERIFY(splash->SetSplashPicture(DrawSplashPicture(), kSplashKeyColour));
    QCOMPARE(splash->size(), QSize(480, 300));
    QCOMPARE(splash->mask(), splash->Shape());
    QVERIFY(!splash->mask().contains(QPoint(0, 0)));
    QVERIFY(splash->mask().contains(QPoint(240, 150)));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(splash->pos(), QPoint(screen.x() + (screen.width() - 480) / 2,
                                   screen.y() + (screen.height() - 300) / 2));
    delete splash;
  }

  void CentresOnItsParentWithThatStyle() {
    QWidget frame;
    frame.setGeometry(100, 100, 800, 600);
    auto* splash = new CSplashScreenEx;
    splash->CreateSplash(&frame, CSplashScreenEx::kCenterParent);
    QVERIFY(splash->SetSplashPicture(DrawSplashPicture(), kSplashKeyColour));
    QCOMPARE(splash->frameGeometry().center(), frame.frameGeometry().center());
    QCOMPARE(splash->parentWidget(), &frame);
    QVERIFY(splash->isWindow());
  }

  void ShowingLeavesTheFocusAlone() {
    QWidget frame;
    auto* edit = new QLineEdit(&frame);
    frame.show();
    frame.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    edit->setFocus();
    QPointer<CSplashScreenEx> splash = MakeSplash();
    splash->SetSplashPicture(DrawSplashPicture(), kSplashKeyColour);
    splash->ShowSplash();
    QVERIFY(QTest::qWaitForWindowExposed(splash));
    QVERIFY(QTest::qWaitFor([&] { return QApplication::activeWindow() == &frame; }));
    QCOMPARE(QApplication::focusWidget(), edit);
    QVERIFY(splash->isVisible());
    delete splash;
  }

  void TimeOutHidesAndDeletesIt() {
    QPointer<CSplashScreenEx> splash = MakeSplash();
    splash->SetSplashPicture(DrawSplashPicture(), kSplashKeyColour);
    splash->ShowSplash();
    QVERIFY(splash->isVisible());
    auto* timer = splash->findChild<QTimer*>();
    QVERIFY(timer != nullptr && timer->isActive() && timer->isSingleShot());
    QCOMPARE(timer->interval(), 2000);
    QMetaObject::invokeMethod(timer, "timeout");  // as if two seconds passed
    if (!CSplashScreenEx::PlatformCanFade()) QVERIFY(!splash->isVisible());
    QVERIFY(QTest::qWaitFor([&] { FlushDeletes(); return splash.isNull(); }, 5000));
  }

  void WithoutPictureItStaysInvisibleAndStillGoes() {
    QPointer<CSplashScreenEx> splash = MakeSplash();
    QVERIFY(!splash->SetSplashPicture(QImage(), kSplashKeyColour));
    QVERIFY(!splash->SetSplashPicture(Picture({"...", "..."}), kSplashKeyColour));
    splash->ShowSplash();
    QVERIFY(!splash->isVisible());
    auto* timer = splash->findChild<QTimer*>();
    QVERIFY(timer != nullptr && timer->isActive());
    QMetaObject::invokeMethod(timer, "timeout");
    FlushDeletes();
    QVERIFY(splash.isNull());
  }

  // Clicks and keys do nothing with the program's style; with the
  // hide-on-click bit they end the splash.
  void ClickOrKey_data() {
    QTest::addColumn<int>("style");
    QTest::addColumn<bool>("use_key");
    QTest::addColumn<bool>("gone");
    QTest::newRow("program style, click") << int(CSplashScreenEx::kProgramStyle) << false << false;
    QTest::newRow("program style, key") << int(CSplashScreenEx::kProgramStyle) << true << false;
    QTest::newRow("hide on click, click") << int(CSplashScreenEx::kHideOnClick) << false << true;
    QTest::newRow("hide on click, key") << int(CSplashScreenEx::kHideOnClick) << true << true;
  }
  void ClickOrKey() {
    QFETCH(int, style);
    QFETCH(bool, use_key);
    QFETCH(bool, gone);
    QPointer<CSplashScreenEx> splash = MakeSplash(style);
    splash->SetSplashPicture(DrawSplashPicture(), kSplashKeyColour);
    splash->ShowSplash();
    if (use_key) {
      QTest::keyClick(splash, Qt::Key_Escape);
    } else {
      QTest::mouseClick(splash, Qt::LeftButton, {}, QPoint(240, 150));
    }
    FlushDeletes();
    QCOMPARE(splash.isNull(), gone);
    delete splash;
  }

  void HasAnAccessibleName() {
    QPointer<CSplashScreenEx> splash = MakeSplash();
    QCOMPARE(splash->accessibleName(), QString("VantrelWorks Keelmend"));
    delete splash;
  }
};

QTEST_MAIN(SplashScreenTest)
#include "splash_screen_test.moc"
