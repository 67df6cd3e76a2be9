#include "workspace/workspace_artwork.h"

#include <cmath>

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace keelmend {

namespace {

const QColor kDeepSea(16, 52, 84);
const QColor kSea(28, 92, 132);
const QColor kFoam(224, 240, 250);
const QColor kBrass(232, 176, 64);
const QColor kBody(kBodyRed, kBodyGreen, kBodyBlue);

QPixmap Blank(int w, int h) {
  QPixmap pixmap(w, h);
  pixmap.fill(Qt::transparent);
  return pixmap;
}

// The sea gradient of the header: dark at the top, lighter towards the body.
void PaintHeaderSea(QPainter& p, const QRect& r) {
  QLinearGradient sea(r.topLeft(), r.bottomLeft());
  sea.setColorAt(0.0, kDeepSea);
  sea.setColorAt(0.8, kSea);
  sea.setColorAt(1.0, QColor(60, 130, 170));
  p.fillRect(r, sea);
  p.fillRect(QRect(r.left(), r.bottom() - 2, r.width(), 3), kBrass);
}

// The logo: a hull with its keel, mended by a brass clamp.
void PaintLogo(QPainter& p, const QRectF& box) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  QRadialGradient disc(box.center(), box.width() / 2);
  disc.setColorAt(0.0, QColor(250, 252, 255));
  disc.setColorAt(1.0, QColor(170, 205, 230));
  p.setPen(QPen(kBrass, 2));
  p.setBrush(disc);
  p.drawEllipse(box);
  const double x = box.left(), y = box.top(), w = box.width(), h = box.height();
  QPainterPath hull;
  hull.moveTo(x + w * 0.16, y + h * 0.42);
  hull.lineTo(x + w * 0.84, y + h * 0.42);
  hull.cubicTo(x + w * 0.78, y + h * 0.66, x + w * 0.62, y + h * 0.72, x + w * 0.5, y + h * 0.72);
  hull.cubicTo(x + w * 0.38, y + h * 0.72, x + w * 0.22, y + h * 0.66, x + w * 0.16, y + h * 0.42);
  p.setPen(Qt::NoPen);
  p.setBrush(kDeepSea);
  p.drawPath(hull);
  p.setBrush(kSea);
  p.drawRect(QRectF(x + w * 0.47, y + h * 0.72, w * 0.06, h * 0.13));  // keel
  p.setPen(QPen(kBrass, 3, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(x + w * 0.3, y + h * 0.28), QPointF(x + w * 0.7, y + h * 0.56));
  p.drawLine(QPointF(x + w * 0.3, y + h * 0.56), QPointF(x + w * 0.7, y + h * 0.28));
  p.restore();
}

QFont ArtFont(int pixels, bool bold, bool serif = false) {
  QFont font(serif ? QStringLiteral("Times New Roman") : QStringLiteral("Arial"));
  font.setStyleHint(serif ? QFont::Serif : QFont::SansSerif);
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

}  // namespace

QPixmap BannerArt() {
  QPixmap pixmap = Blank(400, 72);
  QPainter p(&pixmap);
  PaintHeaderSea(p, pixmap.rect());
  PaintLogo(p, QRectF(10, 6, 56, 56));
  p.setRenderHint(QPainter::TextAntialiasing);
  p.setPen(kFoam);
  p.setFont(ArtFont(13, false));
  p.drawText(QRect(78, 10, 310, 18), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("VantrelWorks"));
  p.setPen(Qt::white);
  p.setFont(ArtFont(28, true));
  p.drawText(QRect(76, 24, 320, 32), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Keelmend"));
  p.setPen(kBrass);
  p.setFont(ArtFont(12, false));
  p.drawText(QRect(78, 52, 320, 16), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("Repair of damaged Base database files"));
  return pixmap;
}

QPixmap HeaderBandArt() {
  QPixmap pixmap = Blank(100, 72);
  QPainter p(&pixmap);
  PaintHeaderSea(p, pixmap.rect());
  return pixmap;
}

QPixmap FooterBandArt() {
  QPixmap pixmap = Blank(820, 62);
  QPainter p(&pixmap);
  QLinearGradient band(0, 0, 0, 62);
  band.setColorAt(0.0, QColor(200, 170, 90));
  band.setColorAt(0.06, kBody.lighter(104));
  band.setColorAt(1.0, QColor(236, 200, 110));
  p.fillRect(pixmap.rect(), band);
  p.setPen(QPen(kBrass.darker(120), 2));
  p.drawLine(0, 1, 820, 1);
  return pixmap;
}

QPixmap HelpSymbolArt() {
  QPixmap pixmap = Blank(64, 62);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  QRadialGradient ball(QPointF(26, 24), 26);
  ball.setColorAt(0.0, QColor(90, 160, 210));
  ball.setColorAt(1.0, kDeepSea);
  p.setPen(QPen(kBrass, 2));
  p.setBrush(ball);
  p.drawEllipse(QRectF(12, 12, 40, 40));
  p.setPen(Qt::white);
  p.setFont(ArtFont(28, true));
  p.drawText(QRectF(12, 12, 40, 40), Qt::AlignCenter, QStringLiteral("?"));
  return pixmap;
}

QPixmap WatermarkArt() {
  QPixmap pixmap = Blank(850, 300);
  pixmap.fill(QColor(252, 252, 248));
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  // A faint database drum with a mended seam, and the product name.
  const QColor faint(232, 238, 244);
  const QColor line(214, 224, 234);
  p.setPen(QPen(line, 3));
  p.setBrush(faint);
  const QRectF drum(560, 70, 180, 170);
  p.drawRect(QRectF(drum.left(), drum.top() + 20, drum.width(), drum.height() - 40));
  p.drawEllipse(QRectF(drum.left(), drum.bottom() - 40, drum.width(), 40));
  p.drawEllipse(QRectF(drum.left(), drum.top(), drum.width(), 40));
  p.setPen(Qt::NoPen);
  p.drawRect(QRectF(drum.left() + 2, drum.top() + 21, drum.width() - 4, drum.height() - 42));
  p.setPen(QPen(line, 3));
  p.setBrush(Qt::NoBrush);
  for (double y : {drum.top() + 75, drum.top() + 120}) {
    p.drawArc(QRectF(drum.left(), y - 20, drum.width(), 40), 180 * 16, 180 * 16);
  }
  p.setPen(QPen(QColor(240, 222, 170), 6, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(drum.left() + 40, drum.top() + 60), QPointF(drum.right() - 40, drum.bottom() - 50));
  p.setPen(QColor(228, 234, 240));
  p.setFont(ArtFont(60, true));
  p.drawText(QRect(40, 200, 500, 80), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Keelmend"));
  return pixmap;
}

namespace {

void PaintNotRepairedImage(QPainter& p, const QRectF& r) {
  p.setPen(QPen(QColor(150, 20, 20), 1));
  p.setBrush(QColor(214, 48, 48));
  p.drawEllipse(r.adjusted(2, 2, -2, -2));
  p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(r.left() + 7, r.top() + 7), QPointF(r.right() - 7, r.bottom() - 7));
  p.drawLine(QPointF(r.left() + 7, r.bottom() - 7), QPointF(r.right() - 7, r.top() + 7));
}

void PaintRepairedImage(QPainter& p, const QRectF& r) {
  p.setPen(QPen(QColor(20, 110, 30), 1));
  p.setBrush(QColor(46, 160, 60));
  p.drawEllipse(r.adjusted(2, 2, -2, -2));
  p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  QPolygonF tick;
  tick << QPointF(r.left() + 6, r.top() + 10.5) << QPointF(r.left() + 9, r.top() + 13.5)
       << QPointF(r.left() + 14.5, r.top() + 6.5);
  p.drawPolyline(tick);
}

// A page with a small drum: a database file waiting for its repair.
void PaintListedImage(QPainter& p, const QRectF& r) {
  QPolygonF page;
  page << QPointF(r.left() + 4, r.top() + 1.5) << QPointF(r.left() + 12.5, r.top() + 1.5)
       << QPointF(r.left() + 16.5, r.top() + 5.5) << QPointF(r.left() + 16.5, r.bottom() - 1.5)
       << QPointF(r.left() + 4, r.bottom() - 1.5);
  p.setPen(QPen(kSea, 1));
  p.setBrush(Qt::white);
  p.drawPolygon(page);
  p.setBrush(QColor(90, 150, 200));
  p.drawRect(QRectF(r.left() + 7, r.top() + 8.5, 7, 7));
  p.drawEllipse(QRectF(r.left() + 7, r.top() + 6.5, 7, 4));
}

}  // namespace

QPixmap FileListImageStrip() {
  QPixmap strip = Blank(60, 20);
  QPainter p(&strip);
  p.setRenderHint(QPainter::Antialiasing);
  PaintNotRepairedImage(p, QRectF(0, 0, 20, 20));
  PaintRepairedImage(p, QRectF(20, 0, 20, 20));
  PaintListedImage(p, QRectF(40, 0, 20, 20));
  return strip;
}

QList<QPixmap> FileListImages() {
  const QPixmap strip = FileListImageStrip();
  return {strip.copy(0, 0, 20, 20), strip.copy(20, 0, 20, 20), strip.copy(40, 0, 20, 20)};
}

namespace {

void PaintFolderPlus(QPainter& p) {
  p.setPen(QPen(QColor(150, 110, 20), 1));
  p.setBrush(QColor(246, 200, 80));
  p.drawRoundedRect(QRectF(1.5, 5.5, 17, 12), 1.5, 1.5);
  p.drawRect(QRectF(1.5, 3.5, 7, 3));
  p.setPen(QPen(QColor(30, 130, 40), 2.5, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(17, 9), QPointF(17, 17));
  p.drawLine(QPointF(13, 13), QPointF(21, 13));
}

void PaintMinusPage(QPainter& p) {
  p.setPen(QPen(kSea, 1));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(3.5, 1.5, 11, 16));
  p.setPen(QPen(QColor(200, 40, 40), 2.5, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(12, 14), QPointF(21, 14));
}

void PaintWrench(QPainter& p) {
  p.setPen(QPen(QColor(90, 100, 110), 3.5, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(5, 16), QPointF(15, 6));
  p.setPen(QPen(QColor(90, 100, 110), 1));
  p.setBrush(QColor(150, 160, 170));
  p.drawEllipse(QRectF(12, 1.5, 8, 8));
  p.setBrush(Qt::white);
  p.setPen(Qt::NoPen);
  p.drawRect(QRectF(15, 1, 3, 4));
}

void PaintDisk(QPainter& p) {
  p.setPen(QPen(kDeepSea, 1));
  p.setBrush(kSea);
  p.drawRoundedRect(QRectF(1.5, 1.5, 17, 17), 2, 2);
  p.setBrush(Qt::white);
  p.drawRect(QRectF(5.5, 1.5, 9, 6));
  p.setBrush(QColor(200, 210, 220));
  p.drawRect(QRectF(4.5, 11.5, 11, 7));
}

void PaintStopSign(QPainter& p) {
  QPolygonF octagon;
  for (int i = 0; i < 8; ++i) {
    const double a = (22.5 + 45.0 * i) * 3.14159265358979 / 180.0;
    octagon << QPointF(11.5 + 8.5 * std::cos(a), 10 + 8.5 * std::sin(a));
  }
  p.setPen(QPen(QColor(140, 20, 20), 1));
  p.setBrush(QColor(210, 40, 40));
  p.drawPolygon(octagon);
  p.setBrush(Qt::white);
  p.setPen(Qt::NoPen);
  p.drawRect(QRectF(7.5, 8.5, 8, 3));
}

void PaintExitDoor(QPainter& p) {
  p.setPen(QPen(QColor(110, 70, 30), 1));
  p.setBrush(QColor(180, 120, 60));
  p.drawRect(QRectF(2.5, 1.5, 10, 17));
  p.setPen(QPen(QColor(30, 120, 40), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawLine(QPointF(10, 10), QPointF(20, 10));
  p.drawPolyline(QPolygonF({QPointF(16.5, 6.5), QPointF(20, 10), QPointF(16.5, 13.5)}));
}

void PaintOpenFolder(QPainter& p) {
  p.setPen(QPen(QColor(150, 110, 20), 1));
  p.setBrush(QColor(236, 186, 64));
  p.drawRect(QRectF(2.5, 4.5, 16, 12));
  p.setBrush(QColor(250, 214, 110));
  p.drawPolygon(QPolygonF({QPointF(5.5, 8.5), QPointF(21.5, 8.5), QPointF(18.5, 16.5),
                           QPointF(2.5, 16.5)}));
}

}  // namespace

QPixmap ButtonImage(ButtonArt which) {
  QPixmap pixmap = Blank(which == ButtonArt::Save ? 20 : 23, 20);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  switch (which) {
    case ButtonArt::SelectFiles: PaintFolderPlus(p); break;
    case ButtonArt::RemoveFiles: PaintMinusPage(p); break;
    case ButtonArt::RepairFiles: PaintWrench(p); break;
    case ButtonArt::Save: PaintDisk(p); break;
    case ButtonArt::Stop: PaintStopSign(p); break;
    case ButtonArt::Exit: PaintExitDoor(p); break;
    case ButtonArt::Browse: PaintOpenFolder(p); break;
  }
  return pixmap;
}

}  // namespace keelmend
