#include "workspace/salvor_view.h"

#include <QApplication>
#include <QAbstractButton>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDir>
#include <QFontMetrics>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTextCursor>
#include <QTextEdit>
#include <QTreeWidget>
#include <QUrl>

#include "controls/edit_prompt.h"
#include "controls/est_progress_ctrl.h"
#include "controls/gui_thread.h"
#include "controls/transparent_static.h"
#include "workspace/job_log.h"
#include "workspace/trel_list_ctrl.h"
#include "workspace/workspace_artwork.h"
#include "workspace/workspace_layout.h"
#include "workspace/workspace_texts.h"

namespace keelmend {

namespace {

constexpr int kStatusTextLimit = 259;

// A font whose line (ascent plus descent) is `cellHeight` pixels high: the
// window's font sizes are given as the height of a text line, not of the em.
QFont FontOfCellHeight(const QString& family, QFont::StyleHint hint, int cellHeight, bool bold) {
  QFont font(family);
  font.setStyleHint(hint);
  font.setBold(bold);
  int pixels = cellHeight;
  for (; pixels > 6; --pixels) {
    font.setPixelSize(pixels);
    if (QFontMetrics(font).height() <= cellHeight) break;
  }
  font.setPixelSize(pixels);
  return font;
}

// Where a face is wider than the one the layout was made for, a label's font
// shrinks until its text fits the label's fixed width.
QFont FittedToWidth(QFont font, const QString& text, int width) {
  while (font.pixelSize() > 8 && QFontMetrics(font).horizontalAdvance(text) > width) {
    font.setPixelSize(font.pixelSize() - 1);
  }
  return font;
}

QFont BodyFont() {
  return FontOfCellHeight(QStringLiteral("Times New Roman"), QFont::Serif, 18, false);
}

QFont HeadingFont() {
  return FontOfCellHeight(QStringLiteral("Arial"), QFont::SansSerif, 16, true);
}

// The command buttons' font: the small dialog face of the platform.
QFont ButtonFont() {
  return FontOfCellHeight(QStringLiteral("Arial"), QFont::SansSerif, 14, false);
}

// The notice box's own font: plain Arial, 9 points.
QFont NoticeFont() {
  QFont font(QStringLiteral("Arial"));
  font.setStyleHint(QFont::SansSerif);
  font.setPointSize(9);
  return font;
}

void SetId(QWidget* widget, int id) { widget->setProperty(kControlIdProperty, id); }

}  // namespace

CSalvorView::CSalvorView(QWidget* parent)
    : QWidget(parent), state_(std::make_shared<WorkspaceState>()) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAcceptDrops(true);
  setMouseTracking(true);
  setAccessibleName(QStringLiteral("Workspace"));
  LoadArtwork();
  CreateControls();
  for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (child != entryList_) WatchForStatusText(child);
  }
}

CSalvorView::~CSalvorView() { EndJobThreadAtDestruction(); }

void CSalvorView::LoadArtwork() {
  banner_ = BannerArt();
  headerBand_ = HeaderBandArt();
  footerBand_ = FooterBandArt();
  helpSymbol_ = HelpSymbolArt();
}

