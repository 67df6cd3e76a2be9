// Removing folder trees without ever following a symbolic link.
//
// Work folders hold salvaged data from hostile files and live in a folder
// other programs can see, so clearing them must never reach outside: a
// symbolic link met anywhere in the tree is removed as a link, never
// followed. Nothing is reported: whatever cannot be deleted stays, and so
// does every folder above it.
#pragma once

#include <filesystem>

namespace keelmend::platform {

// Deletes every file, link and sub-folder below `folder` (depth first, in
// the order the system lists them). `folder` itself stays. A `folder` that
// is itself a symbolic link is not entered.
void ClearFolderNoFollow(const std::filesystem::path& folder);

// Removes `path`: a symbolic link as a link, a folder with everything below
// it (as ClearFolderNoFollow, then the folder itself), anything else not at
// all. Does nothing when `path` does not exist.
void RemoveTreeNoFollow(const std::filesystem::path& path);

// What lstat says `path` is, links not followed.
enum class PathKind { kMissing, kFile, kFolder, kSymlink, kOther };
PathKind KindOfPath(const std::filesystem::path& path);

}  // namespace keelmend::platform
