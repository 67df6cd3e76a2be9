// The controls' pictures, drawn in code.
#pragma once

#include <QColor>
#include <QImage>

namespace keelmend {

// The key colour cut away from the splash picture.
inline const QColor kSplashKeyColour{255, 0, 255};

// The splash picture: 480 x 300, "VantrelWorks Keelmend" and "Version 1.0"
// on a rounded panel; the corners outside it are the key colour.
QImage DrawSplashPicture();

}  // namespace keelmend
