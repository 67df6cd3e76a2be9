// The commands around the jobs (Repair, Save, Stop), the choice of the
// destination folder and the preview of a listed file.
#include <filesystem>
#include <system_error>

#include <QFileInfo>

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
