#include "workspace/save_job.h"

#include <filesystem>
#include <system_error>

#include "controls/app_message_box.h"
#include "controls/est_progress_ctrl.h"
#include "engine/repair_pipeline.h"
#include "engine/work_folder.h"
#include "workspace/job_sinks.h"
#include "workspace/path_text.h"
#include "workspace/salvor_view.h"
#include "workspace/trel_list_ctrl.h"

namespace keelmend {

namespace {

bool IsExistingFolder(const QString& text) {
  std::error_code ec;
  return !text.isEmpty() && std::filesystem::is_directory(PathFromText(text), ec);
}

// Every listed file with its repaired mark, and the Extract Media choice,
// taken once at the start (window thread).
SaveRequest ListedSaveRequest(CSalvorView& view) {
  SaveRequest request;
  const CTrelListCtrl& list = *view.FileList();
  for (int row = 0, n = list.Count(); row < n; ++row)
    request.items.push_back(SaveItem{ItemTextUtf8(list.ItemText(row)), list.ItemData(row) == 1});
  request.extractMedia = view.ExtractMediaChecked();
  return request;
}

// The Saving state with both bars back at 0 (the file bar stays hidden).
SaveRequest EnterSaving(CSalvorView& view) {
  view.ApplyWindowState(WindowState::Saving);
  view.FileProgress()->SetPos(0);
  view.TotalProgress()->SetPos(0);
  return ListedSaveRequest(view);
}

}  // namespace

QString SaveCompletedText(const QString& shownDestination) {
  return QStringLiteral("File(s) saving process has been completed.Saved file(s) location is:<br><a href='") +
         shownDestination + QStringLiteral("'>") + shownDestination + QStringLiteral("</a>");
}

int SaveJob(JobContext* context) {
  CSalvorView& view = *context->view;
  const QString shown = OnWindow(view, [&] { return view.Destination(); });
  if (!IsExistingFolder(shown)) {
    OnWindow(view, [&] { AppMessageBox(nullptr, kInvalidDestinationText, kStyleNotice); });
    return 0;
  }
  SaveRequest request = OnWindow(view, [&] { return EnterSaving(view); });
  request.destination = PathFromText(shown);
  request.workRoot = GetWorkRoot();
  SaveMarks marks(view);
  WindowJobSinks window(view, marks);
  JobSinks sinks = window.Sinks();
  RunSaveJob(request, sinks);
  OnWindow(view, [&] { view.FinishSave(); });
  OnWindow(view, [&] { AppMessageBox(&view, SaveCompletedText(shown), kStyleNotice); });
  return 1;
}

void StartSaveJobThread(JobContext* context) {
  context->view->StartJobThread([context] { SaveJob(context); });
}

}  // namespace keelmend
