#include "shell/app_looks.h"

#include <QApplication>
#include <QSettings>
#include <QStyle>
#include <QStyleFactory>

namespace keelmend {

namespace {

// Office 2007's hover: warm yellow to orange, dark text.
const QColor kWarmTop(0xff, 0xf4, 0xcc);
const QColor kWarmBottom(0xff, 0xd3, 0x6e);
const QColor kWarmBorder(0xdb, 0xa9, 0x3f);
const QColor kDarkText(0x1e, 0x1e, 0x1e);

const std::array<AppLook, 9> kLooks = {{
    {kLookWindows2000, "Windows &2000", "Windows", QColor(0xd4, 0xd0, 0xc8),
     QColor(0xd4, 0xd0, 0xc8), Qt::black, QColor(0x80, 0x80, 0x80),
     QColor(0xd4, 0xd0, 0xc8), QColor(0x0a, 0x24, 0x6a),
     QColor(0x0a, 0x24, 0x6a), QColor(0x0a, 0x24, 0x6a), Qt::white,
     QColor(0xd4, 0xd0, 0xc8), QColor(0x0a, 0x24, 0x6a), false},
    {kLookOfficeXP, "Office &XP", "Fusion", QColor(0xf7, 0xf6, 0xf3),
     QColor(0xe6, 0xe3, 0xdb), Qt::black, QColor(0x8a, 0x86, 0x7a),
     QColor(0xfc, 0xfc, 0xf9), QColor(0xc1, 0xd2, 0xee),
     QColor(0xc1, 0xd2, 0xee), QColor(0x31, 0x6a, 0xc5), Qt::black,
     QColor(0xec, 0xe9, 0xe2), QColor(0x31, 0x6a, 0xc5), false},
    {kLookWindowsXP, "&Windows XP", "Fusion", QColor(0xf6, 0xf5, 0xee),
     QColor(0xe3, 0xdf, 0xcc), Qt::black, QColor(0xa5, 0xa0, 0x8c),
     QColor(0xff, 0xff, 0xff), QColor(0xfb, 0xfb, 0xf8),
     QColor(0xe1, 0xe0, 0xd2), QColor(0x31, 0x6a, 0xc5), Qt::black,
     QColor(0xec, 0xe9, 0xd8), QColor(0x31, 0x6a, 0xc5), false},
    {kLookOffice2003, "Office 200&3", "Fusion", QColor(0xe3, 0xef, 0xfe),
     QColor(0x9e, 0xbe, 0xf5), Qt::black, QColor(0x3b, 0x61, 0x9c),
     QColor(0xf6, 0xf6, 0xf6), kWarmTop, QColor(0xff, 0xc8, 0x6b),
     QColor(0x00, 0x00, 0x80), Qt::black, QColor(0xdc, 0xe8, 0xfa),
     QColor(0x31, 0x6a, 0xc5), true},
    {kLookVS2005, "Visual Studio 200&5", "Fusion", QColor(0xfa, 0xf9, 0xf5),
     QColor(0xdc, 0xd9, 0xcc), Qt::black, QColor(0x9a, 0x96, 0x86),
     QColor(0xfc, 0xfc, 0xf9), QColor(0xc1, 0xd2, 0xee),
     QColor(0xb5, 0xc9, 0xea), QColor(0x31, 0x6a, 0xc5), Qt::black,
     QColor(0xee, 0xed, 0xe5), QColor(0x31, 0x6a, 0xc5), true},
    {kLookOffice2007Blue, "Office 2007 (&Blue Style)", "Fusion",
     QColor(0xe4, 0xef, 0xfd), QColor(0xc3, 0xda, 0xf7),
     QColor(0x15, 0x42, 0x8b), QColor(0x8d, 0xb2, 0xe3),
     QColor(0xfa, 0xfc, 0xff), kWarmTop, kWarmBottom, kWarmBorder, kDarkText,
     QColor(0xdf, 0xea, 0xf8), QColor(0x3d, 0x7b, 0xd2), true},
    {kLookOffice2007Black, "Office 2007 (B&lack Style)", "Fusion",
     QColor(0x5e, 0x5e, 0x5e), QColor(0x3a, 0x3a, 0x3a), Qt::white,
     QColor(0x1f, 0x1f, 0x1f), QColor(0xf5, 0xf5, 0xf5), kWarmTop,
     kWarmBottom, kWarmBorder, kDarkText, QColor(0xe0, 0xe0, 0xe0),
     QColor(0x4a, 0x4a, 0x4a), true},
    {kLookOffice2007Silver, "Office 2007 (&Silver Style)", "Fusion",
     QColor(0xf6, 0xf7, 0xf9), QColor(0xd2, 0xd6, 0xdf),
     QColor(0x3c, 0x3c, 0x46), QColor(0xa4, 0xa9, 0xb4),
     QColor(0xfb, 0xfb, 0xfc), kWarmTop, kWarmBottom, kWarmBorder, kDarkText,
     QColor(0xe9, 0xeb, 0xef), QColor(0x6f, 0x7a, 0x8f), true},
    {kLookOffice2007Aqua, "Office 2007 (&Aqua Style)", "Fusion",
     QColor(0xee, 0xf4, 0xf8), QColor(0xbe, 0xd2, 0xe0),
     QColor(0x25, 0x3f, 0x58), QColor(0x8a, 0xa8, 0xbf),
     QColor(0xf8, 0xfb, 0xfd), kWarmTop, kWarmBottom, kWarmBorder, kDarkText,
     QColor(0xe2, 0xeb, 0xf2), QColor(0x3f, 0x7f, 0xa8), true},
}};

QString Css(const QColor& colour) { return colour.name(QColor::HexRgb); }

QString Gradient(const QColor& top, const QColor& bottom) {
  return QStringLiteral(
             "qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, stop:1 %2)")
      .arg(Css(top), Css(bottom));
}

}  // namespace

const std::array<AppLook, 9>& AllLooks() { return kLooks; }

bool IsKnownLook(int id) {
  return id >= kLookWindows2000 && id <= kLookOffice2007Aqua;
}

const AppLook& LookFor(int id) {
  const int known = IsKnownLook(id) ? id : kLookOffice2007Blue;
  return kLooks[static_cast<std::size_t>(known - kLookWindows2000)];
}

int ReadApplicationLook(QSettings& settings) {
  settings.beginGroup(QStringLiteral("Workspace"));
  bool ok = false;
  const int id = settings.value(QStringLiteral("ApplicationLook"), kDefaultLook)
                     .toInt(&ok);
  settings.endGroup();
  return ok ? id : kDefaultLook;
}

void WriteApplicationLook(QSettings& settings, int id) {
  settings.beginGroup(QStringLiteral("Workspace"));
  settings.setValue(QStringLiteral("ApplicationLook"), id);
  settings.endGroup();
  settings.sync();
}

QPalette LookPalette(const AppLook& look) {
  QPalette palette = look.id == kLookWindows2000
                         ? QPalette(look.window)
                         : QPalette(Qt::black, look.window);
  palette.setColor(QPalette::Window, look.window);
  palette.setColor(QPalette::Button, look.window);
  palette.setColor(QPalette::Base, Qt::white);
  palette.setColor(QPalette::AlternateBase, look.window.lighter(104));
  palette.setColor(QPalette::WindowText, Qt::black);
  palette.setColor(QPalette::ButtonText, Qt::black);
  palette.setColor(QPalette::Text, Qt::black);
  palette.setColor(QPalette::ToolTipBase, QColor(0xff, 0xff, 0xe1));
  palette.setColor(QPalette::ToolTipText, Qt::black);
  palette.setColor(QPalette::Highlight, look.highlight);
  palette.setColor(QPalette::HighlightedText, Qt::white);
  palette.setColor(QPalette::Link, QColor(0, 0, 238));
  palette.setColor(QPalette::Disabled, QPalette::WindowText, Qt::gray);
  palette.setColor(QPalette::Disabled, QPalette::ButtonText, Qt::gray);
  palette.setColor(QPalette::Disabled, QPalette::Text, Qt::gray);
  return palette;
}

QString BarStyleSheet(const AppLook& look) {
  const QString bar = Gradient(look.barTop, look.barBottom);
  const QString hover = Gradient(look.hoverTop, look.hoverBottom);
  return QStringLiteral(
             "QMenuBar { background: %1; color: %2; border-bottom: 1px solid "
             "%3; }"
             "QMenuBar::item { background: transparent; padding: 3px 9px; }"
             "QMenuBar::item:selected, QMenuBar::item:pressed { background: "
             "%4; color: %5; border: 1px solid %6; border-radius: 2px; }"
             "QMenu { background: %7; color: black; border: 1px solid %3; }"
             "QMenu::item { padding: 4px 28px 4px 24px; }"
             "QMenu::item:selected { background: %4; color: %5; border: 1px "
             "solid %6; }"
             "QMenu::item:disabled { color: #8d8d8d; }"
             "QMenu::separator { height: 1px; background: %3; margin: 3px "
             "6px; }"
             "QToolBar { background: %1; border: none; border-bottom: 1px "
             "solid %3; spacing: 3px; padding: 2px; }"
             "QToolButton { background: transparent; border: 1px solid "
             "transparent; border-radius: 3px; padding: 2px; }"
             "QToolButton:hover { background: %4; border-color: %6; }"
             "QToolButton:pressed { background: %8; border-color: %6; }"
             "QStatusBar { background: %1; color: %2; border-top: 1px solid "
             "%3; }"
             "QStatusBar::item { border: none; }"
             "QStatusBar QLabel { color: %2; padding: 1px 6px; border-left: "
             "1px solid %3; }"
             "QStatusBar QLabel:disabled { color: %9; }")
      .arg(bar, Css(look.barText), Css(look.border), hover,
           Css(look.hoverText), Css(look.hoverBorder), Css(look.menuBackground),
           Gradient(look.hoverBottom, look.hoverTop),
           Css(look.barText.lightness() > 128 ? look.barText.darker(160)
                                              : look.barText.lighter(250)));
}

void ApplyLookToApplication(const AppLook& look) {
  if (QApplication::style()->name().compare(QLatin1String(look.styleName),
                                            Qt::CaseInsensitive) != 0) {
    if (QStyle* style = QStyleFactory::create(QLatin1String(look.styleName)))
      QApplication::setStyle(style);
  }
  QApplication::setPalette(LookPalette(look));
}

}  // namespace keelmend