// The controls in the order the window has always created them; each starts
// at (0, 0) with no size until the first layout places it.
void CSalvorView::CreateControls() {
  fileList_ = new CTrelListCtrl(this);
  SetId(fileList_, workspace_id::kFileList);
  fileList_->SetPreviewRequest([this](int row) { ShowFilePreview(row); });
  connect(fileList_, &CTrelListCtrl::statusTextChanged, this, &CSalvorView::statusTextChanged);
  CreateButtons();
  destinationLabel_ = MakeLabel(texts::kDestinationLabel, HeadingFont(), 290);
  preview_ = new CPictureBox(this);
  SetId(preview_, workspace_id::kPreview);
  CreateLogAndNotice();
  CreateDestination();
  fileList_->SetItemImages(FileListImages());
  previewLabel_ = MakeLabel(texts::kPreviewLabel, HeadingFont(), 90);
  CreateEntryList();
  extractMedia_ = new QCheckBox(texts::kExtractMedia, this);
  SetId(extractMedia_, workspace_id::kExtractMedia);
  extractMedia_->setFont(BodyFont());
  extractMedia_->setAccessibleName(texts::kExtractMedia);
  EnableSaveGroup(false);
  state_->repairEnabled = 0;
  repairButton_->setEnabled(false);
  removeButton_->setEnabled(false);
  stopButton_->hide();
  extractMedia_->setChecked(true);
  entryList_->clear();
  if (WorkRootExists()) {
    preview_->ShowPreview(QString(), PreviewState::NoText);
    ClearWorkRootNow();
  }
  selectButton_->setEnabled(true);
  state_->selectEnabled = 1;
  CreateProgressRows();
  ShowProgressGroup(false);
  watermark_ = WatermarkArt();
  destinationEdit_->SetPromptText(texts::kDestinationPrompt);
}

QPushButton* CSalvorView::MakeButton(int id, const QString& caption, const QString& tooltip,
                                     ButtonArt art) {
  auto* button = new QPushButton(caption, this);
  SetId(button, id);
  button->setToolTip(tooltip);
  button->setAccessibleName(caption);
  const QPixmap image = ButtonImage(art);
  button->setIcon(QIcon(image));
  button->setIconSize(image.size());
  button->setFont(ButtonFont());
  button->setFocusPolicy(Qt::TabFocus);
  return button;
}

void CSalvorView::CreateButtons() {
  using namespace workspace_id;
  selectButton_ = MakeButton(kSelectFiles, texts::kSelectFiles, texts::kSelectFilesTip, ButtonArt::SelectFiles);
  removeButton_ = MakeButton(kRemoveFiles, texts::kRemoveFiles, texts::kRemoveFilesTip, ButtonArt::RemoveFiles);
  repairButton_ = MakeButton(kRepairFiles, texts::kRepairFiles, texts::kRepairFilesTip, ButtonArt::RepairFiles);
  saveButton_ = MakeButton(kSave, texts::kSave, texts::kSaveTip, ButtonArt::Save);
  stopButton_ = MakeButton(kStop, texts::kStop, texts::kStop, ButtonArt::Stop);
  exitButton_ = MakeButton(kExit, texts::kExit, texts::kExit, ButtonArt::Exit);
  connect(selectButton_, &QPushButton::clicked, this, &CSalvorView::SelectFiles);
  connect(removeButton_, &QPushButton::clicked, this, &CSalvorView::RemoveFiles);
  connect(repairButton_, &QPushButton::clicked, this, &CSalvorView::StartRepair);
  connect(saveButton_, &QPushButton::clicked, this, &CSalvorView::StartSave);
  connect(stopButton_, &QPushButton::clicked, this, &CSalvorView::StopJob);
  connect(exitButton_, &QPushButton::clicked, this, &CSalvorView::exitRequested);
}

QWidget* CSalvorView::MakeLabel(const QString& text, const QFont& font, int width) {
  auto* label = new CTrelTransparentStatic(text, this);
  SetId(label, workspace_id::kLabel);
  label->setFont(FittedToWidth(font, text, width));
  label->setAccessibleName(text);
  return label;
}

void CSalvorView::CreateLogAndNotice() {
  log_ = new CJobLog(this);
  SetId(log_, workspace_id::kLog);
  log_->SetLogText(texts::kIdleLog);
  notice_ = new QTextEdit(this);
  SetId(notice_, workspace_id::kNotice);
  notice_->setAccessibleName(QStringLiteral("Notice"));
  notice_->setReadOnly(true);
  notice_->setFrameShape(QFrame::NoFrame);
  notice_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  notice_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  notice_->setStyleSheet(QStringLiteral("QTextEdit { background: transparent; }"));
  notice_->viewport()->setAutoFillBackground(false);
  notice_->setFocusPolicy(Qt::NoFocus);
  notice_->document()->setDefaultFont(NoticeFont());
  notice_->document()->setDocumentMargin(2);
  SetNotice(Notice::Idle);
}

