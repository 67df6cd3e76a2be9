// The workspace window: the file list, the preview panel, the command
// buttons, the destination folder with Browse and Extract Media, the log box,
// the notice box and the two progress rows, placed at fixed positions over
// the window's own artwork. It runs the commands of its buttons (and of the
// main frame's menu) and keeps the controls in step with the workspace state.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <string_view>
#include <thread>

#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QWidget>

#include "engine/sinks.h"
#include "workspace/picture_box.h"
#include "workspace/workspace_artwork.h"
#include "workspace/workspace_state.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QTextEdit;
class QTreeWidget;

namespace keelmend {

class CEstProgressCtrl;
class CXEditPrompt;
class CJobLog;
class CTrelListCtrl;

// Control ids of the workspace window (the four labels share id 9).
namespace workspace_id {
inline constexpr int kFileList = 1;
inline constexpr int kSelectFiles = 2;
inline constexpr int kRemoveFiles = 3;
inline constexpr int kSave = 4;
inline constexpr int kLog = 5;
inline constexpr int kNotice = 7;
inline constexpr int kDestinationEdit = 8;
inline constexpr int kLabel = 9;
inline constexpr int kBrowse = 10;
inline constexpr int kStop = 11;
inline constexpr int kExit = 12;
inline constexpr int kEntryList = 13;
inline constexpr int kPreview = 15;
inline constexpr int kExtractMedia = 16;
inline constexpr int kFileProgress = 18;
inline constexpr int kRepairFiles = 307;
inline constexpr int kTotalProgress = 57666;
}  // namespace workspace_id

// Name of the dynamic property that carries a control's id.
inline constexpr const char* kControlIdProperty = "controlId";

class CSalvorView : public QWidget {
  Q_OBJECT
 public:
  // Builds every control, clears a work root left by an earlier run and
  // enters the Idle state.
  explicit CSalvorView(QWidget* parent = nullptr);
  ~CSalvorView() override;

  // --- workspace state -----------------------------------------------------
  WorkspaceState& State() { return *state_; }
  // The same state, for holders that may outlive a call (the main frame).
  std::shared_ptr<WorkspaceState> SharedState() const { return state_; }
  bool IsSelectEnabled() const { return state_->selectEnabled.load() != 0; }
  bool IsRepairEnabled() const { return state_->repairEnabled.load() != 0; }
  bool IsSaveEnabled() const { return state_->saveEnabled.load() != 0; }
  bool IsJobRunning() const { return state_->jobRunning.load() != 0; }
  bool ListHoldsResults() const { return state_->listHoldsResults.load() != 0; }

  // --- controls, for the jobs and the main frame ---------------------------
  CTrelListCtrl* FileList() const { return fileList_; }
  CPictureBox* PreviewPanel() const { return preview_; }
  CJobLog* LogBox() const { return log_; }
  QTextEdit* NoticeBox() const { return notice_; }
  CXEditPrompt* DestinationEdit() const { return destinationEdit_; }
  QCheckBox* ExtractMediaCheck() const { return extractMedia_; }
  CEstProgressCtrl* FileProgress() const { return fileProgress_; }
  CEstProgressCtrl* TotalProgress() const { return totalProgress_; }
  QWidget* FileProgressLabel() const { return fileProgressLabel_; }
  QWidget* TotalProgressLabel() const { return totalProgressLabel_; }
  // The hidden list that holds the entries of the file being repaired.
  QTreeWidget* EntryList() const { return entryList_; }
  // A child control by its id (the first label for id 9); null if none.
  QWidget* Control(int id) const;

  // --- operations for the jobs (callable from any thread; a call from a job
  // thread is carried out on the window thread while the caller waits) ------
  // saveEnabled := enable; Browse, Save, Extract Media, destination edit.
  void EnableSaveGroup(bool enable);
  // File progress label, total progress label, both bars.
  void ShowProgressGroup(bool show);
  // Shows only the total progress row (the save job's rows).
  void ShowTotalProgressOnly();
  // Runs the layout again at the current size.
  void Relayout();
  void ShowPreview(const QString& path, PreviewState state);
  void AppendLog(std::string_view utf8, Colour colour);
  void SetLogText(const QString& text);
  // Replaces the notice text and makes its bold runs bold.
  void SetNotice(Notice notice);
  // Applies a row of the state table: flags, buttons, Stop, progress rows
  // (with a new layout), preview, log and notice. The repair job ends with
  // Repaired, the save job starts with Saving.
  void ApplyWindowState(WindowState state);
  // The end of a save: back to the Repaired row with the Saved notice; the
  // preview stays as it is.
  void FinishSave();
  // The destination edit's text (empty while it shows its prompt).
  QString Destination() const;
  void SetDestination(const QString& text);
  bool ExtractMediaChecked() const;

  // --- file preview --------------------------------------------------------
  // Shows the thumbnail (or first picture) of the file in row `position`, or
  // the message that fits. Returns 1 when a picture is shown or there is
  // nothing to do, 0 when a message is shown.
  int ShowFilePreview(int position);

