#include "workspace/trel_list_ctrl.h"

#include <algorithm>

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include "controls/gui_thread.h"

namespace keelmend {

namespace {

constexpr int kMarkRole = Qt::UserRole;       // repaired mark, 1 or 0
constexpr int kImageRole = Qt::UserRole + 1;  // item image index
constexpr int kColumnWidth = 900;
constexpr int kImageSize = 20;

char16_t FoldAsciiUpper(char16_t c) { return (c >= u'A' && c <= u'Z') ? c + (u'a' - u'A') : c; }

// Equal when the texts differ at most in the case of the letters A to Z.
bool EqualIgnoringAsciiCase(const QString& a, const QString& b) {
  if (a.size() != b.size()) return false;
  for (qsizetype i = 0; i < a.size(); ++i) {
    if (FoldAsciiUpper(a[i].unicode()) != FoldAsciiUpper(b[i].unicode())) return false;
  }
  return true;
}

// Draws an item as the list shows it: its image, then its text on a white
// band just as wide as the text, over the background picture; selected items
// get the selection colour behind the text; a thin grid line under each row.
class ItemDelegate final : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    painter->save();
    const QRect row = option.rect;
    const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
    const QRect iconRect(row.left() + 2, row.top() + (row.height() - kImageSize) / 2, kImageSize,
                         kImageSize);
    if (!icon.isNull()) icon.paint(painter, iconRect);
    const QString text = index.data(Qt::DisplayRole).toString();
    const int textWidth = option.fontMetrics.horizontalAdvance(text) + 6;
    const QRect textRect(iconRect.right() + 4, row.top() + 1, textWidth, row.height() - 2);
    const bool selected = option.state & QStyle::State_Selected;
    painter->fillRect(textRect, selected ? option.palette.color(QPalette::Highlight) : Qt::white);
    painter->setPen(selected ? option.palette.color(QPalette::HighlightedText) : QColor(Qt::black));
    painter->setFont(option.font);
    painter->drawText(textRect.adjusted(3, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, text);
    painter->setPen(QColor(208, 208, 208));
    painter->drawLine(row.bottomLeft(), row.bottomRight());
    painter->restore();
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(std::max(size.height(), kImageSize + 4));
    return size;
  }
};

}  // namespace

CTrelListCtrl::CTrelListCtrl(QWidget* parent) : QTreeWidget(parent) {
  setAccessibleName(QStringLiteral("File list"));
  setColumnCount(1);
  setHeaderLabels({QStringLiteral("File Name")});
  header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header()->setStretchLastSection(false);
  setColumnWidth(0, kColumnWidth);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setSortingEnabled(false);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setIconSize(QSize(kImageSize, kImageSize));
  setItemDelegate(new ItemDelegate(this));
  setMouseTracking(true);
  viewport()->setMouseTracking(true);
  viewport()->setAutoFillBackground(false);
  setFrameShape(QFrame::Box);
}

int CTrelListCtrl::Count() const {
  return RunOnGuiThread([this] { return topLevelItemCount(); });
}

QString CTrelListCtrl::ItemText(int row) const {
  return RunOnGuiThread([this, row] {
    const QTreeWidgetItem* item = topLevelItem(row);
    return item ? item->text(0) : QString();
  });
}

int CTrelListCtrl::ItemImage(int row) const {
  return RunOnGuiThread([this, row] {
    const QTreeWidgetItem* item = topLevelItem(row);
    return item ? item->data(0, kImageRole).toInt() : -1;
  });
}

int CTrelListCtrl::ItemData(int row) const {
  return RunOnGuiThread([this, row] {
    const QTreeWidgetItem* item = topLevelItem(row);
    return item ? item->data(0, kMarkRole).toInt() : 0;
  });
}

void CTrelListCtrl::SetItemData(int row, int data) {
  RunOnGuiThread([this, row, data] {
    if (QTreeWidgetItem* item = topLevelItem(row)) item->setData(0, kMarkRole, data);
  });
}

