#include "shell/main_frame.h"

#include <algorithm>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "controls/app_message_box.h"
#include "controls/artwork.h"
#include "controls/link_opener.h"
#include "controls/splash_screen.h"
#include "engine/work_folder.h"
#include "shell/about_dlg.h"
#include "shell/app_looks.h"
#include "shell/app_settings.h"
#include "shell/frame_artwork.h"
#include "workspace/picture_box.h"
#include "workspace/repair_job.h"
#include "workspace/salvor_doc.h"
#include "workspace/salvor_view.h"
#include "workspace/save_job.h"

namespace keelmend {

namespace {

constexpr int kIdleUpdateMs = 250;
constexpr int kLogoWidth = 245;
constexpr int kLogoHeight = 50;
const QString kBarStateKey = QStringLiteral("FrameState");

// Runs `what` with the wait cursor shown.
template <typename Fn>
void WithWaitCursor(Fn&& what) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  what();
  QApplication::restoreOverrideCursor();
}

}  // namespace

CMainFrame::CMainFrame(FrameOptions options, QWidget* parent)
    : QMainWindow(parent), helpPlaces_(DefaultHelpPlaces()) {
  setObjectName(QStringLiteral("MainFrame"));
  setWindowTitle(kFrameCaption);
  setAccessibleName(kFrameCaption);
  setWindowIcon(ProgramIcon());
  setMinimumSize(kMinimumFrameWidth, kMinimumFrameHeight);
  {
    QSettings settings = OpenAppSettings();
    look_ = ReadApplicationLook(settings);
  }
  if (options.showSplash) ShowSplash();
  CreateMenuBar();
  CreateToolBar();
  CreateStatusBar();
  CreateLogo();
  ApplyLook(look_);
  RestoreBarState();

  document_ = new CSalvorDoc(this);
  CreateAccelerators();
  if (options.createWorkspace) SetView(new CSalvorView(this));

  idleUpdate_ = new QTimer(this);
  connect(idleUpdate_, &QTimer::timeout, this, &CMainFrame::UpdateCommandStates);
  idleUpdate_->start(kIdleUpdateMs);
}

CMainFrame::~CMainFrame() = default;

CSalvorView* CMainFrame::View() const { return view_.data(); }

void CMainFrame::SetView(CSalvorView* view) {
  view_ = view;
  document_->SetView(view);
  if (view == nullptr) return;
  view->SetMainWindow(this);
  view->SetRepairJobStarter(&StartRepairJobThread);
  view->SetSaveJobStarter(&StartSaveJobThread);
  view->setAccessibleName(QStringLiteral("Workspace"));
  setCentralWidget(view);
  connect(view, &CSalvorView::statusTextChanged, this, &CMainFrame::SetStatusText);
  connect(view, &CSalvorView::exitRequested, this, &QWidget::close);
  PlaceLogo();
  UpdateCommandStates();
}

QAction* CMainFrame::Command(int id) const { return commands_.value(id, nullptr); }

QLabel* CMainFrame::StatusPane(int index) const {
  return index >= 0 && index < static_cast<int>(panes_.size())
             ? panes_[static_cast<std::size_t>(index)]
             : nullptr;
}

// --- building ---------------------------------------------------------------

void CMainFrame::ShowSplash() {
  auto* splash = new CSplashScreenEx;
  splash->CreateSplash(this);
  splash->SetSplashPicture(DrawSplashPicture(), kSplashKeyColour);
  splash->ShowSplash();
}

QAction* CMainFrame::AddCommand(QMenu* menu, int id, const QString& text,
                                const QString& prompt, const QString& tip) {
  auto* action = new QAction(text, this);
  action->setData(id);
  action->setStatusTip(prompt);
  action->setToolTip(tip);
  action->setIcon(ToolbarIcon(id));
  action->setIconVisibleInMenu(false);
  menu->addAction(action);
  commands_.insert(id, action);
  return action;
}

