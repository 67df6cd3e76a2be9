// The progress bar with estimated completion: the arithmetic of the estimate,
// its text, what it paints, and driving it from a worker thread.
#include <atomic>

#include <QImage>
#include <QLocale>
#include <QThread>
#include <QtTest>

#include "controls/est_progress_ctrl.h"

using keelmend::CEstProgressCtrl;

namespace {

// A clock the test moves by hand.
struct FakeClock {
  QDateTime now;
  CEstProgressCtrl::Clock Get() {
    return [this] { return now; };
  }
};

QString ShortTime(const QDateTime& when) {
  return QLocale::system().toString(when.time(), QLocale::ShortFormat);
}

// The colours of the pixels of `image` within `area`.
QSet<QRgb> ColoursIn(const QImage& image, const QRect& area) {
  QSet<QRgb> colours;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) colours.insert(image.pixel(x, y) | 0xFF000000);
  }
  return colours;
}

}  // namespace

class EstProgressCtrlTest : public QObject {
  Q_OBJECT

 private:
  FakeClock clock_;
  const QDateTime kStart{QDate(2026, 3, 10), QTime(14, 0, 0)};

  void Drive(CEstProgressCtrl& bar, int upper) {
    bar.ResetEstimate();
    bar.SetRange(upper);
    bar.SetPos(0);
  }

 private slots:
  void init() { clock_.now = kStart; }

  void IdleShowsNoText() {
    CEstProgressCtrl bar;
    QCOMPARE(bar.GetProgressText(), QString());
    Drive(bar, 10);
    bar.UpdateEstimate();  // a repaint at position 0
    QCOMPARE(bar.GetProgressText(), QString());
    QVERIFY(!bar.EstimatedCompletion().isValid());
  }

  void PercentageHasTwoDecimals_data() {
    QTest::addColumn<int>("upper");
    QTest::addColumn<int>("pos");
    QTest::addColumn<QString>("percent");
    QTest::newRow("1 of 3") << 3 << 1 << "33.33";
    QTest::newRow("2 of 3 rounds up") << 3 << 2 << "66.67";
    QTest::newRow("done") << 3 << 3 << "100.00";
    QTest::newRow("an eighth") << 8 << 1 << "12.50";
    QTest::newRow("tiny step") << 65535 << 1 << "0.00";
    QTest::newRow("beyond the end is the end") << 4 << 9 << "100.00";
  }
  void PercentageHasTwoDecimals() {
    QFETCH(int, upper);
    QFETCH(int, pos);
    QFETCH(QString, percent);
    CEstProgressCtrl bar;
    bar.SetClock(clock_.Get());
    Drive(bar, upper);
    bar.SetPos(pos);
    bar.UpdateEstimate();
    QCOMPARE(bar.GetProgressText(),
             percent + "% complete. Estimated completion: " + ShortTime(kStart));
  }

  void EstimateIsStartPlusElapsedOverFraction() {
    CEstProgressCtrl bar;
    bar.SetClock(clock_.Get());
    Drive(bar, 4);
    bar.SetPos(1);
    bar.UpdateEstimate();  // start time taken now: elapsed 0
    QCOMPARE(bar.EstimatedCompletion(), kStart);

    clock_.now = kStart.addSecs(60);
    bar.SetPos(2);  // half done after a minute: two minutes in all
    bar.UpdateEstimate();
    QCOMPARE(bar.EstimatedCompletion(), kStart.addSecs(120));

    clock_.now = kStart.addSecs(90);
    bar.SetPos(3);  // three quarters after 90 s: 120 s in all
    bar.UpdateEstimate();
    QCOMPARE(bar.EstimatedCompletion(), kStart.addSecs(120));

    clock_.now = kStart.addSecs(150);
    bar.SetPos(4);  // the end: completion is that moment
    bar.UpdateEstimate();
    QCOMPARE(bar.EstimatedCompletion(), kStart.addSecs(150));
    QCOMPARE(bar.GetProgressText(), "100.00% complete. Estimated completion: " +
                                        ShortTime(kStart.addSecs(150)));
  }

