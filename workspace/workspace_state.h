// The flags and the job record that the workspace window, the main frame's
// commands and the worker jobs share, and the five working states of the
// window with what each of them enables, shows and says.
#pragma once

#include <atomic>
#include <optional>

class QWidget;

namespace keelmend {

class CSalvorView;

// What a job thread receives: the main window and the workspace window.
struct JobContext {
  QWidget* mainWindow = nullptr;
  CSalvorView* view = nullptr;
};

// Flags hold 0 or 1. They are written by the window thread and by the job
// thread without a lock, so each is an atomic word; a job must read
// jobRunning afresh at every point where it tests it.
struct WorkspaceState {
  // A repair or save job runs and no stop has been requested. The main frame
  // reads it (close handling); the view holds it so both reach the same word.
  std::atomic<int> jobRunning{0};
  // A job thread exists, from its start until its last window update. Unlike
  // jobRunning it stays 1 after a confirmed Stop until the worker has ended,
  // so no second job (and no close) can start while the first still writes.
  std::atomic<int> jobThreadAlive{0};
  std::atomic<int> selectEnabled{0};     // Select files available
  std::atomic<int> repairEnabled{0};     // Repair files and Remove files available
  std::atomic<int> saveEnabled{0};       // the save group available
  std::atomic<int> listHoldsResults{0};  // the file list shows a repair's outcome
  JobContext jobContext;                 // filled by StartRepair on the window thread

  // True while either a job runs or its thread has not yet finished.
  bool Busy() const { return jobRunning.load() != 0 || jobThreadAlive.load() != 0; }
};

// The working states of the workspace window.
enum class WindowState { Idle, Listed, Repairing, Repaired, Saving };

// What a state does to the save group: enable, disable or keep it.
enum class GroupRule { Enable, Disable, Keep };

// Which progress rows a state shows.
enum class ProgressRows { None, Both, TotalOnly };

// What a state does to the log box.
enum class LogRule { Keep, Empty, IdleText, ListedText };

// The notice texts of the notice box.
enum class Notice { Idle, Repairing, Repaired, Saving, Saved };

// One row of the state table. Preview states are the PreviewState values of
// the preview panel (picture_box.h) as int; -1 = unchanged. When
// previewFirst is set the panel shows it before previewState.
struct WindowStateRules {
  int selectEnabled;
  int repairEnabled;
  GroupRule saveGroup;
  bool stopShown;
  ProgressRows progressRows;
  int previewFirst;
  int previewState;
  LogRule log;
  std::optional<Notice> notice;  // nullopt = unchanged
  int jobRunning;
};

// The table of the five states.
WindowStateRules RulesFor(WindowState state);

}  // namespace keelmend
