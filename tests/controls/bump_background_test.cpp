// The message box's background effect: its palette and its column formula.
#include <QImage>
#include <QPainter>
#include <QtTest>

#include "controls/bump_background.h"

using namespace keelmend;

class BumpBackgroundTest : public QObject {
  Q_OBJECT

 private slots:
  // Distinct pure colours show the channel order and both ramps.
  void PaletteRunsEndMiddleStart_data() {
    QTest::addColumn<int>("entry");
    QTest::addColumn<QColor>("expected");
    QTest::newRow("0: end") << 0 << QColor(0, 0, 255);
    QTest::newRow("64: half way to the middle") << 64 << QColor(0, 127, 127);
    QTest::newRow("128: middle") << 128 << QColor(0, 255, 0);
    QTest::newRow("129: first of the second ramp") << 129 << QColor(3, 251, 0);
    QTest::newRow("191: half way to the start") << 191 << QColor(127, 127, 0);
    QTest::newRow("255: start") << 255 << QColor(255, 0, 0);
  }
  void PaletteRunsEndMiddleStart() {
    QFETCH(int, entry);
    // 0x00BBGGRR: start red, middle green, end blue.
    const BumpPalette palette = MakeBumpPalette(0x0000FF, 0x00FF00, 0xFF0000);
    QTEST(palette[static_cast<std::size_t>(entry)], "expected");
  }

  void ProgramColours() {
    const BumpPalette palette = MakeBumpPalette(kBumpStart, kBumpMiddle, kBumpEnd);
    QCOMPARE(palette[0], QColor(253, 236, 81));
    QCOMPARE(palette[128], QColor(254, 243, 169));
    QCOMPARE(palette[255], QColor(253, 236, 81));
    QCOMPARE(palette[64], QColor(253, 239, 125));
  }

  void ColumnIndex_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<QList<int>>("indexes");
    // Worked by hand from v = (W - j) * 255 / W - 127, 128 + v^3 / 16384.
    QTest::newRow("8 wide") << 8 << QList<int>{0, 182, 144, 130, 128, 126, 112, 74};
    // -42^3 / 16384 is -4.52: truncated toward zero to -4, not floored to -5.
    QTest::newRow("3 wide") << 3 << QList<int>{0, 132, 124};
    QTest::newRow("1 wide") << 1 << QList<int>{0};
  }
  void ColumnIndex() {
    QFETCH(int, width);
    QFETCH(QList<int>, indexes);
    QList<int> actual;
    for (int j = 0; j < width; ++j) actual << BumpColumnIndex(j, width);
    QCOMPARE(actual, indexes);
  }

  void ZeroWidthIsSafe() {
    QCOMPARE(BumpColumnIndex(0, 0), 128);
    QImage nothing(1, 1, QImage::Format_RGB32);
    nothing.fill(Qt::black);
    QPainter painter(&nothing);
    PaintBumpBackground(painter, QRect(0, 0, 0, 5));
    painter.end();
    QCOMPARE(nothing.pixel(0, 0), QColor(Qt::black).rgb());
  }

  void PaintsEachColumnFromTop_to_bottom() {
    QImage image(8, 3, QImage::Format_RGB32);
    image.fill(Qt::black);
    {
      QPainter painter(&image);
      PaintBumpBackground(painter, image.rect());
    }
    const BumpPalette palette = MakeBumpPalette(kBumpStart, kBumpMiddle, kBumpEnd);
    for (int j = 0; j < 8; ++j) {
      for (int y = 0; y < 3; ++y) {
        QCOMPARE(QColor(image.pixel(j, y)),
                 palette[static_cast<std::size_t>(BumpColumnIndex(j, 8))]);
      }
    }
    // Strong yellow at both edges, pale in the middle.
    QCOMPARE(QColor(image.pixel(0, 0)), QColor(253, 236, 81));
    QCOMPARE(QColor(image.pixel(4, 0)), QColor(254, 243, 169));
  }

  void ColourConversion() {
    QCOMPARE(ColourToQColor(0x51ECFD), QColor(253, 236, 81));
    QCOMPARE(ColourToQColor(0x0000FF), QColor(255, 0, 0));
  }
};

QTEST_MAIN(BumpBackgroundTest)
#include "bump_background_test.moc"