void CMainFrame::CreateMenuBar() {
  QMenuBar* bar = menuBar();
  bar->setAccessibleName(QStringLiteral("Menu bar"));
  QMenu* file = bar->addMenu(QStringLiteral("&File"));
  file->setAccessibleName(QStringLiteral("File"));
  using namespace frame_command;
  connect(AddCommand(file, kSelectFiles, QStringLiteral("&Select File(s)\tCtrl+N"),
                     QStringLiteral("Select .odb files(s)"), QStringLiteral("Select file(s)")),
          &QAction::triggered, this, &CMainFrame::OnSelectFiles);
  file->addSeparator();
  connect(AddCommand(file, kRemoveFiles, QStringLiteral("&Remove File(s)\tCtrl+O"),
                     QStringLiteral("Remove .odb files(s)"), QStringLiteral("Remove file(s)")),
          &QAction::triggered, this, &CMainFrame::OnRemoveFiles);
  connect(AddCommand(file, kRepairFiles, QStringLiteral("&Repair File(s)\tCtrl+S"),
                     QStringLiteral("Repair .odb files(s)"), QStringLiteral("Repair file(s)")),
          &QAction::triggered, this, &CMainFrame::OnRepairFiles);
  file->addSeparator();
  connect(AddCommand(file, kBrowse, QStringLiteral("Browse folder"),
                     QStringLiteral("Select location to save .odb file(s)"),
                     QStringLiteral("Browse Folder")),
          &QAction::triggered, this, &CMainFrame::OnBrowse);
  connect(AddCommand(file, kSave, QStringLiteral("Save file(s)"),
                     QStringLiteral("Save repaired .odb file(s)"), QStringLiteral("Save file(s)")),
          &QAction::triggered, this, &CMainFrame::OnSave);
  file->addSeparator();
  connect(AddCommand(file, kExit, QStringLiteral("E&xit"),
                     QStringLiteral("Quit the application; prompts to save documents"),
                     QStringLiteral("Exit")),
          &QAction::triggered, this, &QWidget::close);
  connect(file, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);

  QMenu* view = bar->addMenu(QStringLiteral("&View"));
  view->setAccessibleName(QStringLiteral("View"));
  CreateLookMenu(view);

  QMenu* help = bar->addMenu(QStringLiteral("&Help"));
  help->setAccessibleName(QStringLiteral("Help"));
  connect(AddCommand(help, kAbout, QStringLiteral("&About VantrelWorks Keelmend"),
                     QStringLiteral("About VantrelWorks Keelmend"), QStringLiteral("About")),
          &QAction::triggered, this, &CMainFrame::OnAbout);
  help->addSeparator();
  connect(AddCommand(help, kHelp, QStringLiteral("Software Help"),
                     QStringLiteral("Help for VantrelWorks Keelmend"), QStringLiteral("Help")),
          &QAction::triggered, this, &CMainFrame::OnHelp);
  connect(AddCommand(help, kWebPage, QStringLiteral("Visit Software WebPage"),
                     QStringLiteral("Visit Software Page"), QStringLiteral("Visit Software Page")),
          &QAction::triggered, this, &CMainFrame::OnWebPage);
}

void CMainFrame::CreateLookMenu(QMenu* menu) {
  QMenu* looks = menu->addMenu(QStringLiteral("Application &Look"));
  looks->setAccessibleName(QStringLiteral("Application Look"));
  lookGroup_ = new QActionGroup(this);
  lookGroup_->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  for (const AppLook& look : AllLooks()) {
    auto* action = new QAction(QString::fromUtf8(look.menuText), lookGroup_);
    action->setCheckable(true);
    action->setData(look.id);
    looks->addAction(action);
    commands_.insert(look.id, action);
    const int id = look.id;
    connect(action, &QAction::triggered, this, [this, id] { ApplyLook(id); });
  }
}

void CMainFrame::CreateToolBar() {
  toolbar_ = new QToolBar(QStringLiteral("Standard"), this);
  toolbar_->setObjectName(QStringLiteral("StandardToolBar"));
  toolbar_->setAccessibleName(QStringLiteral("Standard"));
  toolbar_->setIconSize(QSize(48, 48));
  toolbar_->setMovable(false);  // no gripper
  toolbar_->setFloatable(false);
  toolbar_->setContextMenuPolicy(Qt::PreventContextMenu);
  for (const int id : kToolbarCommands) {
    QAction* action = Command(id);
    toolbar_->addAction(action);
    if (QWidget* button = toolbar_->widgetForAction(action)) {
      button->setAccessibleName(action->toolTip());
      button->setObjectName(QStringLiteral("ToolButton%1").arg(id));
    }
  }
  addToolBar(Qt::TopToolBarArea, toolbar_);
}

