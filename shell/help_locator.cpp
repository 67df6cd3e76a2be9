#include "shell/help_locator.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace keelmend {

namespace {

bool IsFile(const QString& path) { return QFileInfo(path).isFile(); }

}  // namespace

HelpPlaces DefaultHelpPlaces() {
  HelpPlaces places;
  places.programDir = QCoreApplication::applicationDirPath();
  const QDir program(places.programDir);
  places.guideDirs << places.programDir
                   << QDir::cleanPath(program.filePath(QStringLiteral("../share/doc/keelmend")));
#ifdef KEELMEND_INSTALL_DOCS_DIR
  places.guideDirs << QStringLiteral(KEELMEND_INSTALL_DOCS_DIR);
#endif
#ifdef KEELMEND_SOURCE_DOCS_DIR
  places.guideDirs << QStringLiteral(KEELMEND_SOURCE_DOCS_DIR);
#endif
  places.guideDirs.removeDuplicates();
#ifdef Q_OS_WIN
  places.chmViewer = true;
#endif
  return places;
}

QString FindHelpDocument(const HelpPlaces& places) {
  const QString chm = places.programDir.isEmpty()
                          ? QString()
                          : QDir(places.programDir).filePath(kHelpFileName);
  const bool haveChm = !chm.isEmpty() && IsFile(chm);
  if (haveChm && places.chmViewer) return chm;
  for (const QString& dir : places.guideDirs) {
    if (dir.isEmpty()) continue;
    const QString guide = QDir(dir).filePath(kUserGuideFileName);
    if (IsFile(guide)) return QFileInfo(guide).absoluteFilePath();
  }
  return haveChm ? chm : QString();
}

}  // namespace keelmend
