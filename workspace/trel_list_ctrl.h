// The file list: one item per source .odb file, shown by its full path, with
// an image telling listed, repaired or not repaired, and the repaired mark
// that the save job reads. Items are appended and never reordered.
#pragma once

#include <functional>

#include <QPixmap>
#include <QString>
#include <QTreeWidget>

namespace keelmend {

class CTrelListCtrl : public QTreeWidget {
  Q_OBJECT
 public:
  // Item images.
  enum Image { NotRepaired = 0, Repaired = 1, Listed = 2 };

  explicit CTrelListCtrl(QWidget* parent = nullptr);

  // Item access. All of these may be called from a job thread: they are then
  // carried out on the window thread while the caller waits.
  int Count() const;
  QString ItemText(int row) const;
  int ItemImage(int row) const;  // -1 for a row that does not exist
  int ItemData(int row) const;   // the repaired mark, 1 or 0
  void SetItemData(int row, int data);
  // Appends an item with the given text, image Listed and data 0; returns
  // its row.
  int AppendItem(const QString& path);
  // Deletes the item at row and inserts at row an item with the same text
  // and the given image; the repaired mark of the new item is 0.
  void ReplaceItem(int row, const QString& path, Image image);
  void DeleteItem(int row);
  void DeleteAll();

  // True when no item's text equals path, ignoring the case of A to Z only.
  bool IsNotInList(const QString& path) const;

  // Rows of the selected items, ascending.
  QList<int> SelectedRows() const;

  // Window thread only from here on.

  // The three 20 x 20 item images (index = Image).
  void SetItemImages(const QList<QPixmap>& images);
  // The background picture behind the items; scaled by the caller.
  void SetWatermark(const QPixmap& picture);
  const QPixmap& Watermark() const { return watermark_; }

  // Called with the item's row after a click on an item, and after every key
  // press and release while the list has a current item.
  void SetPreviewRequest(std::function<void(int)> request) { previewRequest_ = std::move(request); }

 signals:
  // The text of the item under the mouse (non-empty only).
  void statusTextChanged(const QString& text);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QTreeWidgetItem* MakeItem(const QString& path, Image image) const;
  void RequestPreviewOfCurrent();

  QList<QPixmap> images_;
  QPixmap watermark_;
  std::function<void(int)> previewRequest_;
};

}  // namespace keelmend
