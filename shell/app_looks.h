// The nine application looks (ids 210 to 218) and where the chosen one is
// stored.
//
// A look is a Qt style, an application palette and the colours of the main
// frame's bars (menu bar, toolbar, status bar and their menus). It changes
// the frame's chrome and the standard dialogs; the workspace window keeps its
// own artwork in every look.
#pragma once

#include <QColor>
#include <QPalette>
#include <QString>

#include <array>

class QSettings;
class QWidget;

namespace keelmend {

inline constexpr int kLookWindows2000 = 210;
inline constexpr int kLookOfficeXP = 211;
inline constexpr int kLookWindowsXP = 212;
inline constexpr int kLookOffice2003 = 213;
inline constexpr int kLookVS2005 = 214;
inline constexpr int kLookOffice2007Blue = 215;
inline constexpr int kLookOffice2007Black = 216;
inline constexpr int kLookOffice2007Silver = 217;
inline constexpr int kLookOffice2007Aqua = 218;
inline constexpr int kDefaultLook = kLookOffice2007Blue;

struct AppLook {
  int id;
  const char* menuText;   // the radio item in View > Application Look
  const char* styleName;  // Qt style: "Windows" or "Fusion"
  QColor barTop;          // bar background gradient, top
  QColor barBottom;       //   and bottom
  QColor barText;
  QColor border;          // bar and menu frame lines
  QColor menuBackground;  // popup menus
  QColor hoverTop;        // hovered or pressed bar item, gradient
  QColor hoverBottom;
  QColor hoverBorder;
  QColor hoverText;
  QColor window;          // palette: window and button background
  QColor highlight;       // palette: selection
  bool smartDocking;      // docking mode chosen again after the change
};

// The looks in id order.
const std::array<AppLook, 9>& AllLooks();
// Whether `id` names one of the nine looks.
bool IsKnownLook(int id);
// The look for `id`. An id outside 210..218 gets the Office 2007 look in
// its initial colour style (blue): the id itself is kept by the caller and
// stored back unchanged.
const AppLook& LookFor(int id);

// The stored look: "ApplicationLook" in the group "Workspace", 215 when
// absent or not a number. Any number is returned as stored.
int ReadApplicationLook(QSettings& settings);
void WriteApplicationLook(QSettings& settings, int id);

// The palette of a look, on top of the style's standard palette.
QPalette LookPalette(const AppLook& look);
// The style sheet of the frame's bars for a look.
QString BarStyleSheet(const AppLook& look);
// Sets the look's style and palette on the application.
void ApplyLookToApplication(const AppLook& look);

}  // namespace keelmend
