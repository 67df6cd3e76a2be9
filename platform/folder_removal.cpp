#include "platform/folder_removal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace keelmend::platform {
namespace {

constexpr int kDirFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr int kMaxDepth = 4096;

// Empties the folder open as `dirFd` (taken over and closed). Working
// through folder handles keeps a folder renamed or replaced by a link while
// we clear it from leading us elsewhere.
void ClearOpenFolder(int dirFd, int depth) {
  DIR* dir = ::fdopendir(dirFd);
  if (dir == nullptr) {
    ::close(dirFd);
    return;
  }
  const int fd = ::dirfd(dir);
  while (dirent* entry = ::readdir(dir)) {
    const char* name = entry->d_name;
    if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
    struct stat info {};
    if (::fstatat(fd, name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISDIR(info.st_mode)) {
      if (depth < kMaxDepth) {
        const int sub = ::openat(fd, name, kDirFlags);
        if (sub >= 0) ClearOpenFolder(sub, depth + 1);
      }
      ::unlinkat(fd, name, AT_REMOVEDIR);  // fails, unreported, when not empty
    } else {
      ::unlinkat(fd, name, 0);  // files and symbolic links themselves
    }
  }
  ::closedir(dir);
}

}  // namespace

void ClearFolderNoFollow(const std::filesystem::path& folder) {
  if (folder.empty()) return;
  const int fd = ::open(folder.c_str(), kDirFlags);
  if (fd < 0) return;
  ClearOpenFolder(fd, 0);
}

PathKind KindOfPath(const std::filesystem::path& path) {
  struct stat info {};
  if (path.empty() || ::lstat(path.c_str(), &info) != 0) return PathKind::kMissing;
  if (S_ISLNK(info.st_mode)) return PathKind::kSymlink;
  if (S_ISDIR(info.st_mode)) return PathKind::kFolder;
  if (S_ISREG(info.st_mode)) return PathKind::kFile;
  return PathKind::kOther;
}

void RemoveTreeNoFollow(const std::filesystem::path& path) {
  switch (KindOfPath(path)) {
    case PathKind::kSymlink:
      ::unlink(path.c_str());  // the link itself, never what it points to
      return;
    case PathKind::kFolder:
      ClearFolderNoFollow(path);
      ::rmdir(path.c_str());
      return;
    default:
      return;
  }
}

}  // namespace keelmend::platform
