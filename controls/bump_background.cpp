#include "controls/bump_background.h"

#include <QPainter>

namespace keelmend {
namespace {

int Channel(Colour colour, int shift) { return static_cast<int>((colour >> shift) & 0xFF); }

// (a × (128 − k) + b × k) / 128 per channel.
QColor Blend(Colour a, Colour b, int k) {
  auto mix = [&](int shift) { return (Channel(a, shift) * (128 - k) + Channel(b, shift) * k) / 128; };
  return QColor(mix(0), mix(8), mix(16));
}

}  // namespace

QColor ColourToQColor(Colour colour) {
  return QColor(Channel(colour, 0), Channel(colour, 8), Channel(colour, 16));
}

BumpPalette MakeBumpPalette(Colour start, Colour middle, Colour end) {
  BumpPalette palette;
  for (int k = 0; k <= 128; ++k) palette[k] = Blend(end, middle, k);
  // Entry 128 stays the middle colour; the second ramp starts after it.
  for (int e = 2; e <= 128; ++e) palette[127 + e] = Blend(middle, start, e);
  return palette;
}

int BumpColumnIndex(int column, int width) {
  if (width <= 0) return 128;
  const long long v = static_cast<long long>(width - column) * 255 / width - 127;
  const long long index = 128 + v * v * v / 16384;
  return static_cast<int>(((index % 256) + 256) % 256);
}

void PaintBumpBackground(QPainter& painter, const QRect& area) {
  static const BumpPalette palette = MakeBumpPalette(kBumpStart, kBumpMiddle, kBumpEnd);
  const int width = area.width();
  for (int j = 0; j < width; ++j) {
    painter.fillRect(area.left() + j, area.top(), 1, area.height(),
                     palette[static_cast<std::size_t>(BumpColumnIndex(j, width))]);
  }
}

}  // namespace keelmend
