#include "shell/frame_artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include "shell/main_frame.h"

namespace keelmend {

namespace {

// All toolbar images are drawn on a 48 x 48 canvas and scaled by the
// painter for the smaller sizes.
constexpr qreal kCanvas = 48.0;

const QColor kInk(0x1d, 0x3f, 0x72);
const QColor kPaperTop(0xff, 0xff, 0xff);
const QColor kPaperBottom(0xdd, 0xe8, 0xf6);
const QColor kFolderTop(0xff, 0xe0, 0x8a);
const QColor kFolderBottom(0xf2, 0xb3, 0x3d);
const QColor kFolderEdge(0xb0, 0x7a, 0x16);
const QColor kGreen(0x2e, 0x9d, 0x3c);
const QColor kRed(0xd2, 0x34, 0x2c);
const QColor kSteelTop(0xc9, 0xd3, 0xde);
const QColor kSteelBottom(0x7d, 0x8b, 0x9c);
const QColor kOrange(0xf0, 0x8a, 0x24);

QLinearGradient Vertical(qreal top, qreal bottom, const QColor& from,
                         const QColor& to) {
  QLinearGradient gradient(0, top, 0, bottom);
  gradient.setColorAt(0, from);
  gradient.setColorAt(1, to);
  return gradient;
}

void DrawDocument(QPainter& p, const QRectF& r) {
  const qreal fold = r.width() * 0.3;
  QPainterPath page;
  page.moveTo(r.left(), r.top());
  page.lineTo(r.right() - fold, r.top());
  page.lineTo(r.right(), r.top() + fold);
  page.lineTo(r.right(), r.bottom());
  page.lineTo(r.left(), r.bottom());
  page.closeSubpath();
  p.setPen(QPen(kInk, 1.6));
  p.setBrush(Vertical(r.top(), r.bottom(), kPaperTop, kPaperBottom));
  p.drawPath(page);
  QPainterPath corner;
  corner.moveTo(r.right() - fold, r.top());
  corner.lineTo(r.right() - fold, r.top() + fold);
  corner.lineTo(r.right(), r.top() + fold);
  p.setBrush(QColor(0xc4, 0xd4, 0xea));
  p.drawPath(corner);
  p.setPen(QPen(QColor(0x8c, 0xa6, 0xc9), 1.6));
  for (qreal y = r.top() + fold + 5; y < r.bottom() - 4; y += 5)
    p.drawLine(QPointF(r.left() + 5, y), QPointF(r.right() - 5, y));
}

void DrawFolder(QPainter& p, const QRectF& r) {
  QPainterPath folder;
  const qreal tab = r.height() * 0.2;
  folder.moveTo(r.left(), r.top() + tab);
  folder.lineTo(r.left(), r.bottom());
  folder.lineTo(r.right(), r.bottom());
  folder.lineTo(r.right(), r.top() + tab * 1.6);
  folder.lineTo(r.left() + r.width() * 0.45, r.top() + tab * 1.6);
  folder.lineTo(r.left() + r.width() * 0.35, r.top());
  folder.lineTo(r.left() + 3, r.top());
  folder.closeSubpath();
  p.setPen(QPen(kFolderEdge, 1.6));
  p.setBrush(Vertical(r.top(), r.bottom(), kFolderTop, kFolderBottom));
  p.drawPath(folder);
  p.setBrush(QColor(255, 255, 255, 90));
  p.setPen(Qt::NoPen);
  p.drawRect(QRectF(r.left() + 2, r.top() + tab * 1.6 + 2, r.width() - 4, 3));
}

void DrawBadge(QPainter& p, const QPointF& centre, const QColor& colour,
               bool plus) {
  p.setPen(QPen(Qt::white, 2));
  p.setBrush(colour);
  p.drawEllipse(centre, 10, 10);
  p.setPen(QPen(Qt::white, 3.2, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(centre + QPointF(-5, 0), centre + QPointF(5, 0));
  if (plus) p.drawLine(centre + QPointF(0, -5), centre + QPointF(0, 5));
}

void DrawWrench(QPainter& p, const QPointF& from, const QPointF& to,
                qreal width, const QColor& top, const QColor& bottom) {
  p.save();
  const QLineF line(from, to);
  p.translate(from);
  p.rotate(-line.angle());
  const qreal length = line.length();
  QPainterPath wrench;
  wrench.addRoundedRect(QRectF(width * 0.6, -width / 4, length - width * 1.2,
                               width / 2),
                        width / 5, width / 5);
  QPainterPath head;
  head.addEllipse(QPointF(0, 0), width * 0.75, width * 0.75);
  QPainterPath jaw;
  jaw.addRect(QRectF(-width, -width / 4.5, width * 0.9, width / 2.25));
  head = head.subtracted(jaw);
  QPainterPath tail;
  tail.addEllipse(QPointF(length, 0), width * 0.55, width * 0.55);
  QPainterPath hole;
  hole.addEllipse(QPointF(length, 0), width * 0.2, width * 0.2);
  const QPainterPath shape = wrench.united(head).united(tail).subtracted(hole);
  QLinearGradient gradient(0, -width, 0, width);
  gradient.setColorAt(0, top);
  gradient.setColorAt(1, bottom);
  p.setPen(QPen(bottom.darker(150), 1.2));
  p.setBrush(gradient);
  p.drawPath(shape);
  p.restore();
}

void DrawDisk(QPainter& p, const QRectF& r) {
  QPainterPath body;
  body.addRoundedRect(r, 4, 4);
  p.setPen(QPen(kInk, 1.6));
  p.setBrush(Vertical(r.top(), r.bottom(), QColor(0x4b, 0x7f, 0xcf),
                      QColor(0x24, 0x4f, 0x96)));
  p.drawPath(body);
  p.setBrush(Vertical(r.top(), r.top() + 16, kPaperTop, kPaperBottom));
  p.setPen(Qt::NoPen);
  p.drawRect(QRectF(r.left() + 7, r.top() + 3, r.width() - 14, r.height() * 0.42));
  p.setBrush(QColor(0xc9, 0xd3, 0xde));
  p.drawRect(QRectF(r.left() + 10, r.bottom() - r.height() * 0.36,
                    r.width() - 20, r.height() * 0.36 - 3));
  p.setBrush(kInk);
  p.drawRect(QRectF(r.right() - 17, r.bottom() - r.height() * 0.32, 5,
                    r.height() * 0.26));
}

void DrawRoundSymbol(QPainter& p, const QColor& top, const QColor& bottom,
                     const QString& glyph) {
  QRadialGradient gradient(QPointF(18, 14), 30);
  gradient.setColorAt(0, top);
  gradient.setColorAt(1, bottom);
  p.setPen(QPen(bottom.darker(140), 1.6));
  p.setBrush(gradient);
  p.drawEllipse(QPointF(24, 24), 19, 19);
  QFont font(QStringLiteral("DejaVu Serif"));
  font.setBold(true);
  font.setPixelSize(28);
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(QRectF(5, 4, 38, 40), Qt::AlignCenter, glyph);
}

void DrawCommand(QPainter& p, int command) {
  switch (command) {
    case frame_command::kSelectFiles:
      DrawFolder(p, QRectF(3, 10, 34, 28));
      DrawDocument(p, QRectF(16, 4, 20, 26));
      DrawBadge(p, QPointF(35, 35), kGreen, true);
      break;
    case frame_command::kRemoveFiles:
      DrawDocument(p, QRectF(8, 4, 26, 34));
      DrawBadge(p, QPointF(35, 35), kRed, false);
      break;
    case frame_command::kRepairFiles:
      DrawDocument(p, QRectF(6, 4, 26, 34));
      DrawWrench(p, QPointF(14, 38), QPointF(42, 10), 10, kSteelTop,
                 kSteelBottom);
      break;
    case frame_command::kBrowse:
      DrawFolder(p, QRectF(4, 9, 40, 32));
      p.setPen(Qt::NoPen);
      p.setBrush(kInk);
      for (int i = 0; i < 3; ++i) p.drawEllipse(QPointF(16 + i * 8, 31), 2.4, 2.4);
      break;
    case frame_command::kSave:
      DrawDisk(p, QRectF(5, 5, 38, 38));
      break;
    case frame_command::kHelp:
      DrawRoundSymbol(p, QColor(0x7f, 0xb6, 0xf5), QColor(0x1f, 0x5f, 0xbf),
                      QStringLiteral("?"));
      break;
    case frame_command::kAbout:
      DrawRoundSymbol(p, QColor(0x8e, 0xd8, 0x8e), QColor(0x22, 0x8b, 0x3a),
                      QStringLiteral("i"));
      break;
    default:
      break;
  }
}

QPixmap CommandPixmap(int command, int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / kCanvas, size / kCanvas);
  DrawCommand(p, command);
  return pixmap;
}

bool IsToolbarCommand(int command) {
  for (const int id : kToolbarCommands) {
    if (id == command) return true;
  }
  return false;
}

void DrawProgramIcon(QPainter& p) {
  // Canvas 64 x 64.
  QPainterPath tile;
  tile.addRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
  p.setPen(Qt::NoPen);
  p.setBrush(Vertical(2, 62, QColor(0x3f, 0x86, 0xe0), QColor(0x15, 0x42, 0x8b)));
  p.drawPath(tile);
  // The database drum.
  const QColor drumTop(0xf4, 0xf8, 0xfd), drumSide(0xc7, 0xd8, 0xef);
  p.setPen(QPen(QColor(0x0e, 0x2f, 0x63), 2));
  p.setBrush(Vertical(14, 50, drumTop, drumSide));
  QPainterPath drum;
  drum.moveTo(12, 18);
  drum.lineTo(12, 46);
  drum.arcTo(QRectF(12, 40, 36, 12), 180, 180);
  drum.lineTo(48, 18);
  drum.arcTo(QRectF(12, 12, 36, 12), 0, -180);
  p.drawPath(drum);
  p.setBrush(drumTop);
  p.drawEllipse(QRectF(12, 12, 36, 12));
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(12, 22, 36, 12), 180 * 16, 180 * 16);
  p.drawArc(QRectF(12, 31, 36, 12), 180 * 16, 180 * 16);
  // The wrench that mends it.
  DrawWrench(p, QPointF(22, 52), QPointF(56, 20), 11, QColor(0xff, 0xc2, 0x6e),
             kOrange);
}

}  // namespace

QIcon ToolbarIcon(int command) {
  QIcon icon;
  if (!IsToolbarCommand(command)) return icon;
  for (const int size : {16, 24, 32, 48}) icon.addPixmap(CommandPixmap(command, size));
  return icon;
}

QPixmap ProgramIconPixmap(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 64.0, size / 64.0);
  DrawProgramIcon(p);
  return pixmap;
}

