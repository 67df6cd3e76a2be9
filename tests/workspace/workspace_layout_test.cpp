// Placement of the workspace window's controls at two window sizes and with
// the three combinations of progress rows, and the painted background.
#include <QtTest>

#include "view_fixture.h"
#include "workspace/salvor_view.h"
#include "workspace/trel_list_ctrl.h"

using namespace keelmend;
using namespace keelmend::testing;

namespace {

enum Rows { kNoRows, kBothRows, kTotalOnly };

void ShowRows(CSalvorView& view, Rows rows) {
  switch (rows) {
    case kNoRows: view.ShowProgressGroup(false); break;
    case kBothRows: view.ShowProgressGroup(true); break;
    case kTotalOnly: view.ShowTotalProgressOnly(); break;
  }
  view.Relayout();
}

QRect Geometry(CSalvorView& view, int id) { return view.Control(id)->geometry(); }

}  // namespace

class WorkspaceLayoutTest : public QObject {
  Q_OBJECT

 private slots:
  void fixedControls_data();
  void fixedControls();
  void logAndProgressRows_data();
  void logAndProgressRows();
  void backgroundArtwork();
};

void WorkspaceLayoutTest::fixedControls_data() {
  QTest::addColumn<QSize>("size");
  QTest::addColumn<int>("id");
  QTest::addColumn<QRect>("expected");
  using namespace workspace_id;
  // 1280 x 800: M = 400. 1024 x 701: M = 350 (half the height, rounded down).
  const struct {
    const char* name;
    int id;
    QRect at1280x800;
    QRect at1024x701;
  } rows[] = {
      {"Select files", kSelectFiles, {10, 80, 100, 28}, {10, 80, 100, 28}},
      {"Remove files", kRemoveFiles, {115, 80, 100, 28}, {115, 80, 100, 28}},
      {"Repair files", kRepairFiles, {220, 80, 100, 28}, {220, 80, 100, 28}},
      {"file list", kFileList, {10, 113, 1050, 312}, {10, 113, 794, 262}},
      {"preview", kPreview, {1070, 113, 200, 312}, {814, 113, 200, 262}},
      {"destination label (the first of id 9)", kLabel, {10, 430, 290, 26}, {10, 380, 290, 26}},
      {"destination edit", kDestinationEdit, {305, 432, 695, 22}, {305, 382, 439, 22}},
      {"Browse", kBrowse, {1005, 430, 50, 26}, {749, 380, 50, 26}},
      {"Save", kSave, {1060, 430, 70, 26}, {804, 380, 70, 26}},
      {"Extract Media", kExtractMedia, {1135, 430, 135, 26}, {879, 380, 135, 26}},
      {"Stop", kStop, {1150, 760, 60, 30}, {894, 661, 60, 30}},
      {"Exit", kExit, {1215, 760, 55, 30}, {959, 661, 55, 30}},
      {"notice", kNotice, {75, 750, 310, 45}, {75, 651, 310, 45}},
  };
  for (const auto& row : rows) {
    QTest::addRow("1280x800 %s", row.name) << QSize(1280, 800) << row.id << row.at1280x800;
    QTest::addRow("1024x701 %s", row.name) << QSize(1024, 701) << row.id << row.at1024x701;
  }
}

void WorkspaceLayoutTest::fixedControls() {
  QFETCH(QSize, size);
  QFETCH(int, id);
  QFETCH(QRect, expected);
  PrivateTempDir temp;
  CSalvorView view;
  view.show();
  view.resize(size);
  QCOMPARE(Geometry(view, id), expected);
}

