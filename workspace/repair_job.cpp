#include "workspace/repair_job.h"

#include <string>
#include <vector>

#include "engine/repair_pipeline.h"
#include "engine/work_folder.h"
#include "workspace/job_sinks.h"
#include "workspace/path_text.h"
#include "workspace/salvor_view.h"
#include "workspace/trel_list_ctrl.h"

namespace keelmend {

namespace {

// The item texts of the file list, taken once at the start (window thread).
std::vector<std::string> ListedItemTexts(CSalvorView& view) {
  std::vector<std::string> items;
  const CTrelListCtrl& list = *view.FileList();
  for (int row = 0, n = list.Count(); row < n; ++row) items.push_back(ItemTextUtf8(list.ItemText(row)));
  return items;
}

}  // namespace

int RepairJob(JobContext* context) {
  CSalvorView& view = *context->view;
  const std::vector<std::string> items = OnWindow(view, [&] { return ListedItemTexts(view); });
  RepairMarks marks(view);
  WindowJobSinks window(view, marks);
  JobSinks sinks = window.Sinks();
  RunRepairJob(items, GetWorkRoot(), sinks);
  OnWindow(view, [&] { view.ApplyWindowState(WindowState::Repaired); });
  return 1;
}

void StartRepairJobThread(JobContext* context) {
  CSalvorView* view = context->view;
  if (!view->StartJobThread([context] { RepairJob(context); }))
    view->ApplyWindowState(WindowState::Repaired);
}

}  // namespace keelmend