QIcon ProgramIcon() {
  QIcon icon;
  for (const int size : {16, 24, 32, 48, 64, 128, 256})
    icon.addPixmap(ProgramIconPixmap(size));
  return icon;
}

QPixmap LogoPixmap(bool onDarkBar) {
  QPixmap pixmap(250, 50);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.drawPixmap(4, 3, ProgramIconPixmap(44));
  QFont maker(QStringLiteral("DejaVu Sans"));
  maker.setPixelSize(12);
  maker.setBold(true);
  maker.setLetterSpacing(QFont::PercentageSpacing, 108);
  p.setFont(maker);
  p.setPen(onDarkBar ? QColor(0xc8, 0xd2, 0xe0) : QColor(0x4a, 0x5d, 0x7a));
  p.drawText(QRectF(56, 4, 190, 16), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("VANTRELWORKS"));
  QFont product(QStringLiteral("DejaVu Serif"));
  product.setPixelSize(22);
  product.setBold(true);
  p.setFont(product);
  p.setPen(onDarkBar ? QColor(0xff, 0xff, 0xff) : QColor(0x15, 0x42, 0x8b));
  p.drawText(QRectF(55, 18, 192, 28), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("Keelmend"));
  return pixmap;
}

QPixmap AboutBackground() {
  QPixmap pixmap(360, 334);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.fillRect(pixmap.rect(), Vertical(0, 334, QColor(0xfb, 0xfd, 0xff),
                                     QColor(0xd9, 0xe7, 0xf8)));
  // Header band with the icon and name.
  p.fillRect(QRect(0, 0, 360, 96), Vertical(0, 96, QColor(0x3f, 0x86, 0xe0),
                                            QColor(0x15, 0x42, 0x8b)));
  p.fillRect(QRect(0, 96, 360, 4), QColor(0xf0, 0x8a, 0x24));
  p.drawPixmap(18, 16, ProgramIconPixmap(64));
  QFont title(QStringLiteral("DejaVu Serif"));
  title.setPixelSize(26);
  title.setBold(true);
  p.setFont(title);
  p.setPen(Qt::white);
  p.drawText(QRectF(96, 18, 256, 34), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("Keelmend"));
  QFont sub(QStringLiteral("DejaVu Sans"));
  sub.setPixelSize(12);
  p.setFont(sub);
  p.setPen(QColor(0xdb, 0xe8, 0xfb));
  p.drawText(QRectF(97, 52, 256, 18), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("Repair for damaged Base (.odb) files"));
  // A faint keel line along the bottom.
  QPainterPath wave;
  wave.moveTo(0, 300);
  wave.cubicTo(90, 276, 200, 326, 360, 290);
  wave.lineTo(360, 334);
  wave.lineTo(0, 334);
  wave.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x8d, 0xb2, 0xe3, 110));
  p.drawPath(wave);
  return pixmap;
}

}  // namespace keelmend