void WorkspaceLayoutTest::logAndProgressRows_data() {
  QTest::addColumn<QSize>("size");
  QTest::addColumn<int>("rows");
  QTest::addColumn<QRect>("log");
  QTest::addColumn<QRect>("fileLabel");
  QTest::addColumn<QRect>("fileBar");
  QTest::addColumn<QRect>("totalLabel");
  QTest::addColumn<QRect>("totalBar");
  const QRect none;
  // Log bottom B: H - 70 without rows, H - 105 with both, H - 90 with the
  // total row only; the rows follow at B + 5 and 23 pixels apart.
  QTest::newRow("1280x800 no rows") << QSize(1280, 800) << int(kNoRows) << QRect(10, 461, 1260, 269)
                                    << none << none << none << none;
  QTest::newRow("1280x800 both rows")
      << QSize(1280, 800) << int(kBothRows) << QRect(10, 461, 1260, 234) << QRect(10, 700, 150, 18)
      << QRect(165, 700, 1105, 13) << QRect(10, 723, 150, 18) << QRect(165, 723, 1105, 13);
  QTest::newRow("1280x800 total row only")
      << QSize(1280, 800) << int(kTotalOnly) << QRect(10, 461, 1260, 249) << none << none
      << QRect(10, 715, 150, 18) << QRect(165, 715, 1105, 13);
  QTest::newRow("1024x701 no rows") << QSize(1024, 701) << int(kNoRows) << QRect(10, 411, 1004, 220)
                                    << none << none << none << none;
  QTest::newRow("1024x701 both rows")
      << QSize(1024, 701) << int(kBothRows) << QRect(10, 411, 1004, 185) << QRect(10, 601, 150, 18)
      << QRect(165, 601, 849, 13) << QRect(10, 624, 150, 18) << QRect(165, 624, 849, 13);
  QTest::newRow("1024x701 total row only")
      << QSize(1024, 701) << int(kTotalOnly) << QRect(10, 411, 1004, 200) << none << none
      << QRect(10, 616, 150, 18) << QRect(165, 616, 849, 13);
}

void WorkspaceLayoutTest::logAndProgressRows() {
  QFETCH(QSize, size);
  QFETCH(int, rows);
  QFETCH(QRect, log);
  QFETCH(QRect, fileLabel);
  QFETCH(QRect, fileBar);
  QFETCH(QRect, totalLabel);
  QFETCH(QRect, totalBar);
  PrivateTempDir temp;
  CSalvorView view;
  view.show();
  view.resize(size);
  ShowRows(view, static_cast<Rows>(rows));
  using namespace workspace_id;
  QCOMPARE(Geometry(view, kLog), log);
  const struct {
    QWidget* control;
    QRect expected;
  } rowControls[] = {{view.FileProgressLabel(), fileLabel},
                     {view.Control(kFileProgress), fileBar},
                     {view.TotalProgressLabel(), totalLabel},
                     {view.Control(kTotalProgress), totalBar}};
  for (const auto& r : rowControls) {
    QCOMPARE(!r.control->isHidden(), !r.expected.isNull());
    if (!r.expected.isNull()) QCOMPARE(r.control->geometry(), r.expected);
  }
  // The watermark is scaled to the list's width and M - 73.
  const QSize watermark(size.width() - 230, size.height() / 2 - 73);
  QCOMPARE(view.ScaledWatermark().size(), watermark);
  QCOMPARE(view.FileList()->Watermark().size(), watermark);
}

void WorkspaceLayoutTest::backgroundArtwork() {
  PrivateTempDir temp;
  CSalvorView view;
  view.show();
  view.resize(1280, 800);
  const QImage shot = view.grab().toImage();
  const QColor body(252, 230, 154);
  QCOMPARE(shot.pixelColor(5, 300), body);     // body band left of the file list
  QCOMPARE(shot.pixelColor(295, 453), body);   // through the transparent destination label
  QCOMPARE(shot.pixelColor(5, 735), body);     // between log box and footer
  QVERIFY(shot.pixelColor(640, 780) != body);  // footer band
  QVERIFY(shot.pixelColor(1275, 30) != body);  // header band, stretched to the right edge
  QVERIFY(shot.pixelColor(1275, 30) != view.palette().color(QPalette::Button));
  // The item images and the list background are there.
  QCOMPARE(view.FileList()->iconSize(), QSize(20, 20));
  QVERIFY(!view.FileList()->Watermark().isNull());
}

QTEST_MAIN(WorkspaceLayoutTest)
#include "workspace_layout_test.moc"
