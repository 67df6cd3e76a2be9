// One repair and save of one database through the workspace window, the way
// a user runs them, for the benchmark: the real CSalvorView (offscreen
// unless QT_QPA_PLATFORM says otherwise), the file dropped on its list, the
// destination typed into its edit, then Repair files and Save through the
// same starters the main frame installs. The window's log, bars and file
// list are updated by the jobs as they run; the event loop stays live.
//
//   keelmend_window_bench FILE.odb DESTINATION_FOLDER
//
// Every message box is answered at once (OK; a question No) and printed on
// stderr. Prints the wall time of each job; exits 0 when the archive
// VANTRELREP_<name> is in the destination, 1 otherwise.
#include <chrono>
#include <cstdio>
#include <filesystem>

#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QTimer>

#include "controls/scripted_user_query.h"
#include "workspace/repair_job.h"
#include "workspace/salvor_view.h"
#include "workspace/save_job.h"

namespace {

using keelmend::CSalvorView;
using Clock = std::chrono::steady_clock;

// Runs the event loop until no job is running or its thread is alive.
void WaitForJob(CSalvorView& view) {
  QEventLoop loop;
  QTimer poll;
  poll.setInterval(10);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (!view.State().Busy()) loop.quit();
  });
  poll.start();
  loop.exec();
}

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s FILE.odb DESTINATION_FOLDER\n", argv[0]);
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const std::filesystem::path source = std::filesystem::absolute(argv[1]);
  const std::filesystem::path destination = std::filesystem::absolute(argv[2]);

  keelmend::ScriptedUserQuery answers(keelmend::ScriptedUserQuery::OnUnscripted::kRecordUnscripted);
  keelmend::ScopedUserQuery seam(answers);

  CSalvorView view;
  view.resize(1280, 900);
  view.show();
  view.SetRepairJobStarter(keelmend::StartRepairJobThread);
  view.SetSaveJobStarter(keelmend::StartSaveJobThread);
  view.AddDroppedFiles({QString::fromStdString(source.string())});
  view.SetDestination(QString::fromStdString(destination.string()));
  view.ExtractMediaCheck()->setChecked(false);

  const auto repairStart = Clock::now();
  view.StartRepair();
  WaitForJob(view);
  const double repairSeconds = SecondsSince(repairStart);

  const auto saveStart = Clock::now();
  view.StartSave();
  WaitForJob(view);
  const double saveSeconds = SecondsSince(saveStart);

  for (const auto& question : answers.Unscripted())
    std::fprintf(stderr, "message: %s\n", question.text.toStdString().c_str());
  std::printf("repair %.3f s, save %.3f s\n", repairSeconds, saveSeconds);
  const bool saved = std::filesystem::is_regular_file(destination / ("VANTRELREP_" + source.filename().string()));
  return saved ? 0 : 1;
}