void CSalvorView::CreateDestination() {
  destinationEdit_ = new CXEditPrompt(this);
  SetId(destinationEdit_, workspace_id::kDestinationEdit);
  destinationEdit_->setFont(BodyFont());
  destinationEdit_->setAccessibleName(QStringLiteral("Destination folder"));
  browseButton_ = MakeButton(workspace_id::kBrowse, texts::kBrowse, texts::kBrowseTip, ButtonArt::Browse);
  browseButton_->setAccessibleName(texts::kBrowseTip);
  connect(browseButton_, &QPushButton::clicked, this, &CSalvorView::Browse);
}

void CSalvorView::CreateEntryList() {
  entryList_ = new QTreeWidget(this);
  SetId(entryList_, workspace_id::kEntryList);
  entryList_->setAccessibleName(QStringLiteral("Entry list"));
  entryList_->setHeaderLabels({QStringLiteral("File Name")});
  entryList_->setColumnWidth(0, 0);
  entryList_->hide();
}

void CSalvorView::CreateProgressRows() {
  fileProgressLabel_ = MakeLabel(texts::kFileProgressLabel, BodyFont(), 150);
  totalProgressLabel_ = MakeLabel(texts::kTotalProgressLabel, BodyFont(), 150);
  fileProgress_ = new CEstProgressCtrl(this);
  SetId(fileProgress_, workspace_id::kFileProgress);
  fileProgress_->setAccessibleName(QStringLiteral("File progress"));
  totalProgress_ = new CEstProgressCtrl(this);
  SetId(totalProgress_, workspace_id::kTotalProgress);
  totalProgress_->setAccessibleName(QStringLiteral("Total progress"));
}

QWidget* CSalvorView::Control(int id) const {
  for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (child->property(kControlIdProperty).toInt() == id) return child;
  }
  return nullptr;
}

// --- operations ------------------------------------------------------------

void CSalvorView::EnableSaveGroup(bool enable) {
  RunOnGuiThread([&] {
    state_->saveEnabled = enable ? 1 : 0;
    if (browseButton_) browseButton_->setEnabled(enable);
    if (saveButton_) saveButton_->setEnabled(enable);
    if (extractMedia_) extractMedia_->setEnabled(enable);
    if (destinationEdit_) destinationEdit_->setEnabled(enable);
  });
}

void CSalvorView::ShowProgressGroup(bool show) {
  RunOnGuiThread([&] {
    fileProgressLabel_->setVisible(show);
    totalProgressLabel_->setVisible(show);
    fileProgress_->setVisible(show);
    totalProgress_->setVisible(show);
  });
}

void CSalvorView::ShowTotalProgressOnly() {
  RunOnGuiThread([&] {
    fileProgressLabel_->hide();
    fileProgress_->hide();
    totalProgressLabel_->show();
    totalProgress_->show();
  });
}

void CSalvorView::Relayout() {
  RunOnGuiThread([&] { Layout(width(), height()); });
}

void CSalvorView::ShowPreview(const QString& path, PreviewState state) {
  preview_->ShowPreview(path, state);
}

void CSalvorView::AppendLog(std::string_view utf8, Colour colour) { log_->AppendLog(utf8, colour); }

void CSalvorView::SetLogText(const QString& text) { log_->SetLogText(text); }

void CSalvorView::SetNotice(Notice notice) {
  RunOnGuiThread([&] {
    const NoticeText& text = NoticeTextOf(notice);
    notice_->setPlainText(text.text);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    for (const BoldRun& run : text.boldRuns) {
      QTextCursor cursor(notice_->document());
      cursor.setPosition(run.first);
      cursor.setPosition(run.end, QTextCursor::KeepAnchor);
      cursor.mergeCharFormat(bold);
    }
  });
}

