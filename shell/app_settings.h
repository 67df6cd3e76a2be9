// The per-user settings store of the program: organisation
// "VantrelWorksKeelmend", application "VantrelWorks Keelmend". The frame
// keeps "ApplicationLook" and its bar state in the group "Workspace".
#pragma once

#include <QSettings>
#include <QString>

namespace keelmend {

inline const QString kSettingsOrganisation = QStringLiteral("VantrelWorksKeelmend");
inline const QString kSettingsApplication = QStringLiteral("VantrelWorks Keelmend");
inline const QString kWorkspaceGroup = QStringLiteral("Workspace");

// The store in the platform's native per-user format (on Linux
// ~/.config/VantrelWorksKeelmend/VantrelWorks Keelmend.conf). Tests move it
// with QSettings::setPath.
inline QSettings OpenAppSettings() {
  return QSettings(QSettings::NativeFormat, QSettings::UserScope,
                   kSettingsOrganisation, kSettingsApplication);
}

}  // namespace keelmend
