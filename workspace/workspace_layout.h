// Where the workspace window puts its controls for a given client size.
// Absolute pixel positions; M is half the height. The log box ends higher
// the more progress rows are visible below it.
#pragma once

#include <QRect>
#include <QSize>

namespace keelmend {

struct WorkspaceLayout {
  QRect selectFiles, removeFiles, repairFiles;
  QRect previewLabel, fileList, preview;
  QRect destinationLabel, destinationEdit, browse, save, extractMedia;
  QRect log;
  QRect stop, exit, notice;
  QRect fileProgressLabel, fileProgress;    // empty while the row is hidden
  QRect totalProgressLabel, totalProgress;  // empty while the row is hidden
  QSize watermark;                          // the file list's background picture
  int logBottom = 0;                        // B: bottom edge of the log box
};

// The layout for a client area of width x height with the given progress rows.
WorkspaceLayout ComputeLayout(int width, int height, bool fileRowVisible, bool totalRowVisible);

}  // namespace keelmend