QString CSalvorView::Destination() const {
  return RunOnGuiThread([&] { return destinationEdit_->GetText(); });
}

void CSalvorView::SetDestination(const QString& text) {
  RunOnGuiThread([&] { destinationEdit_->SetText(text); });
}

bool CSalvorView::ExtractMediaChecked() const {
  return RunOnGuiThread([&] { return extractMedia_->isChecked(); });
}

void CSalvorView::ApplyWindowState(WindowState state) {
  RunOnGuiThread([&] { ApplyStateNow(state); });
}

void CSalvorView::ApplyStateNow(WindowState state) {
  const WindowStateRules rules = RulesFor(state);
  state_->selectEnabled = rules.selectEnabled;
  selectButton_->setEnabled(rules.selectEnabled != 0);
  state_->repairEnabled = rules.repairEnabled;
  repairButton_->setEnabled(rules.repairEnabled != 0);
  removeButton_->setEnabled(rules.repairEnabled != 0);
  if (rules.saveGroup != GroupRule::Keep) EnableSaveGroup(rules.saveGroup == GroupRule::Enable);
  stopButton_->setEnabled(rules.stopShown);
  stopButton_->setVisible(rules.stopShown);
  ApplyProgressRows(rules.progressRows);
  if (rules.previewFirst >= 0) ShowPreview(QString(), static_cast<PreviewState>(rules.previewFirst));
  if (rules.previewState >= 0) ShowPreview(QString(), static_cast<PreviewState>(rules.previewState));
  ApplyLogRule(rules.log);
  if (rules.notice) SetNotice(*rules.notice);
  state_->jobRunning = rules.jobRunning;
}

void CSalvorView::ApplyProgressRows(ProgressRows rows) {
  switch (rows) {
    case ProgressRows::None: ShowProgressGroup(false); break;
    case ProgressRows::Both: ShowProgressGroup(true); break;
    case ProgressRows::TotalOnly: ShowTotalProgressOnly(); break;
  }
  Layout(width(), height());
}

void CSalvorView::ApplyLogRule(LogRule rule) {
  switch (rule) {
    case LogRule::Keep: break;
    case LogRule::Empty: log_->clear(); break;
    case LogRule::IdleText: SetLogText(texts::kIdleLog); break;
    case LogRule::ListedText: SetLogText(texts::kListedLog); break;
  }
}

void CSalvorView::FinishSave() {
  RunOnGuiThread([&] {
    SetNotice(Notice::Saved);
    stopButton_->hide();
    EnableSaveGroup(true);
    state_->selectEnabled = 1;
    state_->repairEnabled = 1;
    selectButton_->setEnabled(true);
    repairButton_->setEnabled(true);
    removeButton_->setEnabled(true);
    ShowProgressGroup(false);
    state_->jobRunning = 0;
    Layout(width(), height());
  });
}

QWidget* CSalvorView::MainWindow() const {
  return mainWindow_ ? mainWindow_.data() : window();
}

// --- layout and painting ---------------------------------------------------

void CSalvorView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Layout(width(), height());
}

void CSalvorView::Layout(int w, int h) {
  const WorkspaceLayout l =
      ComputeLayout(w, h, !fileProgressLabel_->isHidden(), !totalProgressLabel_->isHidden());
  selectButton_->setGeometry(l.selectFiles);
  removeButton_->setGeometry(l.removeFiles);
  repairButton_->setGeometry(l.repairFiles);
  previewLabel_->setGeometry(l.previewLabel);
  fileList_->setGeometry(l.fileList);
  preview_->setGeometry(l.preview);
  destinationLabel_->setGeometry(l.destinationLabel);
  destinationEdit_->setGeometry(l.destinationEdit);
  browseButton_->setGeometry(l.browse);
  saveButton_->setGeometry(l.save);
  extractMedia_->setGeometry(l.extractMedia);
  log_->setGeometry(l.log);
  stopButton_->setGeometry(l.stop);
  exitButton_->setGeometry(l.exit);
  notice_->setGeometry(l.notice);
  if (!l.fileProgressLabel.isNull()) fileProgressLabel_->setGeometry(l.fileProgressLabel);
  if (!l.fileProgress.isNull()) fileProgress_->setGeometry(l.fileProgress);
  if (!l.totalProgressLabel.isNull()) totalProgressLabel_->setGeometry(l.totalProgressLabel);
  if (!l.totalProgress.isNull()) totalProgress_->setGeometry(l.totalProgress);
  ScaleWatermark(l.watermark);
}

