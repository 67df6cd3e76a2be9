// The user's own temporary directory and unique temporary files.
//
// Temporary directory: $TMPDIR when it is set and not empty; otherwise a
// per-user folder below /tmp, "/tmp/keelmend-<uid>", which is created with
// mode 0700 on demand and accepted only when it is a real folder (not a
// symbolic link) owned by the current user. A shared /tmp is never used
// directly, so another user cannot plant files or links where we write.
#pragma once

#include <filesystem>

#include "platform/error_text.h"
#include "platform/file_io.h"

namespace keelmend::platform {

// Names the temporary directory (see above) without creating or checking
// anything. Never empty.
std::filesystem::path UserTempDirectory();

// Makes sure the temporary directory exists and may be used: the per-user
// default is created (0700) when missing and checked (CheckPrivateFolder);
// a $TMPDIR is only required to be a folder. False with an error code
// otherwise.
bool EnsureUserTempDirectory(ErrorCode* error);

// True when `path` is a folder itself (not a symbolic link to one) owned by
// the effective user. Errors: ELOOP for a symbolic link, ENOTDIR for
// something else than a folder, EPERM for a folder of another user, or the
// lstat error (ENOENT, ...).
bool CheckPrivateFolder(const std::filesystem::path& path, ErrorCode* error);

// Creates `path` with mode 0700 (an existing folder is fine) and then checks
// it with CheckPrivateFolder. Group and other permissions of an existing
// folder of ours are taken away.
bool CreatePrivateFolder(const std::filesystem::path& path, ErrorCode* error);

// Creates a new, empty, uniquely named file in the folder of `target` (the
// same folder, so that a later rename onto `target` cannot cross file
// systems). The name is "." + target's file name + ".~km" + random hex +
// ".tmp", cut so that it fits a file name. `file` receives the open file,
// `tempPath` its path. Mode 0666 less the umask, as for any output file.
bool CreateTempFileNextTo(const std::filesystem::path& target, OutputFile& file,
                          std::filesystem::path& tempPath, ErrorCode* error);

}  // namespace keelmend::platform
