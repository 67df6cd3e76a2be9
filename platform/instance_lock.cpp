#include "platform/instance_lock.h"

#include <cctype>
#include <system_error>

#if defined(_WIN32)
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace keelmend {

namespace {

constexpr std::string_view kGlobalPrefix = "Global\\";

#if !defined(_WIN32)
// Opens the lock file without following anybody's symbolic link. An
// existing file is opened as it is (it may belong to another user, in which
// case a sticky /tmp refuses O_CREAT on it); a missing one is created and
// opened up to everybody.
int OpenLockFile(const std::filesystem::path& file) {
  const int flags = O_RDWR | O_CLOEXEC | O_NOFOLLOW;
  int fd = ::open(file.c_str(), flags);
  if (fd < 0 && errno == EACCES)
    fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd >= 0 || errno != ENOENT) return fd;
  fd = ::open(file.c_str(), flags | O_CREAT | O_EXCL, 0666);
  if (fd >= 0) {
    ::fchmod(fd, 0666);  // the umask must not lock other users out
    return fd;
  }
  if (errno == EEXIST)  // another copy created it in the meantime
    fd = ::open(file.c_str(), flags);
  return fd;
}

bool IsRegularFile(int fd) {
  struct stat info {};
  return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}
#endif

}  // namespace

InstanceLock::InstanceLock(std::string_view name)
    : InstanceLock(name, MachineWideDirectories()) {}

InstanceLock::InstanceLock(
    std::string_view name,
    const std::vector<std::filesystem::path>& directories) {
  Acquire(name, directories);
}

std::string InstanceLock::LockFileName(std::string_view name) {
  if (name.substr(0, kGlobalPrefix.size()) == kGlobalPrefix)
    name.remove_prefix(kGlobalPrefix.size());
  std::string stem;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) || c == '-' || c == '_')
      stem += static_cast<char>(std::tolower(byte));
  }
  if (stem.empty()) stem = "instance";
  return "keelmend-" + stem + ".lock";
}

std::vector<std::filesystem::path> InstanceLock::MachineWideDirectories() {
  std::vector<std::filesystem::path> result;
  std::error_code error;
#if !defined(_WIN32)
  for (const char* dir : {"/run/lock", "/var/lock", "/tmp"}) {
    if (std::filesystem::is_directory(dir, error)) result.emplace_back(dir);
  }
#endif
  const auto temp = std::filesystem::temp_directory_path(error);
  if (!error) result.push_back(temp);
  return result;
}

#if defined(_WIN32)

void InstanceLock::Acquire(std::string_view name,
                           const std::vector<std::filesystem::path>&) {
  const std::wstring wide(name.begin(), name.end());  // the name is ASCII
  handle_ = ::CreateMutexW(nullptr, FALSE, wide.c_str());
  const DWORD error = ::GetLastError();
  if (error == ERROR_ALREADY_EXISTS) {
    already_running_ = true;
  } else if (error == ERROR_ACCESS_DENIED && handle_ == nullptr) {
    already_running_ = true;  // held by another user's session
  }
  held_ = handle_ != nullptr && !already_running_;
}

InstanceLock::~InstanceLock() {
  if (handle_ != nullptr) ::CloseHandle(handle_);
}

#else

void InstanceLock::Acquire(
    std::string_view name,
    const std::vector<std::filesystem::path>& directories) {
  const std::string file_name = LockFileName(name);
  for (const auto& dir : directories) {
    const auto file = dir / file_name;
    const int fd = OpenLockFile(file);
    if (fd < 0) continue;
    if (!IsRegularFile(fd)) {
      ::close(fd);
      continue;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      fd_ = fd;
      held_ = true;
      lock_file_ = file;
      return;
    }
    const bool busy = errno == EWOULDBLOCK;
    ::close(fd);
    if (busy) {
      already_running_ = true;
      lock_file_ = file;
      return;
    }
  }
}

InstanceLock::~InstanceLock() {
  // The file stays: removing it would let a copy that opened it a moment
  // ago lock a file nobody else can find any more.
  if (fd_ >= 0) ::close(fd_);
}

#endif

}  // namespace keelmend
