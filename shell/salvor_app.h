// CSalvorApp: the application object. It refuses to run a second copy of
// the program on the machine, names the per-user settings store, builds the
// main frame with its document and workspace window, shows it maximised and
// offers the file selection at once (or lists the files given on the
// command line, as a desktop's "Open with" passes them).
#pragma once

#include <memory>

#include <QApplication>
#include <QString>
#include <QStringList>

namespace keelmend {

class CMainFrame;
class InstanceLock;

inline const QString kAnotherInstanceText =
    QStringLiteral("Another instance of application is already running");

class CSalvorApp : public QApplication {
  Q_OBJECT

 public:
  // Takes the single-instance guard first, then sets the names of the
  // settings store ("VantrelWorksKeelmend" / "VantrelWorks Keelmend").
  CSalvorApp(int& argc, char** argv);
  ~CSalvorApp() override;

  // The start-up sequence. False: another copy runs (the user has been
  // told) or the frame could not be built; the process should end.
  bool InitInstance();

  CMainFrame* MainFrame() const { return frame_.get(); }

 public slots:
  // Shows the About box modally.
  void OnAppAbout();

 private:
  std::unique_ptr<InstanceLock> lock_;
  std::unique_ptr<CMainFrame> frame_;
};

// When `lock` says another copy runs: tells the user with
// "Another instance of application is already running" (OK, information)
// and returns true. Creates no window of its own.
bool RefuseSecondInstance(const InstanceLock& lock);

// The files named on a command line (the program's name first, as in
// QCoreApplication::arguments()): every further argument that is not empty,
// "file:" URLs turned into local paths, each made absolute. Qt's own options
// have been taken out by QApplication already.
QStringList FileArguments(const QStringList& arguments);

// Shows the frame maximised; then lists `files` in the workspace (each once,
// by the rule for dropped files) and enters the Listed state, so that they
// can be repaired at once. When no file was listed it opens the Select files
// dialog instead, as soon as the window is on screen (when the workspace
// allows selecting).
void OpenWorkspace(CMainFrame& frame, const QStringList& files);

}  // namespace keelmend
