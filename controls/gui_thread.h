// Running a piece of work on the window (GUI) thread and waiting for it.
#pragma once

#include <type_traits>

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

namespace keelmend {

// True on the thread that runs the QApplication.
inline bool OnGuiThread() {
  auto* app = QCoreApplication::instance();
  return app != nullptr && QThread::currentThread() == app->thread();
}

// Runs `work` on the window thread and returns its result: directly when
// called there, otherwise through a blocking queued invocation (the caller
// waits until the window thread has run it). Requires a QCoreApplication.
template <typename Work>
auto RunOnGuiThread(Work work) -> std::invoke_result_t<Work> {
  using Result = std::invoke_result_t<Work>;
  if (OnGuiThread()) return work();
  if constexpr (std::is_void_v<Result>) {
    QMetaObject::invokeMethod(QCoreApplication::instance(), work,
                              Qt::BlockingQueuedConnection);
  } else {
    Result result{};
    QMetaObject::invokeMethod(QCoreApplication::instance(), work,
                              Qt::BlockingQueuedConnection, &result);
    return result;
  }
}

}  // namespace keelmend
