#include "shell/salvor_app.h"

#include <QDir>
#include <QFileInfo>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include "controls/app_message_box.h"
#include "platform/instance_lock.h"
#include "shell/about_dlg.h"
#include "shell/app_settings.h"
#include "shell/frame_artwork.h"
#include "shell/main_frame.h"
#include "workspace/salvor_view.h"
#include "workspace/trel_list_ctrl.h"

namespace keelmend {

CSalvorApp::CSalvorApp(int& argc, char** argv)
    : QApplication(argc, argv),
      lock_(std::make_unique<InstanceLock>(kInstanceMutexName)) {
  setOrganizationName(kSettingsOrganisation);
  setApplicationName(kSettingsApplication);
  setApplicationDisplayName(kSettingsApplication);
  setApplicationVersion(QStringLiteral("1.0"));
  setDesktopFileName(QStringLiteral("keelmend"));
  setWindowIcon(ProgramIcon());
}

CSalvorApp::~CSalvorApp() {
  frame_.reset();  // windows go before the application object
}

bool CSalvorApp::InitInstance() {
  if (RefuseSecondInstance(*lock_)) return false;
  frame_ = std::make_unique<CMainFrame>();
  if (frame_->View() == nullptr) return false;
  OpenWorkspace(*frame_, FileArguments(arguments()));
  return true;
}

void CSalvorApp::OnAppAbout() {
  if (frame_ != nullptr) {
    frame_->OnAbout();
    return;
  }
  CAboutDlg about;
  about.exec();
}

bool RefuseSecondInstance(const InstanceLock& lock) {
  if (!lock.AlreadyRunning()) return false;
  AppMessageBox(nullptr, kAnotherInstanceText, kStyleNotice);
  return true;
}

QStringList FileArguments(const QStringList& arguments) {
  QStringList files;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (argument.isEmpty()) continue;
    QString path = argument;
    if (argument.contains(QLatin1String("://")) ||
        argument.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
      const QUrl url(argument);
      if (!url.isLocalFile()) continue;
      path = url.toLocalFile();
    }
    files << QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
  }
  return files;
}

namespace {

// Lists the files of the command line as dropped files are listed, each
// once, and enters the Listed state when any was taken. Returns whether the
// list holds any file afterwards.
bool ListFiles(CSalvorView& view, const QStringList& files) {
  QStringList fresh;
  for (const QString& file : files) {
    if (view.FileList()->IsNotInList(file) && !fresh.contains(file, Qt::CaseInsensitive))
      fresh << file;
  }
  view.AddDroppedFiles(fresh);
  if (view.FileList()->Count() == 0) return false;
  view.ApplyWindowState(WindowState::Listed);
  return true;
}

}  // namespace

void OpenWorkspace(CMainFrame& frame, const QStringList& files) {
  // Without a window manager (a bare X server, some kiosk sessions) nothing
  // carries out the maximise request, so the window is given the screen's
  // free area first; with one, the maximised state takes over as usual.
  if (const QScreen* screen = frame.screen(); screen != nullptr)
    frame.setGeometry(screen->availableGeometry());
  frame.showMaximized();
  CSalvorView* view = frame.View();
  if (view == nullptr) return;
  if (!files.isEmpty() && ListFiles(*view, files)) return;
  QTimer::singleShot(0, &frame, [&frame] {
    if (CSalvorView* v = frame.View(); v != nullptr && v->IsSelectEnabled())
      v->SelectFiles();
  });
}

}  // namespace keelmend