void CMainFrame::CreateStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setAccessibleName(QStringLiteral("Status bar"));
  bar->setSizeGripEnabled(true);
  panes_[0] = new QLabel(kIdleStatusText, bar);
  panes_[0]->setMinimumWidth(kStatusPaneWidth);
  panes_[0]->setAccessibleName(QStringLiteral("Status"));
  bar->addWidget(panes_[0], 1);
  const std::array<std::pair<const char*, const char*>, 3> indicators = {
      {{"CAP", "Caps Lock"}, {"NUM", "Num Lock"}, {"SCRL", "Scroll Lock"}}};
  for (std::size_t i = 0; i < indicators.size(); ++i) {
    auto* pane = new QLabel(QString::fromLatin1(indicators[i].first), bar);
    pane->setAccessibleName(QString::fromLatin1(indicators[i].second));
    pane->setAlignment(Qt::AlignCenter);
    pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(pane->text()) + 16);
    // The lock keys' states are not known to a portable program: the
    // indicators are shown, greyed.
    pane->setEnabled(false);
    bar->addPermanentWidget(pane);
    panes_[i + 1] = pane;
  }
}

void CMainFrame::CreateLogo() {
  logo_ = new QLabel(this);
  logo_->setObjectName(QStringLiteral("Logo"));
  logo_->setProperty("controlId", frame_command::kLogo);
  logo_->setAccessibleName(kIdleStatusText);
  logo_->setAccessibleDescription(kMakerHomePage);
  logo_->setAlignment(Qt::AlignCenter);
  logo_->setCursor(Qt::PointingHandCursor);
  logo_->setMouseTracking(true);
  logo_->setAttribute(Qt::WA_TranslucentBackground);
  logo_->installEventFilter(this);
  logo_->resize(kLogoWidth, kLogoHeight);
  logo_->raise();
}

void CMainFrame::CreateAccelerators() {
  // Ctrl+N and Ctrl+O select files, Ctrl+S saves, through the document,
  // whatever the menu labels next to Remove and Repair say.
  const std::array<std::pair<QKeySequence, void (CSalvorDoc::*)()>, 3> keys = {{
      {QKeySequence(Qt::CTRL | Qt::Key_N), &CSalvorDoc::OnFileNew},
      {QKeySequence(Qt::CTRL | Qt::Key_O), &CSalvorDoc::OnFileOpen},
      {QKeySequence(Qt::CTRL | Qt::Key_S), &CSalvorDoc::OnFileSave},
  }};
  for (const auto& [key, slot] : keys) {
    auto* action = new QAction(this);
    action->setShortcut(key);
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
    connect(action, &QAction::triggered, document_, slot);
  }
}

// --- looks --------------------------------------------------------------------

void CMainFrame::ApplyLook(int id) {
  WithWaitCursor([&] {
    look_ = id;
    ApplyLookToApplication(LookFor(id));
    ApplyBarStyle();
    CheckLookItem();
    update();
    for (QWidget* child : findChildren<QWidget*>()) child->update();
    QSettings settings = OpenAppSettings();
    WriteApplicationLook(settings, id);
  });
}

void CMainFrame::ApplyBarStyle() {
  const QString sheet = BarStyleSheet(LookFor(look_));
  menuBar()->setStyleSheet(sheet);
  toolbar_->setStyleSheet(sheet);
  statusBar()->setStyleSheet(sheet);
  logo_->setPixmap(LogoPixmap(LookFor(look_).barText.lightness() > 128));
}

void CMainFrame::CheckLookItem() {
  for (QAction* action : lookGroup_->actions())
    action->setChecked(action->data().toInt() == look_);
}

// --- command states and commands ---------------------------------------------

void CMainFrame::UpdateCommandStates() {
  CSalvorView* view = View();
  if (view == nullptr) return;
  using namespace frame_command;
  const bool select = view->IsSelectEnabled();
  const bool repair = view->IsRepairEnabled();
  const bool save = view->IsSaveEnabled();
  Command(kSelectFiles)->setEnabled(select);
  Command(kRemoveFiles)->setEnabled(repair);
  Command(kRepairFiles)->setEnabled(repair);
  Command(kBrowse)->setEnabled(save);
  Command(kSave)->setEnabled(save);
}

