#include "platform/error_text.h"

#include <cerrno>
#include <cstring>
#include <mutex>

namespace keelmend::platform {

ErrorCode LastErrorCode() { return errno; }

std::string ErrorText(ErrorCode code) {
  // std::strerror may share one buffer between threads; copy under a lock.
  static std::mutex mutex;
  std::string text;
  {
    std::lock_guard<std::mutex> lock(mutex);
    const char* message = std::strerror(code);
    text = message ? message : "";
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.pop_back();
  }
  if (text.empty()) text = "Unknown error " + std::to_string(code);
  return text;
}

}  // namespace keelmend::platform
