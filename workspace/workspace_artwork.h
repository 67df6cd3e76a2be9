// The workspace window's pictures, drawn in code: the banner and the bands
// of its background, the help symbol, the file list's watermark, the three
// item images and the images of the command buttons.
#pragma once

#include <QList>
#include <QPixmap>

namespace keelmend {

QPixmap BannerArt();       // 400 x 72: logo and product name
QPixmap HeaderBandArt();   // 100 x 72: stretched right of the banner
QPixmap FooterBandArt();   // 820 x 62: stretched over the full width
QPixmap HelpSymbolArt();   // 64 x 62: at the left end of the footer
QPixmap WatermarkArt();    // 850 x 300: behind the file list's items

// The 60 x 20 strip of item images and the three 20 x 20 images cut from it:
// 0 = not repaired, 1 = repaired, 2 = listed, not yet repaired.
QPixmap FileListImageStrip();
QList<QPixmap> FileListImages();

// Images of the command buttons (23 x 20; Save 20 x 20).
enum class ButtonArt { SelectFiles, RemoveFiles, RepairFiles, Save, Stop, Exit, Browse };
QPixmap ButtonImage(ButtonArt which);

// The colour of the window's body band, labels and check box.
inline constexpr int kBodyRed = 252, kBodyGreen = 230, kBodyBlue = 154;

}  // namespace keelmend