  // --- job hooks -----------------------------------------------------------
  // Starts the repair job thread with the job record; the main frame installs
  // StartRepairJobThread (workspace/repair_job.h), which runs the job through
  // StartJobThread. Without one, Repair files does nothing.
  void SetRepairJobStarter(std::function<void(JobContext*)> starter) { repairStarter_ = std::move(starter); }
  // Starts the save job thread (which reads and checks the destination); the
  // main frame installs StartSaveJobThread (workspace/save_job.h). Without
  // one, Save does nothing.
  void SetSaveJobStarter(std::function<void(JobContext*)> starter) { saveStarter_ = std::move(starter); }
  // The main window handed to the jobs in jobContext (default: this window's
  // top-level window).
  void SetMainWindow(QWidget* mainWindow) { mainWindow_ = mainWindow; }

  // --- job thread (window thread only) -------------------------------------
  // Runs `job` on a new worker thread. jobThreadAlive is 1 from here until
  // the thread has been joined: the worker's last step asks the window thread
  // to join it, so the window never waits for a running job. False (and
  // nothing started) while a job thread lives or none can be created.
  bool StartJobThread(std::function<void()> job);
  // A job thread lives: from its start until it has been joined, so also
  // after a confirmed Stop while the job still writes.
  bool IsJobThreadAlive() const { return state_->jobThreadAlive.load() != 0; }
  // True once the window is being destroyed; a job then no longer touches it.
  bool IsClosing() const { return closing_.load(); }

  // --- artwork -------------------------------------------------------------
  // The watermark as scaled for the file list at the last layout.
  const QPixmap& ScaledWatermark() const { return scaledWatermark_; }

 public slots:
  // Select files (button 2, Ctrl+N, Ctrl+O, menu): the open-files dialog;
  // names already listed (ignoring the case of A to Z) are reported and
  // skipped. After a repair the list and the work root start afresh.
  void SelectFiles();
  // Remove files (button 3, menu): each selected file goes with its work
  // folder; the work folders of the rows below are renamed with their rows,
  // so a row's folder is always named after its current position.
  void RemoveFiles();
  void StartRepair();   // Repair files (button 307, menu)
  void StartSave();     // Save (button 4, Ctrl+S, menu)
  void StopJob();       // Stop (button 11)
  void Browse();        // Browse (button 10, menu)
  // Adds dropped files (full paths); what does not contain ".odb" is skipped.
  void AddDroppedFiles(const QStringList& paths);

 signals:
  // The text for the first pane of the main frame's status bar.
  void statusTextChanged(const QString& text);
  // A job thread has ended and been joined.
  void jobThreadFinished();
  // The Exit button: the main frame runs its close procedure.
  void exitRequested();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void LoadArtwork();
  void CreateControls();
  void CreateButtons();
  QPushButton* MakeButton(int id, const QString& caption, const QString& tooltip, ButtonArt art);
  // A label of id 9 whose font fits its text into `width` pixels.
  QWidget* MakeLabel(const QString& text, const QFont& font, int width);
  void CreateLogAndNotice();
  void CreateDestination();
  void CreateEntryList();
  void CreateProgressRows();
  void WatchForStatusText(QWidget* widget);
  QString StatusTextOf(QWidget* control) const;
  void Layout(int width, int height);
  void ScaleWatermark(const QSize& size);
  void ApplyStateNow(WindowState state);
  void ApplyProgressRows(ProgressRows rows);
  void ApplyLogRule(LogRule rule);
  QWidget* MainWindow() const;
  // Work folders.
  bool WorkRootExists() const;
  bool WorkRootIsFolder() const;
  // Releases the shown picture, then clears and removes the work root.
  void ClearWorkRootNow();
  std::filesystem::path WorkFolderOf(int row) const;
  void RemoveRow(int row);
  void RenameFoldersAfterRemoval(int removedRow);
  void ReturnToIdle();
  // Job thread.
  void JoinJobThread();
  // At destruction: stops a living job, answers its calls without carrying
  // them out and waits for its end, so no job outlives the window.
  void EndJobThreadAtDestruction();

  std::shared_ptr<WorkspaceState> state_;
  std::thread jobThread_;
  std::atomic<bool> jobThreadDone_{false};
  std::atomic<bool> closing_{false};
  QPointer<QWidget> mainWindow_;
  std::function<void(JobContext*)> repairStarter_;
  std::function<void(JobContext*)> saveStarter_;

  QPixmap watermark_;
  QPixmap scaledWatermark_;
  QPixmap banner_, headerBand_, footerBand_, helpSymbol_;

  CTrelListCtrl* fileList_ = nullptr;
  CPictureBox* preview_ = nullptr;
  QPushButton* selectButton_ = nullptr;
  QPushButton* removeButton_ = nullptr;
  QPushButton* repairButton_ = nullptr;
  QPushButton* saveButton_ = nullptr;
  QPushButton* stopButton_ = nullptr;
  QPushButton* exitButton_ = nullptr;
  QPushButton* browseButton_ = nullptr;
  QWidget* destinationLabel_ = nullptr;
  QWidget* previewLabel_ = nullptr;
  QWidget* fileProgressLabel_ = nullptr;
  QWidget* totalProgressLabel_ = nullptr;
  CJobLog* log_ = nullptr;
  QTextEdit* notice_ = nullptr;
  CXEditPrompt* destinationEdit_ = nullptr;
  QCheckBox* extractMedia_ = nullptr;
  QTreeWidget* entryList_ = nullptr;
  CEstProgressCtrl* fileProgress_ = nullptr;
  CEstProgressCtrl* totalProgress_ = nullptr;
};

}  // namespace keelmend
