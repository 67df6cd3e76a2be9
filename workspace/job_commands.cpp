// The commands around the jobs (Repair, Save, Stop), the life of the job
// thread, the choice of the destination folder and the preview of a listed
// file.
#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

#include <QCoreApplication>
#include <QFileInfo>
#include <QMetaObject>

#include "controls/app_message_box.h"
#include "controls/est_progress_ctrl.h"
#include "controls/user_query.h"
#include "engine/thumbnail_lookup.h"
#include "engine/work_folder.h"
#include "workspace/path_text.h"
#include "workspace/salvor_view.h"
#include "workspace/trel_list_ctrl.h"
#include "workspace/workspace_texts.h"

#include <QPushButton>

namespace keelmend {

namespace fs = std::filesystem;

void CSalvorView::StartRepair() {
  if (state_->Busy() || !repairStarter_) return;
  if (WorkRootIsFolder()) ClearWorkRootNow();
  state_->listHoldsResults = 1;
  ApplyWindowState(WindowState::Repairing);
  state_->jobContext = JobContext{MainWindow(), this};
  fileProgress_->SetPos(0);
  totalProgress_->SetPos(0);
  repairStarter_(&state_->jobContext);
}

void CSalvorView::StartSave() {
  if (state_->Busy()) {
    AppMessageBox(nullptr, texts::kStopBeforeSaving, kStyleNotice);
    return;
  }
  if (!saveStarter_) return;
  state_->jobContext = JobContext{MainWindow(), this};
  saveStarter_(&state_->jobContext);
}

void CSalvorView::StopJob() {
  if (AppMessageBox(nullptr, texts::kStopQuestion, kStyleQuestion) != kIdYes) return;
  stopButton_->setEnabled(false);
  state_->jobRunning = 0;
}

bool CSalvorView::StartJobThread(std::function<void()> job) {
  if (IsJobThreadAlive() || jobThread_.joinable()) return false;
  state_->jobThreadAlive = 1;
  jobThreadDone_ = false;
  try {
    jobThread_ = std::thread([this, job = std::move(job)] {
      try {
        job();
      } catch (...) {
        // Nothing may leave the thread; the window keeps what the job showed.
      }
      QMetaObject::invokeMethod(this, [this] { JoinJobThread(); }, Qt::QueuedConnection);
      jobThreadDone_ = true;
    });
  } catch (const std::system_error&) {
    state_->jobThreadAlive = 0;
    return false;
  }
  return true;
}

// Runs on the window thread once the worker has made its last call: the
// thread has nothing left to do but return, so the join is immediate.
void CSalvorView::JoinJobThread() {
  if (jobThread_.joinable()) jobThread_.join();
  state_->jobThreadAlive = 0;
  emit jobThreadFinished();
}

void CSalvorView::EndJobThreadAtDestruction() {
  if (!jobThread_.joinable()) return;
  closing_ = true;
  state_->jobRunning = 0;
  // The worker may be waiting for the window thread: serve its calls (they
  // do nothing now that the window is closing) until it is done.
  while (!jobThreadDone_.load()) {
    QCoreApplication::sendPostedEvents(QCoreApplication::instance(), QEvent::MetaCall);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  jobThread_.join();
  state_->jobThreadAlive = 0;
}

void CSalvorView::Browse() {
  const QString chosen = CurrentUserQuery().ChooseFolder(this, texts::kBrowseTitle).trimmed();
  if (chosen.isEmpty()) return;
  if (QFileInfo(chosen).isDir()) SetDestination(chosen);
}

int CSalvorView::ShowFilePreview(int position) {
  if (position < 0 || position >= fileList_->Count()) return 1;
  if (!WorkRootIsFolder()) {
    ShowPreview(QString(), PreviewState::NotRepaired);
    return 0;
  }
  const std::optional<fs::path> picture = FindPreviewPicture(WorkFolderOf(position));
  if (!picture) {
    ShowPreview(QString(), PreviewState::NoImage);
    return 0;
  }
  ShowPreview(TextFromPath(*picture), PreviewState::NoText);
  return 1;
}

}  // namespace keelmend
