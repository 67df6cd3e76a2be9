// The workspace window's own texts: captions, tooltips, log and message
// texts, and the notice texts with the runs that are shown in bold.
#pragma once

#include <QList>
#include <QString>

#include "workspace/workspace_state.h"

namespace keelmend::texts {

inline const QString kSelectFiles = QStringLiteral("Select files");
inline const QString kSelectFilesTip = QStringLiteral("Select file(s)");
inline const QString kRemoveFiles = QStringLiteral("Remove files");
inline const QString kRemoveFilesTip = QStringLiteral("Remove file(s)");
inline const QString kRepairFiles = QStringLiteral("Repair files");
inline const QString kRepairFilesTip = QStringLiteral("Repair file(s)");
inline const QString kSave = QStringLiteral("Save...");
inline const QString kSaveTip = QStringLiteral("Save file(s)");
inline const QString kStop = QStringLiteral("Stop");
inline const QString kExit = QStringLiteral("Exit");
inline const QString kBrowse = QStringLiteral("...");
inline const QString kBrowseTip = QStringLiteral("Browse folder");
inline const QString kExtractMedia = QStringLiteral("Extract Media..");
inline const QString kDestinationLabel = QStringLiteral("Please select location to save repaired file(s):");
inline const QString kPreviewLabel = QStringLiteral("File preview:");
inline const QString kFileProgressLabel = QStringLiteral("File progress:");
inline const QString kTotalProgressLabel = QStringLiteral("Total files progress:");
inline const QString kDestinationPrompt =
    QStringLiteral("<Please enter valid path to save repaired Base file(s)> ");

inline const QString kIdleLog = QStringLiteral("Click Select files to select .odb file(s) to repair....");
inline const QString kListedLog = QStringLiteral("Select .odb file(s) to Repair....");

inline const QString kOdbFilter = QStringLiteral("Base File (*.odb)");
inline const QString kAlreadyListed = QStringLiteral("already exist in the list.");
inline const QString kNothingToRemove = QStringLiteral("No file(s) selected to remove.");
inline const QString kBrowseTitle = QStringLiteral("Select path to save repaired file(s)");
inline const QString kStopQuestion = QStringLiteral("Are you sure to stop the running process?");
inline const QString kStopBeforeSaving =
    QStringLiteral("Please stop the running process before saving the file(s).");

}  // namespace keelmend::texts

namespace keelmend {

// Characters first .. end - 1 of a notice are bold (a line break counts as
// one character).
struct BoldRun {
  int first;
  int end;
};

struct NoticeText {
  QString text;
  QList<BoldRun> boldRuns;
};

const NoticeText& NoticeTextOf(Notice notice);

}  // namespace keelmend