bool CMainFrame::JobAlive() const {
  CSalvorView* view = View();
  return view != nullptr && view->State().Busy();
}

void CMainFrame::OnSelectFiles() {
  if (CSalvorView* view = View(); view != nullptr && view->IsSelectEnabled())
    view->SelectFiles();
}

void CMainFrame::OnRemoveFiles() {
  if (CSalvorView* view = View()) view->RemoveFiles();
}

void CMainFrame::OnRepairFiles() {
  if (CSalvorView* view = View()) view->StartRepair();
}

void CMainFrame::OnBrowse() {
  if (CSalvorView* view = View()) view->Browse();
}

void CMainFrame::OnSave() {
  if (CSalvorView* view = View(); view != nullptr && view->IsSaveEnabled())
    view->StartSave();
}

bool CMainFrame::OnHelp() {
  const QString document = FindHelpDocument(helpPlaces_);
  if (document.isEmpty()) {
    AppMessageBox(nullptr, kHelpNotFoundText, kStyleNotice);
    return false;
  }
  OpenLinkTarget(document);  // a failure to open is not reported
  return true;
}

void CMainFrame::OnWebPage() {
  WithWaitCursor([] { OpenLinkTarget(kProductPage); });
}

void CMainFrame::OnAbout() {
  CAboutDlg about(this);
  about.exec();
}

void CMainFrame::SetStatusText(const QString& text) {
  panes_[0]->setText(text);
  panes_[0]->repaint();
}

// --- events -------------------------------------------------------------------

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
  if (watched == logo_) {
    switch (event->type()) {
      case QEvent::Enter:
      case QEvent::MouseMove:
        SetStatusText(logo_->accessibleName());
        break;
      case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
            logo_->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint()))
          OpenLinkTarget(kMakerHomePage);
        break;
      default:
        break;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  PlaceLogo();
}

void CMainFrame::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  PlaceLogo();
}

void CMainFrame::PlaceLogo() {
  if (logo_ == nullptr) return;
  // At the right end of the toolbar row; in a narrow window it gives way to
  // the buttons and runs off the right edge instead of covering them.
  int x = width() - 250;
  int y = 28;
  if (toolbar_ != nullptr && toolbar_->isVisible() &&
      toolBarArea(toolbar_) == Qt::TopToolBarArea) {
    const QRect row = toolbar_->geometry();
    y = row.top() + (row.height() - kLogoHeight) / 2;
    if (const QList<QAction*> buttons = toolbar_->actions(); !buttons.isEmpty()) {
      if (QWidget* last = toolbar_->widgetForAction(buttons.last()))
        x = std::max(x, row.left() + last->geometry().right() + 12);
    }
  }
  logo_->setGeometry(x, y, kLogoWidth, kLogoHeight);
  logo_->raise();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (!ConfirmClose()) {
    event->ignore();
    return;
  }
  StoreBarState();
  idleUpdate_->stop();
  event->accept();
}

bool CMainFrame::ConfirmClose() {
  if (isMinimized()) showMaximized();
  if (JobAlive()) {
    AppMessageBox(nullptr, kStopBeforeCloseText, kStyleNotice);
    return false;
  }
  if (AppMessageBox(nullptr, kReallyExitText, kStyleQuestion) != kIdYes) return false;
  if (CSalvorView* view = View()) {
    // The panel lets go of the picture first, then the folders can go.
    view->ShowPreview(QString(), PreviewState::NoText);
    ClearWorkRoot();
  }
  return true;
}

void CMainFrame::RestoreBarState() {
  QSettings settings = OpenAppSettings();
  settings.beginGroup(kWorkspaceGroup);
  const QByteArray state = settings.value(kBarStateKey).toByteArray();
  settings.endGroup();
  if (!state.isEmpty()) restoreState(state);
}

void CMainFrame::StoreBarState() {
  QSettings settings = OpenAppSettings();
  settings.beginGroup(kWorkspaceGroup);
  settings.setValue(kBarStateKey, saveState());
  settings.endGroup();
}

}  // namespace keelmend
