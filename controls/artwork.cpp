#include "controls/artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace keelmend {
namespace {

constexpr int kSplashWidth = 480;
constexpr int kSplashHeight = 300;
constexpr int kCornerRadius = 26;

QPainterPath PanelPath() {
  QPainterPath path;
  path.addRoundedRect(QRectF(0, 0, kSplashWidth, kSplashHeight), kCornerRadius, kCornerRadius);
  return path;
}

// A band of sea across the bottom: `level` is its mean height, `swell` its
// amplitude, `phase` shifts it sideways.
QPainterPath Wave(double level, double swell, double phase) {
  QPainterPath path(QPointF(0, kSplashHeight));
  path.lineTo(0, level);
  const int steps = 6;
  for (int i = 0; i < steps; ++i) {
    const double x0 = kSplashWidth * i / double(steps);
    const double x1 = kSplashWidth * (i + 1) / double(steps);
    const double lift = ((i % 2) == 0 ? -swell : swell) * (1.0 + 0.3 * phase);
    path.cubicTo(x0 + (x1 - x0) * 0.35, level + lift, x0 + (x1 - x0) * 0.65, level + lift,
                 x1, level);
  }
  path.lineTo(kSplashWidth, kSplashHeight);
  path.closeSubpath();
  return path;
}

// A small hull seen from the side, with its keel and a mending stitch.
void DrawEmblem(QPainter& painter, QPointF at) {
  QPainterPath hull(at + QPointF(-34, -8));
  hull.lineTo(at + QPointF(34, -8));
  hull.quadTo(at + QPointF(30, 14), at + QPointF(0, 18));
  hull.quadTo(at + QPointF(-30, 14), at + QPointF(-34, -8));
  painter.setPen(QPen(QColor(255, 214, 102), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter.setBrush(QColor(255, 214, 102, 60));
  painter.drawPath(hull);
  painter.drawLine(at + QPointF(0, 18), at + QPointF(0, 26));        // keel
  painter.drawLine(at + QPointF(0, -8), at + QPointF(0, -40));       // mast
  QPainterPath sail(at + QPointF(4, -38));
  sail.lineTo(at + QPointF(28, -12));
  sail.lineTo(at + QPointF(4, -12));
  sail.closeSubpath();
  painter.drawPath(sail);
  painter.setPen(QPen(QColor(255, 255, 255, 200), 2, Qt::DashLine, Qt::RoundCap));
  painter.drawLine(at + QPointF(-22, 4), at + QPointF(22, 4));       // the mend
}

void DrawPanel(QPainter& painter) {
  painter.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, kSplashWidth * 0.4, kSplashHeight);
  sky.setColorAt(0.0, QColor(12, 36, 66));
  sky.setColorAt(1.0, QColor(22, 102, 128));
  painter.fillRect(QRect(0, 0, kSplashWidth, kSplashHeight), sky);

  QRadialGradient glow(QPointF(kSplashWidth * 0.78, 70), 190);
  glow.setColorAt(0.0, QColor(255, 226, 150, 90));
  glow.setColorAt(1.0, QColor(255, 226, 150, 0));
  painter.fillRect(QRect(0, 0, kSplashWidth, kSplashHeight), glow);

  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(255, 255, 255, 28));
  painter.drawPath(Wave(226, 9, 0.0));
  painter.setBrush(QColor(255, 255, 255, 40));
  painter.drawPath(Wave(248, 7, 1.0));
  painter.setBrush(QColor(8, 28, 48, 150));
  painter.drawPath(Wave(268, 5, 2.0));

  DrawEmblem(painter, QPointF(396, 128));

  QFont small(QStringLiteral("DejaVu Sans"));
  small.setPixelSize(17);
  small.setLetterSpacing(QFont::AbsoluteSpacing, 3);
  painter.setFont(small);
  painter.setPen(QColor(170, 214, 228));
  painter.drawText(QPointF(40, 86), QStringLiteral("VANTRELWORKS"));

  QFont title(QStringLiteral("DejaVu Sans"));
  title.setPixelSize(52);
  title.setBold(true);
  painter.setFont(title);
  painter.setPen(Qt::white);
  painter.drawText(QPointF(36, 146), QStringLiteral("Keelmend"));

  QFont line(QStringLiteral("DejaVu Sans"));
  line.setPixelSize(15);
  painter.setFont(line);
  painter.setPen(QColor(214, 234, 240));
  painter.drawText(QPointF(40, 178), QStringLiteral("Repair for LibreOffice Base files"));
  painter.setPen(QColor(255, 214, 102));
  painter.drawText(QPointF(40, 204), QStringLiteral("Version 1.0"));

  QFont tiny(QStringLiteral("DejaVu Sans"));
  tiny.setPixelSize(11);
  painter.setFont(tiny);
  painter.setPen(QColor(190, 215, 225));
  painter.drawText(QRectF(0, kSplashHeight - 26, kSplashWidth - 30, 18),
                   Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("VantrelWorks Keelmend"));
}

}  // namespace

QImage DrawSplashPicture() {
  QImage panel(kSplashWidth, kSplashHeight, QImage::Format_RGB32);
  {
    QPainter painter(&panel);
    DrawPanel(painter);
  }
  // The outline is drawn without smoothing, so every pixel is either the
  // panel or exactly the key colour: no pink fringe around the shape.
  QImage shape(kSplashWidth, kSplashHeight, QImage::Format_RGB32);
  shape.fill(Qt::black);
  {
    QPainter painter(&shape);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillPath(PanelPath(), Qt::white);
  }
  const QRgb key = kSplashKeyColour.rgb();
  for (int y = 0; y < kSplashHeight; ++y) {
    auto* out = reinterpret_cast<QRgb*>(panel.scanLine(y));
    const auto* inside = reinterpret_cast<const QRgb*>(shape.constScanLine(y));
    for (int x = 0; x < kSplashWidth; ++x) {
      if (qRed(inside[x]) < 128) out[x] = key;
    }
  }
  return panel;
}

}  // namespace keelmend