void CSalvorView::ScaleWatermark(const QSize& size) {
  if (watermark_.isNull() || size.width() <= 0 || size.height() <= 0) {
    scaledWatermark_ = QPixmap();
  } else if (scaledWatermark_.size() != size) {
    scaledWatermark_ = watermark_.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  }
  fileList_->SetWatermark(scaledWatermark_);
}

void CSalvorView::paintEvent(QPaintEvent*) {
  const int w = width(), h = height();
  QPainter p(this);
  p.fillRect(rect(), palette().color(QPalette::Button));
  if (!banner_.isNull()) p.drawPixmap(0, 0, banner_);
  if (!headerBand_.isNull() && w > 400) p.drawPixmap(QRect(400, 0, w - 400, 72), headerBand_);
  p.fillRect(QRect(QPoint(0, 72), QPoint(w, h - 50)), QColor(kBodyRed, kBodyGreen, kBodyBlue));
  if (!footerBand_.isNull()) p.drawPixmap(QRect(0, h - 60, w, footerBand_.height()), footerBand_);
  if (!helpSymbol_.isNull()) p.drawPixmap(0, h - 60, helpSymbol_);
}

// --- status text -----------------------------------------------------------

void CSalvorView::WatchForStatusText(QWidget* widget) {
  widget->setMouseTracking(true);
  widget->installEventFilter(this);
  for (QWidget* inner : widget->findChildren<QWidget*>()) {
    inner->setMouseTracking(true);
    inner->installEventFilter(this);
  }
}

bool CSalvorView::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseMove) {
    QWidget* control = qobject_cast<QWidget*>(watched);
    while (control && control->parentWidget() != this) control = control->parentWidget();
    if (control && control != entryList_) emit statusTextChanged(StatusTextOf(control));
  }
  return QWidget::eventFilter(watched, event);
}

void CSalvorView::mouseMoveEvent(QMouseEvent* event) {
  // Over the background only: a move that a control passed on to its parent
  // has been announced by the filter already.
  if (!childAt(event->position().toPoint())) emit statusTextChanged(QString());
  QWidget::mouseMoveEvent(event);
}

QString CSalvorView::StatusTextOf(QWidget* control) const {
  QString text;
  if (auto* edit = qobject_cast<CXEditPrompt*>(control)) text = edit->GetText();
  else if (auto* button = qobject_cast<QAbstractButton*>(control)) text = button->text();
  else if (auto* label = qobject_cast<QLabel*>(control)) text = label->text();
  else if (auto* box = qobject_cast<QTextEdit*>(control)) text = box->toPlainText();
  return text.left(kStatusTextLimit);
}

// --- drag and drop ---------------------------------------------------------

void CSalvorView::dragEnterEvent(QDragEnterEvent* event) {
  event->setDropAction(Qt::MoveAction);
  event->accept();
}

void CSalvorView::dragMoveEvent(QDragMoveEvent* event) {
  event->setDropAction(Qt::MoveAction);
  event->accept();
}

void CSalvorView::dropEvent(QDropEvent* event) {
  const QMimeData* data = event->mimeData();
  if (!data || !data->hasUrls()) {
    event->ignore();
    return;
  }
  QStringList paths;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) paths.append(QDir::toNativeSeparators(url.toLocalFile()));
  }
  AddDroppedFiles(paths);
  // Nothing was moved or copied: the source keeps its files.
  event->setDropAction(Qt::IgnoreAction);
  event->accept();
}

}  // namespace keelmend
