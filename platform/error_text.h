// The operating system's own message text for an error code.
//
// Error codes are the platform's native numbers (errno values on POSIX).
// The scan and the extraction report a failed file-system call with this
// text, the way a failed call shows the system message for the last error.
#pragma once

#include <string>

namespace keelmend::platform {

// A platform error code: an errno value on POSIX. 0 means "no error".
using ErrorCode = int;

// The code of the last failed call on this thread (errno).
ErrorCode LastErrorCode();

// The system's message text for `code` (std::strerror on POSIX), without a
// trailing line break. Safe to call from any thread.
std::string ErrorText(ErrorCode code);

}  // namespace keelmend::platform
