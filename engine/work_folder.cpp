#include "engine/work_folder.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/file_io.h"
#include "platform/temp_paths.h"

namespace keelmend {
namespace {

constexpr int kDirFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Empties the folder open as `dirFd` (taken over and closed).
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
      if (depth < 4096) {
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

std::filesystem::path GetWorkRoot() { return platform::UserTempDirectory() / "BsTmp"; }

std::string WorkFolderName(std::string_view itemText, int row) {
  const std::size_t cut = itemText.find_last_of("/\\");
  const std::string_view name = cut == std::string_view::npos ? itemText : itemText.substr(cut + 1);
  return std::string(name) + std::to_string(row);
}

std::filesystem::path WorkFolderPath(std::string_view itemText, int row) {
  return GetWorkRoot() / WorkFolderName(itemText, row);
}

void ClearFolderContents(const std::filesystem::path& folder) {
  if (folder.empty()) return;
  const int fd = ::open(folder.c_str(), kDirFlags);
  if (fd < 0) return;
  ClearOpenFolder(fd, 0);
}

void ClearWorkRoot() {
  const std::filesystem::path root = GetWorkRoot();
  struct stat info {};
  if (::lstat(root.c_str(), &info) != 0) return;
  if (S_ISLNK(info.st_mode)) {
    ::unlink(root.c_str());  // the link itself, never what it points to
    return;
  }
  if (!S_ISDIR(info.st_mode)) return;
  ClearFolderContents(root);
  ::rmdir(root.c_str());
}

bool CreateWorkRoot(platform::ErrorCode* error) {
  if (!platform::EnsureUserTempDirectory(error)) return false;
  return platform::CreatePrivateFolder(GetWorkRoot(), error);
}

bool CreateWorkFolder(std::string_view itemText, int row, std::filesystem::path* folder,
                      platform::ErrorCode* error) {
  if (!CreateWorkRoot(error)) return false;
  const std::filesystem::path path = WorkFolderPath(itemText, row);
  if (folder) *folder = path;
  platform::ErrorCode code = 0;
  const bool ok = platform::CreateFolder(path, &code, nullptr, 0700);
  if (error) *error = code;
  return ok;
}

}  // namespace keelmend
