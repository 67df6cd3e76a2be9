// How a job thread reaches the workspace window: the sinks it hands to the
// shared repair and save pipeline (engine/repair_pipeline.h). Each sink
// carries its call over to the window thread and waits there until the
// window has carried it out, so the window shows every line, mark and
// position in the order the job wrote them, and the window thread never
// waits for the job.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <type_traits>

#include "controls/gui_thread.h"
#include "engine/repair_pipeline.h"
#include "engine/sinks.h"
#include "workspace/salvor_view.h"

namespace keelmend {

class CEstProgressCtrl;

// Runs `step` on the window thread while the calling job thread waits and
// returns its result. Once the window is being destroyed the step is not run
// and a default result comes back: a job that outlives its window touches
// nothing of it. Every change a job makes to the window goes through here.
template <typename Step>
auto OnWindow(CSalvorView& view, Step step) -> std::invoke_result_t<Step> {
  using Result = std::invoke_result_t<Step>;
  return RunOnGuiThread([&]() -> Result {
    if (view.IsClosing()) return Result();
    return step();
  });
}

// Log lines into the log box, in their colours.
class WindowLogSink final : public LogSink {
 public:
  explicit WindowLogSink(CSalvorView& view) : view_(view) {}
  void Log(std::string_view text, Colour colour) override;

 private:
  CSalvorView& view_;
};

// A run on one of the window's progress bars: Start(n) is ResetEstimate,
// range 0 to n and position 0; SetPosition moves the bar.
class WindowProgressSink final : public ProgressSink {
 public:
  WindowProgressSink(CSalvorView& view, CEstProgressCtrl& bar) : view_(view), bar_(bar) {}
  void Start(std::uint32_t steps) override;
  void SetPosition(std::uint32_t position) override;

 private:
  CSalvorView& view_;
  CEstProgressCtrl& bar_;
};

// Messages from the scan and the extraction: an information box without an
// owner; the job waits until it is answered.
class WindowNotifySink final : public NotifySink {
 public:
  explicit WindowNotifySink(CSalvorView& view) : view_(view) {}
  void Notify(std::string_view text) override;

 private:
  CSalvorView& view_;
};

// The job goes on while jobRunning is 1. Read afresh on every call, on the
// job thread itself (the scan asks at every step).
class JobRunningQuery final : public StopQuery {
 public:
  explicit JobRunningQuery(std::shared_ptr<const WorkspaceState> state) : state_(std::move(state)) {}
  bool ShouldContinue() const override { return state_->jobRunning.load() != 0; }

 private:
  std::shared_ptr<const WorkspaceState> state_;
};

// The repair job's marks in the file list: a repaired file gets image 1 and
// data 1; a stopped file image 0 and data 0. A file whose open failed gets
// image 0 and data 0 as well: a mark from an earlier run would otherwise
// stay, although this run has cleared that run's work folder.
class RepairMarks final : public JobObserver {
 public:
  explicit RepairMarks(CSalvorView& view) : view_(view) {}
  void FileRepaired(std::size_t row) override;
  void FileOpenFailed(std::size_t row) override;
  void FileRepairStopped(std::size_t row) override;

 private:
  CSalvorView& view_;
};

// The save job's marks: a file the stop kept from being saved is no longer
// marked repaired (data 0; its image stays).
class SaveMarks final : public JobObserver {
 public:
  explicit SaveMarks(CSalvorView& view) : view_(view) {}
  void FileSaveStopped(std::size_t row) override;

 private:
  CSalvorView& view_;
};

// All sinks of one job on the window, bundled for the pipeline.
class WindowJobSinks {
 public:
  WindowJobSinks(CSalvorView& view, JobObserver& observer);
  JobSinks Sinks();

 private:
  WindowLogSink log_;
  WindowProgressSink fileProgress_;
  WindowProgressSink totalProgress_;
  WindowNotifySink notify_;
  JobRunningQuery stop_;
  JobObserver& observer_;
};

}  // namespace keelmend