  void ClockSetBackCountsAsNoTimePassed() {
    CEstProgressCtrl bar;
    bar.SetClock(clock_.Get());
    Drive(bar, 4);
    bar.SetPos(1);
    bar.UpdateEstimate();
    clock_.now = kStart.addSecs(-3600);
    bar.SetPos(2);
    bar.UpdateEstimate();
    QCOMPARE(bar.EstimatedCompletion(), kStart);
  }

  void CompletionAfterMidnightShowsOnlyTheTime() {
    CEstProgressCtrl bar;
    const QDateTime late(QDate(2026, 3, 10), QTime(23, 0, 0));
    clock_.now = late;
    bar.SetClock(clock_.Get());
    Drive(bar, 2);
    bar.SetPos(1);
    bar.UpdateEstimate();
    clock_.now = late.addSecs(1800);  // half done at 23:30: done at 00:00
    bar.UpdateEstimate();
    QCOMPARE(bar.EstimatedCompletion().date(), QDate(2026, 3, 11));
    QCOMPARE(bar.GetProgressText(),
             "50.00% complete. Estimated completion: " +
                 QLocale::system().toString(QTime(0, 0), QLocale::ShortFormat));
  }

  void ResetStartsTheNextRunAfresh() {
    CEstProgressCtrl bar;
    bar.SetClock(clock_.Get());
    Drive(bar, 2);
    bar.SetPos(1);
    bar.UpdateEstimate();
    clock_.now = kStart.addSecs(600);
    bar.SetPos(2);
    bar.UpdateEstimate();
    QVERIFY(!bar.GetProgressText().isEmpty());

    Drive(bar, 10);  // the next run
    bar.UpdateEstimate();
    QCOMPARE(bar.GetProgressText(), QString());

    clock_.now = kStart.addSecs(700);
    bar.SetPos(5);
    bar.UpdateEstimate();  // a new start time: elapsed 0 again
    QCOMPARE(bar.EstimatedCompletion(), kStart.addSecs(700));
  }

  void ZeroUpperBoundShowsNothing() {
    CEstProgressCtrl bar;
    bar.SetClock(clock_.Get());
    bar.resize(200, 24);
    Drive(bar, 4);
    bar.SetPos(2);
    bar.UpdateEstimate();
    QVERIFY(!bar.GetProgressText().isEmpty());
    // A zero range without a reset: no division by zero, no "nan%" text.
    bar.SetRange(0);
    bar.SetPos(3);
    QCOMPARE(bar.Pos(), 0);
    QCOMPARE(bar.Fraction(), 0.0);
    const QImage image = bar.grab().toImage();
    QCOMPARE(bar.GetProgressText(), QString());
    const QRgb background = bar.palette().color(QPalette::Button).rgb();
    QCOMPARE(ColoursIn(image, bar.BarRect()), QSet<QRgb>{background});
  }

  void RangeAndPositionAreClamped_data() {
    QTest::addColumn<int>("upper");
    QTest::addColumn<int>("pos");
    QTest::addColumn<int>("expected_upper");
    QTest::addColumn<int>("expected_pos");
    QTest::newRow("16-bit maximum") << 65535 << 65535 << 65535 << 65535;
    QTest::newRow("beyond 16 bits stays large") << 70000 << 70000 << 65535 << 65535;
    QTest::newRow("negative range") << -5 << 1 << 0 << 0;
    QTest::newRow("position past the end") << 5 << 10 << 5 << 5;
    QTest::newRow("negative position") << 5 << -1 << 5 << 0;
  }
  void RangeAndPositionAreClamped() {
    QFETCH(int, upper);
    QFETCH(int, pos);
    CEstProgressCtrl bar;
    bar.SetRange(upper);
    bar.SetPos(pos);
    QTEST(bar.Upper(), "expected_upper");
    QTEST(bar.Pos(), "expected_pos");
  }

