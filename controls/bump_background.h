// The message box's background: a colour bump across the width, the same
// colour all the way down each column (background effect 12).
#pragma once

#include <array>

#include <QColor>
#include <QRect>

#include "engine/sinks.h"

class QPainter;

namespace keelmend {

// The program's colours, 0x00BBGGRR: strong yellow at both edges, pale
// yellow in the middle.
inline constexpr Colour kBumpStart = 0x51ECFD;
inline constexpr Colour kBumpMiddle = 0xA9F3FE;
inline constexpr Colour kBumpEnd = 0x51ECFD;

// 0x00BBGGRR to QColor (opaque).
QColor ColourToQColor(Colour colour);

using BumpPalette = std::array<QColor, 256>;

// Entries 0..128 run from `end` (0) to `middle` (128); entries 129..255 from
// there on to `start` (255), each channel (a × (128 − k) + b × k) / 128 in
// integer arithmetic.
BumpPalette MakeBumpPalette(Colour start, Colour middle, Colour end);

// Palette index of column `column` (0 = left) of a body `width` pixels wide:
// v = (width − column) × 255 / width − 127, index = (128 + v³ / 16384) mod
// 256, divisions truncating toward zero. A width of 0 or less gives 128.
int BumpColumnIndex(int column, int width);

// Paints `area` column by column with the program's bump.
void PaintBumpBackground(QPainter& painter, const QRect& area);

}  // namespace keelmend