QTreeWidgetItem* CTrelListCtrl::MakeItem(const QString& path, Image image) const {
  auto* item = new QTreeWidgetItem(QStringList{path});
  item->setData(0, kMarkRole, 0);
  item->setData(0, kImageRole, static_cast<int>(image));
  if (image >= 0 && image < images_.size()) item->setIcon(0, QIcon(images_[image]));
  item->setToolTip(0, path);
  return item;
}

int CTrelListCtrl::AppendItem(const QString& path) {
  return RunOnGuiThread([this, &path] {
    addTopLevelItem(MakeItem(path, Listed));
    return topLevelItemCount() - 1;
  });
}

void CTrelListCtrl::ReplaceItem(int row, const QString& path, Image image) {
  RunOnGuiThread([this, row, &path, image] {
    if (row < 0 || row >= topLevelItemCount()) return;
    delete takeTopLevelItem(row);
    insertTopLevelItem(row, MakeItem(path, image));
  });
}

void CTrelListCtrl::DeleteItem(int row) {
  RunOnGuiThread([this, row] {
    if (row >= 0 && row < topLevelItemCount()) delete takeTopLevelItem(row);
  });
}

void CTrelListCtrl::DeleteAll() {
  RunOnGuiThread([this] { clear(); });
}

bool CTrelListCtrl::IsNotInList(const QString& path) const {
  return RunOnGuiThread([this, &path] {
    bool notInList = true;
    for (int row = 0; row < topLevelItemCount(); ++row) {
      if (EqualIgnoringAsciiCase(topLevelItem(row)->text(0), path)) notInList = false;
    }
    return notInList;
  });
}

QList<int> CTrelListCtrl::SelectedRows() const {
  return RunOnGuiThread([this] {
    QList<int> rows;
    for (int row = 0; row < topLevelItemCount(); ++row) {
      if (topLevelItem(row)->isSelected()) rows.append(row);
    }
    return rows;
  });
}

void CTrelListCtrl::SetItemImages(const QList<QPixmap>& images) {
  images_ = images;
  for (int row = 0; row < topLevelItemCount(); ++row) {
    QTreeWidgetItem* item = topLevelItem(row);
    const int image = item->data(0, kImageRole).toInt();
    if (image >= 0 && image < images_.size()) item->setIcon(0, QIcon(images_[image]));
  }
}

void CTrelListCtrl::SetWatermark(const QPixmap& picture) {
  watermark_ = picture;
  viewport()->update();
}

void CTrelListCtrl::mousePressEvent(QMouseEvent* event) {
  QTreeWidget::mousePressEvent(event);
  if (event->button() != Qt::LeftButton) return;
  const QModelIndex index = indexAt(event->position().toPoint());
  if (index.isValid() && previewRequest_) previewRequest_(index.row());
}

void CTrelListCtrl::mouseMoveEvent(QMouseEvent* event) {
  const QModelIndex index = indexAt(event->position().toPoint());
  if (index.isValid()) {
    const QString text = index.data(Qt::DisplayRole).toString();
    if (!text.isEmpty()) emit statusTextChanged(text);
  }
  QTreeWidget::mouseMoveEvent(event);
}

void CTrelListCtrl::RequestPreviewOfCurrent() {
  const QModelIndex current = currentIndex();
  if (current.isValid() && previewRequest_) previewRequest_(current.row());
}

void CTrelListCtrl::keyPressEvent(QKeyEvent* event) {
  QTreeWidget::keyPressEvent(event);
  RequestPreviewOfCurrent();
}

void CTrelListCtrl::keyReleaseEvent(QKeyEvent* event) {
  QTreeWidget::keyReleaseEvent(event);
  RequestPreviewOfCurrent();
}

void CTrelListCtrl::paintEvent(QPaintEvent* event) {
  {
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), Qt::white);
    if (!watermark_.isNull()) painter.drawTiledPixmap(viewport()->rect(), watermark_);
  }
  QTreeWidget::paintEvent(event);
}

}  // namespace keelmend
