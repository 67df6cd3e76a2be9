// CMainFrame: the program's one top-level window. It carries the menu bar,
// the "Standard" toolbar, the four-pane status bar and the logo, shows the
// splash screen while it builds itself, hosts the workspace window, applies
// and stores the application look, opens the help and the product's web
// page, and guards the exit.
#pragma once

#include <array>

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QString>

#include "shell/help_locator.h"

class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QTimer;
class QToolBar;

namespace keelmend {

class CSalvorDoc;
class CSalvorView;

// Command ids of the frame.
namespace frame_command {
inline constexpr int kSelectFiles = 32773;
inline constexpr int kRemoveFiles = 32774;
inline constexpr int kRepairFiles = 32775;
inline constexpr int kAbout = 32785;
inline constexpr int kHelp = 32788;
inline constexpr int kBrowse = 32802;
inline constexpr int kSave = 32804;
inline constexpr int kWebPage = 32805;
inline constexpr int kExit = 57665;
inline constexpr int kLogo = 14;  // the logo control's id
}  // namespace frame_command

// The toolbar's buttons, left to right.
inline constexpr std::array<int, 7> kToolbarCommands = {
    frame_command::kSelectFiles, frame_command::kRemoveFiles,
    frame_command::kRepairFiles, frame_command::kBrowse,
    frame_command::kSave,        frame_command::kHelp,
    frame_command::kAbout};

inline const QString kFrameCaption = QStringLiteral("VantrelWorks Keelmend - Version 1.0");
inline const QString kIdleStatusText = QStringLiteral("VantrelWorks Keelmend");
inline const QString kProductPage = QStringLiteral("https://vantrelworks.example/keelmend");
inline const QString kMakerHomePage = QStringLiteral("https://vantrelworks.example/");
inline const QString kStopBeforeCloseText =
    QStringLiteral("Please stop the running process before closing the application.");
inline const QString kReallyExitText =
    QStringLiteral("Do you really want to exit the application?");

inline constexpr int kMinimumFrameWidth = 650;
inline constexpr int kMinimumFrameHeight = 450;
inline constexpr int kStatusPaneWidth = 500;

struct FrameOptions {
  bool showSplash = true;       // the splash screen at creation
  bool createWorkspace = true;  // create and host the workspace window
};

class CMainFrame : public QMainWindow {
  Q_OBJECT

 public:
  // Builds the frame in this order: splash screen, stored look, menu bar,
  // toolbar, status bar; then the document and the workspace window.
  explicit CMainFrame(FrameOptions options = {}, QWidget* parent = nullptr);
  ~CMainFrame() override;

  // The workspace window; null until one is registered.
  CSalvorView* View() const;
  // Registers the workspace window, hosts it as the central widget and
  // follows its status texts and its Exit button.
  void SetView(CSalvorView* view);
  CSalvorDoc* Document() const { return document_; }

  // The action of a frame command or look id (null for other ids). Menu and
  // toolbar share the same action.
  QAction* Command(int id) const;
  QToolBar* StandardToolBar() const { return toolbar_; }
  // Status-bar panes 0 (messages), 1 (CAP), 2 (NUM), 3 (SCRL).
  QLabel* StatusPane(int index) const;
  QLabel* Logo() const { return logo_; }

  // The current look id as stored (any number; see app_looks.h).
  int ApplicationLook() const { return look_; }

  // Where Help looks for its document (tests point it elsewhere).
  void SetHelpPlaces(const HelpPlaces& places) { helpPlaces_ = places; }
  const HelpPlaces& GetHelpPlaces() const { return helpPlaces_; }

  // Re-evaluates the enabled state of the File commands from the workspace
  // flags; with no workspace window the states stay as they are. Runs on
  // every idle tick and before the File menu opens.
  void UpdateCommandStates();

  // Whether a job still runs or its thread has not ended yet (also after a
  // confirmed Stop, until the worker is done).
  bool JobAlive() const;

 public slots:
  // Applies a look (210..218; any other id gives the Office 2007 look and
  // is stored as it is) and writes it to the settings.
  void ApplyLook(int id);
  void SetStatusText(const QString& text);
  void OnSelectFiles();
  void OnRemoveFiles();
  void OnRepairFiles();
  void OnBrowse();
  void OnSave();
  // Opens the help document; shows the "help file not found" message when
  // there is none. Returns whether a document was handed to the desktop.
  bool OnHelp();
  void OnWebPage();
  void OnAbout();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QAction* AddCommand(QMenu* menu, int id, const QString& text,
                      const QString& prompt, const QString& tip);
  void CreateMenuBar();
  void CreateLookMenu(QMenu* menu);
  void CreateToolBar();
  void CreateStatusBar();
  void CreateLogo();
  void CreateAccelerators();
  void ShowSplash();
  void PlaceLogo();
  void ApplyBarStyle();
  void CheckLookItem();
  // The close procedure: guards, confirmation, clearing the work root.
  bool ConfirmClose();
  void RestoreBarState();
  void StoreBarState();

  QHash<int, QAction*> commands_;
  QActionGroup* lookGroup_ = nullptr;
  QToolBar* toolbar_ = nullptr;
  std::array<QLabel*, 4> panes_{};
  QLabel* logo_ = nullptr;
  QTimer* idleUpdate_ = nullptr;
  CSalvorDoc* document_ = nullptr;
  QPointer<CSalvorView> view_;
  HelpPlaces helpPlaces_;
  int look_ = 0;
};

}  // namespace keelmend
