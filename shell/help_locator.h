// Where the program's help is found.
//
// The help file proper, "VantrelWorks for Keelmend.chm", lives in the
// program's folder. Desktops without a viewer for that format get the user
// guide docs/user-guide.html instead, looked for next to the program, in the
// source tree's docs/ folder and in the installed share/doc/keelmend.
#pragma once

#include <QString>
#include <QStringList>

namespace keelmend {

inline const QString kHelpFileName = QStringLiteral("VantrelWorks for Keelmend.chm");
inline const QString kUserGuideFileName = QStringLiteral("user-guide.html");
inline const QString kHelpNotFoundText = QStringLiteral(
    "VantrelWorks Keelmend help file not found, please re-install the software. ");

struct HelpPlaces {
  QString programDir;      // the folder of the program file
  QStringList guideDirs;   // folders that may hold the user guide, in order
  bool chmViewer = false;  // the desktop opens .chm files
};

// The places of this build: the running program's folder; the guide next to
// the program, in ../share/doc/keelmend relative to the program, in the
// configured documentation folder and in the source tree's docs/. .chm files are
// taken as viewable on Windows only.
HelpPlaces DefaultHelpPlaces();

// The file the Help command opens: the .chm file in the program's folder
// when the desktop can show it, else the first user guide found, else the
// .chm file wherever there is no guide. Empty when there is nothing to open.
QString FindHelpDocument(const HelpPlaces& places);

}  // namespace keelmend
