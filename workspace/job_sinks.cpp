#include "workspace/job_sinks.h"

#include <QString>

#include "controls/app_message_box.h"
#include "controls/est_progress_ctrl.h"
#include "workspace/trel_list_ctrl.h"

namespace keelmend {

namespace {

// Progress values are 16-bit counts on the bars.
int BarValue(std::uint32_t value) { return value > 0xFFFFu ? 0xFFFF : static_cast<int>(value); }

// Deletes item `row` and inserts it again with its text and `image`; the new
// item's repaired mark is 0.
void ReplaceWithImage(CSalvorView& view, std::size_t row, CTrelListCtrl::Image image) {
  CTrelListCtrl& list = *view.FileList();
  const int r = static_cast<int>(row);
  if (r < 0 || r >= list.Count()) return;
  list.ReplaceItem(r, list.ItemText(r), image);
}

}  // namespace

void WindowLogSink::Log(std::string_view text, Colour colour) {
  OnWindow(view_, [&] { view_.AppendLog(text, colour); });
}

void WindowProgressSink::Start(std::uint32_t steps) {
  OnWindow(view_, [&] {
    bar_.ResetEstimate();
    bar_.SetRange(BarValue(steps));
    bar_.SetPos(0);
  });
}

void WindowProgressSink::SetPosition(std::uint32_t position) {
  OnWindow(view_, [&] { bar_.SetPos(BarValue(position)); });
}

void WindowNotifySink::Notify(std::string_view text) {
  const QString message = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  OnWindow(view_, [&] { AppMessageBox(nullptr, message, kStyleNotice); });
}

void RepairMarks::FileRepaired(std::size_t row) {
  OnWindow(view_, [&] {
    ReplaceWithImage(view_, row, CTrelListCtrl::Repaired);
    view_.FileList()->SetItemData(static_cast<int>(row), 1);
  });
}

void RepairMarks::FileOpenFailed(std::size_t row) {
  OnWindow(view_, [&] { ReplaceWithImage(view_, row, CTrelListCtrl::NotRepaired); });
}

void RepairMarks::FileRepairStopped(std::size_t row) {
  OnWindow(view_, [&] {
    ReplaceWithImage(view_, row, CTrelListCtrl::NotRepaired);
    view_.FileList()->SetItemData(static_cast<int>(row), 0);
  });
}

void SaveMarks::FileSaveStopped(std::size_t row) {
  OnWindow(view_, [&] { view_.FileList()->SetItemData(static_cast<int>(row), 0); });
}

WindowJobSinks::WindowJobSinks(CSalvorView& view, JobObserver& observer)
    : log_(view),
      fileProgress_(view, *view.FileProgress()),
      totalProgress_(view, *view.TotalProgress()),
      notify_(view),
      stop_(view.SharedState()),
      observer_(observer) {}

JobSinks WindowJobSinks::Sinks() {
  return JobSinks{log_, fileProgress_, totalProgress_, notify_, stop_, observer_};
}

}  // namespace keelmend