  void PaintsBarAndInvertedText() {
    CEstProgressCtrl bar;
    bar.SetClock(clock_.Get());
    bar.resize(400, 30);
    Drive(bar, 2);
    bar.SetPos(1);
    const QImage image = bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QColor background = bar.palette().color(QPalette::Button);
    const QColor highlight = bar.palette().color(QPalette::Highlight);
    QVERIFY(!bar.GetProgressText().isEmpty());
    // Inside the frame: filled at the left, background at the right.
    const QRect inside = bar.BarRect();
    QCOMPARE(image.pixel(inside.topLeft()) | 0xFF000000, highlight.rgb());
    QCOMPARE(image.pixel(inside.bottomRight()) | 0xFF000000, background.rgb());
    QCOMPARE(image.pixel(inside.left() + inside.width() / 2 - 1, inside.top()) | 0xFF000000,
             highlight.rgb());
    QCOMPARE(image.pixel(inside.left() + inside.width() / 2, inside.top()) | 0xFF000000,
             background.rgb());
    // Text pixels: white over the filled half, background XOR complemented
    // highlight over the other.
    const int half = inside.width() / 2;
    const QSet<QRgb> left = ColoursIn(image, QRect(inside.left(), inside.top(), half, inside.height()));
    const QSet<QRgb> right = ColoursIn(image, QRect(inside.left() + half, inside.top(),
                                                    inside.width() - half, inside.height()));
    QVERIFY(left.contains(QColor(Qt::white).rgb()));
    QVERIFY(right.contains(CEstProgressCtrl::InvertedTextColour(background, highlight).rgb()));
    QVERIFY(!right.contains(QColor(Qt::white).rgb()) || background == Qt::white);
  }

  void InvertedTextColour_data() {
    QTest::addColumn<QColor>("background");
    QTest::addColumn<QColor>("highlight");
    QTest::addColumn<QColor>("expected");
    QTest::newRow("over the bar") << QColor(0x33, 0x99, 0xFF) << QColor(0x33, 0x99, 0xFF)
                                  << QColor(Qt::white);
    QTest::newRow("button face") << QColor(0xF0, 0xF0, 0xF0) << QColor(0x33, 0x99, 0xFF)
                                 << QColor(0x3C, 0x96, 0xF0);
    QTest::newRow("black background") << QColor(Qt::black) << QColor(0x30, 0x8C, 0xC6)
                                      << QColor(0xCF, 0x73, 0x39);
  }
  void InvertedTextColour() {
    QFETCH(QColor, background);
    QFETCH(QColor, highlight);
    QFETCH(QColor, expected);
    QCOMPARE(CEstProgressCtrl::InvertedTextColour(background, highlight), expected);
  }

  // The jobs drive the bar from their thread while the window repaints it.
  void WorkerDrivesWhileWindowRepaints() {
    CEstProgressCtrl bar;
    bar.resize(300, 24);
    bar.show();
    std::atomic<bool> done{false};
    QThread* worker = QThread::create([&] {
      for (int run = 0; run < 50; ++run) {
        bar.ResetEstimate();
        bar.SetRange(200);
        bar.SetPos(0);
        for (int i = 1; i <= 200; ++i) bar.SetPos(i);
      }
      done = true;
    });
    worker->start();
    while (!done) {
      bar.repaint();
      QCoreApplication::processEvents();
    }
    QVERIFY(worker->wait());
    delete worker;
    QCoreApplication::processEvents();
    QCOMPARE(bar.Upper(), 200);
    QCOMPARE(bar.Pos(), 200);
    bar.repaint();
    QVERIFY(bar.GetProgressText().startsWith("100.00% complete."));
  }

  void HasAccessibleName() {
    CEstProgressCtrl bar;
    QVERIFY(!bar.accessibleName().isEmpty());
  }
};

QTEST_MAIN(EstProgressCtrlTest)
#include "est_progress_ctrl_test.moc"
