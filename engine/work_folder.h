// The work root and the work folders.
//
// Work root: the user's temporary directory (platform/temp_paths: $TMPDIR,
// else the private /tmp/keelmend-<uid>) followed by "BsTmp", computed afresh
// on every call. The work folder of a listed file: the work root, a
// separator, the item text's file name and its 0-based row in decimal.
//
// POSIX decisions:
//   * CreateWorkRoot refuses a root that is a symbolic link, not a folder, or
//     owned by another user (another user could otherwise read the salvaged
//     data or steer our writes elsewhere). GetWorkRoot only names the path.
//   * Clearing never follows a symbolic link: a link met below the folder is
//     deleted itself, never its target, and a work root that is a link is
//     removed as a link. Folders are opened with O_NOFOLLOW and walked by
//     descriptor (openat/unlinkat), so a link swapped in during the walk is
//     not followed either.
//   * Read-only files: on Windows DeleteFileW leaves a read-only file alone,
//     so the classic ClearWorkRoot keeps it (and its folders). On POSIX
//     deleting depends on the folder's write permission, not the file's, and
//     we do not emulate the Windows attribute: a read-only file in a work
//     folder is deleted like any other. What really cannot be deleted (no
//     permission on its folder, busy mount points) stays, together with every
//     folder above it; nothing is reported, the next clearing tries again.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/error_text.h"

namespace keelmend {

// The user's temporary directory followed by "BsTmp" (no trailing separator).
std::filesystem::path GetWorkRoot();

// The part of `itemText` after its last '/' or '\' (all of it when there is
// none), followed by `row` in decimal without leading zeros.
// WorkFolderName("C:\\x\\a.b.odb", 3) == "a.b.odb3".
std::string WorkFolderName(std::string_view itemText, int row);

// GetWorkRoot() / WorkFolderName(itemText, row).
std::filesystem::path WorkFolderPath(std::string_view itemText, int row);

// Deletes every file, link and sub-folder below `folder` (depth first, in the
// order the directory enumeration returns them); `folder` itself stays.
// Reports nothing; a missing folder, or a `folder` that is a symbolic link,
// is left alone.
void ClearFolderContents(const std::filesystem::path& folder);

// ClearFolderContents(GetWorkRoot()), then removes the root itself when it
// is empty. A root that does not exist: nothing happens.
void ClearWorkRoot();

// Creates the user's temporary directory when needed and the work root with
// mode 0700 (an existing one is fine), and checks that the root is a real
// folder owned by the current user. False with the error code otherwise:
// ELOOP (symbolic link), ENOTDIR, EPERM (another user's) or the system's.
bool CreateWorkRoot(platform::ErrorCode* error = nullptr);

// CreateWorkRoot, then the work folder WorkFolderPath(itemText, row) (an
// existing folder is fine). `folder` (may be null) receives its path.
bool CreateWorkFolder(std::string_view itemText, int row, std::filesystem::path* folder = nullptr,
                      platform::ErrorCode* error = nullptr);

}  // namespace keelmend
