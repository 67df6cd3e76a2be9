// The transparent label: it draws over its parent's picture and leaves
// nothing behind when its text changes.
#include <QPainter>
#include <QScreen>
#include <QtTest>

#include "controls/transparent_static.h"

using keelmend::CTrelTransparentStatic;

namespace {

// A parent that paints a picture: a diagonal gradient.
class Backdrop : public QWidget {
 public:
  Backdrop() { resize(360, 80); }
  static QColor At(int x, int y) { return QColor((x * 2) % 256, (y * 3) % 256, 160); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    for (int y = 0; y < height(); ++y) {
      for (int x = 0; x < width(); ++x) painter.fillRect(x, y, 1, 1, At(x, y));
    }
  }
};

// What is on screen in `window` now, through the window system, not by
// repainting it afresh.
QImage OnScreen(QWidget& window) {
  QCoreApplication::processEvents();
  return window.screen()->grabWindow(window.winId()).toImage().convertToFormat(QImage::Format_RGB32);
}

// How many pixels of `area` differ from the backdrop.
int Marked(const QImage& image, const QRect& area) {
  int marked = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      if (QColor(image.pixel(x, y)) != Backdrop::At(x, y)) ++marked;
    }
  }
  return marked;
}

}  // namespace

class TransparentStaticTest : public QObject {
  Q_OBJECT

 private slots:
  void ShorterTextLeavesNoRemnants() {
    Backdrop backdrop;
    const QString long_text = "Repair for LibreOffice Base files, version 1.0";
    auto* label = new CTrelTransparentStatic(long_text, &backdrop);
    label->move(10, 20);
    label->resize(label->sizeHint());
    backdrop.show();
    QVERIFY(QTest::qWaitForWindowExposed(&backdrop));

    const int short_width = label->fontMetrics().horizontalAdvance("v1.0");
    const QRect tail(label->x() + short_width + 6, label->y(),
                     label->width() - short_width - 6, label->height());
    const QImage before = OnScreen(backdrop);
    QVERIFY(Marked(before, tail) > 0);  // the long text is there
    // The label itself paints no background.
    QVERIFY(Marked(before, QRect(label->x(), label->y() + label->height() - 2, 2, 2)) == 0);

    label->SetText("v1.0");
    const QImage after = OnScreen(backdrop);
    QCOMPARE(Marked(after, tail), 0);
    QVERIFY(Marked(after, QRect(label->x(), label->y(), short_width, label->height())) > 0);
  }

  void PlainBlackTopLeftText() {
    CTrelTransparentStatic label("Line one\nLine two <b>not bold</b>");
    QCOMPARE(label.textFormat(), Qt::PlainText);
    QCOMPARE(label.alignment(), Qt::AlignLeft | Qt::AlignTop);
    QVERIFY(!label.wordWrap());
    QVERIFY(!label.autoFillBackground());
    QCOMPARE(label.palette().color(QPalette::WindowText), QColor(Qt::black));
    QVERIFY(label.sizeHint().height() >= 2 * label.fontMetrics().height());
  }

  void AccessibleNameFollowsTheText() {
    CTrelTransparentStatic label("VantrelWorks Keelmend");
    QCOMPARE(label.accessibleName(), QString("VantrelWorks Keelmend"));
    label.SetText("Version 1.0");
    QCOMPARE(label.accessibleName(), QString("Version 1.0"));
    label.setAccessibleName("Product version");
    label.SetText("Version 1.1");
    QCOMPARE(label.accessibleName(), QString("Product version"));
  }
};

QTEST_MAIN(TransparentStaticTest)
#include "transparent_static_test.moc"
