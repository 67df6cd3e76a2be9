// The pictures of the main frame and the about box, drawn in code: the
// toolbar's seven button images, the logo, the program icon and the about
// box's background.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace keelmend {

// The toolbar image of a frame command (main_frame.h's command ids), drawn
// at 16, 24, 32 and 48 pixels. Unknown ids give an empty icon.
QIcon ToolbarIcon(int command);

// The program's icon: a database drum on a blue tile, mended by an orange
// wrench (the same design as resources/icons/keelmend.svg).
QIcon ProgramIcon();
QPixmap ProgramIconPixmap(int size);

// The logo at the right of the toolbar row: 250 x 50 pixels, transparent
// background, the icon and the text "VantrelWorks Keelmend"; light text
// for dark bars.
QPixmap LogoPixmap(bool onDarkBar = false);

// The about box's background picture, 360 x 334 pixels.
QPixmap AboutBackground();

}  // namespace keelmend
