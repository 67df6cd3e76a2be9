#include "workspace/workspace_layout.h"

namespace keelmend {

namespace {

// Bottom of the log box: room for the visible progress rows below it.
int LogBottom(int height, bool fileRowVisible, bool totalRowVisible) {
  if (fileRowVisible) return height - 105;
  if (totalRowVisible) return height - 90;
  return height - 70;
}

void PlaceProgressRows(WorkspaceLayout& l, int width, bool fileRow, bool totalRow) {
  constexpr int kRowStep = 23;
  int y = l.logBottom + 5;
  if (fileRow) {
    l.fileProgressLabel = QRect(10, y, 150, 18);
    l.fileProgress = QRect(165, y, width - 175, 13);
    y += kRowStep;
  }
  if (totalRow) {
    l.totalProgressLabel = QRect(10, y, 150, 18);
    l.totalProgress = QRect(165, y, width - 175, 13);
  }
}

}  // namespace

WorkspaceLayout ComputeLayout(int w, int h, bool fileRowVisible, bool totalRowVisible) {
  const int m = h / 2;
  WorkspaceLayout l;
  l.selectFiles = QRect(10, 80, 100, 28);
  l.removeFiles = QRect(115, 80, 100, 28);
  l.repairFiles = QRect(220, 80, 100, 28);
  l.previewLabel = QRect(w - 210, 95, 90, 16);
  l.fileList = QRect(10, 113, w - 230, m - 88);
  l.preview = QRect(w - 210, 113, 200, m - 88);
  l.destinationLabel = QRect(10, m + 30, 290, 26);
  l.destinationEdit = QRect(305, m + 32, w - 585, 22);
  l.browse = QRect(w - 275, m + 30, 50, 26);
  l.save = QRect(w - 220, m + 30, 70, 26);
  l.extractMedia = QRect(w - 145, m + 30, 135, 26);
  l.logBottom = LogBottom(h, fileRowVisible, totalRowVisible);
  l.log = QRect(10, m + 61, w - 20, l.logBottom - (m + 61));
  l.stop = QRect(w - 130, h - 40, 60, 30);
  l.exit = QRect(w - 65, h - 40, 55, 30);
  l.notice = QRect(75, h - 50, 310, 45);
  l.watermark = QSize(w - 230, m - 73);
  PlaceProgressRows(l, w, fileRowVisible, totalRowVisible);
  return l;
}

}  // namespace keelmend
